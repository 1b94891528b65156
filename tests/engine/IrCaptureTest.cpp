#include "IrLernFixture.h"

#include <string>

using Mode = sim::IrDetector::Mode;

class IrCapture : public IrFixture {
protected:
    // Small rates keep the no-IR cases short: W = 15000 and Q = 500 reads.
    void smallLimits() { Sio::Anfragen_Sec = 1000; }
};

TEST_F(IrCapture, NoIrTimesOutAfterBoundedReads) {
    smallLimits();
    for (bool highRes : {false, true}) {
        SCOPED_TRACE(highRes ? "high resolution" : "standard");
        Sio::IR_Fehlertext.clear();
        const int before = ports.reads(kMsr);
        highRes ? Sio::IR_high_res_einlesen() : Sio::IR_einlesen();
        // The reference read, W + 1 reads of waiting, Q + 1 of capturing.
        EXPECT_EQ(ports.reads(kMsr) - before, 1 + 15001 + 501);
        EXPECT_EQ(Sio::IR_Fehlertext, " *Timeout* ");
        EXPECT_EQ(Sio::IR_Burstende, -1);
        EXPECT_EQ(Sio::IR_Messwerte[1], 0);
    }
}

TEST_F(IrCapture, SingleChangeIsAnEvenCount) {
    smallLimits();
    detector.addLinePulse(5 * kMs, 1000000 * kMs);
    Sio::IR_einlesen();
    EXPECT_EQ(Sio::IR_Burstende, 0);
    EXPECT_EQ(Sio::IR_Fehlertext, " *falsche # IR Impulse ");
}

TEST_F(IrCapture, EitherPolarityGivesTheSameDurations) {
    Sio::IR_Methode = 1; // keeps a capture of 2 to 20 durations
    Dbg_disp::Debug_An = true;
    for (bool highRes : {false, true}) {
        std::vector<std::int64_t> seen[2];
        for (bool activeHigh : {true, false}) {
            detector.clear();
            useDetector(Mode::Envelope, 80, activeHigh);
            const std::int64_t t0 = clock.nowPs() + 10 * kMs;
            linePulses(t0, {900, 600, 1200, 600, 900});
            Sio::IR_Fehlertext.clear();
            highRes ? Sio::IR_high_res_einlesen() : Sio::IR_einlesen();
            EXPECT_EQ(Sio::IR_Fehlertext, "") << highRes << activeHigh;
            seen[activeHigh ? 0 : 1] = durations();
        }
        const std::int64_t want[] = {900, 600, 1200, 600, 900};
        ASSERT_EQ(seen[0].size(), 5u);
        ASSERT_EQ(seen[1].size(), 5u);
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_NEAR(seen[0][i], want[i], 2) << "highRes " << highRes << " entry " << i;
            EXPECT_NEAR(seen[1][i], want[i], 2) << "highRes " << highRes << " entry " << i;
        }
    }
    const auto& l = memo.lines;
    auto has = [&](const std::string& s) { return std::find(l.begin(), l.end(), s) != l.end(); };
    EXPECT_TRUE(has("*** IR_einlesen ***"));
    EXPECT_TRUE(has("*** IR_high_res_einlesen ***"));
    EXPECT_TRUE(has("Anzahl Wechsel = IR_Burstende :  5  "));
    EXPECT_TRUE(has("Zu_kurz_Schwelle (us) :  100  "));
}

TEST_F(IrCapture, FragmentsAreWatchedAgainUnderMethodTwoOnly) {
    // A repeat code (3 durations) and later a full command of 25 durations.
    std::vector<std::int64_t> full;
    for (int i = 0; i < 25; ++i)
        full.push_back(i % 2 == 0 ? 600 : 900);
    auto script = [&] {
        detector.clear();
        const std::int64_t t0 = clock.nowPs();
        linePulses(t0 + 10 * kMs, {9000, 2250, 560});
        linePulses(t0 + 900 * kMs, full);
    };
    for (bool highRes : {false, true}) {
        SCOPED_TRACE(highRes ? "high resolution" : "standard");
        Sio::IR_Methode = 2;
        Sio::IR_Fehlertext.clear();
        script();
        highRes ? Sio::IR_high_res_einlesen() : Sio::IR_einlesen();
        EXPECT_EQ(Sio::IR_Burstende, 25);
        EXPECT_EQ(Sio::IR_Fehlertext, "");

        Sio::IR_Methode = 1;
        script();
        highRes ? Sio::IR_high_res_einlesen() : Sio::IR_einlesen();
        EXPECT_EQ(Sio::IR_Burstende, 3);
        clock.advanceMs(1500); // let the rest of the script pass

        // A capture that lost the processor for 3 ms is not watched again:
        // its error text would stay whatever came next.
        Sio::IR_Methode = 2;
        Sio::IR_Fehlertext.clear();
        script();
        int reads = 0;
        ports.setReader(kMsr, [&] {
            if (++reads == 10000) clock.advanceUs(3000); // during the repeat code
            return detector.readMsr(clock.nowPs());
        });
        highRes ? Sio::IR_high_res_einlesen() : Sio::IR_einlesen();
        EXPECT_EQ(Sio::IR_Fehlertext, " *Messung unterbrochen* ");
        EXPECT_EQ(Sio::IR_Burstende, 3);
        ports.setReader(kMsr, [this] { return detector.readMsr(clock.nowPs()); });
        clock.advanceMs(1500);
    }
}

TEST_F(IrCapture, TooLongAndTooShortJudgements) {
    auto train = [&](int durations, std::int64_t us) {
        detector.clear();
        std::vector<std::int64_t> d(static_cast<std::size_t>(durations), us);
        linePulses(clock.nowPs() + 10 * kMs, d);
        Sio::IR_Fehlertext.clear();
        Sio::IR_einlesen();
    };
    train(799, 300); // 800 stamps
    EXPECT_EQ(Sio::IR_Burstende, 799);
    EXPECT_EQ(Sio::IR_Fehlertext, "");
    train(801, 300); // 802 stamps
    EXPECT_EQ(Sio::IR_Burstende, 801);
    EXPECT_EQ(Sio::IR_Fehlertext, " * IR Befehl zu lang *");

    // The poll period is about 1.4 µs, so stay clear of the 100 µs threshold
    // by a few periods on either side.
    train(21, 96);
    EXPECT_EQ(Sio::IR_Fehlertext, " *Impulse zu kurz* ");
    train(21, 104);
    EXPECT_EQ(Sio::IR_Fehlertext, "");
}

TEST_F(IrCapture, HighResolutionMergesCarrierCycles) {
    // Stamp gaps below 290 counter ticks (243 µs) belong to one pulse.
    Sio::IR_Methode = 1;
    useDetector(Mode::Envelope, 0);
    auto gapsOf = [&](std::int64_t gapUs) {
        detector.clear();
        // Flashes shorter than the limit, so that only the gaps decide.
        linePulses(clock.nowPs() + 10 * kMs, {90, gapUs, 90, gapUs, 90, 2000, 300});
        Sio::IR_Fehlertext.clear();
        Sio::IR_high_res_einlesen();
        return durations();
    };
    auto merged = gapsOf(235);
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_NEAR(merged[0], 3 * 90 + 2 * 235, 3);
    EXPECT_NEAR(merged[1], 2000, 3);
    EXPECT_EQ(Sio::IR_Burstende, 3);
    // Gaps that long are pauses the merge swallowed, not carrier cycles: the
    // capture says so. Gaps of up to 100 µs pass as carrier.
    EXPECT_EQ(Sio::IR_Fehlertext, " *Pause zu kurz* ");
    EXPECT_EQ(gapsOf(95).size(), 3u);
    EXPECT_EQ(Sio::IR_Fehlertext, "");
    auto apart = gapsOf(250);
    EXPECT_EQ(apart.size(), 7u);
    EXPECT_EQ(Sio::IR_Fehlertext, "");

    // A real carrier: 38 kHz, duty 1/3, three pulses.
    detector.clear();
    useDetector(Mode::Carrier, 0);
    const std::int64_t t0 = clock.nowPs() + 10 * kMs;
    detector.addBurst(t0, t0 + 560 * 1000000LL, 38000, 1.0 / 3);
    detector.addBurst(t0 + 1120 * 1000000LL, t0 + 2800 * 1000000LL, 38000, 1.0 / 3);
    detector.addBurst(t0 + 3360 * 1000000LL, t0 + 3920 * 1000000LL, 38000, 1.0 / 3);
    Sio::IR_Fehlertext.clear();
    Sio::IR_high_res_einlesen();
    EXPECT_EQ(Sio::IR_Fehlertext, "");
    EXPECT_EQ(Sio::IR_Burstende, 5) << "the count of durations after the merge";
    const auto d = durations();
    ASSERT_EQ(d.size(), 5u);
    // A pulse ends with the last cycle's fall: up to two thirds of a period early.
    EXPECT_NEAR(d[0], 560, 20);
    EXPECT_NEAR(d[1], 560, 20);
    EXPECT_NEAR(d[2], 1680, 20);
    EXPECT_NEAR(d[0] + d[1], 1120, 3);
    EXPECT_EQ(Sio::IR_Messwerte[6], 0);
    EXPECT_EQ(Sio::IR_Messwerte[7], 0);
}

TEST_F(IrCapture, NeverQuietLineEndsWithOverflow) {
    // W = 300000 reads, Q = 10000 reads; the line changes every 500 µs.
    Sio::Anfragen_Sec = 20000;
    for (bool highRes : {false, true}) {
        SCOPED_TRACE(highRes ? "high resolution" : "standard");
        detector.clear();
        remote.flicker(clock.nowPs() + 5 * kMs, 1000, 500);
        Sio::IR_Fehlertext.clear();
        const int before = ports.reads(kMsr);
        highRes ? Sio::IR_high_res_einlesen() : Sio::IR_einlesen();
        const int reads = ports.reads(kMsr) - before;
        EXPECT_LE(reads, 2 * 300000 + 10);
        EXPECT_NE(Sio::IR_Fehlertext.find(" *Ueberlauf* "), std::string::npos)
            << Sio::IR_Fehlertext;
        if (!highRes) {
            EXPECT_NE(Sio::IR_Fehlertext.find(" * IR Befehl zu lang *"), std::string::npos);
        }
    }
}

TEST_F(IrCapture, StampCapStopsInsideTheArray) {
    // Fast flicker: a change every 3 µs reaches 99997 stamps in 0.3 s.
    Sio::IR_Messwerte.back() = 0;
    for (bool highRes : {false, true}) {
        SCOPED_TRACE(highRes ? "high resolution" : "standard");
        detector.clear();
        remote.flicker(clock.nowPs() + 5 * kMs, 6, 3);
        Sio::IR_Fehlertext.clear();
        highRes ? Sio::IR_high_res_einlesen() : Sio::IR_einlesen();
        EXPECT_NE(Sio::IR_Fehlertext.find(" *Ueberlauf* "), std::string::npos)
            << Sio::IR_Fehlertext;
        EXPECT_LE(Sio::IR_Burstende, 99996);
        EXPECT_GT(Sio::IR_Burstende, 0);
        EXPECT_EQ(Sio::IR_Messwerte[99997], 0);
        EXPECT_EQ(Sio::IR_Messwerte.back(), 0);
    }
}

TEST_F(IrCapture, LongestSpanDumpAndHistogram) {
    Dbg_disp::Debug_An = true;
    setCapture({});
    EXPECT_EQ(Sio::Laengste_Zeitspanne(), 0);
    memo.lines = {""};
    Sio::Haeufigkeitsverteilung();
    EXPECT_EQ(memo.lines, (std::vector<std::string>{"Haeufigkeitsverteilung", "", ""}));

    std::vector<std::int64_t> d;
    for (int i = 1; i <= 18; ++i)
        d.push_back(i <= 11 ? i : 5);
    setCapture(d);
    EXPECT_EQ(Sio::Laengste_Zeitspanne(), 11);
    memo.lines = {""};
    Sio::Messwerte_ausgeben();
    ASSERT_EQ(memo.lines.size(), 4u);
    EXPECT_EQ(memo.lines[0], "");
    EXPECT_EQ(memo.lines[1].rfind(" 1  : 1   2  ", 0), 0u) << memo.lines[1];
    EXPECT_EQ(memo.lines[2], " 17  : 5   5  ");
    EXPECT_EQ(memo.lines[3], "");

    memo.lines = {""};
    Sio::Haeufigkeitsverteilung();
    // Eleven distinct values: the tenth pair starts a new line.
    ASSERT_EQ(memo.lines.size(), 4u);
    EXPECT_EQ(memo.lines[0], "Haeufigkeitsverteilung");
    EXPECT_EQ(memo.lines[1].rfind(" 1  - 1   2  - 1  ", 0), 0u) << memo.lines[1];
    EXPECT_NE(memo.lines[1].find(" 5  - 8  "), std::string::npos);
    EXPECT_EQ(memo.lines[2], " 10  - 1   11  - 1  ");
}
