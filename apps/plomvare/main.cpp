// Plomvare: the main window and the message loop until it closes. Without
// the receiver's hardware the ports are a simulated receiver with a small
// remote of its own.
#include "platform/AppFolders.h"
#include "platform/Platform.h"
#include "platform/PortIo.h"
#include "platform/Prompts_qt.h"
#include "platform/SerialDevice.h"
#include "platform/System_qt.h"
#include "playerremote/RemoteFile.h"
#include "playerremote/WAInt_qt.h"
#include "playerremote/pmp3p_qt.h"
#include "sim/SimReceiver.h"
#include "sim/SimRemote_qt.h"

#include <QApplication>
#include <QFile>
#include <QTranslator>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    if (const int rc = pmp3p::pruefeArgumente(app.arguments().mid(1), stderr)) return rc;
    // The program speaks German: so do the boxes' buttons, from the first
    // question on.
    QTranslator qtGerman;
    platform::installQtTranslation(qtGerman, QStringLiteral("de"));

    platform::QtSystem system;
    platform::setOs(&system);
    WAInt::MprisPlayer player;
    WAInt::setPlayer(&player);

    // COM 1 to 3 whose UART the process cannot reach go to the simulated
    // receiver ("TAVIX_PORTS": direct, sim or auto).
    const platform::PortMode mode = platform::portModeFromEnvironment();
    std::unique_ptr<sim::SimReceiver> sim;
    bool alleSimuliert = mode == platform::PortMode::Sim;
    if (mode != platform::PortMode::Direct) {
        for (int n = 1; n <= 3; ++n) {
            if (!alleSimuliert && platform::openDirectPortIo(pmp3p::uartBasis(n))) continue;
            try {
                if (!sim) sim = std::make_unique<sim::SimReceiver>();
                platform::setComPortPath(n, sim->portPath());
                std::fprintf(stderr, "Plomvare: COM%d is the simulated IR receiver (%s)\n", n,
                             sim->portPath().c_str());
            } catch (const std::exception& e) {
                std::fprintf(stderr, "Plomvare: %s\n", e.what());
                break;
            }
        }
    }

    pmp3p::TForm1Options options;
    options.programFile = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    // The settings beside the program when they are there, else in the
    // user's folders.
    const platform::AppFolders ordner =
        platform::appFolders(options.programFile.parent_path(),
                             pmp3p::programmIniPfad(options.programFile).filename().string());
    options.settingsFile = ordner.settingsFile;
    options.dataFolder = ordner.dataFolder;
    options.arguments = app.arguments().mid(1);
    if (alleSimuliert)
        options.registers = [](std::uint16_t basis, CPort::TCustomComPort& port) {
            return std::unique_ptr<pmp3p::ReceiverRegisters>(
                new pmp3p::DeviceRegisters(port, basis));
        };

    std::unique_ptr<sim::SimRemote> remote;
    if (sim) remote = std::make_unique<sim::SimRemote>(*sim);

    int rc = 0;
    {
        pmp3p::TForm1 mainWindow(std::move(options));
        QObject::connect(&mainWindow, &pmp3p::TForm1::closed, &app, &QApplication::quit,
                         Qt::QueuedConnection);
        mainWindow.show();
        if (remote) {
            remote->move(mainWindow.x() + mainWindow.width() + 16, mainWindow.y());
            remote->show();
        }
        rc = app.exec();
    }
    remote.reset();
    return rc;
}
