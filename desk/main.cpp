// Tavix: the forms in their order, then the message loop until the main
// window closes.
#include "desk/IR_qt.h"
#include "platform/Platform.h"
#include "platform/System_qt.h"
#include "platform/WindowTracker_qt.h"

#include <QApplication>
#include <QFile>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program ends with its main window, whatever else is open.
    app.setQuitOnLastWindowClosed(false);

    platform::QtSystem system;
    platform::setOs(&system);
    platform::WindowTracker::instance().setFollowFocus(true);

    desk::TIRFormOptions options;
    options.programFile = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    options.arguments = app.arguments().mid(1);

    desk::TIRForm mainWindow(std::move(options));
    QObject::connect(&mainWindow, &desk::TIRForm::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);

    mainWindow.show();
    // The application activates its main window when the loop starts.
    platform::WindowTracker::instance().activate(static_cast<QWidget*>(&mainWindow));
    return app.exec();
}
