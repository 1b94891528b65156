// Tavix: the system services, the program's forms (TavixProgram), then the
// message loop until the main window closes.
#include "apps/tavix/TavixProgram.h"
#include "platform/Platform.h"
#include "platform/System_qt.h"
#include "platform/WindowTracker_qt.h"

#include "sim/PortAccess.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

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
    // no file's name is refused. Later arguments are key captions. A file
    // name is shown as the file system's name and opened by its very bytes,
    // which need not be valid text.
    QStringList arguments;
    std::vector<std::string> argumentBytes;
    for (int i = 1; i < argc; ++i) {
        arguments << (i == 1 ? QFile::decodeName(argv[i]) : QString::fromLocal8Bit(argv[i]));
        argumentBytes.emplace_back(argv[i]);
    }
    if (!arguments.isEmpty() && arguments.front().startsWith(QLatin1Char('-')) &&
        !QFileInfo::exists(arguments.front())) {
        std::fprintf(stderr, "Aufruf / usage: Tavix [Fernsteuerdatei.cdx [Taste ...] | "
                             "Schnittliste.lst]\n");
        return 2;
    }

    platform::QtSystem system;
    platform::setOs(&system);
    platform::WindowTracker::instance().setFollowFocus(true);

    tavix::ProgramOptions options;
    options.programFile = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    options.arguments = arguments;
    options.argumentBytes = std::move(argumentBytes);
    options.ports = platform::portModeFromEnvironment();
    tavix::TavixProgram program(std::move(options));
    // The window may close before the loop runs (a batch run ended inside a
    // question at the first activation): then there is no loop to run.
    bool geschlossen = false;
    QObject::connect(program.mainWindow.get(), &desk::TIRForm::closed, &app, [&geschlossen] {
        geschlossen = true;
        QCoreApplication::quit();
    });

    program.show();
    const int rc = geschlossen ? 0 : app.exec();
    writeSimIrLog();
    // A batch run that could not do all it was asked says so to its caller.
    return program.mainWindow->Batchfehler ? 1 : rc;
}
