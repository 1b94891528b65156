// Tavix: the forms in their order, then the message loop until the main
// window closes.
#include "desk/IR_qt.h"
#include "desk/Lernen_qt.h"
#include "engine/Dbg_disp_qt.h"
#include "platform/Platform.h"
#include "platform/System_qt.h"
#include "platform/WindowTracker_qt.h"

#include "sim/PortAccess.h"
#include "video/Kamera_qt.h"

#include <QApplication>
#include <QFile>

#include <cstdlib>
#include <fstream>

namespace {

// TAVIX_SIM_IR_LOG names a file that receives what the simulated adapter's
// IR sender emitted, when the program ends: the trace of a run without
// hardware.
void writeSimIrLog() {
    const char* path = std::getenv("TAVIX_SIM_IR_LOG");
    sim::SimAdapter* s = sim::currentSimAdapter();
    if (path == nullptr || s == nullptr) return;
    s->sync();
    std::ofstream out(path, std::ios::binary);
    out << s->irSender->text() << '\n';
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program ends with its main window, whatever else is open.
    app.setQuitOnLastWindowClosed(false);

    platform::QtSystem system;
    platform::setOs(&system);
    platform::WindowTracker::instance().setFollowFocus(true);
    platform::setPortAccessOpener(
        sim::installPortAccess(platform::portModeFromEnvironment(),
                               [](const std::string& line) { Dbg_disp::Debug_WriteLn(line); }));

    desk::TIRFormOptions options;
    options.programFile = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    options.arguments = app.arguments().mid(1);

    desk::TIRForm mainWindow(std::move(options));
    QObject::connect(&mainWindow, &desk::TIRForm::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    TDebug_Display debugDisplay;
    Dbg_disp::setDebugSink(&debugDisplay);
    mainWindow.DebugFenster = &debugDisplay;
    desk::TLernenForm lernenForm(mainWindow.IniDatei.get());
    mainWindow.LerneKnopf = [&](desk::TButtonx& key) {
        desk::Taste_lernen(mainWindow, lernenForm, key);
    };
    // The recorder editor, the video window and its parameters come next in
    // this order.
    video::TKameraDialog kameraDialog(mainWindow);
    mainWindow.KameraDialog = &kameraDialog;
    kameraDialog.Geraete_edit->Lernen = video::Lerndialog_von(lernenForm);

    mainWindow.show();
    // The application activates its main window when the loop starts.
    platform::WindowTracker::instance().activate(static_cast<QWidget*>(&mainWindow));
    const int rc = app.exec();
    Dbg_disp::setDebugSink(nullptr);
    writeSimIrLog();
    return rc;
}
