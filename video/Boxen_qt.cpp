// The device boxes, the parameters dialog and the per-tick device poll with
// the boxes' transport buttons and the Control-L calibration.
#include "video/Kamera_qt.h"

#include "desk/IR_qt.h"
#include "engine/ControlL.h"
#include "engine/Debug.h"
#include "engine/EditLine.h"
#include "platform/Codepage_qt.h"
#include "platform/Errors.h"
#include "platform/Guard_qt.h"
#include "platform/IniFile.h"
#include "platform/Platform.h"
#include "platform/Prompts_qt.h"
#include "platform/ScopeExit.h"
#include "platform/WaitCursor_qt.h"
#include "platform/WindowTracker_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace video {

// ---------------------------------------------------------------- the box

namespace {
struct Knopfdef {
    Sio::Transport tag;
    const char* symbol;
};
// Index = button number.
constexpr Knopfdef kKnoepfe[13] = {
    {Sio::Transport{}, ""},        {Sio::Transport::Nullstellen, "0"},
    {Sio::Transport::Play, ">"},   {Sio::Transport::Off, "off"},
    {Sio::Transport::Record, "*"}, {Sio::Transport::Rewind, "<<"},
    {Sio::Transport::Stop, "o"},   {Sio::Transport::FastForward, ">>"},
    {Sio::Transport::Up, "up"},    {Sio::Transport::StepBack, "<I"},
    {Sio::Transport::Pause, "II"}, {Sio::Transport::StepForward, "I>"},
    {Sio::Transport::Down, "dn"}};
} // namespace

std::int32_t TCountBox::Tag(int n) {
    return n >= 1 && n <= 12 ? static_cast<std::int32_t>(kKnoepfe[n].tag) : 0;
}

TCountBox::TCountBox(QWidget* parent) : QFrame(parent) {
    auto* aussen = new QVBoxLayout(this);
    aussen->setContentsMargins(0, 0, 0, 0);
    Kanal_x = new QGroupBox(this);
    Kanal_x->setObjectName(QStringLiteral("Kanal_x"));
    aussen->addWidget(Kanal_x);
    auto* innen = new QVBoxLayout(Kanal_x);
    auto* knoepfe = new QGridLayout;
    for (int n = 1; n <= 12; ++n) {
        auto* b = new QToolButton(Kanal_x);
        b->setObjectName(QStringLiteral("SpeedButton%1").arg(n));
        b->setText(QString::fromLatin1(kKnoepfe[n].symbol));
        b->setProperty("Tag", static_cast<int>(kKnoepfe[n].tag));
        b->setCheckable(true);
        SpeedButton[static_cast<std::size_t>(n)] = b;
        knoepfe->addWidget(b, (n - 1) / 4, (n - 1) % 4);
    }
    innen->addLayout(knoepfe);
    Zaehler = new QLineEdit(Kanal_x);
    Zaehler->setObjectName(QStringLiteral("Zaehler"));
    QFont f = Zaehler->font();
    f.setBold(true);
    f.setPixelSize(21);
    Zaehler->setFont(f);
    innen->addWidget(Zaehler);
    Modus = new QGroupBox(Kanal_x);
    Modus->setObjectName(QStringLiteral("Modus"));
    // One role below the other: side by side they do not fit a box a
    // quarter of the window's first width.
    auto* modus = new QVBoxLayout(Modus);
    modus->setContentsMargins(6, 2, 6, 2);
    modus->setSpacing(2);
    Zuspieler = new QRadioButton(QStringLiteral("Zuspieler"), Modus);
    Aufnahme = new QRadioButton(QStringLiteral("Aufnahme"), Modus);
    // The window keeps the roles apart across and within the boxes.
    Zuspieler->setAutoExclusive(false);
    Aufnahme->setAutoExclusive(false);
    modus->addWidget(Zuspieler);
    modus->addWidget(Aufnahme);
    innen->addWidget(Modus);
    ComboBox1 = new QComboBox(Kanal_x);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    innen->addWidget(ComboBox1);
    Offset = new QLineEdit(Kanal_x);
    Offset->setObjectName(QStringLiteral("Offset"));
    Offset->setVisible(false);
    innen->addWidget(Offset);
}

void TCountBox::setFarbe(const QColor& c) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, c);
    setPalette(p);
}

QColor TCountBox::farbe() const {
    return palette().color(QPalette::Window);
}

// ---------------------------------------------------------------- parameters

TParameter::TParameter(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Parameter"));
    setWindowTitle(QStringLiteral("Parameter"));
    resize(554, 350);
    auto* haupt = new QVBoxLayout(this);
    auto* schnell = new QGroupBox(QStringLiteral("Schneller Schnittpunkt erreichen"), this);
    auto* gruppen = new QGridLayout(schnell);
    auto gruppe = [&](const QString& titel, int r, int c) {
        auto* g = new QGroupBox(titel, schnell);
        new QVBoxLayout(g);
        gruppen->addWidget(g, r, c);
        return g;
    };
    auto edit = [](QGroupBox* g, const QString& text) {
        auto* e = new QLineEdit(text, g);
        g->layout()->addWidget(e);
        return e;
    };
    auto check = [](QWidget* g, const QString& text, bool an) {
        auto* c = new QCheckBox(text, g);
        c->setChecked(an);
        g->layout()->addWidget(c);
        return c;
    };
    QGroupBox* cue = gruppe(QStringLiteral("Cue falls Differenz gr\u00F6\u00DFer als"), 0, 0);
    CueWert = edit(cue, QStringLiteral("0:30.00"));
    Cue_zurueck = check(cue, QStringLiteral("Cue zur\u00FCck"), true);
    Cue_vor = check(cue, QStringLiteral("Cue vor"), true);
    QGroupBox* spul = gruppe(QStringLiteral("Spulen falls Differenz gr\u00F6\u00DFer als"), 0, 1);
    SpulWert = edit(spul, QStringLiteral("2:00.00"));
    Spul_zurueck = check(spul, QStringLiteral("Spul zur\u00FCck"), true);
    Spul_vor = check(spul, QStringLiteral("Spul vor"), true);
    Vorspulsettle = edit(gruppe(QStringLiteral("Spul Stop bei Differenz kleiner als"), 1, 1),
                         QStringLiteral("0:35.00"));
    VorCueSettle = edit(gruppe(QStringLiteral("Cue Stop bei Differenz kleiner als"), 1, 0),
                        QStringLiteral("0:20.00"));
    haupt->addWidget(schnell);
    Warnen_bei_leerer_Infrarotdatei =
        check(this, QStringLiteral("Warnen bei leerer Infrarotdatei"), true);
    Warnung_vor_Aufnahme = check(this, QStringLiteral("Warnung vor Aufnahme"), true);
    Automatik_Play_bei_Cut = check(this, QStringLiteral("Automatik Play bei Cut"), true);
    Pause_bei_CutIn = check(this, QStringLiteral("Pause bei Cut In"), false);
    Timecode_Display = check(this, QStringLiteral("Timecode Display"), false);
    Offsetfelder_sichtbar = check(this, QStringLiteral("Offsetfelder sichtbar"), true);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    haupt->addWidget(BitBtn1);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Offsetfelder_sichtbar, &QCheckBox::toggled, this, [this](bool) {
        if (Offsetfelder_sichtbarClick) Offsetfelder_sichtbarClick();
    });
}

void TParameter::FormCreate(const platform::IniFile& ini) {
    auto b = [&](const char* sec, const char* key, QCheckBox* c) {
        c->setChecked(ini.readBool(sec, key, c->isChecked()));
    };
    auto t = [&](const char* key, QLineEdit* e) {
        e->setText(
            platform::fromCp1252(ini.readString("SpulZeiten", key, platform::toCp1252(e->text()))));
    };
    b("SpulZeiten", "Cue_Vor", Cue_vor);
    b("SpulZeiten", "Cue_Zurueck", Cue_zurueck);
    b("SpulZeiten", "Spul_Vor", Spul_vor);
    b("SpulZeiten", "Spul_Zurueck", Spul_zurueck);
    t("CueWert", CueWert);
    t("SpulWert", SpulWert);
    t("VorCueSettle", VorCueSettle);
    t("VorSpulSettle", Vorspulsettle);
    b("Sonstiges_Video", "Warnen_bei_leerer_Infrarotdatei", Warnen_bei_leerer_Infrarotdatei);
    b("Sonstiges_Video", "Warnung_vor_Aufnahme", Warnung_vor_Aufnahme);
    b("Sonstiges_Video", "Pause_bei_CutIn", Pause_bei_CutIn);
    b("Sonstiges_Video", "Automatik_Play_bei_Cut", Automatik_Play_bei_Cut);
    b("Sonstiges_Video", "Offsetfelder_sichtbar", Offsetfelder_sichtbar);
    b("Sonstiges_Video", "Timecode_Display", Timecode_Display);
    // The offset edits follow the stored state from start-up on.
    if (Offsetfelder_sichtbarClick) Offsetfelder_sichtbarClick();
}

// ---------------------------------------------------------------- roles

std::int32_t TKameraDialog::Aufnahme_Nr() const {
    for (int b = 4; b >= 1; --b)
        if (CountBox[static_cast<std::size_t>(b)]->Aufnahme->isChecked()) return b;
    return 4;
}

std::int32_t TKameraDialog::Zuspieler_Nr() const {
    if (CountBox[3]->Zuspieler->isChecked()) return 3;
    if (CountBox[2]->Zuspieler->isChecked()) return 2;
    if (!CountBox[1]->Zuspieler->isChecked() && Aufnahme_Nr() == 1) return 2;
    return 1;
}

void TKameraDialog::Waehle_Zuspieler(std::int32_t n) {
    if (n < 1 || n > 3) return;
    QRadioButton* r = CountBox[static_cast<std::size_t>(n)]->Zuspieler;
    if (!r->isChecked()) r->setChecked(true);
}

void TKameraDialog::Waehle_Aufnahme(std::int32_t n) {
    if (n < 1 || n > 4) return;
    QRadioButton* r = CountBox[static_cast<std::size_t>(n)]->Aufnahme;
    if (!r->isChecked()) r->setChecked(true);
}

void TKameraDialog::ZuspielerClick(int box) {
    TCountBox* eigene = CountBox[static_cast<std::size_t>(box)];
    if (!eigene->Zuspieler->isChecked()) return;
    eigene->Aufnahme->setChecked(false);
    eigene->setFarbe(kRein_Gruen);
    for (int b = 1; b <= 3; ++b) {
        TCountBox* andere = CountBox[static_cast<std::size_t>(b)];
        if (b == box || andere->Aufnahme->isChecked()) continue;
        andere->setFarbe(QApplication::palette().color(QPalette::Button));
        andere->Zuspieler->setChecked(false);
    }
}

void TKameraDialog::AufnahmeClick(int box) {
    TCountBox* eigene = CountBox[static_cast<std::size_t>(box)];
    if (!eigene->Aufnahme->isChecked()) return;
    eigene->Zuspieler->setChecked(false);
    eigene->setFarbe(kRein_Rot);
    for (int b = 1; b <= 4; ++b) {
        TCountBox* andere = CountBox[static_cast<std::size_t>(b)];
        if (b == box || andere->Zuspieler->isChecked()) continue;
        andere->setFarbe(QApplication::palette().color(QPalette::Button));
        andere->Aufnahme->setChecked(false);
    }
}

// ---------------------------------------------------------------- polling

void TKameraDialog::Zaehler_abfragen() {
    auto box = [this](int b) { return CountBox[static_cast<std::size_t>(b)]; };
    if (!box(1)->Zuspieler->isChecked() && !box(2)->Zuspieler->isChecked() &&
        !box(3)->Zuspieler->isChecked()) {
        if (!box(1)->Aufnahme->isChecked())
            box(1)->Zuspieler->setChecked(true);
        else if (!box(2)->Aufnahme->isChecked())
            box(2)->Zuspieler->setChecked(true);
        else if (!box(3)->Aufnahme->isChecked())
            box(3)->Zuspieler->setChecked(true);
    }
    bool recorder = false;
    for (int b = 1; b <= 4; ++b)
        recorder = recorder || box(b)->Aufnahme->isChecked();
    if (!recorder) box(4)->Aufnahme->setChecked(true);

    for (std::size_t i = 1; i <= 3; ++i) {
        Kanal_Anzeige[i].clear();
        Kanal_gut[i] = Kanal_lesen(static_cast<std::int32_t>(i), Kanal_Typ[i], Kanal_Status[i],
                                   Kanal_spielt[i]);
        if (Kanal_Typ[i] != Sio::Protokoll::Keins) {
            Kanal_gelesen[i] = true;
            std::string text;
            if (Sio::Position_nach_Zaehler(Kanal_Position[i]) == Sio::Keine_Position)
                text = "-:--:--.--";
            else if (Parameter->Timecode_Display->isChecked())
                text = Sio::Position_nach_Text(Kanal_Position[i]);
            else
                text = Sio::Position_nach_Text_kurz(Kanal_Position[i]);
            Kanal_Anzeige[i] =
                text + " " + Kanal_Status[i] + " " + Sio::Protokoll_Text(Kanal_Typ[i]);
        }
    }
    Sio::Waehle_Kanal(1);
    // A text wider than the box shows its start: the position.
    for (std::size_t i = 1; i <= 3; ++i) {
        CountBox[i]->Zaehler->setText(platform::fromCp1252(Kanal_Anzeige[i]));
        CountBox[i]->Zaehler->setCursorPosition(0);
    }
    if (Kanal_Typ[1] != Kanal_Typ_alt[1] || Kanal_Typ[2] != Kanal_Typ_alt[2] ||
        Kanal_Typ[3] != Kanal_Typ_alt[3]) {
        Sio::Debug_WriteLn("Ger\xE4te\xE4nderung   1 : " + Sio::Protokoll_Text(Kanal_Typ[1]) +
                           "  2 : " + Sio::Protokoll_Text(Kanal_Typ[2]) +
                           "  3 : " + Sio::Protokoll_Text(Kanal_Typ[3]));
        std::copy(Kanal_Typ.begin(), Kanal_Typ.end(), Kanal_Typ_alt.begin());
        for (std::size_t b = 1; b <= 3; ++b) {
            const bool an = Kanal_Typ[b] != Sio::Protokoll::Keins;
            for (std::size_t n = 1; n <= 12; ++n)
                CountBox[b]->SpeedButton[n]->setEnabled(an);
        }
    }
}

bool TKameraDialog::Kanal_lesen(std::int32_t Kanal, Sio::Protokoll& Typ, std::string& Status,
                               bool& Spielt) {
    const auto k = static_cast<std::size_t>(Kanal);
    const bool gut = Sio::Lies_Geraetestatus(Kanal, Kanal_Position[k], Typ, Status, Spielt);
    Kanal_Lesezeit[k] = platform::clock().tickCount();
    return gut;
}

void TKameraDialog::Timer1Timer() {
    // A tick that comes while a step lets messages run waits for the next.
    if (!Timer1->isActive() || schritt_) return;
    const std::uint32_t vorher = platform::clock().tickCount();
    // How late the timer ticks, for the cut run's timing; wrapping tick
    // counts: the difference counts.
    if (SchneidenKnopf->isChecked()) {
        const auto spaet = static_cast<std::int32_t>(vorher - takt_ms_) - Timer1->interval();
        spaet_ms_ = std::max(spaet_ms_, spaet);
        // Counted from the end of the last tick: a tick that took long does
        // not make the next one look late.
        takt_spaet_ms_ = static_cast<std::int32_t>(vorher - takt_ende_ms_) - Timer1->interval();
    }
    takt_ms_ = vorher;
    platform::ScopeExit ende([this] { takt_ende_ms_ = platform::clock().tickCount(); });
    Zaehler_abfragen();
    abfrage_ms_ = platform::clock().tickCount() - vorher;
    if (SchneidenKnopf->isChecked())
        Schnitt_Schritt();
    else
        Restzeit->setVisible(false);
}

void TKameraDialog::vcrClick(QToolButton* button) {
    platform::ScopeExit hoch([button] { button->setChecked(false); });
    const std::int32_t kanal = button->property("GroupIndex").toInt();
    const std::int32_t code = button->property("Tag").toInt();
    const auto befehl = static_cast<Sio::Transport>(code);
    const Sio::Protokoll typ = tabelle(Kanal_Typ, kanal, "Kanal_Typ");
    if ((Sony_justiert && Sio::Sony1 != 0) || typ != Sio::Protokoll::Sony) {
        Timer1->stop();
        platform::ScopeExit an([this] { Timer1_an(); });
        Sio::Debug_WriteLn("VCR Click, Kanal " + std::to_string(kanal) +
                           ", Befehl (Code) : " + std::to_string(code));
        bool nein = false;
        if (befehl == Sio::Transport::Record && Parameter->Warnung_vor_Aufnahme->isChecked())
            nein = !platform::prompts().yesNo(QStringLiteral(
                "Bitte best\u00E4tigen : \"Aufnahme\"\r(Diese Box erscheint, weil die "
                "Option\r\"Warnung_vor_Aufnahme\" angeschaltet ist)"));
        if (!nein) CountDown->setText(QString::number(Sio::Kamera_Befehl(kanal, befehl)));
    } else if (platform::prompts().yesNo(QStringLiteral(
                   "Das UART mu\u00DF f\u00FCr Sony justiert werden. Jetzt erledigen ?"))) {
        Sony_justiert = true;
        Sio::Waehle_Kanal(kanal);
        Sony_justieren();
    }
}

void TKameraDialog::Sony_justieren() {
    Timer1->stop();
    platform::ScopeExit an([this] { Timer1_an(); });
    {
        const platform::WaitCursor cursor;
        repaint();
        ProcessMessages();
        Sio::Warte_ms(800);
        Sio::UART_Messroutine(5);
    }
    platform::prompts().message(
        QStringLiteral("Ergebnis : \rSony1 : %1\rSony2 : %2").arg(Sio::Sony1).arg(Sio::Sony2));
    IniDatei().writeInteger("Sony", "Sony1", Sio::Sony1);
    IniDatei().writeInteger("Sony", "Sony2", Sio::Sony2);
}

std::int32_t TKameraDialog::Sende_IR(std::int32_t code) {
    const Sio::TIR_Knopf& k = tabelle(Schnitt_IRCodes, code, "Schnitt_IRCodes");
    return haupt_.Befehl_aussenden(k.Typ, k.Befehl, k.Name) ==
                   desk::TIRForm::Sendeergebnis::Gestoert
               ? 0
               : 1;
}

void TKameraDialog::IRKnopfClick(QToolButton* button) {
    Timer1->stop();
    platform::ScopeExit ende([this, button] {
        button->setChecked(false);
        Timer1_an();
    });
    const std::int32_t code = button->property("Tag").toInt();
    // The run switches the recorder's input from where it was left.
    if (Sende_IR(code) != 0 && (code == static_cast<std::int32_t>(Sio::Transport::Up) ||
                                code == static_cast<std::int32_t>(Sio::Transport::Down)))
        Aufnahme_Eingang = code == static_cast<std::int32_t>(Sio::Transport::Up)
                               ? Aufnahme_Eingang % 3 + 1
                               : (Aufnahme_Eingang + 1) % 3 + 1;
}

void TKameraDialog::En_Disable_IR_Knoepfe() {
    for (std::size_t n = 1; n <= 12; ++n) {
        QToolButton* b = CountBox[4]->SpeedButton[n];
        b->setEnabled(
            tabelle(Schnitt_IRCodes, b->property("Tag").toInt(), "Schnitt_IRCodes").Befehl[0] != 0);
    }
}

bool TKameraDialog::Aufnahme_Befehl(Sio::Transport code) {
    const std::int32_t rec = Aufnahme_Nr();
    if (code == Sio::Transport::Record && Box_Geraet[static_cast<std::size_t>(rec)].PausePause)
        code = Sio::Transport::Pause;
    if (rec <= 3) return Sio::Kamera_Befehl(rec, code) >= 0;
    return Sende_IR(static_cast<std::int32_t>(code)) != 0;
}

bool TKameraDialog::Zaehler_plausibel(std::string_view text) {
    const std::int32_t h = Sio::Zahl_Nr(text, 1), m = Sio::Zahl_Nr(text, 2),
                       s = Sio::Zahl_Nr(text, 3);
    return h >= 0 && h <= 23 && m >= 0 && m <= 59 && s >= 0 && s <= 59;
}

std::int32_t TKameraDialog::ZInt_Kameraoffset() const {
    return Sio::Zeitwort_nach_Zaehler(
        platform::toCp1252(CountBox[static_cast<std::size_t>(Zuspieler_Nr())]->Offset->text()), 1);
}

void TKameraDialog::CountDown_loeschen() {
    CountDown->setPalette(QApplication::palette());
    CountDown->clear();
}

void TKameraDialog::setSchneiden(bool down) {
    SchneidenKnopf->setChecked(down);
}

void TKameraDialog::Timer1_an() {
    if (platform::WindowTracker::instance().active() == static_cast<const QWidget*>(this)) {
        Timer1->start();
        takt_ms_ = takt_ende_ms_ = platform::clock().tickCount();
    }
}

} // namespace video
