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
#include <QFileInfo>

#include <cstdio>
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

    // The first argument names a key file or a cut list; an option that is
    // no file's name is refused. Later arguments are key captions.
    const QStringList arguments = app.arguments().mid(1);
    if (!arguments.isEmpty() && arguments.front().startsWith(QLatin1Char('-')) &&
        !QFileInfo::exists(arguments.front())) {
        std::fprintf(stderr, "Aufruf / usage: Tavix [Fernsteuerdatei.cdx [Taste ...] | "
                             "Schnittliste.lst]\n");
        return 2;
    }

    platform::QtSystem system;
    platform::setOs(&system);
    platform::WindowTracker::instance().setFollowFocus(true);
    platform::setPortAccessOpener(
        sim::installPortAccess(platform::portModeFromEnvironment(),
                               [](const std::string& line) { Dbg_disp::Debug_WriteLn(line); }));

    desk::TIRFormOptions options;
    options.programFile = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    options.arguments = arguments;

    desk::TIRForm mainWindow(std::move(options));
    // The window may close before the loop runs (a batch run ended inside a
    // question at the first activation): then there is no loop to run.
    bool geschlossen = false;
    QObject::connect(&mainWindow, &desk::TIRForm::closed, &app, [&geschlossen] {
        geschlossen = true;
        QCoreApplication::quit();
    });
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
    const int rc = geschlossen ? 0 : app.exec();
    Dbg_disp::setDebugSink(nullptr);
    writeSimIrLog();
    return rc;
}
