// The device table in the boxes' combo boxes, the recorder editor and the
// recorder's IR commands.
#include "video/Kamera_qt.h"

#include "desk/IR_qt.h"
#include "desk/Lernen_qt.h"
#include "engine/Bandposition.h"
#include "platform/Codepage_qt.h"
#include "platform/Errors.h"
#include "platform/Guard_qt.h"
#include "platform/IniFile.h"
#include "platform/ModalRunner_qt.h"
#include "platform/PathBytes_qt.h"
#include "platform/Prompts_qt.h"
#include "platform/ScopeExit.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>
#include <optional>

namespace video {

namespace {
using platform::bytesOf;
using platform::pathOf;
std::string text(const QLineEdit* e) {
    return platform::toCp1252(e->text());
}
} // namespace

// ---------------------------------------------------------------- editor

Lerndialog Lerndialog_von(desk::TLernenForm& dialog) {
    return [&dialog](LernAuftrag& a) {
        dialog.Beschriftung->setText(a.Beschriftung);
        // Not a key of the main window: no key number from its last learn.
        dialog.BeschriftungG->setTitle(QStringLiteral("Beschriftung"));
        dialog.IR_Hex_Code->setText(platform::fromCp1252(a.IR_Hex_Code));
        dialog.Lernpuffer = a.Lernpuffer;
        dialog.setFunktionIndex(a.Funktion);
        // The recorder's command keeps its type.
        dialog.Funktion->setEnabled(false);
        platform::ScopeExit frei([&dialog] { dialog.Funktion->setEnabled(true); });
        if (platform::runModal(dialog) != QDialog::Accepted) return false;
        a.Lernpuffer = dialog.Lernpuffer;
        a.IR_Hex_Code = platform::toCp1252(dialog.IR_Hex_Code->text());
        a.Funktion = dialog.FunktionIndex();
        return true;
    };
}

TGeraete_edit::TGeraete_edit(TKameraDialog& kamera, QWidget* parent)
    : QDialog(parent), kamera_(kamera) {
    setObjectName(QStringLiteral("Geraete_edit"));
    setWindowTitle(QStringLiteral("Einstellungen f\u00FCr Aufnahmerekorder"));
    auto* haupt = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(QStringLiteral(" "), this);
    haupt->addWidget(GroupBox1);
    auto* g = new QVBoxLayout(GroupBox1);
    auto* nameG = new QGroupBox(QStringLiteral("Name des Ger\u00E4tes"), GroupBox1);
    Edit1 = new QLineEdit(nameG);
    (new QVBoxLayout(nameG))->addWidget(Edit1);
    g->addWidget(nameG);
    auto* verz = new QGroupBox(QStringLiteral("Verz\u00F6gerungszeiten"), GroupBox1);
    auto* vl = new QGridLayout(verz);
    vl->addWidget(new QLabel(QStringLiteral("t_Aufnahme"), verz), 1, 0);
    vl->addWidget(new QLabel(QStringLiteral("t_Pause"), verz), 2, 0);
    vl->addWidget(new QLabel(QStringLiteral("Infrarot"), verz), 0, 1);
    vl->addWidget(new QLabel(QStringLiteral("Kabel"), verz), 0, 2);
    IR_Aufnahme = new QLineEdit(verz);
    IR_Pause = new QLineEdit(verz);
    K_Aufnahme = new QLineEdit(verz);
    K_Pause = new QLineEdit(verz);
    vl->addWidget(IR_Aufnahme, 1, 1);
    vl->addWidget(IR_Pause, 2, 1);
    vl->addWidget(K_Aufnahme, 1, 2);
    vl->addWidget(K_Pause, 2, 2);
    g->addWidget(verz);
    auto* steuer = new QGroupBox(QStringLiteral("IR  Aufnahmesteuerung"), GroupBox1);
    auto* sl = new QHBoxLayout(steuer);
    IR_Aufnahme_steuerung[0] = new QRadioButton(QStringLiteral("Pause - Pause"), steuer);
    IR_Aufnahme_steuerung[1] = new QRadioButton(QStringLiteral("Aufnahme - Pause"), steuer);
    sl->addWidget(IR_Aufnahme_steuerung[0]);
    sl->addWidget(IR_Aufnahme_steuerung[1]);
    IR_Aufnahme_steuerung[0]->setChecked(true);
    g->addWidget(steuer);
    auto* pause = new QGroupBox(QStringLiteral("Maximale Pause Aufnahme"), GroupBox1);
    pause->setToolTip(QStringLiteral("Typischerweise 5 Minuten : 5:00"));
    t_Pause = new QLineEdit(QStringLiteral(" 5:00"), pause);
    (new QVBoxLayout(pause))->addWidget(t_Pause);
    g->addWidget(pause);
    auto* datei = new QGroupBox(QStringLiteral("Fernsteuerdatei"), GroupBox1);
    datei->setToolTip(QStringLiteral("Auf Diskettensymbol klicken legt Defaultdatei an !"));
    auto* dl = new QHBoxLayout(datei);
    IRDateiName = new QLineEdit(datei);
    IRDateiName->setEnabled(false);
    SpeichernB = new QToolButton(datei);
    SpeichernB->setText(QStringLiteral("Neu"));
    LadenB = new QToolButton(datei);
    LadenB->setText(QStringLiteral("W\u00E4hlen"));
    dl->addWidget(IRDateiName);
    dl->addWidget(SpeichernB);
    dl->addWidget(LadenB);
    g->addWidget(datei);
    // FormCreate: the box frame only offers its buttons for learning.
    CountBox1 = new TCountBox(GroupBox1);
    CountBox1->Modus->setVisible(false);
    CountBox1->ComboBox1->setVisible(false);
    CountBox1->Zaehler->setVisible(false);
    CountBox1->Kanal_x->setTitle(QStringLiteral("Infrarotbefehle lernen"));
    g->addWidget(CountBox1);
    for (int n = 1; n <= 12; ++n) {
        QToolButton* b = CountBox1->SpeedButton[static_cast<std::size_t>(n)];
        connect(b, &QToolButton::clicked, this,
                [this, b] { platform::guarded([&] { LernenClick(b); }); });
    }
    auto* knoepfe = new QHBoxLayout;
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn2 = new QPushButton(QStringLiteral("Abbrechen"), this);
    knoepfe->addWidget(BitBtn1);
    knoepfe->addWidget(BitBtn2);
    haupt->addLayout(knoepfe);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
    connect(SpeichernB, &QToolButton::clicked, this,
            [this] { platform::guarded([this] { SpeichernBClick(); }); });
    connect(LadenB, &QToolButton::clicked, this,
            [this] { platform::guarded([this] { LadenBClick(); }); });
    Groesse_festlegen();
}

void TGeraete_edit::Groesse_festlegen() {
    // A fixed border, at least the designed size, and room for every field and
    // learn button at its size hint whatever the font.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    layout()->invalidate();
    setFixedSize(layout()->sizeHint().expandedTo(QSize(433, 428)));
}

int TGeraete_edit::IR_Aufnahme_steuerungIndex() const {
    return IR_Aufnahme_steuerung[1]->isChecked() ? 1 : 0;
}

void TGeraete_edit::setIR_Aufnahme_steuerungIndex(int i) {
    IR_Aufnahme_steuerung[i == 1 ? 1 : 0]->setChecked(true);
}

void TGeraete_edit::FormShow() {
    Groesse_festlegen();
    if (Edit1->text() == QLatin1String(kNeu)) Edit1->clear();
}

void TGeraete_edit::Edit1Change() {
    // Without a caption the box gives up the caption's line and every field
    // would move as the first letter of a name is typed: a blank keeps it.
    GroupBox1->setTitle(Edit1->text().isEmpty() ? QStringLiteral(" ") : Edit1->text());
}

void TGeraete_edit::SpeichernBClick() {
    platform::FileDialogOptions o;
    o.filter = QStringLiteral("Fernsteuerdateien (*.cdx)");
    o.defaultSuffix = QStringLiteral("cdx");
    o.overwritePrompt = true;
    // Only proposed: a cancelled dialog leaves the field as it was.
    o.fileName = IRDateiName->text().isEmpty()
                     ? pathOf(kamera_.Datenordner()) + Edit1->text() + QStringLiteral("_ir.cdx")
                     : IRDateiName->text();
    const auto name = platform::prompts().saveFile(o);
    if (!name) return;
    IRDateiName->setText(*name);
    std::error_code ec;
    if (!std::filesystem::exists(bytesOf(*name), ec))
        kamera_.Schreibe_Schnitt_IRCodes(bytesOf(*name), 1);
}

void TGeraete_edit::LadenBClick() {
    platform::FileDialogOptions o;
    o.filter = QStringLiteral("Fernsteuerdateien (*.cdx)");
    o.defaultSuffix = QStringLiteral("cdx");
    o.fileName = IRDateiName->text();
    if (const auto name = platform::prompts().openFile(o)) IRDateiName->setText(*name);
}

void TGeraete_edit::LernenClick(QToolButton* button) {
    kamera_.Timer1->stop();
    platform::ScopeExit ende([this, button] {
        button->setChecked(false);
        kamera_.Timer1_an();
    });
    if (IRDateiName->text().isEmpty()) {
        platform::prompts().message(
            QStringLiteral("Dateinamen f\u00FCr Fernsteuerdatei ausw\u00E4hlen"));
        return;
    }
    const std::int32_t t = button->property("Tag").toInt();
    Sio::TIR_Knopf& slot = tabelle(kamera_.Schnitt_IRCodes, t, "Schnitt_IRCodes");
    Sio::Waehle_Kanal(3);
    LernAuftrag auftrag;
    auftrag.Beschriftung = platform::fromCp1252(BCode(t));
    auftrag.IR_Hex_Code = slot.Name;
    auftrag.Lernpuffer = slot.Befehl;
    auftrag.Funktion = slot.Typ;
    if (!Lernen || !Lernen(auftrag)) return;
    slot.Befehl = auftrag.Lernpuffer;
    slot.Name = auftrag.IR_Hex_Code;
    slot.Typ = auftrag.Funktion;
    kamera_.Schreibe_Schnitt_IRCodes(bytesOf(IRDateiName->text()), t);
}

// ---------------------------------------------------------------- table

std::int32_t TKameraDialog::fuege_Geraet_ein(const std::string& name) {
    const QString item = platform::fromCp1252(name);
    for (int b = 1; b <= 4; ++b) {
        QComboBox* c = CountBox[static_cast<std::size_t>(b)]->ComboBox1;
        const int sel = c->currentIndex();
        c->addItem(item);
        c->setCurrentIndex(sel);
    }
    return CountBox[1]->ComboBox1->count() - 1;
}

void TKameraDialog::Geraete_speichern() {
    platform::IniBatch ini(IniDatei());
    video::Geraete_speichern(ini, Geraeteliste);
    ini.commit();
}

void TKameraDialog::Lies_Schnitt_IRCodes(const std::string& name) {
    video::Lies_Schnitt_IRCodes(Schnitt_IRCodes, name);
}

void TKameraDialog::Schreibe_Schnitt_IRCodes(const std::string& name, std::int32_t code) {
    video::Schreibe_Schnitt_IRCodes(Schnitt_IRCodes, name, code);
}

void TKameraDialog::CountBox1ComboBox1Click(int box) {
    QComboBox* combo = tabelle(CountBox, box, "CountBox")->ComboBox1;
    TGeraete_edit& e = *Geraete_edit;
    const QString name = combo->currentText();
    e.Edit1->setText(name);
    const int i = CountBox[1]->ComboBox1->findText(name, Qt::MatchExactly);
    if (i >= 0) {
        const TVideoGeraet& g = tabelle(Geraeteliste, i, "Geraeteliste");
        e.IR_Aufnahme->setText(platform::fromCp1252(g.dt_IR_rec));
        e.IR_Pause->setText(platform::fromCp1252(g.dt_IR_Pause));
        e.K_Aufnahme->setText(platform::fromCp1252(g.dt_K_rec));
        e.K_Pause->setText(platform::fromCp1252(g.dt_K_Pause));
        e.t_Pause->setText(platform::fromCp1252(g.MaxPausenZeit));
        e.IRDateiName->setText(pathOf(g.IRDatei));
        e.setIR_Aufnahme_steuerungIndex(g.PausePause ? 0 : 1);
    }
    e.FormShow();
    if (platform::runModal(e) != QDialog::Accepted) return;
    const QString neu = e.Edit1->text();
    if (neu.isEmpty()) return;
    if (neu == QLatin1String(kNeu)) {
        platform::prompts().message(QStringLiteral("Ger\u00E4tenamen angeben !"));
        return;
    }
    int a = CountBox[1]->ComboBox1->findText(neu, Qt::MatchExactly);
    if (neu != name) {
        if (a < 0) {
            // The table has room for 21 devices; a further one is not taken.
            if (CountBox[1]->ComboBox1->count() >= kGeraete) {
                platform::prompts().message(QStringLiteral("Ger\u00E4teliste voll : ") + neu +
                                            QStringLiteral(" nicht eingef\u00FCgt"));
                return;
            }
            fuege_Geraet_ein(platform::toCp1252(neu));
            a = CountBox[1]->ComboBox1->findText(neu, Qt::MatchExactly);
            combo->setCurrentIndex(a);
            platform::prompts().message(QStringLiteral("Ger\u00E4t ") + neu +
                                        QStringLiteral(" eingef\u00FCgt"));
        } else {
            combo->setCurrentIndex(a);
            platform::prompts().message(QStringLiteral("Bekanntes Ger\u00E4t ") + neu +
                                        QStringLiteral(" : Parameter angepa\u00DFt"));
        }
    }
    // The box's device and the table are stored in one save.
    std::optional<std::string> boxName;
    if (a >= 0) {
        TVideoGeraet& g = tabelle(Geraeteliste, a, "Geraeteliste");
        g.Name = platform::toCp1252(neu);
        g.dt_IR_rec = Sio::Zeitwort_normieren(text(e.IR_Aufnahme), 1);
        g.dt_IR_Pause = Sio::Zeitwort_normieren(text(e.IR_Pause), 1);
        g.dt_K_rec = Sio::Zeitwort_normieren(text(e.K_Aufnahme), 1);
        g.dt_K_Pause = Sio::Zeitwort_normieren(text(e.K_Pause), 1);
        g.MaxPausenZeit = Sio::Zeitwort_Nr(text(e.t_Pause), 1);
        g.IRDatei = bytesOf(e.IRDateiName->text());
        g.PausePause = e.IR_Aufnahme_steuerungIndex() == 0;
        Box_Geraet[static_cast<std::size_t>(box)] = g;
        if (box == 4 && !Box_Geraet[4].IRDatei.empty()) {
            Lies_Schnitt_IRCodes(Box_Geraet[4].IRDatei);
            En_Disable_IR_Knoepfe();
        }
        boxName = g.Name;
    }
    platform::IniBatch ini(IniDatei());
    if (boxName) ini.writeString("Geraete", "Box" + std::to_string(box), *boxName);
    video::Geraete_speichern(ini, Geraeteliste);
    ini.commit();
}

} // namespace video
