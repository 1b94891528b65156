// The player interface against a fake MPRIS player on a private bus that the
// test starts itself.
#include "playerremote/WAInt_qt.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <mutex>

namespace {

// What the fake player was asked, in order.
class FakePlayer : public QObject {
    Q_OBJECT
public:
    void record(const QString& s) {
        std::lock_guard lock(mutex);
        calls.push_back(s);
    }
    QStringList taken() {
        std::lock_guard lock(mutex);
        QStringList c = calls;
        calls.clear();
        return c;
    }
    std::mutex mutex;
    QStringList calls;
    double volume = 0.5;
};

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
public:
    explicit RootAdaptor(FakePlayer* p) : QDBusAbstractAdaptor(p), p_(p) {}
public slots:
    void Quit() { p_->record(QStringLiteral("Quit")); }

private:
    FakePlayer* p_;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
public:
    explicit PlayerAdaptor(FakePlayer* p) : QDBusAbstractAdaptor(p), p_(p) {}
    double volume() const {
        std::lock_guard lock(p_->mutex);
        return p_->volume;
    }
    void setVolume(double v) {
        {
            std::lock_guard lock(p_->mutex);
            p_->volume = v;
        }
        p_->record(QStringLiteral("Volume %1").arg(v, 0, 'f', 2));
    }
public slots:
    void Play() { p_->record(QStringLiteral("Play")); }
    void Pause() { p_->record(QStringLiteral("Pause")); }
    void Stop() { p_->record(QStringLiteral("Stop")); }
    void Next() { p_->record(QStringLiteral("Next")); }
    void Previous() { p_->record(QStringLiteral("Previous")); }
    void Seek(qlonglong us) { p_->record(QStringLiteral("Seek %1").arg(us)); }

private:
    FakePlayer* p_;
};

// A private message bus for the length of a test.
class PrivateBus {
public:
    bool start(const QString& dir) {
        const QString exe = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (exe.isEmpty()) return false;
        const QString config = dir + QStringLiteral("/bus.conf");
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly)) return false;
        f.write(QStringLiteral(
                    "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                    "1.0//EN\" "
                    "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                    "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                    "<auth>EXTERNAL</auth><policy context=\"default\">"
                    "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                    "<allow own=\"*\"/></policy></busconfig>\n")
                    .arg(dir)
                    .toUtf8());
        f.close();
        process_.start(exe, {QStringLiteral("--config-file=") + config,
                             QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        if (!process_.waitForStarted(10000)) return false;
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(10000)) return false;
        address = QString::fromUtf8(process_.readLine()).trimmed();
        return !address.isEmpty();
    }
    ~PrivateBus() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
    QString address;

private:
    QProcess process_;
};

class Mpris : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        if (!bus.start(dir.path())) GTEST_SKIP() << "no dbus-daemon to run a private bus";
    }
    void TearDown() override {
        if (!serviceName.isEmpty()) {
            QDBusConnection c(serviceName);
            c.unregisterObject(QStringLiteral("/org/mpris/MediaPlayer2"));
            QDBusConnection::disconnectFromBus(serviceName);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        // The fake is deleted on its own thread as that thread finishes.
        if (fake != nullptr) fake->deleteLater();
        if (thread.isRunning()) {
            thread.quit();
            thread.wait(10000);
        }
    }

    // The fake player lives on a thread of its own, so that it answers while
    // the client waits for its reply.
    void startPlayer() {
        fake = new FakePlayer;
        new RootAdaptor(fake);
        new PlayerAdaptor(fake);
        fake->moveToThread(&thread);
        thread.start();
        serviceName = QStringLiteral("fakeplayer");
        QDBusConnection c = QDBusConnection::connectToBus(bus.address, serviceName);
        ASSERT_TRUE(c.isConnected());
        ASSERT_TRUE(c.registerObject(QStringLiteral("/org/mpris/MediaPlayer2"), fake,
                                     QDBusConnection::ExportAdaptors));
        ASSERT_TRUE(c.registerService(QStringLiteral("org.mpris.MediaPlayer2.fake")));
    }

    QTemporaryDir dir;
    PrivateBus bus;
    QThread thread;
    FakePlayer* fake = nullptr;
    QString serviceName;
};

} // namespace

TEST_F(Mpris, CommandsReachTheRunningPlayer) {
    QDBusConnection client = QDBusConnection::connectToBus(bus.address, QStringLiteral("client"));
    ASSERT_TRUE(client.isConnected());
    WAInt::MprisPlayer p(client, 5000);

    // No player: nothing happens and nothing is reported.
    EXPECT_TRUE(p.WA_Finden().isEmpty());
    p.befehl(WAInt::kPlay);
    p.beenden();

    // Started after the client: found by the next command.
    startPlayer();
    WAInt::setPlayer(&p);
    WAInt::WA_Befehl(WAInt::kZurueck);
    WAInt::WA_Befehl(WAInt::kPlay);
    WAInt::WA_Befehl(WAInt::kPause);
    WAInt::WA_Befehl(WAInt::kStop);
    WAInt::WA_Befehl(WAInt::kWeiter);
    WAInt::WA_Lauter();
    WAInt::WA_Leiser();
    WAInt::WA_Leiser();
    WAInt::WA_Vor5();
    WAInt::WA_Zurueck5();
    WAInt::WA_Befehl(40000); // unknown: ignored
    WAInt::WA_Beenden();
    WAInt::setPlayer(nullptr);
    EXPECT_EQ(p.Player_Fenster, QStringLiteral("org.mpris.MediaPlayer2.fake"));
    EXPECT_EQ(fake->taken(),
              (QStringList{"Previous", "Play", "Pause", "Stop", "Next", "Volume 0.55",
                           "Volume 0.50", "Volume 0.45", "Seek 5000000", "Seek -5000000", "Quit"}));

    // The volume stays within 0 and 1.
    {
        std::lock_guard lock(fake->mutex);
        fake->volume = 0.98;
    }
    p.befehl(WAInt::kLauter);
    EXPECT_EQ(fake->taken(), QStringList{"Volume 1.00"});
    // Above 1.0: Vol- steps down from there, Vol+ leaves it.
    {
        std::lock_guard lock(fake->mutex);
        fake->volume = 1.3;
    }
    p.befehl(WAInt::kLauter);
    p.befehl(WAInt::kLeiser);
    EXPECT_EQ(fake->taken(), QStringList{"Volume 1.25"});
    {
        std::lock_guard lock(fake->mutex);
        fake->volume = 0.02;
    }
    p.befehl(WAInt::kLeiser);
    EXPECT_EQ(fake->taken(), QStringList{"Volume 0.00"});
}

#include "MprisTest_qt.moc"

namespace {

// A WAV file of silence: 8 kHz, 8 bit, mono.
bool schreibeWav(const QString& path, int sekunden) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const quint32 n = 8000u * static_cast<quint32>(sekunden);
    auto le32 = [](quint32 v) {
        QByteArray b(4, 0);
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return b;
    };
    auto le16 = [](quint16 v) {
        QByteArray b(2, 0);
        b[0] = static_cast<char>(v & 0xFF);
        b[1] = static_cast<char>(v >> 8);
        return b;
    };
    QByteArray h = "RIFF" + le32(36 + n) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(8000) +
                   le32(8000) + le16(1) + le16(8) + "data" + le32(n);
    return f.write(h) == h.size() && f.write(QByteArray(static_cast<int>(n), '\x80')) == n;
}

// The plugin file of the installed package.
QString mprisPlugin() {
    QProcess dpkg;
    dpkg.start(QStringLiteral("dpkg"), {QStringLiteral("-L"), QStringLiteral("mpv-mpris")});
    if (dpkg.waitForFinished(10000))
        for (const QString& l : QString::fromUtf8(dpkg.readAllStandardOutput()).split('\n'))
            if (l.endsWith(QStringLiteral("/mpris.so")) && QFile::exists(l)) return l;
    return {};
}

// Generous: on a machine busy with three processes per core mpv has been
// seen to take more than ten seconds to start and to answer on the bus.
bool waitUntil(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace

TEST_F(Mpris, DrivesARealPlayer) {
    const QString mpv = QStandardPaths::findExecutable(QStringLiteral("mpv"));
    if (mpv.isEmpty()) GTEST_SKIP() << "mpv is not installed";
    const QString plugin = mprisPlugin();
    if (plugin.isEmpty()) GTEST_SKIP() << "the MPRIS plugin of mpv (mpv-mpris) is not installed";

    QStringList files;
    for (int i = 1; i <= 3; ++i) {
        files << dir.filePath(QStringLiteral("titel%1.wav").arg(i));
        ASSERT_TRUE(schreibeWav(files.back(), 30));
    }
    QProcess player;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address);
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player.setStandardOutputFile(QProcess::nullDevice());
    player.start(
        mpv, QStringList{QStringLiteral("--no-config"), QStringLiteral("--no-video"),
                         QStringLiteral("--ao=null"), QStringLiteral("--idle=yes"),
                         QStringLiteral("--load-scripts=no"), QStringLiteral("--script=") + plugin,
                         QStringLiteral("--no-terminal"), QStringLiteral("--pause"),
                         QStringLiteral("--volume=50"), QStringLiteral("--playlist-start=1")} +
                 files);
    ASSERT_TRUE(player.waitForStarted(10000));
    struct Ende {
        QProcess& p;
        ~Ende() {
            if (p.state() != QProcess::NotRunning) {
                p.kill();
                p.waitForFinished(10000);
            }
        }
    } ende{player};

    QDBusConnection client = QDBusConnection::connectToBus(bus.address, QStringLiteral("client"));
    ASSERT_TRUE(client.isConnected());
    WAInt::MprisPlayer p(client, 5000);
    ASSERT_TRUE(waitUntil([&] { return !p.WA_Finden().isEmpty(); }, 60000)) << "mpv never appeared";

    const auto property = [&](const char* name) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            p.Player_Fenster, QStringLiteral("/org/mpris/MediaPlayer2"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get.setArguments(
            {QStringLiteral("org.mpris.MediaPlayer2.Player"), QString::fromLatin1(name)});
        const QDBusReply<QDBusVariant> r = client.call(get, QDBus::Block, 5000);
        return r.isValid() ? r.value().variant() : QVariant();
    };
    // The title's name once the player has loaded it (its length is known).
    const auto titel = [&] {
        const QVariant m = property("Metadata");
        const QVariantMap map = qdbus_cast<QVariantMap>(m.value<QDBusArgument>());
        if (!map.contains(QStringLiteral("mpris:length"))) return QString();
        return map.value(QStringLiteral("xesam:url")).toString() +
               map.value(QStringLiteral("xesam:title")).toString();
    };
    const auto status = [&] { return property("PlaybackStatus").toString(); };
    const auto volume = [&] { return property("Volume").toDouble(); };
    const auto position = [&] { return property("Position").toLongLong(); };

    ASSERT_TRUE(waitUntil([&] { return titel().contains(QStringLiteral("titel2")); }))
        << titel().toStdString();
    WAInt::setPlayer(&p);
    WAInt::WA_Befehl(WAInt::kZurueck);
    EXPECT_TRUE(waitUntil([&] { return titel().contains(QStringLiteral("titel1")); }));
    WAInt::WA_Befehl(WAInt::kPlay);
    EXPECT_TRUE(waitUntil([&] { return status() == QStringLiteral("Playing"); }));
    // mpv drops a seek until it has loaded the title, which its metadata (the
    // length included) and its status announce before: a position that
    // moves shows the title is loaded.
    EXPECT_TRUE(waitUntil([&] { return position() > 0; })) << position();
    WAInt::WA_Befehl(WAInt::kPause);
    EXPECT_TRUE(waitUntil([&] { return status() == QStringLiteral("Paused"); }));
    // Paused: the position moves only by the seeks, which a player may round
    // to its nearest frame of audio.
    const qlonglong vorher = position();
    WAInt::WA_Vor5();
    EXPECT_TRUE(waitUntil([&] { return std::llabs(position() - vorher - 5000000) < 500000; }))
        << vorher << " " << position();
    WAInt::WA_Zurueck5();
    EXPECT_TRUE(waitUntil([&] { return std::llabs(position() - vorher) < 500000; })) << position();
    WAInt::WA_Befehl(WAInt::kWeiter);
    EXPECT_TRUE(waitUntil([&] { return titel().contains(QStringLiteral("titel2")); }));
    WAInt::WA_Lauter();
    EXPECT_TRUE(waitUntil([&] { return std::abs(volume() - 0.55) < 0.001; })) << volume();
    WAInt::WA_Leiser();
    EXPECT_TRUE(waitUntil([&] { return std::abs(volume() - 0.50) < 0.001; })) << volume();
    // mpv's Stop ends playback and empties its playlist.
    WAInt::WA_Befehl(WAInt::kStop);
    EXPECT_TRUE(waitUntil([&] { return status() == QStringLiteral("Stopped"); }))
        << status().toStdString();
    WAInt::WA_Beenden();
    WAInt::setPlayer(nullptr);
    EXPECT_TRUE(player.waitForFinished(30000));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
}
