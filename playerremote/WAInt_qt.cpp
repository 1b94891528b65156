#include "playerremote/WAInt_qt.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

#include <algorithm>

namespace WAInt {

namespace {
const QString kPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerIface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

RecordingPlayer& recorder() {
    static RecordingPlayer r;
    return r;
}
Player* current = nullptr;
} // namespace

MprisPlayer::MprisPlayer(QDBusConnection bus, int timeoutMs)
    : bus_(std::move(bus)), timeoutMs_(timeoutMs) {}

QString MprisPlayer::WA_Finden() {
    Player_Fenster.clear();
    if (!bus_.isConnected()) return Player_Fenster;
    QDBusMessage m = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    const QDBusReply<QStringList> reply = bus_.call(m, QDBus::Block, timeoutMs_);
    if (!reply.isValid()) return Player_Fenster;
    QStringList names = reply.value();
    names.sort();
    for (const QString& n : names)
        if (n.startsWith(kPrefix)) {
            Player_Fenster = n;
            break;
        }
    return Player_Fenster;
}

void MprisPlayer::call(const QString& interface, const QString& method,
                       const QList<QVariant>& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(Player_Fenster, kPath, interface, method);
    m.setArguments(args);
    // Sent, not posted: the caller waits until the player has handled it.
    (void)bus_.call(m, QDBus::Block, timeoutMs_);
}

void MprisPlayer::changeVolume(double delta) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(Player_Fenster, kPath, kProperties, QStringLiteral("Get"));
    get.setArguments({kPlayerIface, QStringLiteral("Volume")});
    const QDBusReply<QDBusVariant> reply = bus_.call(get, QDBus::Block, timeoutMs_);
    if (!reply.isValid()) return;
    bool ok = false;
    const double v = reply.value().variant().toDouble(&ok);
    if (!ok) return;
    // Stepped from the player's own value: Vol- stops at 0, Vol+ at 1.0, and
    // a value a player allows above 1.0 is never lowered by Vol+.
    double neu = v + delta;
    if (delta < 0)
        neu = std::max(neu, 0.0);
    else if (v >= 1.0)
        return;
    else
        neu = std::min(neu, 1.0);
    call(kProperties, QStringLiteral("Set"),
         {kPlayerIface, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(neu))});
}

void MprisPlayer::befehl(std::int32_t identifier) {
    if (WA_Finden().isEmpty()) return;
    switch (identifier) {
    case kZurueck:
        call(kPlayerIface, QStringLiteral("Previous"));
        break;
    case kPlay:
        call(kPlayerIface, QStringLiteral("Play"));
        break;
    case kPause:
        call(kPlayerIface, QStringLiteral("Pause"));
        break;
    case kStop:
        call(kPlayerIface, QStringLiteral("Stop"));
        break;
    case kWeiter:
        call(kPlayerIface, QStringLiteral("Next"));
        break;
    case kLauter:
        changeVolume(kVolumeStep);
        break;
    case kLeiser:
        changeVolume(-kVolumeStep);
        break;
    case kVor5:
        call(kPlayerIface, QStringLiteral("Seek"), {QVariant::fromValue(kSeekUs)});
        break;
    case kZurueck5:
        call(kPlayerIface, QStringLiteral("Seek"), {QVariant::fromValue(-kSeekUs)});
        break;
    default:
        break; // the player ignores what it does not know
    }
}

void MprisPlayer::beenden() {
    if (WA_Finden().isEmpty()) return;
    call(kRoot, QStringLiteral("Quit"));
}

void setPlayer(Player* p) {
    current = p;
}

Player& player() {
    return current != nullptr ? *current : recorder();
}

void WA_Befehl(std::int32_t identifier) {
    player().befehl(identifier);
}
void WA_Lauter() {
    WA_Befehl(kLauter);
}
void WA_Leiser() {
    WA_Befehl(kLeiser);
}
void WA_Vor5() {
    WA_Befehl(kVor5);
}
void WA_Zurueck5() {
    WA_Befehl(kZurueck5);
}
void WA_Beenden() {
    player().beenden();
}

} // namespace WAInt
