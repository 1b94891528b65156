#include "apps/tavix/TavixProgram.h"

#include "platform/ModalRunner_qt.h"
#include "platform/Prompts_qt.h"
#include "platform/WindowTracker_qt.h"
#include "sim/AdapterWindow_qt.h"
#include "sim/PeoplesAdapter.h"
#include "sim/PortAccess.h"
#include "video/Kamera_qt.h"

#include <QCoreApplication>

namespace tavix {

TavixProgram::TavixProgram(ProgramOptions options) {
    // Port reports before the debug window exists are kept for it, so that it
    // says which adapter is in use whenever it is opened.
    platform::setPortAccessOpener(
        sim::installPortAccess(options.ports, [this](const std::string& line) {
            if (debugDisplay)
                Dbg_disp::Debug_WriteLn(line);
            else
                early_.push_back(line);
        }));

    // The boxes say "Ja" and "Nein" from the first question on: German is
    // the program's language unless English is chosen. Switching needs a
    // restart, so the choice at start holds.
    if (QCoreApplication::instance() != nullptr)
        qtGermanLoaded = platform::installQtTranslation(qtGerman, QStringLiteral("de"));
    desk::TIRFormOptions formOptions;
    formOptions.spracheGewaehlt = [this](std::int32_t sprache) {
        if (sprache == 2 && qtGermanLoaded) {
            QCoreApplication::removeTranslator(&qtGerman);
            qtGermanLoaded = false;
        }
    };
    formOptions.programFile = std::move(options.programFile);
    formOptions.arguments = std::move(options.arguments);
    formOptions.argumentBytes = std::move(options.argumentBytes);
    mainWindow = std::make_unique<desk::TIRForm>(std::move(formOptions));

    debugDisplay = std::make_unique<TDebug_Display>();
    for (const std::string& line : early_) {
        debugDisplay->appendToLastLine(line);
        debugDisplay->addEmptyLine();
    }
    early_.clear();
    Dbg_disp::setDebugSink(debugDisplay.get());
    mainWindow->DebugFenster = debugDisplay.get();

    lernenForm = std::make_unique<desk::TLernenForm>(mainWindow->IniDatei.get());
    mainWindow->LerneKnopf = [this](desk::TButtonx& key) {
        desk::Taste_lernen(*mainWindow, *lernenForm, key);
    };
    // The recorder editor, the video window and its parameters come next in
    // this order.
    kameraDialog = std::make_unique<video::TKameraDialog>(*mainWindow);
    mainWindow->KameraDialog = kameraDialog.get();
    kameraDialog->Geraete_edit->Lernen = video::Lerndialog_von(*lernenForm);

    if (sim::PeoplesDevices* devices = sim::currentPeoplesDevices()) {
        adapterWindow =
            std::make_unique<sim::AdapterWindow>(*devices, sim::simulatedAdapterReason());
        // It stands for hardware: its remote's keys are chosen while the
        // recorder editor and the learn dialog run.
        platform::keepUsableUnderModals(*adapterWindow);
    }
}

TavixProgram::~TavixProgram() {
    adapterWindow.reset();
    if (mainWindow) mainWindow->KameraDialog = nullptr;
    kameraDialog.reset();
    lernenForm.reset();
    if (mainWindow) mainWindow->DebugFenster = nullptr;
    Dbg_disp::setDebugSink(nullptr);
    debugDisplay.reset();
    mainWindow.reset();
    if (qtGermanLoaded) QCoreApplication::removeTranslator(&qtGerman);
    platform::setPortAccessOpener({});
    sim::releasePortAccess();
}

void TavixProgram::show() {
    mainWindow->show();
    if (adapterWindow) adapterWindow->showBeside(*mainWindow);
    // The application activates its main window when the loop starts.
    platform::WindowTracker::instance().activate(static_cast<QWidget*>(mainWindow.get()));
}

} // namespace tavix
