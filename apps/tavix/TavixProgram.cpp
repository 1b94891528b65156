#include "apps/tavix/TavixProgram.h"

#include "platform/IniFile.h"
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

namespace {

// Where the simulated adapter's window was left: it is no part of the
// system's own settings, so it has a section of its own.
constexpr const char* kAdapterSection = "SimulatedAdapter";

} // namespace

TavixProgram::~TavixProgram() {
    if (adapterWindow && mainWindow && mainWindow->IniDatei) {
        if (const std::optional<QRect> f = adapterWindow->leftFrame()) {
            // A convenience: a settings file that cannot be written keeps the
            // place of an earlier run, and the program ends all the same.
            try {
                platform::IniBatch ini(*mainWindow->IniDatei);
                ini.writeInteger(kAdapterSection, "top", f->y());
                ini.writeInteger(kAdapterSection, "left", f->x());
                ini.writeInteger(kAdapterSection, "width", f->width());
                ini.writeInteger(kAdapterSection, "height", f->height());
                ini.commit();
            } catch (const std::exception&) {
            }
        }
    }
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
    if (adapterWindow) {
        const platform::IniFile& ini = *mainWindow->IniDatei;
        if (ini.readInteger(kAdapterSection, "top", -1) != -1)
            adapterWindow->showAt(QRect(ini.readInteger(kAdapterSection, "left", 0),
                                        ini.readInteger(kAdapterSection, "top", 0),
                                        ini.readInteger(kAdapterSection, "width", 0),
                                        ini.readInteger(kAdapterSection, "height", 0)));
        else
            adapterWindow->showBeside(*mainWindow);
    }
    // The application activates its main window when the loop starts.
    platform::WindowTracker::instance().activate(static_cast<QWidget*>(mainWindow.get()));
}

} // namespace tavix
