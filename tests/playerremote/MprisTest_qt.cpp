// The player interface against a fake MPRIS player on a private bus that the
// test starts itself.
#include "playerremote/WAInt_qt.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

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
