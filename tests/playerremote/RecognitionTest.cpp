// Burst evaluation on stamped batches: thresholds, learning, recognition,
// repeats, the Stop countdown and the receive buffer's bounds.
#include "BurstSupport.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace burst;
using pmp3p::Befehl_Slot;
using pmp3p::Erkennung;

namespace {

const Frame kA = {0xE0, 0x22, 0xF2, 0x82};
const Frame kB = {0xE0, 0x33, 0xE5, 0x83};
const Frame kC = {0xE0, 0x44, 0xD8, 0x84};

Befehl_Slot slot(std::vector<std::int32_t> v) {
    Befehl_Slot s{};
    std::copy(v.begin(), v.end(), s.begin());
    return s;
}

std::vector<std::int32_t> entries(const Befehl_Slot& s) {
    const auto L = static_cast<std::size_t>(std::clamp(s[0], 0, 100));
    return {s.begin(), s.begin() + static_cast<long>(L) + 1};
}

bool contains(const std::vector<std::string>& lines, const std::string& l) {
    return std::find(lines.begin(), lines.end(), l) != lines.end();
}

struct Remote {
    Erkennung e;
    RecordingHost host;
    std::int64_t t = 10000000; // the next burst starts here
    std::int64_t next = 0;

    void press(const std::vector<Frame>& fs) {
        abspielen(e, host, frames(t, fs), next);
        t = next + 1000000;
    }
    void learn(const std::vector<Frame>& fs, pmp3p::Befehl befehl, const std::string& caption) {
        host.lernen = true;
        press(fs);
        e.lerne(befehl, caption);
        host.lernen = false;
    }
};

} // namespace

TEST(Recognition, LearnsTheFirstFrameAndFiresOncePerBurst) {
    Remote r;
    r.host.lernen = true;
    r.press(wiederholt(kA, 3));
    // Gaps from position 2: 9 x 7159 and 2 x 53693; twice their mean.
    EXPECT_EQ(r.e.Pausenschwelle, 31239);
    EXPECT_EQ(entries(r.e.Lern_Kandidat),
              (std::vector<std::int32_t>{6, 312, 0, 0xE0, 0x22, 0xF2, 0x82}));
    EXPECT_TRUE(r.host.klicks.empty());
    EXPECT_TRUE(contains(r.host.memo2, "12 Zeichen erkannt"));
    EXPECT_TRUE(contains(r.host.memo2, "31239 ca. 2 *  Mittelwert Verz\xF6gerung (171817 / 11 )"));
    EXPECT_EQ(r.host.memo1.front(), "1     224     10000000");
    EXPECT_FALSE(r.host.timer1);

    EXPECT_EQ(r.e.lerne(pmp3p::Befehl::Play, "Play"),
              "Lerne Befehl als >Play<\rNeuer Befehl, Fachnr. 1");
    EXPECT_EQ(entries(r.e.Faecher[1]),
              (std::vector<std::int32_t>{6, 312, 2, 0xE0, 0x22, 0xF2, 0x82}));
    r.host.lernen = false;

    // A held key: many frames, one command.
    r.press(wiederholt(kA, 8));
    EXPECT_EQ(r.host.klicks, std::vector<std::int32_t>{2});
    EXPECT_TRUE(contains(r.host.memo2, " - gefeuert ! -  Befehl 2-Play    Fach  1"));
    EXPECT_EQ(r.e.Gefeuertes_Fach, 0);
    EXPECT_TRUE(r.e.Bereit);

    // Another key does not fire the learnt one; a fresh burst of it fires again.
    r.press(wiederholt(kB, 3));
    r.press(wiederholt(kA, 3));
    EXPECT_EQ(r.host.klicks, (std::vector<std::int32_t>{2, 2}));

    // A single frame offers only position 1: a pattern of more than one byte
    // is not found in it.
    r.press({kA});
    EXPECT_EQ(r.host.klicks.size(), 2u);

    // The GUI thread was held up as a short press began: the timer's first
    // tick comes when the burst is already over. It is evaluated, then ended.
    const std::vector<Batch> kurz = frames(r.t, wiederholt(kA, 2));
    for (const Batch& b : kurz)
        r.e.empfange(b.stamp, b.bytes.data(), static_cast<int>(b.bytes.size()));
    r.host.timer1 = true;
    r.e.tick(kurz.back().stamp + pmp3p::kBurstEnde + 50000, r.host);
    EXPECT_EQ(r.host.klicks, (std::vector<std::int32_t>{2, 2, 2}));
    EXPECT_TRUE(contains(r.host.memo2, "8 Zeichen erkannt"));
    EXPECT_TRUE(contains(r.host.memo2, " - gefeuert ! -  Befehl 2-Play    Fach  1"));
    EXPECT_FALSE(r.host.timer1);
    EXPECT_TRUE(r.e.Bereit);
    EXPECT_EQ(r.e.Empfang.count(), 0);
    // The next burst starts afresh, however few its bytes.
    r.t = kurz.back().stamp + 2000000;
    r.press(wiederholt(kA, 2));
    EXPECT_EQ(r.host.klicks, (std::vector<std::int32_t>{2, 2, 2, 2}));
}

TEST(Recognition, LowestMatchingSlotWinsAndOnlyVolumeAndSeekRepeat) {
    Remote r;
    r.learn(wiederholt(kA, 3), pmp3p::Befehl::VolumeUp, "VolPlus");
    r.learn(wiederholt(kB, 3), pmp3p::Befehl::Pause, "Pause");
    r.learn(wiederholt(kA, 3), pmp3p::Befehl::Back5, "Back5"); // the same pattern: slot 1 now Back5
    EXPECT_EQ(r.e.Faecher[1][2], 9);
    EXPECT_EQ(r.e.Faecher[3][0], 0);

    // 12 frames span three ticks with new bytes: fired once, repeated twice.
    r.press(wiederholt(kA, 12));
    EXPECT_EQ(r.host.klicks, (std::vector<std::int32_t>{9, 9, 9}));
    r.host.klicks.clear();
    r.press(wiederholt(kB, 12));
    EXPECT_EQ(r.host.klicks, std::vector<std::int32_t>{3});

    // Learn mode: the slot fires without any click, not even for repeats.
    r.host.klicks.clear();
    r.host.lernen = true;
    r.host.memo2.clear();
    r.press(wiederholt(kA, 12));
    EXPECT_TRUE(r.host.klicks.empty());
    EXPECT_EQ(r.e.Letzter_Befehl, pmp3p::Befehl::Back5);
    EXPECT_TRUE(contains(r.host.memo2, " - gefeuert ! -  Befehl 9-Back5    Fach  1"));

    // A slot with a command outside 1 to 9 shows a message when it fires.
    r.host.lernen = false;
    r.e.Faecher[1][2] = 12;
    r.host.memo2.clear();
    r.press(wiederholt(kA, 3));
    EXPECT_EQ(r.host.meldungen, std::vector<std::string>{"Falsche Befehlsnummer"});
    EXPECT_TRUE(contains(r.host.memo2, " - gefeuert ! -  Befehl 12-undefiniert    Fach  1"));
}

TEST(Recognition, ThresholdAndCandidateEdges) {
    Remote r;
    // One byte: no gap from position 2 on.
    r.press({{0x55}});
    EXPECT_EQ(r.e.Pausenschwelle, 20000);
    EXPECT_TRUE(contains(r.host.memo2, "20000 ca. 2 *  Mittelwert Verz\xF6gerung (0 / -1 )"));
    EXPECT_EQ(entries(r.e.Lern_Kandidat), (std::vector<std::int32_t>{3, 200, 0, 0x55}));

    // A leading 0 is skipped.
    r.press({{0x00, 0x05, 0x06}});
    EXPECT_EQ(entries(r.e.Lern_Kandidat), (std::vector<std::int32_t>{4, 143, 0, 5, 6}));

    // A lone 0 leaves the candidate empty, as before any burst: a button
    // press then fills no slot.
    r.press({{0x00}});
    EXPECT_EQ(r.e.Lern_Kandidat[0], 0);
    EXPECT_EQ(r.e.lerne(pmp3p::Befehl::Play, "Play"), "Lerne Befehl als >Play<\rBefehl \xFC"
                                                      "berschrieben, Fachnr. 1");
    EXPECT_EQ(r.e.Faecher[1][0], 0);

    // The candidate stops after 95 positions.
    Frame lang;
    for (int i = 0; i < 120; ++i)
        lang.push_back(static_cast<std::uint8_t>(i + 1));
    r.press({lang});
    EXPECT_EQ(r.e.Lern_Kandidat[0], 97);
    EXPECT_EQ(r.e.Lern_Kandidat[97], 95);

    // A one-entry pattern matches the single frame's position 1 against
    // position 0, which is always 0.
    r.e.Faecher[5] = slot({3, 0, 5, 0});
    r.press({kC});
    EXPECT_EQ(r.host.klicks, std::vector<std::int32_t>{5});
}

TEST(Recognition, LearningMessagesAndSlotTable) {
    Erkennung e;
    // No burst yet: the empty candidate equals the first empty slot.
    EXPECT_EQ(e.lerne(pmp3p::Befehl::Stop, "Stop"), "Lerne Befehl als >Stop<\rBefehl \xFC"
                                                    "berschrieben, Fachnr. 1");
    EXPECT_EQ(e.Faecher[1][0], 0);

    for (int s = 1; s <= 30; ++s)
        e.Faecher[static_cast<std::size_t>(s)] = slot({4, 100, 1, s, s});
    e.Lern_Kandidat = slot({4, 100, 0, 7, 7});
    EXPECT_EQ(e.lerne(pmp3p::Befehl::Pause, "Pause"), "Lerne Befehl als >Pause<\rBefehl \xFC"
                                                      "berschrieben, Fachnr. 7");
    EXPECT_EQ(e.Faecher[7][2], 3);
    e.Lern_Kandidat = slot({4, 100, 0, 99, 99});
    EXPECT_EQ(e.lerne(pmp3p::Befehl::Pause, "Pause"),
              "Lerne Befehl als >Pause<\rZu viele Befehle gelernt !");
    EXPECT_THROW(e.fach(31), ERangeError);
    EXPECT_THROW(e.fach(0), ERangeError);
}

TEST(Recognition, StopCountdownEndsPlayerProgramAndMachine) {
    // Short presses as well as long ones: each Stop is counted when it fires.
    for (const int frames : {2, 3, 5}) {
        SCOPED_TRACE(frames);
        const auto run = [frames](Remote& r, bool erlaubt, bool gelingt) {
            r.host.shutdownErlaubt = erlaubt;
            r.host.shutdownGelingt = gelingt;
            r.learn(wiederholt(kA, 3), pmp3p::Befehl::Stop, "Stop");
            r.press(wiederholt(kA, frames));
            EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 1);
            EXPECT_EQ(r.host.countdown.Caption, "*Count_Down 1");
            EXPECT_TRUE(r.host.countdown.Visible);
            r.press(wiederholt(kA, frames));
            EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 2);
            EXPECT_TRUE(r.host.ablauf.empty());
            r.press(wiederholt(kA, frames));
            EXPECT_EQ(r.host.ablauf,
                      (std::vector<std::string>{"beep", "beep", "player end", "timer2", "beep"}));
            r.host.ablauf.clear();
            r.press(wiederholt(kA, frames));
        };
        Remote a, b, c;
        run(a, true, true);
        EXPECT_EQ(a.host.ablauf, (std::vector<std::string>{"beep", "shutdown", "close"}));
        EXPECT_TRUE(a.host.meldungen.empty());
        run(b, false, true);
        EXPECT_EQ(b.host.ablauf, (std::vector<std::string>{"beep", "close"}));
        run(c, true, false);
        EXPECT_EQ(c.host.ablauf, (std::vector<std::string>{"beep", "shutdown", "close"}));
        EXPECT_EQ(c.host.meldungen, std::vector<std::string>{"Fehlercode5"});
    }
}

TEST(Recognition, StopCountdownCountsOnlyRealStops) {
    for (const int frames : {2, 3, 5}) {
        SCOPED_TRACE(frames);
        Remote r;
        r.learn(wiederholt(kA, 3), pmp3p::Befehl::Stop, "Stop");
        r.learn(wiederholt(kB, 3), pmp3p::Befehl::Play, "Play");

        // Three Stops end the player at the third; the Play after them is
        // only a Play.
        for (int i = 0; i < 3; ++i)
            r.press(wiederholt(kA, frames));
        EXPECT_EQ(r.host.ablauf,
                  (std::vector<std::string>{"beep", "beep", "player end", "timer2", "beep"}));
        r.host.ablauf.clear();
        r.press(wiederholt(kB, frames));
        EXPECT_TRUE(r.host.ablauf.empty());
        EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 0);

        // A long Stop counts once.
        r.press(wiederholt(kA, 12));
        EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 1);
        EXPECT_TRUE(r.host.ablauf.empty());

        // Re-teaching Stop in learn mode counts nothing, then or later.
        r.e.Count_down_Zaehler.Tag = 0;
        r.host.lernen = true;
        for (int i = 0; i < 4; ++i) {
            r.press(wiederholt(kA, frames));
            EXPECT_EQ(r.e.Letzter_Befehl, pmp3p::Befehl::Stop);
            r.e.lerne(pmp3p::Befehl::Stop, "Stop");
        }
        EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 0);
        r.host.lernen = false;
        r.press(wiederholt(kC, 5));
        EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 0);
        EXPECT_TRUE(r.host.ablauf.empty());
        EXPECT_TRUE(r.host.meldungen.empty());
    }
}

TEST(Recognition, StopCountdownFallsBack) {
    Remote r;
    r.learn(wiederholt(kA, 3), pmp3p::Befehl::Stop, "Stop");
    r.learn(wiederholt(kB, 3), pmp3p::Befehl::Play, "Play");

    // Two Stops, then Play: back to 0 as soon as Play fires.
    r.press(wiederholt(kA, 2));
    r.press(wiederholt(kA, 3));
    EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 2);
    r.press(wiederholt(kB, 2));
    EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 0);
    EXPECT_EQ(r.host.countdown.Caption, "Count Down");

    // More than 10000000 ticks after the last counted Stop.
    r.press(wiederholt(kA, 5));
    EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 1);
    r.t += 10000000;
    r.press(wiederholt(kA, 5));
    EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 1);

    // Five burst ends without a new count.
    for (int i = 0; i < 3; ++i)
        r.press(wiederholt(kC, 3));
    EXPECT_EQ(r.host.countdown.Caption, "****Count_Down 1");
    EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 1);
    r.press(wiederholt(kC, 3));
    EXPECT_EQ(r.e.Count_down_Zaehler.Tag, 0);
    EXPECT_EQ(r.host.countdown.Caption, "Count Down");
    EXPECT_TRUE(r.host.ablauf.empty());
}

TEST(Recognition, DisplayOffWritesNothing) {
    Remote r;
    r.host.anzeigeAn = false;
    r.learn(wiederholt(kA, 3), pmp3p::Befehl::Play, "Play");
    r.press(wiederholt(kA, 3));
    EXPECT_EQ(r.host.klicks, std::vector<std::int32_t>{2});
    EXPECT_TRUE(r.host.memo1.empty());
    EXPECT_TRUE(r.host.memo2.empty());
    EXPECT_EQ(r.host.label1, 0);
}

TEST(ReceiveBuffer, BoundsAndStamps) {
    pmp3p::ReceiveBuffer b;
    std::vector<std::uint8_t> viele(2000, 0x11);
    b.append(1000, viele.data(), 2000);
    EXPECT_EQ(b.count(), 1500);
    ASSERT_TRUE(b.endIfSilent(1000 + pmp3p::kBurstEnde));

    b.append(5000000, viele.data(), 700);
    EXPECT_EQ(b.count(), 700);
    const std::uint8_t x = 0x22;
    b.append(5000100, &x, 1); // 666 or more buffered: read and dropped
    EXPECT_EQ(b.count(), 700);
    EXPECT_EQ(b.stamp(), 5000100);
    EXPECT_FALSE(b.endIfSilent(5000100 + pmp3p::kBurstEnde - 1));
    EXPECT_TRUE(b.endIfSilent(5000100 + pmp3p::kBurstEnde));

    // The gap of the next batch counts from the dropped one.
    b.append(5000300, &x, 1);
    const auto s = b.snapshot();
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.gaps[1], 200);
    EXPECT_EQ(s.bytes[0], 0);
}

TEST(ReceiveBuffer, BatchesFromAnotherThreadAreNeverLost) {
    // The event thread appends while the GUI thread evaluates and resets.
    // A reset happens only when no batch came since the evaluated snapshot,
    // so every byte is either still buffered or was evaluated.
    pmp3p::ReceiveBuffer b;
    constexpr int kBatches = 20000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= kBatches; ++i) {
            // Only the reader lowers the count: below 600 there is room.
            while (b.count() >= 600)
                std::this_thread::yield();
            const auto v = static_cast<std::uint8_t>(1 + i % 200);
            b.append(i, &v, 1);
        }
        done = true;
    });
    long long ausgewertet = 0;
    for (;;) {
        const bool ende = done.load();
        const auto s = b.snapshot();
        for (int k = 1; k <= s.count; ++k)
            ASSERT_NE(s.bytes[static_cast<std::size_t>(k)], 0);
        if (s.count > 0 && b.endIfSilent(s.stamp + pmp3p::kBurstEnde)) ausgewertet += s.count;
        if (ende) break;
    }
    writer.join();
    EXPECT_EQ(ausgewertet + b.count(), kBatches);
}
