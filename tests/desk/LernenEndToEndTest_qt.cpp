// A user's road through the learn dialog on the simulated adapter: learn a
// key from the remote, name it, and send it back in normal mode; the key file
// keeps it.
#include "LernenFixture.h"

#include <QStyledItemDelegate>

#include <algorithm>
#include <cmath>

namespace {

struct Dauer {
    bool an;
    double us;
};

// What the IR sender emitted: bursts and the pauses between them.
std::vector<Dauer> ausgesendet(const sim::IrSender& s) {
    std::vector<Dauer> d;
    const auto& b = s.bursts();
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (i > 0)
            d.push_back(
                {false,
                 static_cast<double>(b[i].start - (b[i - 1].start + b[i - 1].lengthPs())) / 1e6});
        d.push_back({true, static_cast<double>(b[i].lengthPs()) / 1e6});
    }
    return d;
}

bool nahe(double ist, double soll) {
    return std::abs(ist - soll) <= std::max(0.05 * soll, 90.0);
}

} // namespace

class LernenEndToEnd : public LernenFixture {};

TEST_F(LernenEndToEnd, LearnNecKeyNameItSendItAndKeepItInTheKeyFile) {
    auto& f = *form;
    const sim::IrEmission nec = sim::remotes::nec(0x04, 0x08, 3);
    std::vector<std::int32_t> soll = nec.frame();
    soll.push_back(nec.closingPauseUs());
    detector->remote().setDefaultKey(nec);

    // A free key in learn mode: row 7 has no captions in the default layout.
    f.Lernen1Click();
    desk::TButtonx* key = f.Taste(107);
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->Beschriftung.empty());
    EXPECT_FALSE(key->isHidden());

    for (int aufl : {0, 1}) {
        std::string codeImDialog;
        platform::queueModalScript([&](QDialog& d) {
            auto& l = static_cast<desk::TLernenForm&>(d);
            EXPECT_EQ(l.BeschriftungG->title(), QStringLiteral("Beschriftung Taste 107"));
            EXPECT_EQ(l.FunktionIndex(), 0);
            l.setIR_AufloesungIndex(aufl);
            l.Optimieren->setChecked(true);
            // The lamp shows the detector line while nothing is sent.
            for (int i = 0; i < 5; ++i) {
                l.Timer1Timer();
                EXPECT_EQ(l.ledFarbe(), 0x0000FFu);
                clock.advanceMs(100);
            }
            l.Lernen->click();
            EXPECT_EQ(l.Hex_Kommentar->text(), QString());
            EXPECT_EQ(l.codeFarbe(), 0xFFFFFFu);
            EXPECT_TRUE(l.Timer1->isActive());
            l.Beschriftung->setText(QStringLiteral("NEC 8"));
            codeImDialog = l.IR_Hex_Code->text().toStdString();
            return int(QDialog::Accepted);
        });
        key->click();
        EXPECT_EQ(platform::pendingModalScripts(), 0u);
        // Stored when it changes.
        EXPECT_EQ(platform::IniFile(iniPath()).readInteger("IR_Sensor", "IR_Aufloesung", -1),
                  aufl == 1 ? 1 : -1);
        EXPECT_EQ(key->Tasten_typ, 0);
        EXPECT_EQ(key->Beschriftung, "NEC 8");
        EXPECT_EQ(key->text(), QStringLiteral("NEC 8"));
        EXPECT_EQ(key->IR_Code, codeImDialog);
        EXPECT_FALSE(key->IR_Code.empty());
        EXPECT_EQ(key->Befehl[0], 3) << "three frames seen";
        const auto gelernt = liste(key->Befehl, false);
        ASSERT_EQ(gelernt.size(), soll.size()) << "resolution " << aufl;
        for (std::size_t i = 0; i < soll.size(); ++i)
            EXPECT_TRUE(nahe(gelernt[i], soll[i])) << i << ": " << gelernt[i] << " vs " << soll[i];
    }
    EXPECT_EQ(detector->remote().pressCount(), 2);
    EXPECT_TRUE(f.Datei_geaendert);

    // Normal mode: the key is enabled, and a click emits the learnt frame
    // entry 0 times through the adapter's IR sender.
    f.Lernen1Click();
    EXPECT_TRUE(key->isEnabled());
    EXPECT_EQ(key->text(), QStringLiteral("NEC 8"));
    desk::setIrSender({});
    sim.sync();
    sim.irSender->clear();
    key->click();
    sim.sync();
    const auto d = ausgesendet(*sim.irSender);
    ASSERT_EQ(d.size(), 3 * soll.size() - 1) << sim.irSender->text();
    for (std::size_t i = 0; i < d.size(); ++i) {
        const double s = soll[i % soll.size()];
        EXPECT_EQ(d[i].an, i % 2 == 0);
        EXPECT_TRUE(nahe(d[i].us, s)) << i << ": " << d[i].us << " vs " << s << "\n"
                                      << sim.irSender->text();
    }

    // The key file keeps it.
    const Sio::TBefehl befehl = key->Befehl;
    const std::string code = key->IR_Code;
    const std::string datei = file("gelernt.cdx").string();
    f.Schreibe_Fernsteuerdatei(datei);
    f.Lies_Fernsteuerdatei(datei);
    desk::TButtonx* wieder = f.Taste(107);
    ASSERT_NE(wieder, nullptr);
    EXPECT_EQ(wieder->Beschriftung, "NEC 8");
    EXPECT_EQ(wieder->IR_Code, code);
    EXPECT_EQ(liste(wieder->Befehl), liste(befehl));
    EXPECT_TRUE(wieder->isEnabled());
}

TEST_F(LernenEndToEnd, CancelLeavesTheKeyAndStepsKeepTheirKeysDespiteEqualCaptions) {
    auto& f = *form;
    f.Lernen1Click();
    desk::TButtonx* key = f.Taste(101);
    const auto vorher = key->Befehl;
    f.Datei_geaendert = false;
    platform::queueModalScript([](QDialog& d) {
        auto& l = static_cast<desk::TLernenForm&>(d);
        l.Beschriftung->setText(QStringLiteral("anders"));
        l.Lernpuffer[1] = 1234;
        return int(QDialog::Rejected);
    });
    key->click();
    EXPECT_EQ(key->Beschriftung, "&Tuner");
    EXPECT_EQ(key->Befehl, vorher);
    EXPECT_TRUE(f.Datei_geaendert) << "marked changed even when cancelled";

    // The default layout has two "Stop" keys (204 and 205) and two "<<"
    // (304 and 305). A macro of the first of each.
    desk::TButtonx* makro = f.Taste(207);
    ASSERT_NE(makro, nullptr);
    makro->Tasten_typ = 1;
    makro->Beschriftung = "Film";
    makro->Befehl.fill(0);
    makro->Befehl[0] = 0;
    makro->Befehl[1] = 204;
    makro->Befehl[2] = 304;
    makro->Befehl[11] = 101;
    platform::queueModalScript([&](QDialog& d) {
        auto& l = static_cast<desk::TLernenForm&>(d);
        EXPECT_EQ(l.FunktionIndex(), 1);
        EXPECT_FALSE(l.Kombination->isHidden());
        EXPECT_FALSE(l.Test_IR->isEnabled());
        // A pause of 0 shows as 250 and the buffer follows.
        EXPECT_EQ(l.MakroPause->text(), QStringLiteral("250"));
        EXPECT_EQ(l.Lernpuffer[0], 250);
        EXPECT_EQ(l.makroSchrittText(1), QStringLiteral("Stop"));
        EXPECT_EQ(l.makroSchrittText(2), QStringLiteral("<<"));
        EXPECT_EQ(l.makroSchrittText(3), QString());
        // Captions of every key that is no macro, sorted; the macro itself
        // is not offered.
        QStringList angeboten;
        for (int i = 0; i < l.ComboBox[1]->count(); ++i)
            angeboten << l.ComboBox[1]->itemText(i);
        EXPECT_EQ(angeboten.count(QStringLiteral("Stop")), 2);
        EXPECT_FALSE(angeboten.contains(QStringLiteral("Film")));
        // The list shows a caption as its key does; the item keeps the "&".
        EXPECT_TRUE(angeboten.contains(QStringLiteral("&Tuner")));
        const auto* zeigt = qobject_cast<QStyledItemDelegate*>(l.ComboBox[1]->itemDelegate());
        EXPECT_NE(zeigt, nullptr);
        if (zeigt) {
            EXPECT_EQ(zeigt->displayText(QStringLiteral("&Tuner"), QLocale()),
                      QStringLiteral("Tuner"));
            EXPECT_EQ(zeigt->displayText(QStringLiteral("A&&B"), QLocale()), QStringLiteral("A&B"));
        }
        EXPECT_TRUE(std::is_sorted(angeboten.begin(), angeboten.end(),
                                   [](const QString& a, const QString& b) {
                                       return a.compare(b, Qt::CaseInsensitive) < 0;
                                   }));
        l.ComboBox[3]->setEditText(QStringLiteral("Mute"));
        l.ComboBox[4]->setEditText(QStringLiteral("Stop")); // newly chosen: looked up
        l.MakroPause->setText(QStringLiteral("0"));
        return int(QDialog::Accepted);
    });
    makro->click();
    EXPECT_EQ(makro->Tasten_typ, 1);
    EXPECT_EQ(makro->Befehl[0], 1) << "a pause of 0 would end the command";
    EXPECT_EQ(makro->Befehl[1], 204);
    EXPECT_EQ(makro->Befehl[2], 304);
    EXPECT_EQ(makro->Befehl[3], 302);
    EXPECT_EQ(makro->Befehl[4], 205) << "the last key of that caption";
    EXPECT_EQ(makro->Befehl[5], 0);
    EXPECT_EQ(makro->Befehl[11], 0);
}
