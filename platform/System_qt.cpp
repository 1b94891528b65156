#include "platform/System_qt.h"

#include <QApplication>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QUrl>

namespace platform {

bool QtSystem::openUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(url)));
}

void QtSystem::beep() {
    QApplication::beep();
}

bool QtSystem::shutdown() {
    QDBusInterface logind(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
    if (!logind.isValid()) return false;
    const QDBusMessage r = logind.call(QStringLiteral("PowerOff"), false);
    return r.type() != QDBusMessage::ErrorMessage;
}

} // namespace platform
