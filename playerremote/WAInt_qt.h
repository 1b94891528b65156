#pragma once
// The media player: the one running MPRIS player on the session bus stands in
// for the player window, and its methods for the window's command messages.
// Nothing else in the program talks to the player.

#include <QDBusConnection>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace WAInt {

constexpr std::int32_t WM_COMMAND = 0x0111;
constexpr std::int32_t kZurueck = 40044; // previous title
constexpr std::int32_t kPlay = 40045;
constexpr std::int32_t kPause = 40046;
constexpr std::int32_t kStop = 40047;
constexpr std::int32_t kWeiter = 40048; // next title
constexpr std::int32_t kLauter = 40058;
constexpr std::int32_t kLeiser = 40059;
constexpr std::int32_t kVor5 = 40060;
constexpr std::int32_t kZurueck5 = 40061;

// The player seam: a command by its identifier, and the end of the player.
// No result is examined: without a player nothing happens.
class Player {
public:
    virtual ~Player() = default;
    virtual void befehl(std::int32_t identifier) = 0;
    virtual void beenden() = 0;
};

// Records the calls; the default, so no test can reach a real player.
class RecordingPlayer final : public Player {
public:
    void befehl(std::int32_t identifier) override { befehle.push_back(identifier); }
    void beenden() override { ++beendet; }
    std::vector<std::int32_t> befehle;
    int beendet = 0;
};

// An MPRIS player on a bus, looked up again before every command.
class MprisPlayer final : public Player {
public:
    static constexpr double kVolumeStep = 0.05;
    static constexpr qlonglong kSeekUs = 5000000;

    explicit MprisPlayer(QDBusConnection bus = QDBusConnection::sessionBus(), int timeoutMs = 2000);

    // The bus name of the first player in name order; empty when none runs.
    QString WA_Finden();
    void befehl(std::int32_t identifier) override;
    void beenden() override;

    // The player of the last lookup.
    QString Player_Fenster;

private:
    void call(const QString& interface, const QString& method, const QList<QVariant>& args = {});
    void changeVolume(double delta);

    QDBusConnection bus_;
    int timeoutMs_;
};

// Not owning; null restores the recorder.
void setPlayer(Player* p);
Player& player();

void WA_Befehl(std::int32_t identifier);
void WA_Lauter();
void WA_Leiser();
void WA_Vor5();
void WA_Zurueck5();
void WA_Beenden();

} // namespace WAInt
