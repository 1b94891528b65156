#include "desk/IR_qt.h"

#include "desk/IrSendLink.h"
#include "desk/KeyFile.h"
#include "engine/IrSend.h"
#include "engine/SioText.h"
#include "engine/Timing.h"
#include "platform/AppFolders.h"
#include "platform/Codepage_qt.h"
#include "platform/DateText_qt.h"
#include "platform/Errors.h"
#include "platform/Guard_qt.h"
#include "platform/PathBytes_qt.h"
#include "platform/Prompts_qt.h"
#include "platform/ScopeExit.h"
#include "platform/ScreenFit_qt.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/WaitCursor_qt.h"
#include "platform/WindowTracker_qt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <sstream>
#include <sys/stat.h>

namespace desk {

TIRForm* IRForm = nullptr;

namespace {

using Dbg_disp::Debug_Write;
using Dbg_disp::Debug_WriteLn;

const QString kKeyFilter = QStringLiteral("Fernsteuerdateien (*.cdx *.CDX)");

using platform::bytesOf;
using platform::pathOf;
using platform::readWholeFile;

std::string num(std::int64_t n) {
    return std::to_string(n);
}

// A name relative to the current folder made absolute; left as it is when
// the current folder is gone.
std::string absoluterName(const std::string& name) {
    std::error_code ec;
    if (name.empty()) return name;
    const std::filesystem::path p = std::filesystem::absolute(name, ec);
    return ec ? name : p.string();
}

void colour(QWidget* w, bool on) {
    QPalette p = w->palette();
    const QColor c = on ? QColor(0, 255, 0) : QColor(255, 0, 0);
    p.setColor(QPalette::Window, c);
    p.setColor(w->backgroundRole(), c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace

// ---------------------------------------------------------------- priority

Echtzeit_Abschnitt::Echtzeit_Abschnitt(bool an, platform::PriorityClass klasse) : an_(an) {
    if (!an_) return;
    if (!platform::os().setPriorityClass(klasse)) {
        platform::prompts().message(QStringLiteral("Problem Set_priority"));
    } else if (platform::os().priorityRefused()) {
        // Said once where it can be read: with the debug output on.
        static bool gesagt = false;
        if (!gesagt && Dbg_disp::Debug_An) {
            gesagt = true;
            Debug_WriteLn("Keine Berechtigung fuer Echtzeit-Prioritaet (nice -20): "
                          "das Programm laeuft mit normaler Prioritaet");
        }
    }
}

Echtzeit_Abschnitt::~Echtzeit_Abschnitt() {
    if (an_ && !platform::os().setPriorityClass(platform::PriorityClass::Normal))
        platform::guarded(
            [] { platform::prompts().message(QStringLiteral("Problem Set_priority")); });
}

// ---------------------------------------------------------------- creation

TIRForm::TIRForm(TIRFormOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    IRForm = this;
    setObjectName(QStringLiteral("IRForm"));
    setWindowTitle(QStringLiteral("Tavix"));
    ProcessMessages = [] { QCoreApplication::processEvents(); };

    Flaeche = new QWidget(this);
    Flaeche->setObjectName(QStringLiteral("Flaeche"));
    Flaeche->setMinimumSize(0, 0);
    setCentralWidget(Flaeche);
    buildMenu();
    buildPanel();

    Timer1 = new QTimer(this);
    Timer1->setInterval(330);
    connect(Timer1, &QTimer::timeout, this, [this] { platform::guarded([&] { Timer1Timer(); }); });
    Timer2 = new QTimer(this);
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, [this] { platform::guarded([&] { Timer2Timer(); }); });
    Timer3 = new QTimer(this);
    Timer3->setInterval(1000);
    connect(Timer3, &QTimer::timeout, this, [this] { platform::guarded([&] { Timer3Timer(); }); });

    applyBounds();

    const void* id = static_cast<QWidget*>(this);
    platform::WindowTracker::instance().registerWindow(
        id, [this] { platform::guarded([&] { FormActivate(); }); },
        [this] { platform::guarded([&] { FormDeactivate(); }); });

    platform::guarded([&] { FormCreate(); });
}

TIRForm::~TIRForm() {
    platform::WindowTracker::instance().unregisterWindow(static_cast<QWidget*>(this));
    if (IRForm == this) IRForm = nullptr;
}

QAction* TIRForm::menuItem(QMenu* menu, const char* name, const QString& caption,
                           std::function<void()> handler, bool checkable) {
    return senderItem(
        menu, name, caption, [h = std::move(handler)](QAction*) { h(); }, checkable);
}

QAction* TIRForm::senderItem(QMenu* menu, const char* name, const QString& caption,
                             std::function<void(QAction*)> handler, bool checkable) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(checkable);
    menu->addAction(a);
    // A menu item's tick is set by its handler alone, which knows whether the
    // change took: undo the toggle Qt made before the handler runs.
    connect(a, &QAction::triggered, this, [a, checkable, h = std::move(handler)](bool checked) {
        if (checkable) a->setChecked(!checked);
        platform::guarded([&] { h(a); });
    });
    return a;
}

void TIRForm::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);

    Datei1 = bar->addMenu(QStringLiteral("&Datei"));
    Datei1->setObjectName(QStringLiteral("Datei1"));
    Neu1 = menuItem(Datei1, "Neu1", QStringLiteral("&Neu"), [this] { Neu1Click(); });
    Laden1 = menuItem(Datei1, "Laden1", QStringLiteral("Laden"), [this] { Laden1Click(); });
    Speichern1 =
        menuItem(Datei1, "Speichern1", QStringLiteral("Speichern"), [this] { Speichern1Click(); });
    Speichernunter1 = menuItem(Datei1, "Speichernunter1", QStringLiteral("Speichern als"),
                               [this] { Speichernunter1Click(); });
    Datei1->addSeparator();
    Default1 =
        menuItem(Datei1, "Default1", QStringLiteral("Standard"), [this] { Default1Click(); });
    Datei1->addSeparator();
    Ende1 = menuItem(Datei1, "Ende1", QStringLiteral("&Ende"), [this] { Ende1Click(); });

    Service1 = bar->addMenu(QStringLiteral("&Bearbeiten"));
    Service1->setObjectName(QStringLiteral("Service1"));
    Makrostop1 = menuItem(
        Service1, "Makrostop1", QStringLiteral("&Makrostop"), [this] { Makrostop1Click(); }, true);
    Makrostop1->setVisible(false);
    Debug1 = menuItem(
        Service1, "Debug1", QStringLiteral("&Debug"), [this] { Debug1Click(); }, true);
    Debug1->setVisible(false);
    SeviceDisplay1 = menuItem(Service1, "SeviceDisplay1", QStringLiteral("In&terna"), [] {});
    SeviceDisplay1->setVisible(false);
    N5 = Service1->addSeparator();
    N5->setObjectName(QStringLiteral("N5"));
    N5->setVisible(false);
    Kamera1 = menuItem(Service1, "Kamera1", QStringLiteral("&Video"), [this] { Kamera1Click(); });
    Service1->addSeparator();
    Lernen1 = menuItem(
        Service1, "Lernen1", QStringLiteral("&Lernen"), [this] { Lernen1Click(); }, true);
    Service2 = menuItem(
        Service1, "Service2", QStringLiteral("&Service"), [this] { Service2Click(); }, true);
    Service1->addSeparator();
    const char* comNames[9] = {"", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
    for (int n = 1; n <= 8; ++n) {
        const QString caption =
            n <= 3 ? QStringLiteral("COM &%1").arg(n) : QStringLiteral("COM %1").arg(n);
        COM[static_cast<std::size_t>(n)] = senderItem(
            Service1, comNames[n], caption, [this](QAction* a) { COMClick(a); }, true);
    }
    Service1->addSeparator();
    auto sprache = [this](QAction* a) { Englisch1Click(a); };
    Englisch1 = senderItem(Service1, "Englisch1", QStringLiteral("Englisch"), sprache, true);
    Englisch1->setData(2);
    Deutsch1 = senderItem(Service1, "Deutsch1", QStringLiteral("Deutsch"), sprache, true);
    Deutsch1->setData(1);

    Infraroteinheit1 = bar->addMenu(QStringLiteral("&Infrarot"));
    Infraroteinheit1->setObjectName(QStringLiteral("Infraroteinheit1"));
    auto einheit = [this](QAction* a) { TavixClassic1Click(a); };
    TavixClassic1 = senderItem(Infraroteinheit1, "TavixClassic1", QStringLiteral("Tavix &Classic"),
                               einheit, true);
    TavixClassic1->setData(0);
    TavixRemote1 = senderItem(Infraroteinheit1, "TavixRemote1", QStringLiteral("Tavix &Remote"),
                              einheit, true);
    TavixRemote1->setData(3);
    irmate2101 = menuItem(Infraroteinheit1, "irmate2101", QStringLiteral("irmate 210"), [] {});
    irmate2101->setData(3);
    irmate2101->setEnabled(false);
    Allocate1 = menuItem(
        Infraroteinheit1, "Allocate1", QStringLiteral("Allocate"), [this] { Allocate1Click(); },
        true);
    N10 = Infraroteinheit1->addSeparator();
    N10->setObjectName(QStringLiteral("N10"));
    N10->setVisible(false);
    RealTimeModus1 = menuItem(
        Infraroteinheit1, "RealTimeModus1", QStringLiteral("Real_Time_Modus"),
        [this] { RealTimeModus1Click(); }, true);
    RealTimeModus1->setVisible(false);

    N11 = bar->addMenu(QStringLiteral("?"));
    N11->setObjectName(QStringLiteral("N11"));
    TavixWEBPage1 = menuItem(N11, "TavixWEBPage1", QStringLiteral("Tavix WEB Page"),
                             [this] { TavixWEBPage1Click(); });
    Info1 = menuItem(N11, "Info1", QStringLiteral("Info"), [this] { Info1Click(); });
}

void TIRForm::buildPanel() {
    const QString hint = QStringLiteral("Knopfgröße verändern");
    auto sizeButton = [&](QPushButton*& b, const char* name, const QString& caption) {
        b = new QPushButton(caption, Flaeche);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        b->setVisible(false);
        QPushButton* self = b;
        connect(b, &QPushButton::clicked, this,
                [this, self] { platform::guarded([&] { AenderClick(self); }); });
    };
    sizeButton(Hoeher, "Hoeher", QStringLiteral("höher"));
    sizeButton(enger, "enger", QStringLiteral("tiefer"));
    sizeButton(Breiter, "Breiter", QStringLiteral("<< >>"));
    sizeButton(Duenner, "Duenner", QStringLiteral(">> <<"));

    Serielle_Schnittstelle = new QGroupBox(QStringLiteral("Serielle_Schnittstelle"), Flaeche);
    Serielle_Schnittstelle->setObjectName(QStringLiteral("Serielle_Schnittstelle"));
    Serielle_Schnittstelle->setGeometry(3, 90, 215, 230);
    Serielle_Schnittstelle->setVisible(false);
    int y = 20;
    auto place = [&](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(8, y, 199, 22);
        y += 26;
    };
    DTR = new QCheckBox(QStringLiteral("DTR    4 (9)  20 (25)  ]"), Serielle_Schnittstelle);
    place(DTR, "DTR");
    RTS = new QCheckBox(QStringLiteral("RTS     7        4         ]"), Serielle_Schnittstelle);
    place(RTS, "RTS");
    DSR = new QLabel(QStringLiteral("[   DSR     6         6        ]"), Serielle_Schnittstelle);
    place(DSR, "DSR");
    CTS = new QLabel(QStringLiteral("[   CTS      8         5        ]"), Serielle_Schnittstelle);
    place(CTS, "CTS");
    RxD = new QLabel(QStringLiteral("[   RxD      2         3       ]"), Serielle_Schnittstelle);
    place(RxD, "RxD");
    Timing_Nachmessen =
        new QPushButton(QStringLiteral("Timing_Nachmessen"), Serielle_Schnittstelle);
    place(Timing_Nachmessen, "Timing_Nachmessen");
    connect(Timing_Nachmessen, &QPushButton::clicked, this,
            [this] { platform::guarded([&] { Timing_NachmessenClick(); }); });
    High_Perform = new QPushButton(QStringLiteral("High_Perform"), Serielle_Schnittstelle);
    place(High_Perform, "High_Perform");
    High_Perform->setVisible(false);
    connect(High_Perform, &QPushButton::clicked, this,
            [this] { platform::guarded([&] { High_PerformClick(); }); });
    for (std::size_t i = 1; i <= 4; ++i) {
        Label[i] = new QLabel(Flaeche);
        Label[i]->setObjectName(QStringLiteral("Label%1").arg(i));
        Label[i]->setGeometry(3, 322 + static_cast<int>(i - 1) * 16, 215, 16);
        Label[i]->setVisible(false);
    }
}

std::filesystem::path TIRForm::programFolder() const {
    return options_.programFile.parent_path();
}

QString TIRForm::ExtractFileName_ohneExtension(const QString& path) {
    QString name = path;
    const auto slash = name.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) name = name.mid(slash + 1);
    const auto dot = name.indexOf(QLatin1Char('.'));
    return dot >= 0 ? name.left(dot) : name;
}

// ---------------------------------------------------------------- bounds

void TIRForm::setTop(std::int32_t v) {
    bounds_.Top = v;
    applyBounds();
}
void TIRForm::setLeft(std::int32_t v) {
    bounds_.Left = v;
    applyBounds();
}
void TIRForm::setWidth(std::int32_t v) {
    bounds_.Width = v;
    applyBounds();
}
void TIRForm::setHeight(std::int32_t v) {
    bounds_.Height = v;
    applyBounds();
}
void TIRForm::setBounds(const Fensterlage& b) {
    bounds_ = b;
    applyBounds();
}

void TIRForm::applyBounds() {
    // Bounds from a damaged file must not make the arithmetic overflow.
    auto fit = [](std::int64_t v, std::int64_t lo, std::int64_t hi) {
        return static_cast<int>(std::clamp(v, lo, hi));
    };
    const int w = fit(std::int64_t{bounds_.Width} - kFrameLeft - kFrameRight, 1, QWIDGETSIZE_MAX);
    const int h = fit(std::int64_t{bounds_.Height} - kFrameTop - kFrameBottom, 1, QWIDGETSIZE_MAX);
    applied_ = QRect(fit(std::int64_t{bounds_.Left} + kFrameLeft, -1000000, 1000000),
                     fit(std::int64_t{bounds_.Top} + kFrameTop, -1000000, 1000000), w, h);
    setGeometry(applied_);
    applied_ = geometry();
}

// The user moved or resized the window: the model follows. Geometry changes
// the window system makes on its own while the window is shown, or that merely
// confirm what was set, leave the model alone.
void TIRForm::takeBoundsFromWindow() {
    const QRect g = geometry();
    if (g == applied_) return;
    if (g.topLeft() != applied_.topLeft()) {
        bounds_.Left = g.x() - kFrameLeft;
        bounds_.Top = g.y() - kFrameTop;
    }
    if (g.size() != applied_.size()) {
        bounds_.Width = g.width() + kFrameLeft + kFrameRight;
        bounds_.Height = g.height() + kFrameTop + kFrameBottom;
    }
    applied_ = g;
}

void TIRForm::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    if (e->spontaneous() && isVisible()) takeBoundsFromWindow();
}

void TIRForm::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (e->spontaneous() && isVisible()) takeBoundsFromWindow();
    platform::guarded([&] { FormResize(); });
}

void TIRForm::paintEvent(QPaintEvent* e) {
    QMainWindow::paintEvent(e);
    FormPaint();
}

void TIRForm::closeEvent(QCloseEvent* e) {
    bool close = false;
    platform::guarded([&] { close = FormClose(); });
    if (close) {
        e->accept();
        emit closed();
    } else {
        e->ignore();
    }
}

// ---------------------------------------------------------------- start-up

void TIRForm::Einstellung_schreiben(const std::function<void()>& schreiben) {
    // A settings file that cannot be written must not stop the program: the
    // error is shown once and the values in memory stay in force.
    try {
        schreiben();
    } catch (const EInOutError&) {
        if (Einstellungsfehler_gezeigt) return;
        Einstellungsfehler_gezeigt = true;
        platform::showCurrentException();
    }
}

void TIRForm::FormCreate() {
    // The settings file: beside the program when one is there (portable
    // use), else in the user's configuration folder.
    const QString progName =
        ExtractFileName_ohneExtension(pathOf(options_.programFile.filename().string()));
    const platform::AppFolders ordner =
        platform::appFolders(programFolder(), bytesOf(progName) + ".ini");
    IniDatei = std::make_unique<IniFile>(ordner.settingsFile);
    Datenordner = ordner.dataFolder;
    OpenDialog1_InitialDir = Datenordner.string();

    // Language: offered in turn until one is confirmed, when none is stored.
    if (IniDatei->readInteger("Einstellungen", "Sprache", 99) == 99) {
        do {
            Sprache = Sprache == 1 ? 2 : 1;
        } while (!platform::prompts().yesNo(
            QStringLiteral("Tavix, Fernsteuern + Videoschneiden \r            pc remote control + "
                           "video editing\r") +
            kVersion +
            QStringLiteral("\r\rBitte gewünschte Sprache angeben. Die Auswahl kann später "
                           "geändert werden!\rPlease select language. The choice can be changed "
                           "later on!\r\rMomentane Auswahl / actual choice : ") +
            (Sprache == 1 ? QStringLiteral("Deutsch") : QStringLiteral("English")) +
            QStringLiteral("\r\ro.k. ?\r")));
        Einstellung_schreiben([&] { IniDatei->writeInteger("Einstellungen", "Sprache", Sprache); });
    }
    // The answer stands also when it could not be stored.
    Sprache = IniDatei->readInteger("Einstellungen", "Sprache", Sprache == 2 ? 2 : 1);
    if (options_.spracheGewaehlt) options_.spracheGewaehlt(Sprache);
    Deutsch1->setChecked(Sprache == 1);
    Englisch1->setChecked(Sprache == 2);
    Englische_Menues();
    // The performance counter always works here.
    (void)Sio::Zaehlerstand();
    // Not yet activated nor drawn.
    Erste_Aktivierung = true;
    Gezeichnet = false;
    // The version that ran last.
    Einstellung_schreiben(
        [&] { IniDatei->writeString("Statistik", "TavixVer", bytesOf(kVersion)); });
    // Port access comes once the COM port is known (below).
    // Realtime mode, on unless switched off.
    RealTimeModus1->setVisible(true);
    N10->setVisible(true);
    RealTimeModus1->setChecked(IniDatei->readBool("Verschiedenes", "RealTimeModus1", true));
    // Pause between the commands of a batch.
    BatchDelay_ms = IniDatei->readInteger("Einstellungen", "BatchDelay_ms", 2000);
    Einstellung_schreiben(
        [&] { IniDatei->writeInteger("Einstellungen", "BatchDelay_ms", BatchDelay_ms); });
    // Extra menu items for debugging.
    if (IniDatei->readBool("Debugeinstellungen", "ExtraMenuePunkte", false))
        Extra_Menuepunkte_ein();
    // IR unit: offered in turn until one is confirmed, when none is stored.
    if (IniDatei->readInteger("Einstellungen", "IR_Einheit", 99) == 99) {
        IR_Einheit = 0;
        do {
            IR_Einheit = IR_Einheit == 0 ? 3 : 0;
        } while (!platform::prompts().yesNo(
            QStringLiteral("Bitte Tavix Typ, bzw. Infraroteinheit, angeben. Auswahl kann später "
                           "geändert werden!\rPlease select infrared device. Can be changed later "
                           "on!\r\rMomentane Auswahl / actual choice : ") +
            (IR_Einheit == 0 ? QStringLiteral("Tavix Classic/Raw")
                             : QStringLiteral("Tavix Remote/Dongle")) +
            QStringLiteral("\r\ro.k. ?\r")));
        Einstellung_schreiben(
            [&] { IniDatei->writeInteger("Einstellungen", "IR_Einheit", IR_Einheit); });
    }
    // Again, the answer stands also when it could not be stored.
    IR_Einheit = IniDatei->readInteger("Einstellungen", "IR_Einheit", IR_Einheit == 3 ? 3 : 0);
    TavixClassic1->setChecked(IR_Einheit == 0);
    TavixRemote1->setChecked(IR_Einheit == 3);
    // Key grid and key size.
    Raster_X = 3;
    Raster_Y = 3;
    Knopfbreite = 40;
    Knopfhoehe = 40;
    // Video mask as last left.
    Videomaske_aktiv = IniDatei->readBool("Modus", "Videomaske_aktiv", false);
    // COM captions with the port's base address.
    for (int n = 1; n <= 8; ++n) {
        Sio::Com_Nr = n;
        COM[static_cast<std::size_t>(n)]->setText(
            QStringLiteral("COM %1  (%2)")
                .arg(n)
                .arg(QString::number(Sio::Port_Basis(), 16)
                         .toUpper()
                         .rightJustified(3, QLatin1Char('0'))));
    }
    // Engine start-up.
    Sio::SIO_Init();
    // COM port: offered in turn until one is confirmed, when none is stored.
    Sio::Com_Nr = IniDatei->readInteger("Schnittstelle", "Com_Nr", 0);
    if (Sio::Com_Nr == 0) {
        do {
            Sio::Com_Nr = (Sio::Com_Nr % 8) + 1;
        } while (!platform::prompts().yesNo(
            QStringLiteral("COM %1 für Tavix benutzen (1 - 8)\r(\"Nein\" toggelt durch die COMs)")
                .arg(Sio::Com_Nr)));
        Einstellung_schreiben(
            [&] { IniDatei->writeInteger("Schnittstelle", "Com_Nr", Sio::Com_Nr); });
    }
    // Port access for the port in use, before its first access.
    Sio::GiveIO_Oeffnen();
    // The engine drives the chosen IR unit.
    Sio::Setze_IR_Einheit(IR_Einheit);
    // Engine settings.
    Sio::MessSchranke = IniDatei->readInteger("Statistik", "MessSchranke", Sio::MessSchranke);
    Sio::Anfragen_Sec = IniDatei->readInteger("Timing", "Anfragen_Sec", Sio::Anfragen_Sec);
    // A stored measurement wins; without one the delays count turns at the
    // loop's own rate, timed now, not at a fixed guess that may be a tenth of
    // this PC's.
    const std::int32_t drehg = IniDatei->readInteger("Timing", "Drehg_mSec", 0);
    if (drehg > 0)
        Sio::Drehg_mSec = drehg;
    else
        Sio::Drehzahl_der_Schleife_uebernehmen();
    Sio::Abfallzeit_IR_Detektor =
        IniDatei->readInteger("Timing", "Abfallzeit_IR_Detektor", Sio::Abfallzeit_IR_Detektor);
    Einstellung_schreiben([&] {
        IniDatei->writeInteger("Timing", "Abfallzeit_IR_Detektor", Sio::Abfallzeit_IR_Detektor);
    });
    Sio::IR_Methode = IniDatei->readInteger("Verschiedenes", "IR_Methode", Sio::IR_Methode);
    Einstellung_schreiben(
        [&] { IniDatei->writeInteger("Verschiedenes", "IR_Methode", Sio::IR_Methode); });
    // The last key file; a damaged one is reported and start-up goes on.
    // It becomes the current file only once it has been read: a refused file
    // is never saved over unless the user names it. Until a file is read the
    // window as it stands counts as unchanged. A batch run opens only the
    // file it is given: it neither creates the last one nor stores another.
    const std::string letzteDatei =
        IniDatei->readString("Dateien", "Fernsteuerdatei", (Datenordner / "standard.cdx").string());
    Datei_Fensterlage = bounds_;
    if (!Batchlauf()) platform::guarded([&] { Lese_Tasten_Belegung_von_Datei(letzteDatei); });
    // The COM menu shows the port in use; held when asked to.
    Allocate1->setChecked(IniDatei->readBool("Einstellungen", "ComKrallen", false));
    Turn_Checked_Coms_On();
}

void TIRForm::FormActivate() {
    if (!Erste_Aktivierung) {
        Videomaske_aktiv = false;
        Tasten_Aufbau();
        return;
    }
    Erste_Aktivierung = false;
    const QStringList& args = options_.arguments;
    const QString first = args.value(0);
    // Stored and read by its full name, so that a start from another folder
    // finds the same file.
    const std::string datei = absoluterName(
        options_.argumentBytes.empty() ? bytesOf(first) : options_.argumentBytes.front());
    if (first.toUpper().contains(QStringLiteral(".CDX"))) {
        Videomaske_aktiv = false;
        if (!Batchlauf()) {
            Lese_Tasten_Belegung_von_Datei(datei);
        } else {
            // A batch run sends from the file it names and from no other: a
            // missing or refused one ends the run, and nothing is created.
            try {
                std::error_code ec;
                if (!std::filesystem::exists(datei, ec))
                    throw EInOutError("Fernsteuerdatei >" + datei +
                                      "< nicht gefunden\rKey file not found");
                Lies_Fernsteuerdatei(datei);
            } catch (const std::exception&) {
                platform::showCurrentException();
                Batchfehler = true;
                close();
                return;
            }
            Timer3->start();
        }
    }
    if (first.toUpper().contains(QStringLiteral(".LST"))) {
        // A folder, device or FIFO is no list: said so, and the stored list stays.
        try {
            platform::refuseNonPlainFile(datei);
            Einstellung_schreiben([&] { IniDatei->writeString("Dateien", "Schnittliste", datei); });
        } catch (const EInOutError&) {
            platform::showCurrentException();
        }
        Videomaske_aktiv = true;
    }
    if (KameraDialog) KameraDialog->setListeLaden(true);
    Datei_geaendert = false;
    if (IniDatei->readInteger("Timing", "Anfragen_Sec", -1) != -1 || Debug1->isChecked()) {
        if (Videomaske_aktiv) Timer2->start();
    } else if (Timer3->isActive()) {
        // A batch run asks nothing: its keys go out with the rates at hand.
        Debug_WriteLn("Batchbetrieb: Timing nicht gemessen, es gelten die gespeicherten "
                      "bzw. Standardwerte");
    } else if (platform::prompts().yesNo(
                   QStringLiteral("Timing Werte jetzt bestimmen ? (dauert ca. 30 Sekunden, nur für "
                                  "Video wichtig)\rDetermine timing now ? (takes 30 sec., only "
                                  "relevant for video control)"))) {
        B_Drehzahl();
    }
}

void TIRForm::Timer2Timer() {
    Kamera1Click();
    Timer2->stop();
}

bool TIRForm::Batchlauf() const {
    const QStringList& args = options_.arguments;
    return args.value(0).toUpper().contains(QStringLiteral(".CDX")) && !args.value(1).isEmpty();
}

bool TIRForm::Aenderungen_sichern() {
    if (!(bounds_ == Datei_Fensterlage)) Datei_geaendert = true;
    if (!Datei_geaendert) return true;
    switch (platform::prompts().yesNoCancel(
        QStringLiteral("Änderungen der momentanen Fernsteuerdatei sichern ? \rSave changes ?"))) {
    case platform::Answer::Cancel:
        return false;
    case platform::Answer::Yes: {
        // A save that was cancelled or failed keeps the changes and stops
        // what was to follow.
        bool gesichert = false;
        platform::guarded([&] { gesichert = Speichern1Click(); });
        return gesichert;
    }
    default:
        return true;
    }
}

bool TIRForm::FormClose() {
    const bool close = Aenderungen_sichern();
    Einstellung_schreiben(
        [&] { IniDatei->writeBool("Modus", "Videomaske_aktiv", Videomaske_aktiv); });
    return close;
}

void TIRForm::FormDeactivate() {
    Timer1->stop();
}

void TIRForm::FormPaint() {
    Gezeichnet = true;
}

void TIRForm::FormResize() {
    if (!Gezeichnet) return;
    Tasten_Aufbau();
    Debug_WriteLn(
        "Fernsteuer Typ : " + num(std::int64_t{Anzahl_Spalten()} * 100 + Anzahl_Zeilen() - 101) +
        "  top, left, width, height  " + num(Top()) + "  " + num(Left()) + "  " + num(Width()) +
        "  " + num(Height()));
}

// ---------------------------------------------------------------- key grid

namespace {
// Size div key size + 1, without overflow at the ends of the range.
std::int32_t anzahl(std::int32_t size, std::int32_t key) {
    const std::int64_t n = std::int64_t{size} / key + 1;
    return static_cast<std::int32_t>(std::min<std::int64_t>(n, INT32_MAX));
}
} // namespace

std::int32_t TIRForm::Anzahl_Spalten() const {
    return anzahl(Width(), Knopfbreite);
}
std::int32_t TIRForm::Anzahl_Zeilen() const {
    return anzahl(Height(), Knopfhoehe);
}

TButtonx* TIRForm::Taste(std::int32_t n) const {
    if (n <= 0) return nullptr;
    const std::int32_t c = n / 100, r = n % 100;
    if (c < 1 || c > kMaxGrid || r < 1 || r > kMaxGrid) return nullptr;
    return keys_[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)];
}

void TIRForm::Platziere_Taste(std::int32_t n) {
    const std::int32_t c = n / 100, r = n % 100;
    if (c > kMaxGrid || r > kMaxGrid || c < 1 || r < 1) return;
    TButtonx* k = Taste(n);
    if (k) {
        k->setVisible(true);
        k->setEnabled(true);
    } else {
        k = new TButtonx(Flaeche);
        k->setObjectName(QStringLiteral("bt_%1").arg(n));
        k->Knopfnummer = n;
        connect(k, &QPushButton::clicked, this,
                [this, k] { platform::guarded([&] { TasteClick(k); }); });
        keys_[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)] = k;
        k->setVisible(true);
    }
    k->setGeometry((c - 1) * Knopfbreite + Raster_X, (r - 1) * Knopfhoehe + Raster_Y, Knopfbreite,
                   Knopfhoehe);
    k->setText(k->Beschriftung.empty() ? QStringLiteral("*%1").arg(n)
                                       : platform::fromCp1252(k->Beschriftung));
    k->setToolTip(platform::fromCp1252(k->IR_Code));
}

void TIRForm::Platziere_Tasten() {
    const std::int32_t sp = std::min(Anzahl_Spalten(), kMaxGrid);
    const std::int32_t ze = std::min(Anzahl_Zeilen(), kMaxGrid);
    for (std::int32_t c = 1; c <= sp; ++c)
        for (std::int32_t r = 1; r <= ze; ++r)
            Platziere_Taste(c * 100 + r);
}

void TIRForm::Zeige_Taste(std::int32_t n) {
    TButtonx* k = Taste(n);
    if (!k) return;
    k->setVisible(!k->Beschriftung.empty());
    k->setEnabled(k->Befehl[0] != 0);
    k->setToolTip(platform::fromCp1252(k->IR_Code));
}

void TIRForm::Zeige_Tasten() {
    const std::int32_t sp = std::min(Anzahl_Spalten(), kMaxGrid);
    const std::int32_t ze = std::min(Anzahl_Zeilen(), kMaxGrid);
    for (std::int32_t c = 1; c <= sp; ++c)
        for (std::int32_t r = 1; r <= ze; ++r)
            Zeige_Taste(c * 100 + r);
}

void TIRForm::Verstecke_Taste(std::int32_t n) {
    if (TButtonx* k = Taste(n)) k->setVisible(false);
}

void TIRForm::Verstecke_Tasten() {
    const std::int32_t sp = std::min(Anzahl_Spalten(), kMaxGrid);
    const std::int32_t ze = std::min(Anzahl_Zeilen(), kMaxGrid);
    for (std::int32_t c = 1; c <= sp; ++c)
        for (std::int32_t r = 1; r <= ze; ++r)
            Verstecke_Taste(c * 100 + r);
    update();
}

void TIRForm::Loesche_Tasten() {
    for (std::int32_t c = 1; c <= kMaxGrid; ++c)
        for (std::int32_t r = 1; r <= kMaxGrid; ++r)
            if (TButtonx* k = Taste(c * 100 + r)) {
                k->Beschriftung.clear();
                k->setVisible(false);
            }
}

void TIRForm::Platziere_Groessenknoepfe() {
    // Key-sized, but never narrower than their captions ("<< >>").
    int breite = Knopfbreite;
    for (QPushButton* b : {Hoeher, enger, Breiter, Duenner})
        breite = std::max(breite, b->fontMetrics().horizontalAdvance(b->text()) +
                                      2 * b->style()->pixelMetric(QStyle::PM_ButtonMargin));
    for (QPushButton* b : {Hoeher, enger, Breiter, Duenner})
        b->resize(breite, Knopfhoehe);
    Hoeher->move(Raster_X, Raster_Y);
    enger->move(Raster_X + breite, Raster_Y);
    Breiter->move(Raster_X, Raster_Y + Knopfhoehe);
    Duenner->move(Raster_X + breite, Raster_Y + Knopfhoehe);
    for (QPushButton* b : {Hoeher, enger, Breiter, Duenner})
        b->raise();
}

void TIRForm::Service_Anzeige() {
    const bool on = Service2->isChecked();
    for (QPushButton* b : {Hoeher, enger, Breiter, Duenner})
        b->setVisible(on);
    Serielle_Schnittstelle->setVisible(on);
    if (on) {
        Serielle_Schnittstelle->raise();
        if (!Timer1->isActive()) Timer1->start();
    } else {
        Timer1->stop();
    }
    Platziere_Groessenknoepfe();
}

void TIRForm::Tasten_Aufbau() {
    Platziere_Tasten();
    Service_Anzeige();
    if (Service2->isChecked())
        Verstecke_Tasten();
    else if (!Lernen1->isChecked())
        Zeige_Tasten();
}

void TIRForm::AenderClick(QPushButton* sender) {
    // A key size below 1 would leave no grid to compute.
    if (sender == Duenner)
        Knopfbreite = std::max(1, Knopfbreite - 1);
    else if (sender == Breiter)
        ++Knopfbreite;
    else if (sender == enger)
        Knopfhoehe = std::max(1, Knopfhoehe - 1);
    else if (sender == Hoeher)
        ++Knopfhoehe;
    Datei_geaendert = true;
    Platziere_Groessenknoepfe();
}

void TIRForm::Service2Click() {
    Sio::UART_Setup(115, 3);
    Service2->setChecked(!Service2->isChecked());
    if (Service2->isChecked()) {
        Lernen1->setChecked(false);
        if (Height() <= 370) setHeight(371);
    }
    Tasten_Aufbau();
}

void TIRForm::Lernen1Click() {
    Lernen1->setChecked(!Lernen1->isChecked());
    if (Lernen1->isChecked()) Service2->setChecked(false);
    Tasten_Aufbau();
}

void TIRForm::Timer1Timer() {
    Zeige_Leitungen();
}

void TIRForm::Zeige_Leitungen() {
    colour(RTS, RTS->isChecked());
    colour(DTR, DTR->isChecked());
    Sio::Setze_DTR_RTS(RTS->isChecked(), DTR->isChecked());
    bool cts = false, dsr = false, rx = false;
    Sio::Lies_Leitungen(cts, dsr, rx);
    colour(CTS, cts);
    colour(DSR, dsr);
    colour(RxD, rx);
}

// ---------------------------------------------------------------- key file

void TIRForm::Schreibe_Fernsteuerdatei(const std::string& name) {
    Debug_WriteLn("Datei >" + name + "< wird geschrieben");
    KeyFileHead head{Top(), Left(), Width(), Height(), Knopfbreite, Knopfhoehe};
    std::vector<KeyFileKey> keys;
    // No key lies beyond 30 columns or rows.
    const std::int32_t sp = std::min(Anzahl_Spalten(), kMaxGrid);
    const std::int32_t ze = std::min(Anzahl_Zeilen(), kMaxGrid);
    for (std::int32_t c = 1; c <= sp; ++c)
        for (std::int32_t r = 1; r <= ze; ++r) {
            const TButtonx* k = Taste(c * 100 + r);
            if (!k || k->Beschriftung.empty()) continue;
            keys.push_back(
                KeyFileKey{k->Knopfnummer, k->Tasten_typ, k->Beschriftung, k->IR_Code, &k->Befehl});
        }
    platform::saveFileAtomically(name, formatKeyFile(head, keys));
    // The file now holds this window: only a later change of it is one.
    Datei_Fensterlage = bounds_;
    Dateistand_gelesen = Dateistand_von(name);
    // Only a file that was written is remembered for the next start.
    Einstellung_schreiben([&] { IniDatei->writeString("Dateien", "Fernsteuerdatei", name); });
    Setze_Dateiname(name);
}

std::optional<TIRForm::Dateistand> TIRForm::Dateistand_von(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return std::nullopt;
    return Dateistand{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

void TIRForm::Lies_Fernsteuerdatei(const std::string& name) {
    Debug_WriteLn("Datei >" + name + "< soll gelesen werden");
    std::error_code ec;
    if (name.empty() || !std::filesystem::exists(name, ec)) return;
    // Taken before the read: a change made meanwhile counts as one made
    // after it.
    const std::optional<Dateistand> stand = Dateistand_von(name);
    // The whole file is checked first: a file that cannot be read whole
    // changes nothing.
    const KeyFileContent content = parseKeyFile(readWholeFile(name), name);
    Setze_Dateiname(name);
    const QRect g = platform::fitToScreens(content.head.left, content.head.top, content.head.width,
                                           content.head.height);
    setBounds(Fensterlage{g.y(), g.x(), g.width(), g.height()});
    Datei_Fensterlage = bounds_;
    Knopfbreite = platform::fitWidthToScreens(content.head.knopfbreite);
    Knopfhoehe = platform::fitHeightToScreens(content.head.knopfhoehe);
    Platziere_Tasten();
    Loesche_Tasten();
    const std::int32_t sp = Anzahl_Spalten(), ze = Anzahl_Zeilen();
    for (const KeyFileEntry& e : content.entries) {
        // A key outside the file's own grid is passed over, as a save would
        // not keep it; so is one that no grid can hold.
        if (e.knopfnummer / 100 > sp || e.knopfnummer % 100 > ze) continue;
        TButtonx* k = Taste(e.knopfnummer);
        if (!k) continue;
        k->Tasten_typ = e.tastenTyp;
        k->Beschriftung = e.caption.substr(0, 20);
        k->setText(platform::fromCp1252(e.caption));
        k->IR_Code = e.code.substr(0, 150);
        k->Befehl.fill(0);
        std::copy(e.values.begin(), e.values.end(), k->Befehl.begin());
        Zeige_Taste(e.knopfnummer);
    }
    Dateistand_gelesen = stand;
    Setze_Dateiname(name);
    Lernen1->setChecked(false);
    Service2->setChecked(false);
    Datei_geaendert = false;
}

void TIRForm::Lese_Tasten_Belegung_von_Datei(const std::string& name) {
    Debug_WriteLn("Lese_Tasten_Belegung_von_Datei >" + name + "< ");
    std::error_code ec;
    if (!name.empty() && !std::filesystem::exists(name, ec)) {
        // A file that cannot be created leaves the key set as it was: it
        // still belongs to the current file.
        const std::int32_t breite = Knopfbreite, hoehe = Knopfhoehe;
        std::vector<std::pair<TButtonx*, std::string>> beschriftungen;
        for (const auto& spalte : keys_)
            for (TButtonx* k : spalte)
                if (k) beschriftungen.emplace_back(k, k->Beschriftung);
        try {
            Platziere_Tasten();
            Standard_Tasten();
            Debug_WriteLn("Datei anlegen : >" + name + "<");
            Schreibe_Fernsteuerdatei(name);
        } catch (...) {
            Knopfbreite = breite;
            Knopfhoehe = hoehe;
            Loesche_Tasten();
            for (auto& [k, b] : beschriftungen)
                k->Beschriftung = std::move(b);
            Tasten_Aufbau();
            throw;
        }
    }
    Lies_Fernsteuerdatei(name);
}

void TIRForm::Setze_Dateiname(const std::string& name) {
    SaveDialog1_FileName = name;
    setWindowTitle(ExtractFileName_ohneExtension(pathOf(name)));
    Application_Title = windowTitle();
    platform::setPromptTitle(Application_Title);
}

void TIRForm::Setze_Beschriftung(std::int32_t n, const QString& text) {
    if (TButtonx* k = Taste(n)) {
        k->Beschriftung = platform::toCp1252(text).substr(0, 20);
        k->setText(text);
    }
}

void TIRForm::Standard_Tasten() {
    Knopfbreite = 43;
    Knopfhoehe = 35;
    Platziere_Tasten();
    Tasten_Aufbau();
    Loesche_Tasten();
    static const char* const layout[9][5] = {
        {"&Tuner", "&CD", "&VCR", "&TV", "&Off"},
        {nullptr, "L &-", "Mute", "L &+", nullptr},
        {"Tun -", "Tun +", nullptr, nullptr, nullptr},
        {"> CD", "Stop", "<<", ">>", "Skip"},
        {"> VCR", "Stop", "<<", ">>", nullptr},
        {"TV -", "TV +", "OFF", "L -", "L +"},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
        {"&1", "&2", "&3", "&4", "&5"},
        {"&6", "&7", "&8", "&9", "&0"},
    };
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 5; ++c)
            if (layout[r][c])
                Setze_Beschriftung((c + 1) * 100 + r + 1, QString::fromLatin1(layout[r][c]));
    Tasten_Aufbau();
}

void TIRForm::Laden1Click() {
    if (!Aenderungen_sichern()) return;
    platform::FileDialogOptions o;
    o.filter = kKeyFilter;
    o.initialDir = pathOf(platform::dialogFolder(SaveDialog1_FileName).string());
    auto chosen = platform::prompts().openFile(o);
    if (!chosen) return;
    const std::string name = bytesOf(*chosen);
    Debug_WriteLn("OpenDialog1.filename  " + name);
    Lese_Tasten_Belegung_von_Datei(name);
    IniDatei->writeString("Dateien", "Fernsteuerdatei", name);
}

bool TIRForm::Speichernunter1Click() {
    platform::FileDialogOptions o;
    o.filter = kKeyFilter;
    o.initialDir = pathOf(platform::dialogFolder(SaveDialog1_FileName).string());
    o.fileName = pathOf(SaveDialog1_FileName);
    o.defaultSuffix = QStringLiteral("cdx");
    // The question about an existing file must see the name with the suffix
    // added, so it is asked here and not by the dialog.
    o.overwritePrompt = false;
    auto chosen = platform::prompts().saveFile(o);
    if (!chosen) return false;
    const std::string name = bytesOf(*chosen);
    std::error_code ec;
    if (std::filesystem::exists(name, ec) &&
        !platform::prompts().yesNo(QStringLiteral("Die Datei ") + *chosen +
                                   QStringLiteral(" existiert bereits. Ersetzen ?\rThe file "
                                                  "exists already. Replace it ?")))
        return false;
    Debug_WriteLn("SaveDialog1.FileName  " + name);
    Schreibe_Fernsteuerdatei(name);
    Neue_Datei = false;
    Datei_geaendert = false;
    return true;
}

bool TIRForm::Speichern1Click() {
    if (Neue_Datei || SaveDialog1_FileName.empty()) return Speichernunter1Click();
    // Another program, or another Tavix, may have saved the file since.
    const std::optional<Dateistand> jetzt = Dateistand_von(SaveDialog1_FileName);
    if (jetzt && jetzt != Dateistand_gelesen &&
        !platform::prompts().yesNo(QStringLiteral("Die Datei ") + pathOf(SaveDialog1_FileName) +
                                   QStringLiteral(" wurde inzwischen geändert. Überschreiben "
                                                  "?\rThe file was changed meanwhile. Overwrite "
                                                  "it ?")))
        return false;
    Schreibe_Fernsteuerdatei(SaveDialog1_FileName);
    Datei_geaendert = false;
    return true;
}

void TIRForm::Neu1Click() {
    Loesche_Tasten();
    Neue_Datei = true;
    setWindowTitle(QStringLiteral("Tavix"));
    Application_Title = QStringLiteral("Tavix");
    platform::setPromptTitle(Application_Title);
}

void TIRForm::Default1Click() {
    Lernen1->setChecked(false);
    Service2->setChecked(false);
    Standard_Tasten();
}

// ---------------------------------------------------------------- key press

TIRForm::Sendeergebnis TIRForm::Befehl_aussenden(std::int32_t Befehlstyp, Sio::TBefehl Befehl,
                                                 const std::string& code) {
    Sio::IR_Liste_Loeschen(Befehlspuffer);
    if (Befehlstyp == 0) {
        Befehlspuffer = Befehl;
    } else if (Befehlstyp == 2) {
        if (!analytischerPuffer(code, Befehl, Befehlspuffer))
            platform::prompts().message(QStringLiteral("Problem bei Analytisch"));
    }
    std::int32_t r = 0;
    {
        // A send lasts well under a second.
        const Echtzeit_Abschnitt echtzeit(RealTimeModus1->isChecked(),
                                          platform::PriorityClass::RealtimeShort);
        r = sendIr(Befehlspuffer);
    }
    if (r == 0) return Sendeergebnis::Gestoert;
    const bool leer = Befehlspuffer[0] <= 0 || Sio::Gesendeter_Rahmen(Befehlspuffer).empty();
    return leer ? Sendeergebnis::Leer : Sendeergebnis::Gesendet;
}

QString TIRForm::Sendefehler_Text() {
    return Sio::Sende_Timeout
               ? QStringLiteral("IR-Befehl nicht gesendet: der Sender nimmt keine Zeichen an\r"
                                "IR command not sent: the transmitter takes no characters")
               : QStringLiteral("IR-Befehl nicht sauber gesendet: der Rechner war zu "
                                "beschäftigt\rIR command not sent cleanly: the computer was "
                                "too busy");
}

TIRForm::Sendeergebnis TIRForm::TasteClick(TButtonx* sender) {
    const Sendeergebnis e = Taste_ausfuehren(sender);
    if (e == Sendeergebnis::Gestoert) platform::prompts().message(Sendefehler_Text());
    return e;
}

TIRForm::Sendeergebnis TIRForm::Taste_ausfuehren(TButtonx* sender) {
    if (!sender) return Sendeergebnis::Leer;
    TButtonx& key = *sender;
    if (Lernen1->isChecked()) {
        Debug_WriteLn("Lerne Knopf " + num(key.Knopfnummer) + " = " + key.Beschriftung);
        Datei_geaendert = true;
        if (LerneKnopf) LerneKnopf(key);
        return Sendeergebnis::Leer;
    }
    Debug_WriteLn("Sende Knopf " + num(key.Knopfnummer) + " = " + key.Beschriftung);
    const Sendeergebnis e = key.Tasten_typ == 1
                                ? Makro(key)
                                : Befehl_aussenden(key.Tasten_typ, key.Befehl, key.IR_Code);
    Debug_WriteLn("++");
    return e;
}

TIRForm::Sendeergebnis TIRForm::Makro(TButtonx& key) {
    platform::WaitCursor cursor;
    Debug_WriteLn("Befehlsfolge :");
    Makrostop1->setVisible(true);
    ++makroTiefe_;
    // A stop request ends every running macro: the tick stays until the
    // outermost one has ended.
    platform::ScopeExit end([this] {
        if (--makroTiefe_ == 0) {
            Makrostop1->setChecked(false);
            Makrostop1->setVisible(false);
        }
    });
    Sio::Waehle_Kanal(0);
    bool gestoert = false, leer = false, gesendet = false;
    std::size_t i = 1;
    TButtonx* schritt = nullptr;
    do {
        schritt = Taste(key.Befehl[i]);
        ++i;
        const std::int64_t n = std::int64_t{key.Befehl[0]} - 200;
        std::int64_t j = 0;
        do {
            ProcessMessages();
            Sio::Warte_ms(1);
            ++j;
        } while (j < n && !Makrostop1->isChecked());
        Sio::Warte_ms(200);
        if (schritt && !Makrostop1->isChecked()) {
            Debug_Write(" " + schritt->Beschriftung + " ");
            const Sendeergebnis e =
                Befehl_aussenden(schritt->Tasten_typ, schritt->Befehl, schritt->IR_Code);
            gestoert = gestoert || e == Sendeergebnis::Gestoert;
            leer = leer || e == Sendeergebnis::Leer;
            gesendet = gesendet || e == Sendeergebnis::Gesendet;
        }
    } while (schritt && i <= 20 && !Makrostop1->isChecked());
    if (gestoert) return Sendeergebnis::Gestoert;
    return leer || !gesendet ? Sendeergebnis::Leer : Sendeergebnis::Gesendet;
}

void TIRForm::Makrostop1Click() {
    Makrostop1->setChecked(true);
}

void TIRForm::warteBatch() {
    for (std::int32_t i = 0; i < BatchDelay_ms; ++i) {
        Sio::Warte_ms(1);
        ProcessMessages();
    }
}

void TIRForm::Timer3Timer() {
    Timer3->stop();
    const QStringList& args = options_.arguments;
    const QString datei = args.value(0);
    for (qsizetype k = 1; k < args.size() && !args[k].isEmpty(); ++k) {
        const QString& arg = args[k];
        setWindowTitle(QStringLiteral("Befehl >") + arg + QStringLiteral("< aus Datei ") + datei);
        warteBatch();
        const std::string wanted = platform::toCp1252(arg);
        TButtonx* found = nullptr;
        for (std::int32_t c = 1; c <= kMaxGrid && !found; ++c)
            for (std::int32_t r = 1; r <= kMaxGrid && !found; ++r) {
                TButtonx* t = Taste(c * 100 + r);
                if (t && t->Beschriftung == wanted) found = t;
            }
        // The key's own handler, even for a key that is shown disabled. A key
        // that sent nothing, or not clean, fails the run; an error in it
        // is shown and the run goes on with the next. A send the machine
        // disturbed is no error of the user's: it goes to the caller, on
        // standard error and in the exit status, and no dialog stops a run
        // that nobody may be watching.
        if (found) {
            Sendeergebnis e = Sendeergebnis::Leer;
            platform::guarded([&] { e = Taste_ausfuehren(found); });
            if (e == Sendeergebnis::Gestoert)
                std::fprintf(stderr, "Tavix: %s: %s\n", qPrintable(arg),
                             qPrintable(Sendefehler_Text().replace(u'\r', u'\n')));
            if (e != Sendeergebnis::Gesendet) Batchfehler = true;
        } else {
            Batchfehler = true;
            platform::prompts().message(QStringLiteral("In Fernsteuerdatei/in file \r") + datei +
                                        QStringLiteral("\rkeine Taste/no key >") + arg +
                                        QStringLiteral("< "));
        }
    }
    warteBatch();
    close();
}

// ---------------------------------------------------------------- menu

void TIRForm::Ende1Click() {
    close();
}

void TIRForm::Kamera1Click() {
    Lernen1->setChecked(false);
    Service2->setChecked(false);
    Service_Anzeige();
    if (KameraDialog) KameraDialog->showVideoWindow();
}

void TIRForm::Debug1Click() {
    Debug1->setChecked(!Debug1->isChecked());
    const bool an = Debug1->isChecked();
    Dbg_disp::Debug_An = an;
    if (DebugFenster) DebugFenster->setVisible(an);
    Sio::Debug_Statistik = an;
    if (KameraDialog) KameraDialog->setDebugModus(an);
    const QDateTime now = QDateTime::currentDateTime();
    Debug_WriteLn("Tavix Version 1.17, 11-Juni-2002, aktuelle Zeit : " +
                  platform::toCp1252(platform::shortDateText(now.date())) + ", " +
                  platform::toCp1252(platform::longTimeText(now.time())));
}

// COM choice, "Allocate" and the timing measurement: IR_Menus_qt.cpp.

void TIRForm::TavixClassic1Click(QAction* sender) {
    IR_Einheit = sender->data().toInt();
    TavixClassic1->setChecked(false);
    TavixRemote1->setChecked(false);
    sender->setChecked(true);
    Sio::Setze_IR_Einheit(IR_Einheit);
    IniDatei->writeInteger("Einstellungen", "IR_einheit", IR_Einheit);
}

void TIRForm::Englisch1Click(QAction* sender) {
    sender->setChecked(true);
    if (Deutsch1->isChecked() && Sprache == 2) {
        platform::prompts().message(QStringLiteral("Bitte Programm neu starten"));
        close();
    }
    Sprache = sender->data().toInt();
    Englisch1->setChecked(false);
    Deutsch1->setChecked(false);
    sender->setChecked(true);
    IniDatei->writeInteger("Einstellungen", "Sprache", Sprache);
    Englische_Menues();
}

void TIRForm::RealTimeModus1Click() {
    RealTimeModus1->setChecked(!RealTimeModus1->isChecked());
    IniDatei->writeBool("Verschiedenes", "RealTimeModus1", RealTimeModus1->isChecked());
}

void TIRForm::Extra_Menuepunkte_ein() {
    Debug1->setVisible(true);
    N5->setVisible(true);
    High_Perform->setVisible(true);
    Einstellung_schreiben(
        [&] { IniDatei->writeBool("Debugeinstellungen", "ExtraMenuePunkte", true); });
}

void TIRForm::Englische_Menues() {
    if (Sprache != 2) return;
    Datei1->setTitle(QStringLiteral("&File"));
    Neu1->setText(QStringLiteral("&New"));
    Laden1->setText(QStringLiteral("&Load"));
    Speichern1->setText(QStringLiteral("&Save"));
    Speichernunter1->setText(QStringLiteral("Save as"));
    Ende1->setText(QStringLiteral("&End"));
    Service1->setTitle(QStringLiteral("&Settings"));
    Lernen1->setText(QStringLiteral("&Learn"));
    Infraroteinheit1->setTitle(QStringLiteral("&Infrared"));
}

void TIRForm::Timing_NachmessenClick() {
    Timer1->stop();
    platform::ScopeExit on([this] { Timer1->start(); });
    B_Drehzahl();
}

} // namespace desk
