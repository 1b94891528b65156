// Key presses: the send buffer handed to the engine, priority around the
// send, macros on the virtual clock, the macro stop and batch mode.
#include "support/DeskFixture.h"

#include "platform/Errors.h"

#include <QAction>
#include <QSignalSpy>

#include <sys/stat.h>

namespace {
using platform::PriorityClass;
using Prio = std::vector<PriorityClass>;
} // namespace

class Send : public DeskFixture {
protected:
    void SetUp() override {
        writeCompleteSettings(100);
        makeForm();
        activate();
    }
    std::vector<std::int32_t> head(const Sio::TBefehl& b, std::size_t n) {
        return std::vector<std::int32_t>(b.begin(), b.begin() + static_cast<long>(n));
    }
};

TEST_F(Send, RawAndAnalyticCommandsBecomeTheSendBuffer) {
    auto& f = *form;
    desk::TButtonx& raw = key(101, 0, {2, 9000, 4500, 560, 0});
    f.TasteClick(&raw);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(head(sent[0], 6), (std::vector<std::int32_t>{2, 9000, 4500, 560, 0, 0}));
    EXPECT_EQ(os.priorityCalls, (Prio{PriorityClass::RealtimeShort, PriorityClass::Normal}));
    EXPECT_EQ(raw.Befehl[1], 9000) << "the key's command is not changed";
    EXPECT_EQ(memo.lines.at(memo.lines.size() - 3), "Sende Knopf 101 = &Tuner");
    EXPECT_EQ(memo.lines.at(memo.lines.size() - 2), "++");

    // "A": bits 1010 and the appended 0000.
    f.TasteClick(&key(102, 2, {3, 500, 20000}, "A"));
    EXPECT_EQ(head(sent.back(), 6), (std::vector<std::int32_t>{3, 500, 500, 500, 20000, 0}));
    // Runs of equal bits become one duration each; blanks are skipped.
    f.TasteClick(&key(102, 2, {1, 100, 7000}, "c 3"));
    // 1100 0011 0000: 2, 4, 2 and the pause for the last run
    EXPECT_EQ(head(sent.back(), 6), (std::vector<std::int32_t>{1, 200, 400, 200, 7000, 0}));
    // A first bit 0 leaves entry 1 empty: nothing to send.
    f.TasteClick(&key(102, 2, {1, 100, 7000}, "5"));
    EXPECT_EQ(sent.back()[1], 0);
    f.TasteClick(&key(102, 2, {1, 100, 7000}, ""));
    EXPECT_EQ(head(sent.back(), 4), (std::vector<std::int32_t>{1, 0, 7000, 0}));
    // A macro key's buffer stays empty when sent as a step; another type too.
    f.Befehl_aussenden(7, raw.Befehl, "");
    EXPECT_EQ(head(sent.back(), 3), (std::vector<std::int32_t>{0, 0, 0}));

    // Without the real-time item no priority change.
    os.priorityCalls.clear();
    f.RealTimeModus1->setChecked(false);
    f.TasteClick(&raw);
    EXPECT_TRUE(os.priorityCalls.empty());
}

TEST_F(Send, KeyPressGoesOutOnTheSimulatedIrSender) {
    desk::setIrSender({}); // the engine's own send
    key(101, 0, {2, 2400, 600, 1200, 45000});
    key(102, 2, {1, 600, 10000}, "C");
    const std::size_t before = sim.irSender->bursts().size();
    form->Taste(101)->click();
    form->Taste(102)->click();
    sim.sync();
    const auto& b = sim.irSender->bursts();
    // Twice 2400 on, 600 off, 1200 on; then "C" = 1100: 1200 on.
    ASSERT_EQ(b.size() - before, 5u) << sim.irSender->text();
    auto us = [](sim::Ps ps) { return static_cast<double>(ps) / 1e6; };
    const std::vector<double> on = {2400, 1200, 2400, 1200, 1200};
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_NEAR(us(b[before + i].lengthPs()), on[i], 30) << i << " " << sim.irSender->text();
    EXPECT_NEAR(us(b[before + 1].start - b[before].start), 3000, 30);
    EXPECT_EQ(os.priorityCalls.size(), 4u);
}

TEST_F(Send, ErrorsEndTheSendAndGiveBackThePriority) {
    auto& f = *form;
    // More runs than the buffer holds.
    desk::TButtonx& lang = key(102, 2, {1, 100, 7000}, std::string(210, 'A'));
    prompts.expectError("Bereichsfehler: Befehlspuffer[801]");
    lang.click();
    EXPECT_TRUE(sent.empty());

    desk::setIrSender([](const Sio::TBefehl&) -> std::int32_t {
        throw ERangeError("Bereichsfehler: IR_Messwerte[100001]");
    });
    desk::TButtonx& raw = key(101, 0, {1, 9000, 0});
    prompts.expectError("Bereichsfehler: IR_Messwerte[100001]");
    raw.click();
    EXPECT_EQ(os.priorityCalls, (Prio{PriorityClass::RealtimeShort, PriorityClass::Normal}));
    EXPECT_EQ(os.current, PriorityClass::Normal);

    // A refused priority change is reported and the send goes on.
    desk::setIrSender([this](const Sio::TBefehl& b) {
        sent.push_back(b);
        return 1;
    });
    os.priorityResult = false;
    prompts.expectMessage("Problem Set_priority").expectMessage("Problem Set_priority");
    raw.click();
    EXPECT_EQ(sent.size(), 1u);
    (void)f;
}

TEST_F(Send, MacroPausesBeforeEachStepAndOnceMore) {
    auto& f = *form;
    key(101, 0, {1, 1000, 0});
    key(203, 0, {1, 2000, 0});
    desk::TButtonx& m = key(305, 1, {1500, 101, 203});
    const double start = clock.nowUs() / 1000.0;
    f.TasteClick(&m);
    const double end = clock.nowUs() / 1000.0;
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0][1], 1000);
    EXPECT_EQ(sent[1][1], 2000);
    EXPECT_NEAR(sentAtMs[0] - start, 1500, 1);
    EXPECT_NEAR(sentAtMs[1] - sentAtMs[0], 1500, 1);
    EXPECT_NEAR(end - sentAtMs[1], 1500, 1);
    EXPECT_FALSE(f.Makrostop1->isVisible());
    EXPECT_EQ(sim.uart.modemControl() & 3, 0) << "channel 0 chosen";

    // Short pauses take 201 ms; a step that is a macro sends an empty list;
    // a step naming no key ends the macro.
    sent.clear();
    sentAtMs.clear();
    key(306, 1, {100, 101, 305, 3115, 203});
    const double s2 = clock.nowUs() / 1000.0;
    f.TasteClick(f.Taste(306));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_NEAR(sentAtMs[0] - s2, 201, 1);
    EXPECT_EQ(sent[1][0], 0) << "macro step: empty list";
    EXPECT_NEAR(clock.nowUs() / 1000.0 - s2, 3 * 201, 1);
}

TEST_F(Send, MakrostopEndsEveryRunningMacro) {
    auto& f = *form;
    key(101, 0, {1, 1000, 0});
    key(102, 0, {1, 1000, 0});
    desk::TButtonx& outer = key(401, 1, {1000, 101, 102});
    desk::TButtonx& inner = key(402, 1, {1000, 101, 102});
    const double start = clock.nowUs() / 1000.0;
    bool innerStarted = false;
    bool visibleAfterStop = false;
    onProcessMessages = [&] {
        const double t = clock.nowUs() / 1000.0 - start;
        if (!innerStarted && t > 300) {
            innerStarted = true;
            f.TasteClick(&inner); // a click during the outer macro's pause
            visibleAfterStop = f.Makrostop1->isVisible() && f.Makrostop1->isChecked();
        } else if (innerStarted && f.laufendeMakros() == 2 && t > 600) {
            f.Makrostop1->trigger();
        }
    };
    f.TasteClick(&outer);
    EXPECT_TRUE(innerStarted);
    EXPECT_TRUE(visibleAfterStop) << "the outer macro still runs";
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(f.Makrostop1->isVisible());
    EXPECT_FALSE(f.Makrostop1->isChecked());
    EXPECT_EQ(f.laufendeMakros(), 0);
    EXPECT_NEAR(clock.nowUs() / 1000.0 - start, 1002, 2);

    // A single macro stopped in its second pause sends nothing more.
    const double s2 = clock.nowUs() / 1000.0;
    onProcessMessages = [&] {
        if (clock.nowUs() / 1000.0 - s2 > 1300) f.Makrostop1Click();
    };
    f.TasteClick(&outer);
    EXPECT_EQ(sent.size(), 1u);
}

TEST_F(Send, LearnModeClicksSendNothing) {
    auto& f = *form;
    f.Lernen1Click();
    int learnt = 0;
    f.LerneKnopf = [&](desk::TButtonx& k) { learnt = k.Knopfnummer; };
    f.Datei_geaendert = false;
    f.TasteClick(&key(101, 0, {1, 1000, 0}));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(learnt, 101);
    EXPECT_TRUE(f.Datei_geaendert);
}

TEST_F(Send, BatchSendsNamedKeysReportsUnknownOnesAndCloses) {
    form.reset();
    const std::string keys = file("keys.cdx").string();
    {
        auto& g = makeForm();
        g.Setze_Beschriftung(101, "TV +");
        g.Setze_Beschriftung(102, "Mute");
        g.Taste(101)->Befehl = {};
        g.Taste(101)->Befehl[0] = 1;
        g.Taste(101)->Befehl[1] = 777;
        g.Taste(102)->Befehl = {}; // shown disabled, still sent in batch mode
        g.Schreibe_Fernsteuerdatei(keys);
        form.reset();
    }
    auto& f = makeForm({QString::fromStdString(keys), "TV +", "Nix", "Mute", "", "TV +"});
    QSignalSpy closed(&f, &desk::TIRForm::closed);
    activate();
    ASSERT_TRUE(f.Timer3->isActive());
    EXPECT_FALSE(f.Taste(102)->isEnabled());
    prompts.expectMessage(QStringLiteral("In Fernsteuerdatei/in file \r") +
                          QString::fromStdString(keys) +
                          QStringLiteral("\rkeine Taste/no key >Nix< "));
    const double start = clock.nowUs() / 1000.0;
    f.Timer3Timer();
    EXPECT_FALSE(f.Timer3->isActive());
    ASSERT_EQ(sent.size(), 2u) << "the arguments end at the empty one";
    EXPECT_EQ(sent[0][1], 777);
    EXPECT_EQ(sent[1][0], 0);
    EXPECT_NEAR(sentAtMs[0] - start, 100, 1);
    EXPECT_NEAR(sentAtMs[1] - start, 300, 1);
    EXPECT_NEAR(clock.nowUs() / 1000.0 - start, 400, 1);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(f.windowTitle(),
              QStringLiteral("Befehl >Mute< aus Datei ") + QString::fromStdString(keys));
    EXPECT_TRUE(f.Batchfehler) << "a caption no key has fails the run";

    // A key file that is missing or no plain file ends the run at once:
    // nothing is created, stored as the default or sent, and nothing waits
    // for a FIFO's writer.
    const std::string gespeichert =
        platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", "");
    ASSERT_EQ(::mkfifo(file("fifo.cdx").c_str(), 0600), 0);
    std::filesystem::create_directory(file("ordner.cdx"));
    const std::pair<std::string, QString> faelle[] = {
        {file("fehlt.cdx").string(), QStringLiteral("Fernsteuerdatei >%1< nicht gefunden\rKey "
                                                    "file not found")},
        {file("fifo.cdx").string(),
         QStringLiteral("Datei >%1< ist keine gewöhnliche Datei (Ordner, Gerät oder FIFO)\rNot a "
                        "regular file (folder, device or FIFO)")},
        {file("ordner.cdx").string(),
         QStringLiteral("Datei >%1< ist keine gewöhnliche Datei (Ordner, Gerät oder FIFO)\rNot a "
                        "regular file (folder, device or FIFO)")}};
    for (const auto& [name, fehler] : faelle) {
        form.reset();
        sent.clear();
        auto& g = makeForm({QString::fromStdString(name), "TV +"});
        QSignalSpy zu(&g, &desk::TIRForm::closed);
        prompts.expectError(fehler.arg(QString::fromStdString(name)));
        activate();
        EXPECT_EQ(zu.count(), 1) << name;
        EXPECT_TRUE(g.Batchfehler) << name;
        EXPECT_FALSE(g.Timer3->isActive()) << name;
        EXPECT_TRUE(sent.empty()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(file("fehlt.cdx")));
    EXPECT_EQ(platform::IniFile(iniPath()).readString("Dateien", "Fernsteuerdatei", ""),
              gespeichert);
}

TEST_F(Send, CommandNotSentCleanIsShownOnceAndFailsTheBatch) {
    auto& f = *form;
    using E = desk::TIRForm::Sendeergebnis;
    const QString busy = QStringLiteral(
        "IR-Befehl nicht sauber gesendet: der Rechner war zu beschäftigt\rIR command not sent "
        "cleanly: the computer was too busy");
    std::int32_t result = 0;
    desk::setIrSender([&](const Sio::TBefehl& b) {
        sent.push_back(b);
        return result;
    });
    desk::TButtonx& raw = key(101, 0, {1, 9000, 4500, 560, 40000});
    desk::TButtonx& leer = key(102, 0, {1, 0});
    // A key press shows it, after the priority is back; a transmitter that
    // took no characters is named.
    prompts.onShown = [&](const platform::ScriptedPrompts::Shown&) {
        EXPECT_EQ(os.current, PriorityClass::Normal);
    };
    prompts.expectMessage(busy);
    EXPECT_EQ(f.TasteClick(&raw), E::Gestoert);
    Sio::Sende_Timeout = true;
    prompts.expectMessage(QStringLiteral("IR-Befehl nicht gesendet: der Sender nimmt keine "
                                         "Zeichen an\rIR command not sent: the transmitter takes "
                                         "no characters"));
    EXPECT_EQ(f.TasteClick(&raw), E::Gestoert);
    Sio::Sende_Timeout = false;
    prompts.onShown = {};
    // A macro whose steps all failed says so once, at its end.
    desk::TButtonx& m = key(305, 1, {0, 101, 102, 101});
    prompts.expectMessage(busy);
    EXPECT_EQ(f.TasteClick(&m), E::Gestoert);
    EXPECT_EQ(sent.size(), 5u);
    // Nothing to send is no failure of a key press; a macro that sent
    // something and had nothing to send for a step is not clean either.
    result = 1;
    EXPECT_EQ(f.TasteClick(&leer), E::Leer);
    EXPECT_EQ(f.TasteClick(&raw), E::Gesendet);
    EXPECT_EQ(f.TasteClick(&m), E::Leer);
    EXPECT_EQ(f.TasteClick(&key(306, 1, {0, 101, 101})), E::Gesendet);

    // Batch mode: only keys that went out clean let it end well. A send
    // the machine disturbed is said on standard error, not in a dialog that
    // would hold a run nobody watches.
    const Sio::TBefehl befehl = raw.Befehl;
    form.reset();
    const std::string keys = file("keys.cdx").string();
    {
        auto& g = makeForm();
        g.Setze_Beschriftung(101, "TV +");
        g.Setze_Beschriftung(102, "Mute");
        g.Taste(101)->Befehl = befehl;
        g.Taste(102)->Befehl = {};
        g.Schreibe_Fernsteuerdatei(keys);
        form.reset();
    }
    struct Fall {
        QStringList keys;
        std::int32_t result;
        bool fehler;
    };
    for (const Fall& c : {Fall{{"TV +", "TV +"}, 1, false}, Fall{{"TV +", "Mute"}, 1, true},
                          Fall{{"TV +"}, 0, true}}) {
        SCOPED_TRACE(c.keys.join(",").toStdString() + " " + std::to_string(c.result));
        form.reset();
        result = c.result;
        auto& g = makeForm(QStringList{QString::fromStdString(keys)} + c.keys);
        activate();
        testing::internal::CaptureStderr();
        g.Timer3Timer();
        const std::string fehlerausgabe = testing::internal::GetCapturedStderr();
        EXPECT_EQ(g.Batchfehler, c.fehler);
        EXPECT_EQ(fehlerausgabe.find("IR command not sent cleanly: the computer was too busy") !=
                      std::string::npos,
                  c.result == 0)
            << fehlerausgabe;
    }
}
