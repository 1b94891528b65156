// The video window: creation and layout, activation and deactivation with the
// video settings, the grid's editing and the cut-list file.
#include "video/Kamera_qt.h"

#include "desk/IR_qt.h"
#include "engine/ControlL.h"
#include "engine/Debug.h"
#include "engine/EditLine.h"
#include "engine/SioText.h"
#include "platform/Codepage_qt.h"
#include "platform/DateText_qt.h"
#include "platform/Errors.h"
#include "platform/Guard_qt.h"
#include "platform/IniFile.h"
#include "platform/ModalRunner_qt.h"
#include "platform/PathBytes_qt.h"
#include "platform/Prompts_qt.h"
#include "platform/ScopeExit.h"
#include "platform/ScreenFit_qt.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/WindowTracker_qt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPrinter>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

namespace video {

namespace {

using platform::bytesOf;
using platform::pathOf;
using platform::readWholeFile;
using platform::trimmed;

std::string dateiname(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

QToolButton* werkzeug(QToolBar* bar, const char* name, const QString& caption,
                      const QString& hint) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setToolTip(hint);
    bar->addWidget(b);
    return b;
}

QLineEdit* feld(QToolBar* bar, const char* name, const QString& hint, int width) {
    auto* e = new QLineEdit(bar);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(hint);
    e->setFixedWidth(width);
    bar->addWidget(e);
    return e;
}

class RechtsklickFilter final : public QObject {
public:
    RechtsklickFilter(std::function<void(const QPoint&)> f, QObject* parent)
        : QObject(parent), f_(std::move(f)) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() == Qt::RightButton) {
                if (e->type() == QEvent::MouseButtonPress) f_(m->globalPosition().toPoint());
                return true;
            }
        }
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void(const QPoint&)> f_;
};

} // namespace

// ---------------------------------------------------------------- creation

TKameraDialog::TKameraDialog(desk::TIRForm& hauptfenster, QWidget* parent)
    : QWidget(parent, Qt::Window), haupt_(hauptfenster) {
    setObjectName(QStringLiteral("KameraDialog"));
    ProcessMessages = [] { QCoreApplication::processEvents(); };
    Jetzt = [] { return QDateTime::currentDateTime(); };
    RasterFokus = [this] { return StringGrid1->hasFocus(); };
    buildForm();
    Geraete_edit = new TGeraete_edit(*this, this);
    platform::WindowTracker::instance().registerWindow(
        static_cast<QWidget*>(this), [this] { platform::guarded([this] { FormActivate(); }); },
        [this] { platform::guarded([this] { FormDeactivate(); }); });
    FormCreate();
    Parameter = new TParameter(this);
    Parameter->Offsetfelder_sichtbarClick = [this] {
        for (int b = 1; b <= 3; ++b)
            CountBox[static_cast<std::size_t>(b)]->Offset->setVisible(
                Parameter->Offsetfelder_sichtbar->isChecked());
    };
    Parameter->FormCreate(IniDatei());
}

TKameraDialog::~TKameraDialog() {
    platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(this));
}

platform::IniFile& TKameraDialog::IniDatei() {
    if (!haupt_.IniDatei) throw EInOutError("Keine Einstellungsdatei");
    return *haupt_.IniDatei;
}

std::string TKameraDialog::Datenordner() const {
    std::string s = haupt_.Datenordner.string();
    if (!s.empty() && s.back() != '/') s += '/';
    return s;
}

bool TKameraDialog::Timer_an() const {
    return Timer1->isActive();
}

void TKameraDialog::buildForm() {
    QFont f = font();
    f.setBold(true);
    f.setPointSize(8);
    setFont(f);
    auto* haupt = new QVBoxLayout(this);
    haupt->setContentsMargins(0, 0, 0, 0);
    haupt->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolButton6 = werkzeug(ToolBar1, "ToolButton6", QStringLiteral("Neu"),
                           QStringLiteral("Neue Schnittliste"));
    ToolButton7 = werkzeug(ToolBar1, "ToolButton7", QStringLiteral("\u00D6ffnen"),
                           QStringLiteral("Schnittliste \u00F6ffnen"));
    ToolButton9 = werkzeug(ToolBar1, "ToolButton9", QStringLiteral("Speichern"),
                           QStringLiteral("Schnittliste speichern"));
    Schnittdateiname =
        feld(ToolBar1, "Schnittdateiname", QStringLiteral("Name der Schnittliste"), 140);
    Schnittdateiname->setReadOnly(true);
    Schnittdateiname->setEnabled(false);
    ToolButton19 = werkzeug(ToolBar1, "ToolButton19", QStringLiteral("Drucken"),
                            QStringLiteral("Schnittliste drucken"));
    ToolButton18 = werkzeug(ToolBar1, "ToolButton18", QStringLiteral("Einstellungen"),
                            QStringLiteral("Einstellungen"));
    ToolButton8 = werkzeug(ToolBar1, "ToolButton8", QStringLiteral("IR"),
                           QStringLiteral("Zur Infrarotfernbedienung"));
    ToolButton5 =
        werkzeug(ToolBar1, "ToolButton5", QStringLiteral("Ende"), QStringLiteral("Programmende"));
    CountDown =
        feld(ToolBar1, "CountDown", QStringLiteral("Zeit bis zur n\u00E4chsten Aktion"), 80);
    Restzeit = feld(ToolBar1, "Restzeit",
                    QStringLiteral("Br\u00FCcksichtigung maximaler Recorder Pausenzeit"), 80);
    haupt->addWidget(ToolBar1);

    ToolBar2 = new QToolBar(this);
    ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
    ToolButton1 = werkzeug(ToolBar2, "ToolButton1", QStringLiteral("Kamera"),
                           QStringLiteral("Kameranummer des Zuspielers"));
    ToolButton12 = werkzeug(ToolBar2, "ToolButton12", QStringLiteral("&Cut In"),
                            QStringLiteral("Cut In , auch per  <Alt> C"));
    ToolButton13 = werkzeug(ToolBar2, "ToolButton13", QStringLiteral("Cut Ou&t"),
                            QStringLiteral("Cut Out, auch per  <Alt> T"));
    Gesamtzeit = feld(ToolBar2, "Gesamtzeit", QStringLiteral("Gesamtzeit des Schnittes"), 90);
    Gesamtzeit->setText(QStringLiteral("0"));
    ToolButton15 = werkzeug(ToolBar2, "ToolButton15", QStringLiteral("Einf\u00FCgen"),
                            QStringLiteral("Zeile einf\u00FCgen"));
    ToolButton16 = werkzeug(ToolBar2, "ToolButton16", QStringLiteral("L\u00F6schen"),
                            QStringLiteral("Zeile l\u00F6schen"));
    SchneidenKnopf = werkzeug(ToolBar2, "SchneidenKnopf", QStringLiteral("Schnitt"),
                              QStringLiteral("Schneiden !"));
    SchneidenKnopf->setCheckable(true);
    ToolButton17 =
        werkzeug(ToolBar2, "ToolButton17", QStringLiteral("Stop"), QStringLiteral("Stop !"));
    LiveButton =
        werkzeug(ToolBar2, "LiveButton", QStringLiteral("Live"), QStringLiteral("Live Modus"));
    LiveButton->setCheckable(true);
    ToolBar2->setToolButtonStyle(Qt::ToolButtonTextOnly);
    haupt->addWidget(ToolBar2);

    auto* mitte = new QWidget(this);
    auto* mitteLayout = new QHBoxLayout(mitte);
    mitteLayout->setContentsMargins(0, 0, 0, 0);
    UpDownPanel = new QWidget(mitte);
    UpDownPanel->setObjectName(QStringLiteral("UpDownPanel"));
    auto* spin = new QVBoxLayout(UpDownPanel);
    spin->setContentsMargins(0, 0, 0, 0);
    SpinButton3Up = new QToolButton(UpDownPanel);
    SpinButton3Up->setArrowType(Qt::UpArrow);
    SpinButton3Down = new QToolButton(UpDownPanel);
    SpinButton3Down->setArrowType(Qt::DownArrow);
    SpinButton3Up->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    SpinButton3Down->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    spin->addWidget(SpinButton3Up);
    spin->addWidget(SpinButton3Down);
    mitteLayout->addWidget(UpDownPanel);
    Schnittpanel = new QWidget(mitte);
    Schnittpanel->setObjectName(QStringLiteral("Schnittpanel"));
    auto* sp = new QVBoxLayout(Schnittpanel);
    sp->setContentsMargins(0, 0, 0, 0);
    StringGrid1 = new QTableWidget(Schnittpanel);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setColumnCount(5);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    const int breiten[5] = {16, 79, 84, 81, 201};
    for (int c = 0; c < 5; ++c)
        StringGrid1->setColumnWidth(c, breiten[c]);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sp->addWidget(StringGrid1);
    mitteLayout->addWidget(Schnittpanel, 1);
    haupt->addWidget(mitte, 1);
    Schnittmeldung = new QLabel(this);
    Schnittmeldung->setObjectName(QStringLiteral("Schnittmeldung"));
    Schnittmeldung->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Schnittmeldung->setVisible(false);
    haupt->addWidget(Schnittmeldung);

    ZaehlerPanel = new QWidget(this);
    ZaehlerPanel->setObjectName(QStringLiteral("ZaehlerPanel"));
    auto* boxen = new QHBoxLayout(ZaehlerPanel);
    boxen->setContentsMargins(0, 0, 0, 0);
    boxen->setSpacing(0);
    for (int b = 1; b <= 4; ++b) {
        auto* box = new TCountBox(ZaehlerPanel);
        box->setObjectName(QStringLiteral("CountBox%1").arg(b));
        box->GroupIndex = b;
        CountBox[static_cast<std::size_t>(b)] = box;
        boxen->addWidget(box);
    }
    boxen->addStretch(1);
    // The boxes get a quarter of the window's width each at every resize;
    // their widths must not keep the window from being made narrower.
    ZaehlerPanel->setMinimumWidth(1);
    haupt->addWidget(ZaehlerPanel);

    PopupMenu1 = new QMenu(this);
    const char* namen[6] = {"Stop1",      "Offset1",        "Goto1",
                            "Dialogbox1", "AufnahmerecNr1", "Referenz1"};
    const QString texte[6] = {QStringLiteral("Stop"),
                              QStringLiteral("&Offset"),
                              QStringLiteral("&Goto"),
                              QStringLiteral("&Dialogbox"),
                              QStringLiteral("&Aufnahme Rec Nr"),
                              QStringLiteral("&Referenz")};
    for (int i = 0; i < 6; ++i) {
        QAction* a = PopupMenu1->addAction(texte[i]);
        a->setObjectName(QString::fromLatin1(namen[i]));
        PopupItems[static_cast<std::size_t>(i)] = a;
        connect(a, &QAction::triggered, this,
                [this, a] { platform::guarded([&] { PopxClick(a); }); });
    }

    Timer1 = new QTimer(this);
    Timer1->setInterval(600);

    auto on = [this](QToolButton* b, void (TKameraDialog::*h)()) {
        connect(b, &QToolButton::clicked, this,
                [this, h] { platform::guarded([&] { (this->*h)(); }); });
    };
    on(ToolButton6, &TKameraDialog::Neue_Liste_TasteClick);
    on(ToolButton7, &TKameraDialog::ListeOeffnenClick);
    on(ToolButton9, &TKameraDialog::ListeSpeichernClick);
    on(ToolButton19, &TKameraDialog::DruckenKnopfClick);
    on(ToolButton18, &TKameraDialog::EinstellungenKnopfClick);
    on(ToolButton8, &TKameraDialog::FBKnopfClick);
    on(ToolButton5, &TKameraDialog::EndeKnopfClick);
    on(ToolButton1, &TKameraDialog::SpeedButton1Click);
    on(ToolButton12, &TKameraDialog::CutInClick);
    on(ToolButton13, &TKameraDialog::CutOutClick);
    on(ToolButton15, &TKameraDialog::Zeile_einfuegen_TasteClick);
    on(ToolButton16, &TKameraDialog::Zeile_loeschenClick);
    on(SchneidenKnopf, &TKameraDialog::SchneidenKnopfClick);
    on(ToolButton17, &TKameraDialog::Panik_StopClick);
    on(SpinButton3Up, &TKameraDialog::SpinButton3UpClick);
    on(SpinButton3Down, &TKameraDialog::SpinButton3DownClick);
    connect(Timer1, &QTimer::timeout, this,
            [this] { platform::guarded([this] { Timer1Timer(); }); });
    connect(StringGrid1, &QTableWidget::cellChanged, this, [this](int r, int c) {
        if (syncing_) return;
        platform::guarded([&] { Zelle_geaendert(r, c); });
    });
    connect(StringGrid1, &QTableWidget::currentCellChanged, this,
            [this](int r, int c, int alt, int) {
                if (syncing_ || r < 0) return;
                if (r == 0) {
                    // The header row is never current: back to where it was.
                    syncing_ = true;
                    platform::ScopeExit ende([this] { syncing_ = false; });
                    StringGrid1->setCurrentCell(alt >= 1 ? alt : 1, c);
                    r = StringGrid1->currentRow();
                }
                Raster.Row = r;
                Raster.Col = c;
            });
    // Every start and stop of the run, by click or by code.
    connect(SchneidenKnopf, &QToolButton::toggled, this, [this](bool) { ++lauf_; });
    connect(StringGrid1, &QTableWidget::cellClicked, this,
            [this](int, int) { platform::guarded([this] { StringGrid1Click(); }); });
    // The right button opens the command menu and leaves the current cell
    // where it was, so the menu acts on that cell.
    StringGrid1->viewport()->installEventFilter(new RechtsklickFilter(
        [this](const QPoint& global) { PopupMenu1->popup(global); }, StringGrid1));
    // Alt with an arrow steps rows or frames; no control sees the arrow.
    auto* runter = new QAction(this);
    runter->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));
    runter->setShortcutContext(Qt::WindowShortcut);
    addAction(runter);
    connect(runter, &QAction::triggered, this,
            [this] { platform::guarded([this] { SpinButton3DownClick(); }); });
    auto* hoch = new QAction(this);
    hoch->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    hoch->setShortcutContext(Qt::WindowShortcut);
    addAction(hoch);
    connect(hoch, &QAction::triggered, this,
            [this] { platform::guarded([this] { SpinButton3UpClick(); }); });
    Raster_anzeigen();
}

void TKameraDialog::FormCreate() {
    // Box set-up.
    for (int b = 1; b <= 4; ++b) {
        TCountBox* box = CountBox[static_cast<std::size_t>(b)];
        if (b <= 3) {
            box->Offset->setText(QString());
            box->Offset->setVisible(true);
            box->SpeedButton[8]->setVisible(false);
            box->SpeedButton[12]->setVisible(false);
        }
        connect(box->ComboBox1, &QComboBox::activated, this,
                [this, b](int) { platform::guarded([&] { CountBox1ComboBox1Click(b); }); });
        for (int n = 1; n <= 12; ++n) {
            QToolButton* knopf = box->SpeedButton[static_cast<std::size_t>(n)];
            knopf->setProperty("GroupIndex", b);
            connect(knopf, &QToolButton::clicked, this, [this, knopf, b] {
                platform::guarded([&] {
                    if (b <= 3)
                        vcrClick(knopf);
                    else
                        IRKnopfClick(knopf);
                });
            });
        }
        connect(box->Zuspieler, &QRadioButton::toggled, this, [this, b](bool an) {
            if (an) platform::guarded([&] { ZuspielerClick(b); });
        });
        connect(box->Aufnahme, &QRadioButton::toggled, this, [this, b](bool an) {
            if (an) platform::guarded([&] { AufnahmeClick(b); });
        });
    }
    CountBox[4]->ComboBox1->setToolTip(QStringLiteral(
        "Wichtig ! (f\u00FCr Alles)\nHier den Namen des Aufnahmeger\u00E4tes eintragen"));
    for (int b = 1; b <= 4; ++b)
        CountBox[static_cast<std::size_t>(b)]->Kanal_x->setTitle(
            b <= 3 ? QStringLiteral("Kanal %1").arg(b) : QStringLiteral("Infrarot (4)"));
    CountBox[4]->Zuspieler->setVisible(false);
    CountBox[4]->Zaehler->setVisible(false);
    IR_Warnung = true;

    platform::IniFile& ini = IniDatei();
    // Device table.
    for (const std::string& name : Geraete_laden(ini, Geraeteliste))
        fuege_Geraet_ein(name);
    // Roles.
    Waehle_Aufnahme(4);
    Waehle_Aufnahme(ini.readInteger("Videoeinstellungen", "Aufnahmerecorder", 4));
    Waehle_Zuspieler(ini.readInteger("Videoeinstellungen", "Zuspieler", 1));
    // Box devices.
    for (int b = 1; b <= 4; ++b) {
        Box_Geraet[static_cast<std::size_t>(b)].IRDatei.clear();
        const std::string name =
            trimmed(ini.readString("Geraete", "Box" + std::to_string(b), std::to_string(b)));
        QComboBox* combo = CountBox[static_cast<std::size_t>(b)]->ComboBox1;
        const int i = combo->findText(platform::fromCp1252(name), Qt::MatchExactly);
        combo->setCurrentIndex(i);
        if (i >= 0)
            Box_Geraet[static_cast<std::size_t>(b)] = tabelle(Geraeteliste, i, "Geraeteliste");
    }
    setWindowTitle(kCaption);
    // A damaged file is shown as any error; what was read of it stays, and
    // the window is created all the same.
    if (!Box_Geraet[4].IRDatei.empty())
        platform::guarded([this] { Lies_Schnitt_IRCodes(Box_Geraet[4].IRDatei); });
    // Only the IR keys that have a command are usable.
    En_Disable_IR_Knoepfe();
    // Geometry: the frame whole on the work area, also when it was stored on
    // a larger screen or the design size does not fit this one, so that the
    // device boxes at the bottom are in view.
    if (ini.readInteger("Videomaske", "top", -1) != -1) {
        Rahmen_setzen(platform::wholeOnWorkArea(platform::fitToScreens(
            ini.readInteger("Videomaske", "left", 68), ini.readInteger("Videomaske", "top", 33),
            ini.readInteger("Videomaske", "width", 663),
            ini.readInteger("Videomaske", "height", 533))));
    } else {
        QRect mitte(0, 0, 725, 562); // the design size, frame included
        if (QScreen* s = QGuiApplication::primaryScreen())
            mitte.moveCenter(s->availableGeometry().center());
        Rahmen_setzen(platform::wholeOnWorkArea(mitte));
    }
    // Control-L.
    Sony_justiert = ini.readInteger("Sony", "Sony1", -1) != -1;
    Sio::Sony1 = ini.readInteger("Sony", "Sony1", Sio::Sony1);
    Sio::Sony2 = ini.readInteger("Sony", "Sony2", Sio::Sony2);
}

void TKameraDialog::showVideoWindow() {
    show();
    raise();
    activateWindow();
}

bool TKameraDialog::isVideoWindowShowing() const {
    return isVisible();
}

void TKameraDialog::FormActivate() {
    Sio::UART_Init_9600();
    for (int i = 1; i <= 3; ++i) {
        Sio::Zeit_Leeren(Kanal_Position[static_cast<std::size_t>(i)]);
        Kanal_gelesen[static_cast<std::size_t>(i)] = false;
        Kanal_Typ_alt[static_cast<std::size_t>(i)] = std::nullopt;
    }
    if (Debug_Modus)
        for (int b = 1; b <= 3; ++b) {
            QFont f = CountBox[static_cast<std::size_t>(b)]->Zaehler->font();
            f.setPointSize(8);
            CountBox[static_cast<std::size_t>(b)]->Zaehler->setFont(f);
        }
    if (Liste_laden) {
        Liste_laden = false;
        OpenDialog1_FileName = IniDatei().readString("Dateien", "Schnittliste", "");
        Schnittdateiname->clear();
        // A name that is there but cannot be read as a list (a folder, device
        // or FIFO) says why; the window opens all the same.
        std::error_code ec;
        if (!OpenDialog1_FileName.empty() && std::filesystem::exists(OpenDialog1_FileName, ec))
            platform::guarded([this] { ListeVonPlatteLaden(); });
    }
    Timer1->start();
    haupt_.Videomaske_aktiv = true;
    Editieren_an();
}

void TKameraDialog::FormDeactivate() {
    Timer1->stop();
    setSchneiden(false);
    // One write for all of them: a failure leaves the file as it was.
    platform::IniBatch ini(IniDatei());
    const QRect rahmen = Rahmen();
    ini.writeInteger("Videomaske", "top", rahmen.y());
    ini.writeInteger("Videomaske", "left", rahmen.x());
    ini.writeInteger("Videomaske", "width", rahmen.width());
    ini.writeInteger("Videomaske", "height", rahmen.height());
    ini.writeInteger("Videoeinstellungen", "Zuspieler", Zuspieler_Nr());
    ini.writeInteger("Videoeinstellungen", "Aufnahmerecorder", Aufnahme_Nr());
    const TParameter& p = *Parameter;
    ini.writeBool("SpulZeiten", "Cue_Vor", p.Cue_vor->isChecked());
    ini.writeBool("SpulZeiten", "Cue_Zurueck", p.Cue_zurueck->isChecked());
    ini.writeBool("SpulZeiten", "Spul_Vor", p.Spul_vor->isChecked());
    ini.writeBool("SpulZeiten", "Spul_Zurueck", p.Spul_zurueck->isChecked());
    ini.writeString("SpulZeiten", "CueWert", platform::toCp1252(p.CueWert->text()));
    ini.writeString("SpulZeiten", "VorCueSettle", platform::toCp1252(p.VorCueSettle->text()));
    ini.writeString("SpulZeiten", "SpulWert", platform::toCp1252(p.SpulWert->text()));
    ini.writeString("SpulZeiten", "VorSpulSettle", platform::toCp1252(p.Vorspulsettle->text()));
    ini.writeBool("Sonstiges_Video", "Pause_bei_CutIn", p.Pause_bei_CutIn->isChecked());
    ini.writeBool("Sonstiges_Video", "Timecode_Display", p.Timecode_Display->isChecked());
    ini.writeBool("Sonstiges_Video", "Warnen_bei_leerer_Infrarotdatei",
                  p.Warnen_bei_leerer_Infrarotdatei->isChecked());
    ini.writeBool("Sonstiges_Video", "Warnung_vor_Aufnahme", p.Warnung_vor_Aufnahme->isChecked());
    ini.writeBool("Sonstiges_Video", "Automatik_Play_bei_Cut",
                  p.Automatik_Play_bei_Cut->isChecked());
    ini.writeBool("Sonstiges_Video", "Offsetfelder_sichtbar", p.Offsetfelder_sichtbar->isChecked());
    ini.commit();
}

void TKameraDialog::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    platform::guarded([this] {
        Rahmen_.catchUp();
        FormResize();
    });
}

void TKameraDialog::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    platform::guarded([this] { Rahmen_.catchUp(); });
}

void TKameraDialog::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    platform::guarded([this] {
        Rahmen_.catchUp();
        // The panel gets its real size only now.
        if (layout() != nullptr) layout()->activate();
        Kommentarspalte_anpassen();
    });
}

std::function<QMargins(const QWidget&)> TKameraDialog::Rahmenraender = platform::frameMargins;

QRect TKameraDialog::Rahmen() const {
    return Rahmen_.get();
}

void TKameraDialog::Rahmen_setzen(const QRect& rahmen) {
    Rahmen_.set(rahmen);
}

void TKameraDialog::Kommentarspalte_anpassen() {
    if (width() <= 450) return;
    int w = Schnittpanel->width() - 30;
    for (int c = 0; c <= 3; ++c)
        w -= StringGrid1->columnWidth(c);
    StringGrid1->setColumnWidth(4, std::max(w, 0));
}

void TKameraDialog::FormResize() {
    for (int b = 1; b <= 4; ++b)
        CountBox[static_cast<std::size_t>(b)]->setFixedWidth(width() / 4);
    CountBox[1]->Zaehler->setText(QString::number(width()));
    CountBox[2]->Zaehler->setText(QString::number(height()));
    CountBox[3]->Zaehler->setText(QString::number(ZaehlerPanel->width()));
    Kommentarspalte_anpassen();
    ToolBar2->setToolButtonStyle(height() > 490 ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
}

void TKameraDialog::EinstellungenKnopfClick() {
    platform::runModal(*Parameter);
}

void TKameraDialog::FBKnopfClick() {
    haupt_.Videomaske_aktiv = false;
    haupt_.raise();
    haupt_.show();
    haupt_.activateWindow();
    platform::WindowTracker::instance().activate(static_cast<QWidget*>(&haupt_));
    close();
}

void TKameraDialog::EndeKnopfClick() {
    close();
}

void TKameraDialog::closeEvent(QCloseEvent* e) {
    bool schliessen = true;
    platform::guarded([&] { schliessen = FormClose(); });
    if (schliessen)
        e->accept();
    else
        e->ignore();
}

bool TKameraDialog::FormClose() {
    StringGrid_to_Memofeld();
    Raster_anzeigen();
    Sio::Debug_WriteLn("Schnittliste Counts  neu - alt : " + std::to_string(Schnittliste.size()) +
                       "   " + std::to_string(Alte_Schnittliste.size()));
    bool geaendert = Schnittliste.size() != Alte_Schnittliste.size();
    if (geaendert)
        Sio::Debug_WriteLn("Unterschiedliche # Zeilen ");
    else
        for (std::size_t i = 1; i < Schnittliste.size(); ++i)
            if (Schnittliste[i] != Alte_Schnittliste[i]) {
                geaendert = true;
                Sio::Debug_WriteLn("Zeile  " + std::to_string(i) + " : >" + Schnittliste[i] + "<");
            }
    if (Raster.Schnittliste_leer()) geaendert = false;
    if (geaendert &&
        platform::prompts().yesNo(QStringLiteral("Soll die Schnittliste gespeichert werden ?")))
        ListeSpeichernClick();
    // The program's view ends with the program; when the main window stays
    // (its save question was cancelled), so does this one.
    if (haupt_.Videomaske_aktiv) return haupt_.close();
    return true;
}

// ---------------------------------------------------------------- grid

std::string TKameraDialog::zelle(int spalte) const {
    return Raster.zelle(spalte, Raster.Row);
}

void TKameraDialog::Raster_anzeigen() {
    syncing_ = true;
    platform::ScopeExit ende([this] { syncing_ = false; });
    StringGrid1->setRowCount(Raster.RowCount());
    for (int r = 0; r < Raster.RowCount(); ++r)
        for (int c = 0; c < 5; ++c) {
            const QString text = platform::fromCp1252(Raster.zelle(c, r));
            QTableWidgetItem* it = StringGrid1->item(r, c);
            if (!it) {
                it = new QTableWidgetItem(text);
                StringGrid1->setItem(r, c, it);
            } else if (it->text() != text) {
                it->setText(text);
            }
            if (r == 0) it->setFlags(Qt::ItemIsEnabled);
        }
    StringGrid1->setEditTriggers(Raster.Editieren ? QAbstractItemView::AllEditTriggers
                                                  : QAbstractItemView::NoEditTriggers);
    if (Raster.Row >= 0 && Raster.Row < Raster.RowCount()) {
        StringGrid1->setCurrentCell(Raster.Row, Raster.Col);
        if (!Raster.Editieren)
            StringGrid1->setRangeSelected(QTableWidgetSelectionRange(Raster.Row, 0, Raster.Row, 4),
                                          true);
    }
    Gesamtzeit->setText(platform::fromCp1252(Raster.Gesamtzeit));
}

void TKameraDialog::Editieren_an() {
    Raster.Editieren_an();
    Raster_anzeigen();
}

void TKameraDialog::Editieren_aus() {
    Raster.Editieren_aus();
    Raster_anzeigen();
}

void TKameraDialog::Zeile_anwaehlen(int row) {
    Raster.Zeile_anwaehlen(row);
    Raster_anzeigen();
}

void TKameraDialog::Laengen_berechnen() {
    Raster.Laengen_berechnen();
    Raster_anzeigen();
}

void TKameraDialog::Neue_Schnittliste() {
    Raster.Neue_Schnittliste();
    Raster_anzeigen();
}

void TKameraDialog::Neue_Liste_TasteClick() {
    Schnittdateiname->clear();
    Neue_Schnittliste();
}

void TKameraDialog::Zeile_einfuegen_TasteClick() {
    Timer1->stop();
    platform::ScopeExit an([this] { Timer1_an(); });
    setSchneiden(false);
    Raster.Zeile_einfuegen();
    Raster_anzeigen();
}

void TKameraDialog::Zeile_loeschenClick() {
    Raster.Zeile_loeschen();
    Raster_anzeigen();
}

void TKameraDialog::CutInClick() {
    platform::ScopeExit immer([this] {
        ToolButton12->setDown(false);
        Editieren_an();
        setSchneiden(false);
    });
    const std::int32_t p = Zuspieler_Nr();
    const auto pi = static_cast<std::size_t>(p);
    if (!trimmed(zelle(1)).empty() || !Position_lesen(p)) {
        platform::os().beep();
        return;
    }
    if (Kanal_Status[pi].find("II") != std::string::npos && Parameter->Pause_bei_CutIn->isChecked())
        Sio::Kamera_Befehl(p, Sio::Transport::Pause);
    if (LiveButton->isChecked()) Aufnahme_Befehl(Sio::Transport::Record);
    Raster.Letzte_Zeile_erweitern();
    Raster.setZelle(1, Raster.Row, Sio::Position_nach_Text(Kanal_Position[pi]));
    Raster.setZelle(0, Raster.Row, std::to_string(p));
    Zeile_anwaehlen(Raster.Row);
}

void TKameraDialog::CutOutClick() {
    platform::ScopeExit immer([this] {
        ToolButton13->setDown(false);
        Editieren_an();
        setSchneiden(false);
    });
    const std::int32_t p = Zuspieler_Nr();
    const auto pi = static_cast<std::size_t>(p);
    if (!zelle(2).empty() || trimmed(zelle(1)).empty() || !Position_lesen(p)) {
        platform::os().beep();
        return;
    }
    if (LiveButton->isChecked()) {
        Aufnahme_Befehl(Sio::Transport::Pause);
        if (Kanal_spielt[pi]) Sio::Kamera_Befehl(p, Sio::Transport::Pause);
    }
    Raster.Letzte_Zeile_erweitern();
    Raster.setZelle(2, Raster.Row, Sio::Position_nach_Text(Kanal_Position[pi]));
    Zeile_anwaehlen(Raster.Row + 1);
    Laengen_berechnen();
}

bool TKameraDialog::Position_lesen(std::int32_t spieler) {
    const auto sp = static_cast<std::size_t>(spieler);
    if (Kanal_gelesen[sp]) return true;
    // The activation cleared the positions; the poll has not come yet.
    Kanal_lesen(spieler, Kanal_Typ[sp], Kanal_Status[sp], Kanal_spielt[sp]);
    Sio::Waehle_Kanal(1);
    Kanal_gelesen[sp] = Kanal_Typ[sp] != Sio::Protokoll::Keins;
    return Kanal_gelesen[sp];
}

void TKameraDialog::Zelle_geaendert(int r, int c) {
    const std::string text = platform::toCp1252(StringGrid1->item(r, c)->text());
    // The list file divides its lines at these characters: such a time would
    // shift or drop the row when the list is read again.
    const char* verboten = c == 1 ? ";#," : c == 2 ? ";#" : "";
    if (text.find_first_of(verboten) != std::string::npos) {
        platform::os().beep();
        Raster_anzeigen();
        return;
    }
    // Longer than the list file's field: the cell shows what it holds, and
    // the grid says why.
    if (!Schnittraster::passt(c, text)) Raster_anzeigen();
    Raster.setZelle(c, r, text);
}

void TKameraDialog::SpeedButton1Click() {
    Raster.setZelle(0, Raster.Row, std::to_string(Zuspieler_Nr()));
    if (Raster.Row < Raster.RowCount() - 1) ++Raster.Row;
    Raster_anzeigen();
}

void TKameraDialog::SpinButton3UpClick() {
    const bool fokus = RasterFokus();
    if (fokus && !SchneidenKnopf->isChecked() && (Raster.Col == 1 || Raster.Col == 2) &&
        !Sio::Zeitwort_Nr(zelle(Raster.Col), 1).empty())
        Raster.setZelle(Raster.Col, Raster.Row, Sio::Zeit_naechstes_Bild(zelle(Raster.Col)));
    if (fokus && SchneidenKnopf->isChecked() && Raster.Row > 1)
        Raster.Zeile_anwaehlen(Raster.Row - 1);
    Laengen_berechnen();
}

void TKameraDialog::SpinButton3DownClick() {
    const bool fokus = RasterFokus();
    if (fokus && !SchneidenKnopf->isChecked() && (Raster.Col == 1 || Raster.Col == 2) &&
        !Sio::Zeitwort_Nr(zelle(Raster.Col), 1).empty())
        Raster.setZelle(Raster.Col, Raster.Row, Sio::Zeit_voriges_Bild(zelle(Raster.Col)));
    if (fokus && SchneidenKnopf->isChecked() && Raster.Row < Raster.RowCount() - 1)
        Raster.Zeile_anwaehlen(Raster.Row + 1);
    Laengen_berechnen();
}

void TKameraDialog::StringGrid1Click() {
    Laengen_berechnen();
}

void TKameraDialog::PopxClick(QAction* item) {
    if (Raster.Col != 1 || !item) return;
    QString text = item->text();
    if (text.startsWith(QLatin1Char('&'))) text.remove(0, 1);
    Raster.setZelle(1, Raster.Row, platform::toCp1252(text));
    const QString name = item->objectName();
    if (name == QLatin1String("Offset1") || name == QLatin1String("Goto1"))
        Raster.setZelle(2, Raster.Row, "0:00");
    if (name == QLatin1String("AufnahmerecNr1"))
        Raster.setZelle(2, Raster.Row, std::to_string(Aufnahme_Nr()));
    if (name == QLatin1String("Dialogbox1")) Raster.setZelle(4, Raster.Row, "Text f\xFCr Dialog");
    Raster_anzeigen();
}

// ---------------------------------------------------------------- list file

std::string TKameraDialog::Datum_Text(const QDateTime& t) {
    return platform::toCp1252(platform::dateTimeText(t));
}

void TKameraDialog::StringGrid_to_Memofeld() {
    Raster.Gesamtzeit = platform::toCp1252(Gesamtzeit->text());
    Schnittliste = Liste_erzeugen(Raster, bytesOf(Schnittdateiname->text()), Datum_Text(Jetzt()));
}

void TKameraDialog::Memofeld_to_StringGrid() {
    Liste_einlesen(Raster, Schnittliste,
                   Zuspielerwahl{[this](std::int32_t n) { Waehle_Zuspieler(n); },
                                 [this] { return Zuspieler_Nr(); }});
    Raster_anzeigen();
}

void TKameraDialog::ListeVonPlatteLaden() {
    Zeilen zeilen = Zeilen_aus_Text(readWholeFile(OpenDialog1_FileName));
    Schnittliste = zeilen;
    Alte_Schnittliste = std::move(zeilen);
    Schnittdateiname->setText(pathOf(dateiname(OpenDialog1_FileName)));
    Memofeld_to_StringGrid();
    SaveDialog1_FileName = OpenDialog1_FileName;
    IniDatei().writeString("Dateien", "Schnittliste", OpenDialog1_FileName);
    Raster.Row = 1;
    Raster_anzeigen();
}

void TKameraDialog::ListeOeffnenClick() {
    platform::FileDialogOptions o;
    o.filter = QStringLiteral("Schnittlisten (*.lst)");
    o.defaultSuffix = QStringLiteral("lst");
    o.fileName = pathOf(OpenDialog1_FileName);
    o.mustExist = true;
    const auto name = platform::prompts().openFile(o);
    if (!name) return;
    OpenDialog1_FileName = bytesOf(*name);
    ListeVonPlatteLaden();
}

void TKameraDialog::ListeSpeichernClick() {
    platform::FileDialogOptions o;
    o.filter = QStringLiteral("Schnittlisten (*.lst)");
    o.defaultSuffix = QStringLiteral("lst");
    o.overwritePrompt = true;
    o.fileName = pathOf(SaveDialog1_FileName);
    const auto gewaehlt = platform::prompts().saveFile(o);
    if (!gewaehlt) return;
    const std::string name = bytesOf(*gewaehlt);
    Laengen_berechnen();
    StringGrid_to_Memofeld();
    Raster_anzeigen();
    platform::saveFileAtomically(name, Text_aus_Zeilen(Schnittliste));
    Alte_Schnittliste = Schnittliste;
    SaveDialog1_FileName = name;
    IniDatei().writeString("Dateien", "Schnittliste", name);
    Schnittdateiname->setText(pathOf(dateiname(name)));
    Raster.Row = 1;
    Raster_anzeigen();
    setSchneiden(false);
}

} // namespace video
