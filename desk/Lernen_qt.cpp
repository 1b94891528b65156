#include "desk/Lernen_qt.h"

#include "desk/IR_qt.h"
#include "engine/Bandposition.h"
#include "engine/IrLernen.h"
#include "engine/IrSend.h"
#include "engine/SioText.h"
#include "platform/Codepage_qt.h"
#include "platform/Guard_qt.h"
#include "platform/IniFile.h"
#include "platform/ModalRunner_qt.h"
#include "platform/Prompts_qt.h"
#include "platform/ScopeExit.h"
#include "platform/System.h"
#include "platform/WindowTracker_qt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QSpinBox>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace desk {

namespace {

// "&&" stands for "&"; a single "&" marks the next character.
QString withoutMnemonic(const QString& caption) {
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

// Key captions carry their mnemonic ("&0"); a list shows them as the key
// does ("0"), while the items keep the caption for the lookup by caption.
class CaptionDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale&) const override {
        return withoutMnemonic(value.toString());
    }
};

constexpr std::uint32_t kLime = 0x00FF00;
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kYellow = 0x00FFFF;
constexpr std::uint32_t kWindow = 0xFFFFFF;

QColor farbe(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

void hintergrund(QWidget* w, std::uint32_t bgr, QPalette::ColorRole role = QPalette::Window) {
    QPalette p = w->palette();
    p.setColor(role, farbe(bgr));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QString zahl(std::int64_t n) {
    return QString::number(n);
}

std::int32_t zahlVon(const QLineEdit* e) {
    return Sio::Zahl_Nr(platform::toCp1252(e->text()), 1);
}

// Sets a text from code; the change handler runs only when it really changes.
// run: also run it when the text stays (where the algorithm relies on it).
void setzeText(QLineEdit* e, const QString& text, const std::function<void()>& run = {}) {
    if (e->text() == text) {
        if (run) run();
        return;
    }
    e->setText(text);
}

void setzeWert(QSpinBox* s, std::int32_t v, const std::function<void()>& run = {}) {
    if (s->value() == v) {
        if (run) run();
        return;
    }
    s->setValue(v);
}

QGroupBox* gruppe(QWidget* parent, const char* name, const QString& title, int x, int y, int w,
                  int h) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(x, y, w, h);
    return g;
}

template <class W> W* teil(W* w, const char* name, int x, int y, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(x, y, width, height);
    return w;
}

} // namespace

// ---------------------------------------------------------------- creation

TLernenForm::TLernenForm(platform::IniFile* settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("LernenForm"));
    setWindowTitle(QStringLiteral("Tastenbelegung"));
    setModal(true);
    ProcessMessages = [] { QCoreApplication::processEvents(); };
    build();
    const void* id = static_cast<QWidget*>(this);
    platform::WindowTracker::instance().registerWindow(
        id, [this] { platform::guarded([&] { FormActivate(); }); },
        [this] { platform::guarded([&] { FormDeactivate(); }); });
    platform::guarded([&] { FormCreate(); });
}

TLernenForm::~TLernenForm() {
    platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(this));
}

void TLernenForm::build() {
    auto guard = [this](auto handler) {
        return [this, handler] { platform::guarded([&] { (this->*handler)(); }); };
    };

    // The client area; on a screen smaller than it, it scrolls.
    Flaeche = new QWidget;
    Flaeche->setObjectName(QStringLiteral("Flaeche"));
    auto* rollen = new QScrollArea(this);
    rollen->setObjectName(QStringLiteral("Rollbereich"));
    rollen->setFrameShape(QFrame::NoFrame);
    rollen->setWidget(Flaeche);
    auto* rahmen = new QVBoxLayout(this);
    rahmen->setContentsMargins(0, 0, 0, 0);
    rahmen->addWidget(rollen);

    BeschriftungG = gruppe(Flaeche, "BeschriftungG", QStringLiteral("Beschriftung"), 8, 6, 358, 50);
    Beschriftung = teil(new QLineEdit(BeschriftungG), "Beschriftung", 8, 20, 342, 22);

    Funktion = gruppe(Flaeche, "Funktion", QStringLiteral("Funktion"), 8, 60, 358, 46);
    auto* funktionen = new QButtonGroup(this);
    const QString namen[3] = {QStringLiteral("IR Kommando"), QStringLiteral("Makro"),
                              QStringLiteral("Analytisch")};
    for (int i = 0; i < 3; ++i) {
        auto* r = teil(new QRadioButton(namen[i], Funktion), "", 8 + i * 116, 20, 112, 20);
        r->setObjectName(QStringLiteral("Funktion%1").arg(i));
        funktionen->addButton(r, i);
        FunktionItems[static_cast<std::size_t>(i)] = r;
    }
    FunktionItems[0]->setChecked(true);
    connect(funktionen, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) platform::guarded([&] { FunktionClick(); });
    });

    IRBefehl = gruppe(Flaeche, "IRBefehl", QStringLiteral("IR Kommando"), 8, 110, 358, 76);
    Lernen = teil(new QPushButton(QStringLiteral("Lernen"), IRBefehl), "Lernen", 8, 24, 80, 40);
    connect(Lernen, &QPushButton::clicked, this, guard(&TLernenForm::LernenClick));
    GroupBox4 = gruppe(IRBefehl, "GroupBox4", QStringLiteral("Wiederholungen"), 96, 14, 118, 54);
    Anzahl_Wiederholungen = teil(new QSpinBox(GroupBox4), "Anzahl_Wiederholungen", 8, 22, 102, 24);
    Anzahl_Wiederholungen->setRange(0, INT_MAX); // entry 0 of a command: a count
    connect(Anzahl_Wiederholungen, &QSpinBox::valueChanged, this,
            guard(&TLernenForm::Anzahl_WiederholungenChange));
    Optimieren =
        teil(new QCheckBox(QStringLiteral("Optimieren"), IRBefehl), "Optimieren", 222, 20, 130, 20);
    WAV_Datei =
        teil(new QCheckBox(QStringLiteral("WAV  Datei"), IRBefehl), "WAV_Datei", 222, 46, 130, 20);
    WAV_Datei->setToolTip(QStringLiteral("WAV = Beschriftung.wav"));
    connect(WAV_Datei, &QCheckBox::toggled, this, guard(&TLernenForm::WAV_DateiClick));

    IR_Hex_Code = teil(new QLineEdit(Flaeche), "IR_Hex_Code", 8, 190, 358, 22);
    connect(IR_Hex_Code, &QLineEdit::textChanged, this, guard(&TLernenForm::IR_Hex_CodeChange));
    Hex_Kommentar = teil(new QLineEdit(Flaeche), "Hex_Kommentar", 8, 216, 358, 22);
    Hex_Kommentar->setToolTip(QStringLiteral("Information ! Befehl ausprobieren"));
    RC5_Feld = teil(new QLineEdit(Flaeche), "RC5_Feld", 8, 242, 358, 22);
    RC5_Feld->setToolTip(QStringLiteral("RC5 Code, Toggle Bit, Binär und Hexdarstellung"));
    RC5_Feld->setVisible(false);

    Analytisch = gruppe(Flaeche, "Analytisch", QStringLiteral("Analytisch"), 8, 268, 358, 92);
    Befehlslaenge = teil(new QLabel(Analytisch), "Befehlslaenge", 8, 70, 340, 18);
    GroupBox1 = gruppe(Analytisch, "GroupBox1", QStringLiteral("Wiederholungen"), 8, 16, 110, 52);
    A_Wdhlg = teil(new QSpinBox(GroupBox1), "A_Wdhlg", 8, 20, 94, 24);
    A_Wdhlg->setRange(0, INT_MAX);
    connect(A_Wdhlg, &QSpinBox::valueChanged, this, guard(&TLernenForm::A_WdhlgChange));
    GroupBox2 = gruppe(Analytisch, "GroupBox2", QStringLiteral("Pulslänge"), 124, 16, 110, 52);
    Pulslaenge = teil(new QLineEdit(GroupBox2), "Pulslaenge", 8, 20, 94, 24);
    connect(Pulslaenge, &QLineEdit::textChanged, this, guard(&TLernenForm::PulslaengeChange));
    GroupBox3 =
        gruppe(Analytisch, "GroupBox3", QStringLiteral("Pause zw. Bursts"), 240, 16, 110, 52);
    Burstpause = teil(new QLineEdit(GroupBox3), "Burstpause", 8, 20, 94, 24);
    connect(Burstpause, &QLineEdit::textChanged, this, guard(&TLernenForm::BurstpauseChange));
    Analytisch->setEnabled(false);

    // The macro group lies over the analytic one: only one of them is in use.
    Kombination = gruppe(Flaeche, "Kombination", QStringLiteral("Makro"), 8, 268, 358, 212);
    for (int i = 1; i <= kMakroSchritte; ++i) {
        const int col = (i - 1) / 5, row = (i - 1) % 5;
        auto* c = teil(new QComboBox(Kombination), "", 8 + col * 174, 20 + row * 28, 166, 24);
        c->setObjectName(QStringLiteral("ComboBox%1").arg(i));
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->setItemDelegate(new CaptionDelegate(c));
        ComboBox[static_cast<std::size_t>(i)] = c;
    }
    PausenBox = gruppe(Kombination, "PausenBox", QStringLiteral("Pause (ms)"), 8, 160, 166, 46);
    MakroPause = teil(new QLineEdit(PausenBox), "MakroPause", 8, 18, 150, 22);
    MakroPause->setToolTip(QStringLiteral("Angabe in ms, sollte > 500 ms sein, z.B. 1500 "));
    connect(MakroPause, &QLineEdit::textChanged, this, guard(&TLernenForm::MakroPauseChange));
    Kombination->setVisible(false);

    IR_Aufloesung = gruppe(Flaeche, "IR_Aufloesung", QStringLiteral("IR_Aufloesung"), 8, 486, 170, 66);
    auto* aufl = new QButtonGroup(this);
    IR_AufloesungItems[0] = teil(new QRadioButton(QStringLiteral("Standard"), IR_Aufloesung),
                                 "IR_Aufloesung0", 8, 20, 150, 20);
    IR_AufloesungItems[1] = teil(new QRadioButton(QStringLiteral("High Resolution"), IR_Aufloesung),
                                 "IR_Aufloesung1", 8, 42, 150, 20);
    aufl->addButton(IR_AufloesungItems[0], 0);
    aufl->addButton(IR_AufloesungItems[1], 1);
    IR_AufloesungItems[0]->setChecked(true);
    connect(aufl, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) platform::guarded([&] { IR_AufloesungClick(); });
    });

    LED = teil(new QLabel(QStringLiteral("Infrarot Detektor"), Flaeche), "LED", 186, 492, 180, 24);
    LED->setAlignment(Qt::AlignCenter);
    setLed(kRed);
    Test_IR = teil(new QPushButton(QStringLiteral("Test_IR"), Flaeche), "Test_IR", 186, 522, 86, 28);
    Test_IR->setEnabled(false);
    connect(Test_IR, &QPushButton::clicked, this, guard(&TLernenForm::Test_IRClick));
    Feld_Display =
        teil(new QCheckBox(QStringLiteral("Feld_Display"), Flaeche), "Feld_Display", 278, 526, 96, 20);
    Feld_Display->setVisible(false);
    connect(Feld_Display, &QCheckBox::toggled, this, guard(&TLernenForm::Feld_DisplayClick));

    OKBtn = teil(new QPushButton(QStringLiteral("OK"), Flaeche), "OKBtn", 8, 564, 100, 30);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    BitBtn1 =
        teil(new QPushButton(QStringLiteral("Abbrechen"), Flaeche), "BitBtn1", 116, 564, 100, 30);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    Feld = teil(new QPlainTextEdit(Flaeche), "Feld", 382, 6, 233, 200);
    Feld->setReadOnly(true);
    Feld->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Feld->setToolTip(QStringLiteral("Zur Information"));

    auto liste = [](QListWidget* l) {
        l->setFlow(QListView::TopToBottom);
        l->setWrapping(true);
        l->setResizeMode(QListView::Adjust);
        l->setGridSize(QSize(70, 18));
    };
    BinaerGruppe = gruppe(Flaeche, "BinaerGruppe", QStringLiteral("Binär"), 382, 212, 233, 190);
    BinaerBox = teil(new QListWidget(BinaerGruppe), "BinaerBox", 8, 20, 150, 162);
    liste(BinaerBox);
    Binaercnt = teil(new QSpinBox(BinaerGruppe), "Binaercnt", 164, 20, 62, 24);
    Binaercnt->setRange(0, kMaxBits);
    Binaercnt->setValue(50);
    connect(Binaercnt, &QSpinBox::valueChanged, this, guard(&TLernenForm::BinaercntChange));
    connect(BinaerBox, &QListWidget::itemChanged, this, [this](QListWidgetItem*) {
        if (ticksFromCode_ == 0) platform::guarded([&] { BinaerBoxClick(); });
    });

    SonyGruppe = gruppe(Flaeche, "SonyGruppe", QStringLiteral("Sony"), 382, 408, 233, 190);
    Sony1Box = teil(new QListWidget(SonyGruppe), "Sony1Box", 8, 20, 150, 162);
    liste(Sony1Box);
    SonyLength = teil(new QSpinBox(SonyGruppe), "SonyLength", 164, 20, 62, 24);
    SonyLength->setRange(0, kMaxSonyBits);
    connect(SonyLength, &QSpinBox::valueChanged, this, guard(&TLernenForm::SonyLengthChange));
    connect(Sony1Box, &QListWidget::itemChanged, this, [this](QListWidgetItem*) {
        if (ticksFromCode_ == 0) platform::guarded([&] { Sony1BoxClick(); });
    });
    SonyLength->setValue(12);

    for (QWidget* w : {static_cast<QWidget*>(Feld), static_cast<QWidget*>(BinaerGruppe),
                       static_cast<QWidget*>(SonyGruppe)})
        w->setVisible(false);

    Timer1 = new QTimer(this);
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, guard(&TLernenForm::Timer1Timer));

    Groesse_setzen(kBreiteOhneFeld);
}

void TLernenForm::Groesse_setzen(int breite) {
    Flaeche->setFixedSize(breite, kHoehe);
    // The screen the dialog is on, less its frame (before the first show the
    // window system's title bar is estimated).
    const QScreen* s = screen();
    if (!s) s = QGuiApplication::primaryScreen();
    const QSize platz = s ? s->availableGeometry().size() : QSize(breite, kHoehe);
    const QSize rahmen =
        isVisible() ? frameGeometry().size() - size()
                    : QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this));
    setFixedSize(fittedSize(QSize(breite, kHoehe), platz - rahmen,
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this)));
}

QSize TLernenForm::fittedSize(QSize inhalt, QSize platz, int leiste) {
    // What does not fit scrolls, and the scroll bar takes room of its own.
    int w = std::min(inhalt.width(), platz.width());
    int h = std::min(inhalt.height(), platz.height());
    if (h < inhalt.height()) w = std::min(inhalt.width() + leiste, platz.width());
    if (w < inhalt.width()) h = std::min(inhalt.height() + leiste, platz.height());
    return QSize(std::max(w, 1), std::max(h, 1));
}

void TLernenForm::showEvent(QShowEvent* e) {
    // Fitted to the screen it comes up on.
    Groesse_setzen(Flaeche->width());
    QDialog::showEvent(e);
}

// ---------------------------------------------------------------- small parts

int TLernenForm::FunktionIndex() const {
    for (std::size_t i = 0; i < FunktionItems.size(); ++i)
        if (FunktionItems[i]->isChecked()) return static_cast<int>(i);
    return -1;
}

void TLernenForm::setFunktionIndex(int i) {
    if (i < 0 || i > 2) i = 0;
    FunktionItems[static_cast<std::size_t>(i)]->setChecked(true);
}

int TLernenForm::IR_AufloesungIndex() const {
    return IR_AufloesungItems[1]->isChecked() ? 1 : 0;
}

void TLernenForm::setIR_AufloesungIndex(int i) {
    IR_AufloesungItems[i == 1 ? 1 : 0]->setChecked(true);
}

void TLernenForm::setMakroSchritt(int i, const QStringList& items, const QString& text) {
    QComboBox* c = ComboBox.at(static_cast<std::size_t>(i));
    c->clear();
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->setEditText(text);
}

QString TLernenForm::makroSchrittText(int i) const {
    return ComboBox.at(static_cast<std::size_t>(i))->currentText();
}

bool TLernenForm::isFeldDisplay() const {
    return Feld_Display->isChecked();
}

void TLernenForm::setLed(std::uint32_t bgr) {
    ledFarbe_ = bgr;
    hintergrund(LED, bgr);
}

void TLernenForm::setCodeFarbe(std::uint32_t bgr) {
    codeFarbe_ = bgr;
    hintergrund(IR_Hex_Code, bgr, QPalette::Base);
}

void TLernenForm::setGroupColour(QGroupBox* box, bool on) {
    if (on)
        hintergrund(box, kYellow);
    else {
        box->setPalette(QPalette());
        box->setAutoFillBackground(false);
    }
}

void TLernenForm::tickItems(QListWidget* box, std::string_view bits) {
    ++ticksFromCode_;
    platform::ScopeExit back([this] { --ticksFromCode_; });
    for (int i = 0; i < box->count(); ++i) {
        const bool on =
            static_cast<std::size_t>(i) < bits.size() && bits[static_cast<std::size_t>(i)] == '1';
        box->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
}

std::string TLernenForm::codeText() const {
    return platform::toCp1252(IR_Hex_Code->text());
}

void TLernenForm::processMessages() {
    if (ProcessMessages) ProcessMessages();
}

// ---------------------------------------------------------------- routines

std::string TLernenForm::Formatiere_Hexcode(std::string_view text) {
    std::string digits;
    for (const char ch : text) {
        if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'))
            digits += ch;
        else if (ch >= 'a' && ch <= 'f')
            digits += static_cast<char>(ch - 'a' + 'A');
    }
    // "abc" gives "AB C": an odd last digit stands alone, without a blank.
    std::string out;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        out += digits[i];
        if (i + 1 < digits.size()) {
            out += digits[i + 1];
            out += ' ';
        }
    }
    return out;
}

void TLernenForm::Bestimme_Puls_und_Pause() {
    std::int32_t lo = Lernpuffer[1], hi = Lernpuffer[1];
    for (std::size_t i = 2; i < Lernpuffer.size() && Lernpuffer[i] != 0 && Lernpuffer[1] != 0;
         ++i) {
        lo = std::min(lo, Lernpuffer[i]);
        hi = std::max(hi, Lernpuffer[i]);
    }
    Pulslaenge->setText(zahl(lo));
    Burstpause->setText(zahl(hi));
}

void TLernenForm::Zeige_Feld(const Sio::TBefehl& befehl) {
    if (!Feld_Display->isChecked()) return;
    QStringList lines;
    lines << zahl(befehl[0]) + QStringLiteral(" - 0");
    for (std::size_t i = 1; i < befehl.size() && befehl[i] != 0; ++i)
        lines << zahl(befehl[i]) + QStringLiteral(" - ") + zahl(static_cast<std::int64_t>(i));
    Feld->setPlainText(lines.join(QLatin1Char('\n')));
}

void TLernenForm::Analytisch_nach_Feld() {
    Lernpuffer[0] = A_Wdhlg->value();
    Lernpuffer[1] = zahlVon(Pulslaenge);
    Lernpuffer[2] = zahlVon(Burstpause);
    Lernpuffer[3] = 0;
    Zeige_Feld(Lernpuffer);
}

std::string TLernenForm::Sony_Auslesen(std::string_view code) {
    std::string bits = Sio::Hex_nach_Bin(code) + "0";
    if (bits.rfind("11110", 0) != 0) return {};
    while (bits.size() >= 2 && bits.compare(bits.size() - 2, 2, "00") == 0)
        bits.pop_back();
    std::string out;
    std::size_t pos = 5; // character 6, counted from 0
    while (pos + 1 < bits.size()) {
        if (bits.compare(pos, 2, "10") == 0) {
            out += '0';
            pos += 2;
        } else if (bits.compare(pos, 3, "110") == 0) {
            out += '1';
            pos += 3;
        } else {
            return {};
        }
    }
    return out;
}

std::string TLernenForm::RC5_Auslesen(std::string_view code) {
    const std::string bits = Sio::Hex_nach_Bin(code);
    if (bits.rfind("101", 0) != 0) return {};
    auto paar = [&](std::size_t from) -> std::string {
        return from + 2 <= bits.size() ? bits.substr(from, 2) : std::string();
    };
    // Every part of the readout has a fixed width, so address and command
    // stand at the same place whatever the toggle reads; bits a short code
    // does not have show as "?".
    std::string readout;
    const std::string toggle = paar(3);
    readout = toggle == "10" ? "(0) " : toggle == "01" ? "(1) " : "(?) ";
    for (std::size_t p = 5; p <= 25; p += 2) {
        const std::string pr = paar(p);
        readout += pr == "10" ? '0' : pr == "01" ? '1' : '?';
    }
    const std::string adresse = Sio::Bin_nach_Hex("000" + readout.substr(4, 5));
    const std::string befehl = Sio::Bin_nach_Hex("00" + readout.substr(9, 6));
    return "RC5 = " + readout + "  " + adresse + "-" + befehl;
}

// ---------------------------------------------------------------- handlers

void TLernenForm::FormCreate() {
    IR_Aufloesung->setVisible(true);
    const int v = settings_ ? settings_->readInteger("IR_Sensor", "IR_Aufloesung", 0) : 0;
    setIR_AufloesungIndex(v);
}

void TLernenForm::IR_AufloesungClick() {
    if (settings_) settings_->writeInteger("IR_Sensor", "IR_Aufloesung", IR_AufloesungIndex());
}

void TLernenForm::FormActivate() {
    // English captions when the program speaks English.
    if (IRForm && IRForm->Sprache == 2) {
        setWindowTitle(QStringLiteral("key assignment"));
        BeschriftungG->setTitle(QStringLiteral("key caption"));
        GroupBox4->setTitle(QStringLiteral("repititions"));
        LED->setText(QStringLiteral("infrared detector"));
        Funktion->setTitle(QStringLiteral("function"));
        Lernen->setText(QStringLiteral("learn"));
        BitBtn1->setText(QStringLiteral("Cancel"));
        Optimieren->setText(QStringLiteral("optimize"));
    }
    // The detector's channel.
    Sio::UART_Init_9600();
    Sio::Waehle_Kanal(3);
    WAV_Datei->setEnabled(true);
    BinaercntChange();
    Feld_Display->setVisible(true);
    // An analytic key: its fields from the work buffer and its code.
    if (FunktionIndex() == 2) {
        const std::string code = codeText();
        setzeText(Pulslaenge, zahl(Lernpuffer[1]));
        setzeText(Burstpause, zahl(Lernpuffer[2]));
        setzeWert(A_Wdhlg, Lernpuffer[0]);
        const std::string bits = Sio::Hex_nach_Bin(code);
        setzeWert(Binaercnt, static_cast<std::int32_t>(Sio::Hex_nach_Bin(code + "0").size()));
        BinaercntChange();
        processMessages();
        tickItems(BinaerBox, bits);
        const std::string sony = Sony_Auslesen(code);
        if (!sony.empty()) {
            setzeWert(SonyLength, static_cast<std::int32_t>(sony.size()));
            processMessages();
            tickItems(Sony1Box, sony);
        }
    }
    // The fields of the key's function, and its code shown.
    Feld_DisplayClick();
    processMessages();
    FunktionClick();
    Zeige_Feld(Lernpuffer);
    Hex_Kommentar->clear();
    setCodeFarbe(kWindow);
    IR_Hex_CodeChange();
    Timer1->start();
}

void TLernenForm::FormDeactivate() {
    Timer1->stop();
    if (Analytisch->isEnabled()) {
        Analytisch_nach_Feld();
        IR_Hex_Code->setText(QString::fromLatin1(Formatiere_Hexcode(codeText())));
    }
}

void TLernenForm::Timer1Timer() {
    setLed(Sio::Lies_DSR() ? kLime : kRed);
}

void TLernenForm::LernenClick() {
    // The detector lamp rests while learning; the code fields are cleared.
    Timer1->stop();
    platform::ScopeExit lampe([this] { Timer1->start(); });
    IR_Hex_Code->clear();
    setCodeFarbe(kLime);
    Hex_Kommentar->clear();
    repaint();
    // A caption of blanks names no file.
    const QString caption = Beschriftung->text();
    const std::string wav = WAV_Datei->isChecked() && !caption.trimmed().isEmpty()
                                ? platform::toCp1252(caption)
                                : std::string();
    // An empty buffer at the chosen resolution.
    Sio::IR_Liste_Loeschen(Lernpuffer);
    Sio::Setze_IR_Aufloesung(IR_AufloesungIndex());
    // Realtime priority only around the capture, given back on
    // every path.
    std::string code, fehler, kommentar;
    {
        const Echtzeit_Abschnitt echtzeit(IRForm && IRForm->RealTimeModus1->isChecked());
        Sio::IR_Befehl_Lernen(Lernpuffer, code, fehler, kommentar, Optimieren->isChecked(), wav);
    }
    // The capture shown: repetitions, code and what was wrong with it.
    const std::int32_t wdh = Lernpuffer[0];
    Anzahl_Wiederholungen->setValue(wdh);
    A_Wdhlg->setValue(wdh);
    IR_Hex_Code->setText(platform::fromCp1252(code));
    std::string info = fehler;
    if (!kommentar.empty()) info += "(" + kommentar + ")";
    if (!info.empty()) info = "Probieren ! " + info;
    Hex_Kommentar->setText(platform::fromCp1252(info));
    setCodeFarbe(fehler.empty() ? kWindow : kRed);
    Bestimme_Puls_und_Pause();
    Zeige_Feld(Lernpuffer);
    // An RC5 reading of a good capture.
    RC5_Feld->setVisible(false);
    RC5_Feld->clear();
    std::string bits;
    if (fehler.empty()) {
        bits = Sio::Hex_nach_Bin(codeText());
        const std::string rc5 = RC5_Auslesen(codeText());
        if (!rc5.empty()) {
            RC5_Feld->setText(QString::fromLatin1(rc5));
            RC5_Feld->setVisible(true);
        }
    }
    // The code's bits.
    setzeWert(Binaercnt, static_cast<std::int32_t>(bits.size()));
    BinaercntChange();
    tickItems(BinaerBox, bits);
}

void TLernenForm::Test_IRClick() {
    Timer1->stop();
    platform::ScopeExit lampe([this] { Timer1->start(); });
    // What is tested is what OK would store, the analytic fields included;
    // the work buffer itself changes only on OK or deactivation.
    Sio::TBefehl puffer = Lernpuffer;
    std::string code = codeText();
    if (Analytisch->isEnabled()) {
        puffer[0] = A_Wdhlg->value();
        puffer[1] = zahlVon(Pulslaenge);
        puffer[2] = zahlVon(Burstpause);
        puffer[3] = 0;
        code = Formatiere_Hexcode(code).substr(0, kCodeZeichen);
    }
    Sio::Waehle_Kanal(0);
    processMessages();
    Sio::Warte_ms(500);
    processMessages();
    if (IRForm) IRForm->Befehl_aussenden(FunktionIndex(), puffer, code);
    Sio::UART_Init_9600();
    Sio::Waehle_Kanal(3);
}

void TLernenForm::FunktionClick() {
    const int f = FunktionIndex();
    if (f == 0) Bestimme_Puls_und_Pause();
    // Only the group of the chosen function is active.
    IRBefehl->setEnabled(f == 0);
    Kombination->setEnabled(f == 1);
    Kombination->setVisible(f == 1);
    Analytisch->setEnabled(f == 2);
    setGroupColour(IRBefehl, f == 0);
    setGroupColour(Kombination, f == 1);
    setGroupColour(Analytisch, f == 2);
    // The buffer follows the field even when the field stays as it was.
    if (f == 0)
        setzeWert(Anzahl_Wiederholungen, Lernpuffer[0], [this] { Anzahl_WiederholungenChange(); });
    if (f == 1)
        setzeText(MakroPause, Lernpuffer[0] == 0 ? QStringLiteral("250") : zahl(Lernpuffer[0]),
                  [this] { MakroPauseChange(); });
    if (f == 2) IR_Hex_Code->setText(QString::fromLatin1(Formatiere_Hexcode(codeText())));
    Feld_DisplayClick();
}

void TLernenForm::Anzahl_WiederholungenChange() {
    Lernpuffer[0] = Anzahl_Wiederholungen->value();
    setzeWert(A_Wdhlg, Anzahl_Wiederholungen->value());
    Zeige_Feld(Lernpuffer);
}

void TLernenForm::MakroPauseChange() {
    // A pause of 0 would end the key's command list: the key would be
    // disabled and lose its steps at the next save.
    Lernpuffer[0] = std::max<std::int32_t>(1, zahlVon(MakroPause));
}

void TLernenForm::A_WdhlgChange() {
    if (Analytisch->isEnabled() && Timer1->isActive()) Analytisch_nach_Feld();
}

void TLernenForm::PulslaengeChange() {
    A_WdhlgChange();
    IR_Hex_CodeChange();
}

void TLernenForm::BurstpauseChange() {
    A_WdhlgChange();
    IR_Hex_CodeChange();
}

void TLernenForm::IR_Hex_CodeChange() {
    std::string bits = Sio::Hex_nach_Bin(codeText());
    while (!bits.empty() && bits.back() == '0')
        bits.pop_back();
    const std::int64_t n = std::max<std::int64_t>(1, static_cast<std::int64_t>(bits.size()));
    Befehlslaenge->setText(zahl(n * zahlVon(Pulslaenge) + zahlVon(Burstpause)));
}

void TLernenForm::Feld_DisplayClick() {
    const bool on = Feld_Display->isChecked();
    Feld->setVisible(on);
    BinaerGruppe->setVisible(on);
    SonyGruppe->setVisible(on);
    Test_IR->setEnabled(on && FunktionIndex() != 1);
    Groesse_setzen(on ? kBreiteMitFeld : kBreiteOhneFeld);
    if (on) Zeige_Feld(Lernpuffer);
}

void TLernenForm::BinaercntChange() {
    const int n = std::max(0, Binaercnt->value());
    ++ticksFromCode_;
    platform::ScopeExit back([this] { --ticksFromCode_; });
    BinaerBox->clear();
    for (int i = 1; i <= n; ++i) {
        auto* item = new QListWidgetItem(zahl(i), BinaerBox);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

void TLernenForm::BinaerBoxClick() {
    Timer1->stop();
    platform::ScopeExit lampe([this] { Timer1->start(); });
    setFunktionIndex(2);
    std::string bits;
    for (int i = 0; i < BinaerBox->count(); ++i)
        bits += BinaerBox->item(i)->checkState() == Qt::Checked ? '1' : '0';
    IR_Hex_Code->setText(QString::fromLatin1(Formatiere_Hexcode(Sio::Bin_nach_Hex(bits))));
}

void TLernenForm::SonyLengthChange() {
    const int n = std::max(0, SonyLength->value());
    ++ticksFromCode_;
    platform::ScopeExit back([this] { --ticksFromCode_; });
    for (int i = Sony1Box->count() + 1; i <= n; ++i) {
        auto* item = new QListWidgetItem(zahl(i), Sony1Box);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    while (Sony1Box->count() > n)
        delete Sony1Box->takeItem(Sony1Box->count() - 1);
}

void TLernenForm::Sony1BoxClick() {
    std::string text = "11110";
    for (int i = 0; i < Sony1Box->count(); ++i)
        text += Sony1Box->item(i)->checkState() == Qt::Checked ? "110" : "10";
    setzeWert(Binaercnt, static_cast<std::int32_t>(text.size()));
    tickItems(BinaerBox, text);
    processMessages();
    BinaerBoxClick();
    processMessages();
}

void TLernenForm::WAV_DateiClick() {
    if (Beschriftung->text().trimmed().isEmpty())
        platform::prompts().message(QStringLiteral(
            "Wird nur erzeugt, wenn in \"Beschriftung\" etwas steht\r... und das tut es "
            "im Moment nicht !"));
}

// ---------------------------------------------------------------- the key

void Taste_lernen(TIRForm& form, TLernenForm& dialog, TButtonx& key) {
    // The dialog starts from the key.
    dialog.Beschriftung->setText(platform::fromCp1252(key.Beschriftung));
    dialog.BeschriftungG->setTitle(QStringLiteral("Beschriftung Taste %1").arg(key.Knopfnummer));
    dialog.Lernpuffer = key.Befehl;
    dialog.setFunktionIndex(key.Tasten_typ);
    dialog.IR_Hex_Code->setText(platform::fromCp1252(key.IR_Code));

    // Macro steps: every key with a caption that is no macro.
    auto schrittTasten = [&form](auto&& f) {
        for (std::int32_t c = 1; c <= TIRForm::kMaxGrid; ++c)
            for (std::int32_t r = 1; r <= TIRForm::kMaxGrid; ++r) {
                TButtonx* k = form.Taste(c * 100 + r);
                if (k && !k->Beschriftung.empty() && k->Tasten_typ != 1) f(*k);
            }
    };
    QStringList items;
    schrittTasten([&](TButtonx& k) { items << platform::fromCp1252(k.Beschriftung); });
    items.sort(Qt::CaseInsensitive);
    std::array<std::int32_t, TLernenForm::kMakroSchritte + 1> gehalten{};
    std::array<QString, TLernenForm::kMakroSchritte + 1> gehaltenText{};
    for (int i = 1; i <= TLernenForm::kMakroSchritte; ++i) {
        const auto idx = static_cast<std::size_t>(i);
        if (key.Tasten_typ == 1)
            if (TButtonx* k = form.Taste(key.Befehl[idx])) {
                gehalten[idx] = k->Knopfnummer;
                gehaltenText[idx] = platform::fromCp1252(k->Beschriftung);
            }
        dialog.setMakroSchritt(i, items, gehaltenText[idx]);
    }

    if (platform::runModal(dialog) != QDialog::Accepted) return;

    // The dialog's result into the key.
    key.Befehl = dialog.Lernpuffer;
    const QString text = dialog.Beschriftung->text();
    key.Beschriftung = platform::toCp1252(text).substr(0, 20);
    key.setText(text);
    key.Tasten_typ = dialog.FunktionIndex();
    key.IR_Code = platform::toCp1252(dialog.IR_Hex_Code->text()).substr(0, kCodeZeichen);
    key.setToolTip(platform::fromCp1252(key.IR_Code));

    // Steps by key number; a step whose text is still the caption of the
    // key it held keeps that key, since captions need not be unique.
    if (key.Tasten_typ == 1) {
        for (std::size_t i = 1; i <= 12; ++i)
            key.Befehl[i] = 0;
        for (int i = 1; i <= TLernenForm::kMakroSchritte; ++i) {
            const auto idx = static_cast<std::size_t>(i);
            const QString schritt = dialog.makroSchrittText(i);
            TButtonx* alt = form.Taste(gehalten[idx]);
            if (alt && alt->Tasten_typ != 1 && !alt->Beschriftung.empty() &&
                schritt == gehaltenText[idx] &&
                platform::fromCp1252(alt->Beschriftung) == schritt) {
                key.Befehl[idx] = alt->Knopfnummer;
                continue;
            }
            const std::string wanted = platform::toCp1252(schritt);
            schrittTasten([&](TButtonx& k) {
                if (k.Beschriftung == wanted) key.Befehl[idx] = k.Knopfnummer;
            });
        }
    }
}

} // namespace desk
