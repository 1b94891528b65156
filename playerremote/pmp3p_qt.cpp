#include "playerremote/pmp3p_qt.h"

#include "platform/Clock.h"
#include "platform/Codepage_qt.h"
#include "platform/Errors.h"
#include "platform/Guard_qt.h"
#include "platform/IniFile.h"
#include "platform/PathBytes_qt.h"
#include "platform/Platform.h"
#include "platform/Prompts_qt.h"
#include "platform/ScopeExit.h"
#include "platform/ScreenFit_qt.h"
#include "platform/SerialDevice.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "playerremote/RemoteFile.h"
#include "playerremote/WAInt_qt.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <vector>

namespace pmp3p {

namespace {

// From the third Stop to the closing of the window.
constexpr int kCountdownMs = 4000;
constexpr std::int64_t kCountdownTicks = platform::Clock::kCounterFrequency * kCountdownMs / 1000;

QString q(const std::string& cp1252) {
    return platform::fromCp1252(cp1252);
}

// The class library's whole-number conversion of a field.
std::int32_t StrToInt(const QString& text) {
    bool ok = false;
    const QString t = text.trimmed();
    const int v = t.toInt(&ok, 10);
    if (!ok) {
        throw std::invalid_argument(
            platform::toCp1252(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(text)));
    }
    return v;
}

} // namespace

int pruefeArgumente(const QStringList& arguments, std::FILE* err) {
    // An option would otherwise become the name of a new remote file.
    if (arguments.isEmpty()) return 0;
    const QString& erstes = arguments.front();
    if (!erstes.startsWith(QLatin1Char('-')) || QFileInfo::exists(erstes)) return 0;
    std::fprintf(err, "Usage: Plomvare [remote file (.mpx)]\n");
    return 2;
}

TForm1::TForm1(TForm1Options options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    Zaehler = [] { return platform::clock().performanceCounter(); };
    Lesen = [this](std::uint8_t* buffer, std::int32_t count) {
        return ComPort1.ReceiveBytes(buffer, count);
    };
    buildComponents();
    buildMenus();
    setGeometry(192, 40, 527, 538);

    // The receiver's port as designed.
    ComPort1.Name = "ComPort1";
    ComPort1.setBaudRate(CPort::br2400);
    ComPort1.setPort("COM1");
    ComPort1.Parity().setBits(CPort::prNone);
    ComPort1.setStopBits(CPort::sbOneStopBit);
    ComPort1.setDataBits(CPort::dbEight);
    ComPort1.Events = CPort::TComEvents{CPort::evRxChar};
    ComPort1.FlowControl().setControlDTR(CPort::dtrEnable);
    ComPort1.FlowControl().setControlRTS(CPort::rtsEnable);
    ComPort1.FlowControl().setOutCTSFlow(false);
    ComPort1.FlowControl().setOutDSRFlow(false);
    ComPort1.FlowControl().setXonXoffOut(false);
    ComPort1.FlowControl().setXonXoffIn(false);
    ComPort1.Timeouts().setReadTotalMultiplier(-1);
    ComPort1.Timeouts().setReadTotalConstant(1);
    ComPort1.setSyncMethod(CPort::smNone);
    ComPort1.OnRxChar = [this](CPort::TCustomComPort*, int) { ComPort1RxChar(); };
    ComPort1.OnDeviceLost = [this](CPort::TCustomComPort*) {
        // The port cannot be reopened while its event thread runs: the
        // opening seen here is the one that was lost.
        const int oeffnung = oeffnungen_;
        QMetaObject::invokeMethod(
            this, [this, oeffnung] { ComPort1Verloren(oeffnung); }, Qt::QueuedConnection);
    };

    platform::guarded([&] { FormCreate(); });
}

TForm1::~TForm1() {
    // The event thread must be gone before the receive state is.
    ComPort1.OnRxChar = nullptr;
    ComPort1.OnDeviceLost = nullptr;
    ComPort1.Deactivate();
}

void TForm1::buildComponents() {
    auto* c = new QWidget(this);
    setCentralWidget(c);
    QFont font(QStringLiteral("MS Sans Serif"));
    setFont(font);

    const char* captions[] = {"",     "Back",    "Play",     "Pause",    "Stop",
                              "Next", "VolPlus", "VolMinus", "Forward5", "Back5"};
    const char* names[] = {"",     "Back",    "Play",     "Pause",     "Stop",
                           "Next", "VolPlus", "VolMinus", "BForward5", "Back5"};
    for (int i = 1; i <= 9; ++i) {
        auto* b = new TTagButton(QString::fromLatin1(captions[i]), static_cast<Befehl>(i), c);
        b->setObjectName(QString::fromLatin1(names[i]));
        const int row = i <= 5 ? 0 : 1;
        const int col = i <= 5 ? i - 1 : i - 6;
        b->setGeometry(8 + col * 64, 8 + row * 30, 60, 25);
        connect(b, &QPushButton::clicked, this,
                [this, b] { platform::guarded([&] { PlayClick(b); }); });
        Knopf[static_cast<std::size_t>(i)] = b;
    }
    EndeButton = new QPushButton(QStringLiteral("Ende"), c);
    EndeButton->setObjectName(QStringLiteral("EndeButton"));
    EndeButton->setGeometry(264, 38, 60, 25);
    connect(EndeButton, &QPushButton::clicked, this,
            [this] { platform::guarded([&] { Ende1Click(); }); });

    Edit1 = new QLineEdit(QStringLiteral("600"), c);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(8, 72, 49, 21);
    SIO_Teiler = new QLabel(QStringLiteral("us  SIO Teiler :"), c);
    SIO_Teiler->setObjectName(QStringLiteral("SIO_Teiler"));
    SIO_Teiler->setGeometry(62, 74, 90, 17);
    Label2 = new QLabel(c);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(152, 74, 40, 17);
    Label3 = new QLabel(c);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(196, 74, 120, 17);
    SetBaud = new QPushButton(QStringLiteral("SetBaud"), c);
    SetBaud->setObjectName(QStringLiteral("SetBaud"));
    SetBaud->setGeometry(8, 98, 60, 25);
    connect(SetBaud, &QPushButton::clicked, this,
            [this] { platform::guarded([&] { SetBaudClick(); }); });
    COpen = new QPushButton(QStringLiteral("COpen"), c);
    COpen->setObjectName(QStringLiteral("COpen"));
    COpen->setGeometry(72, 98, 60, 25);
    COpen->setVisible(false);
    connect(COpen, &QPushButton::clicked, this,
            [this] { platform::guarded([&] { COpenClick(); }); });

    Bits = new QGroupBox(QStringLiteral("Bits"), c);
    Bits->setObjectName(QStringLiteral("Bits"));
    Bits->setGeometry(340, 4, 170, 44);
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QString::number(i + 5), Bits);
        r->setGeometry(8 + i * 40, 18, 36, 20);
        r->setAutoExclusive(false);
        connect(r, &QRadioButton::clicked, this,
                [this, i] { platform::guarded([&] { setBitsIndex(i); }); });
        BitsItems[static_cast<std::size_t>(i)] = r;
    }
    BitsItems[3]->setChecked(true);

    Anzeige = new QCheckBox(QStringLiteral("Anzeige"), c);
    Anzeige->setObjectName(QStringLiteral("Anzeige"));
    Anzeige->setGeometry(340, 54, 80, 20);
    Anzeige->setChecked(true);
    connect(Anzeige, &QCheckBox::clicked, this,
            [this] { platform::guarded([&] { AnzeigeClick(); }); });
    Label1 = new QLabel(c);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(430, 54, 80, 20);
    Count_down_Zaehler = new QLabel(QStringLiteral("Count_down_Zaehler"), c);
    Count_down_Zaehler->setObjectName(QStringLiteral("Count_down_Zaehler"));
    Count_down_Zaehler->setGeometry(340, 78, 170, 20);
    Count_down_Zaehler->setVisible(false);

    Memo1 = new QPlainTextEdit(c);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 128, 137, 473 - 128);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2 = new QPlainTextEdit(c);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setGeometry(152, 128, 321, 305);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    // To the millisecond: the Stop countdown is counted in their ticks.
    Timer1 = new QTimer(this);
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(250);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer2 = new QTimer(this);
    Timer2->setTimerType(Qt::PreciseTimer);
    Timer2->setInterval(kCountdownMs);
    Timer2->setSingleShot(true);
    connect(Timer2, &QTimer::timeout, this, [this] { platform::guarded([&] { Timer2Timer(); }); });
}

void TForm1::buildMenus() {
    auto act = [this](QMenu* menu, const QString& text, const char* name, auto handler) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this,
                [this, handler] { platform::guarded([&] { (this->*handler)(); }); });
        return a;
    };
    Datei1 = menuBar()->addMenu(QStringLiteral("Datei"));
    Laden1 = act(Datei1, QStringLiteral("Laden"), "Laden1", &TForm1::Laden1Click);
    Speichern1 = act(Datei1, QStringLiteral("Speichern"), "Speichern1", &TForm1::Speichern1Click);
    Datei1->addSeparator();
    Ende1 = act(Datei1, QStringLiteral("Ende"), "Ende1", &TForm1::Ende1Click);

    Einstellungen1 = menuBar()->addMenu(QStringLiteral("Einstellungen"));
    Lernen2 = act(Einstellungen1, QStringLiteral("Lernen"), "Lernen2", &TForm1::Lernen2Click);
    Lernen2->setCheckable(true);
    Einstellungen1->addSeparator();
    Initialisiere1 = act(Einstellungen1, QStringLiteral("Initialisiere"), "Initialisiere1",
                         &TForm1::Initialisiere1Click);
    Einstellungen1->addSeparator();
    for (int n = 1; n <= 3; ++n) {
        QAction* a = Einstellungen1->addAction(QStringLiteral("COM %1").arg(n));
        a->setObjectName(QStringLiteral("COM%11").arg(n));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this,
                [this, n] { platform::guarded([&] { COM11Click(n); }); });
        COM[static_cast<std::size_t>(n)] = a;
    }
    Einstellungen1->addSeparator();
    gross1 = act(Einstellungen1, QStringLiteral("Fenster gross"), "gross1", &TForm1::gross1Click);
    klein1 = act(Einstellungen1, QStringLiteral("Fenster klein"), "klein1", &TForm1::klein1Click);
    ShutdownperStop1 = act(Einstellungen1, QStringLiteral("Shutdown_per_Stop"), "ShutdownperStop1",
                           &TForm1::ShutdownperStop1Click);
    ShutdownperStop1->setCheckable(true);
    ShutdownperStop1->setVisible(false);

    Hilfe1 = menuBar()->addMenu(QStringLiteral("?"));
    PlomvareHomepage1 = act(Hilfe1, QStringLiteral("Plomvare Homepage"), "PlomvareHomepage1",
                            &TForm1::PlomvareHomepage1Click);
    Beschreibung1 =
        act(Hilfe1, QStringLiteral("Beschreibung"), "Beschreibung1", &TForm1::Beschreibung1Click);
    Bedienungsanleitung1 = act(Hilfe1, QStringLiteral("Bedienungsanleitung"),
                               "Bedienungsanleitung1", &TForm1::Bedienungsanleitung1Click);
    Info1 = act(Hilfe1, QStringLiteral("Info"), "Info1", &TForm1::Info1Click);
}

platform::IniFile& TForm1::fbIni() {
    // A start that failed before the remote file was opened leaves none.
    if (!FB_Ini)
        throw EInOutError("Keine Fernsteuerdatei ge\xF6"
                          "ffnet");
    return *FB_Ini;
}

std::string TForm1::programmOrdner() const {
    std::string dir = options_.dataFolder.empty() ? options_.programFile.parent_path().string()
                                                  : options_.dataFolder.string();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

// ---- start-up, window and help ----

void TForm1::FormCreate() {
    // Port access is asked for at each register setting (see Receiver.h);
    // there is no device to open beforehand.
    setWindowTitle(QStringLiteral("Plomvare 1.46"));
    Auswertung.Gefeuertes_Fach = 0;
    Label1->clear();
    Programm_Ini = std::make_unique<platform::IniFile>(options_.settingsFile.empty()
                                                           ? programmIniPfad(options_.programFile)
                                                           : options_.settingsFile);
    Programm_Ini->writeString("Statistik", "Version", kVersion);
    ShutdownperStop1->setChecked(Programm_Ini->readBool("Einstellungen", "ShutdownperStop", true));
    setAnzeige(Programm_Ini->readBool("Einstellungen", "Anzeige", true));
    OpenDialog1_InitialDir = programmOrdner();
    FB_Datei = Programm_Ini->readString("Dateien", "FB_Datei", programmOrdner() + "standard.mpx");
    if (!options_.arguments.isEmpty() && !options_.arguments.front().trimmed().isEmpty())
        FB_Datei = platform::bytesOf(options_.arguments.front());
    FB_Datei_Laden();
}

void TForm1::closeEvent(QCloseEvent* e) {
    platform::guarded([&] { FormClose(); });
    e->accept();
    if (!closed_) {
        closed_ = true;
        emit closed();
    }
}

void TForm1::FormClose() {
    Timer1->stop();
    ++oeffnungen_;
    ComPort1.Deactivate();
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    if (!ownResize_) platform::guarded([&] { FormResize(); });
}

void TForm1::FormResize() {
    if (!Programm_Ini) return;
    platform::IniBatch groesse(*Programm_Ini);
    groesse.writeInteger("Einstellungen", "Width", Width());
    groesse.writeInteger("Einstellungen", "Height", Height());
    groesse.commit();
}

void TForm1::setWidth(std::int32_t w) {
    fensterSetzen(w, height(), std::nullopt);
}

void TForm1::setHeight(std::int32_t h) {
    fensterSetzen(width(), h, std::nullopt);
}

void TForm1::fensterSetzen(std::int32_t w, std::int32_t h, std::optional<bool> anzeige) {
    const QSize alt = size();
    const bool altAnzeige = Anzeige->isChecked();
    const bool neueGroesse = w != alt.width() || h != alt.height();
    const bool neueAnzeige = anzeige && *anzeige != altAnzeige;
    auto setzen = [&](QSize groesse, bool an) {
        ownResize_ = true;
        platform::ScopeExit back([&] { ownResize_ = false; });
        resize(groesse);
        Anzeige->setChecked(an);
    };
    setzen(QSize(w, h), neueAnzeige ? *anzeige : altAnzeige);
    if (neueAnzeige) memosLeeren();
    if (!Programm_Ini || (!neueGroesse && !neueAnzeige)) return;
    // Size and tick are one save; when it fails, the window is as it was.
    try {
        platform::IniBatch ini(*Programm_Ini);
        if (neueGroesse) {
            ini.writeInteger("Einstellungen", "Width", Width());
            ini.writeInteger("Einstellungen", "Height", Height());
        }
        if (neueAnzeige) ini.writeBool("Einstellungen", "Anzeige", Anzeige->isChecked());
        ini.commit();
    } catch (...) {
        setzen(alt, altAnzeige);
        throw;
    }
}

void TForm1::gross1Click() {
    fensterSetzen(527, 543, true);
}

void TForm1::klein1Click() {
    fensterSetzen(342, 120, false);
}

void TForm1::setAnzeige(bool on) {
    if (Anzeige->isChecked() == on) return;
    Anzeige->setChecked(on);
    AnzeigeClick();
}

void TForm1::memosLeeren() {
    Memo1->clear();
    Memo2->clear();
}

void TForm1::AnzeigeClick() {
    memosLeeren();
    if (Programm_Ini) Programm_Ini->writeBool("Einstellungen", "Anzeige", Anzeige->isChecked());
}

void TForm1::ShutdownperStop1Click() {
    // A checkable action has already toggled itself when triggered.
    platform::prompts().message(
        QStringLiteral("Diese Option fährt den Computer\rbei Mehrfach-Stop herunter"));
    Programm_Ini->writeBool("Einstellungen", "ShutdownperStop", ShutdownperStop1->isChecked());
}

void TForm1::Info1Click() {
    const std::string text =
        kVersion + "\r" + "\r" +
        "WinAmp wird durch die Kn\xF6"
        "pfe oder per empfangenem IR Kommando gesteuert !\r" +
        "  \r" + "Dreimal langsam hintereinander \"Stop\" beendet Plomvare 1.46 und winAMP, \r" +
        "Viermal \"Stop\" f\xE4hrt den Computer komplett herunter.\r" + "  \r" +
        "Lernmodus ein-/ausschalten mit \"Einstellungen/Lernen\".\r" + " \r" +
        "Infos und neue Programmversionen bei " + kHomepage + " .\r" +
        "Direkt dorthin mit Mausklick auf \"?/Plomvare Homepage\".";
    platform::prompts().message(q(text));
}

void TForm1::PlomvareHomepage1Click() {
    if (!platform::os().openUrl(kHomepage))
        platform::prompts().error(
            q("Die Adresse\r" + kHomepage +
              "\rkonnte nicht automatisch aufgerufen werden\rBitte manuell versuchen"));
}

void TForm1::Open_Zeug(const std::string& name) {
    // A page is looked for beside the program, then where an installation
    // puts it (<prefix>/share/plomvare beside <prefix>/bin); otherwise the
    // name is taken relative to the current directory.
    std::string path;
    const std::filesystem::path programmDir = options_.programFile.parent_path();
    for (const auto& p : {programmDir / name, programmDir / ".." / "share" / "plomvare" / name}) {
        std::error_code ec;
        if (path.empty() && std::filesystem::is_regular_file(p, ec))
            path = p.lexically_normal().string();
    }
    if (path.empty())
        path = platform::bytesOf(QDir::current().absoluteFilePath(QFile::decodeName(name.c_str())));
    if (!platform::os().openUrl(path))
        platform::prompts().error(
            q("Die Adresse\r" + name +
              "\rkonnte nicht automatisch aufgerufen werden\rBitte manuell versuchen"));
}

void TForm1::Beschreibung1Click() {
    Open_Zeug("Plomvare.htm");
}

void TForm1::Bedienungsanleitung1Click() {
    Open_Zeug("Plomvarehilfe.htm");
}

void TForm1::Ende1Click() {
    close();
}

void TForm1::Timer2Timer() {
    close();
}

// ---- receiver port and bit rate ----

void TForm1::COM11Click(std::int32_t tag) {
    Schnittstelle = tag;
    for (int n = 1; n <= 3; ++n)
        COM[static_cast<std::size_t>(n)]->setChecked(n == tag);
    COpenClick();
    Programm_Ini->writeInteger("Einstellungen", "Schnittstelle", Schnittstelle);
}

void TForm1::COpenClick() {
    if (options_.ohnePort) {
        SetBaudClick();
        return;
    }
    // A loss reported for the port as it was is past from here on.
    ++oeffnungen_;
    ComPort1.Deactivate();
    if (Schnittstelle >= 1 && Schnittstelle <= 3)
        ComPort1.setPort("COM" + std::to_string(Schnittstelle));
    ComPort1.Activate();
    SetBaudClick();
}

void TForm1::ComPort1Verloren(int oeffnung) {
    // Closed or reopened since: nothing of the lost device is left.
    if (oeffnung != oeffnungen_) return;
    platform::guarded([&] {
        // The port closed itself; this lets go of what the device left.
        ComPort1.Deactivate();
        throw CPort::EComPort::CreateWithWinCode(3, platform::serial::ERROR_IO_DEVICE);
    });
}

void TForm1::SetBaudClick() {
    // A period the receiver cannot run at is refused before it is stored or
    // set: stored, it would refuse every later load of the file. The labels
    // show why.
    const std::int32_t periode = StrToInt(Edit1->text());
    const Bitrate b = berechneBitrate(periode);
    Label2->setText(QString::number(b.Teiler));
    Label3->setText(QString::fromStdString(frequenzText(b.f)));
    if (b.Teiler > 255) throw ERangeError("Bereichsfehler: SIO Teiler " + std::to_string(b.Teiler));
    Periodenlaenge = periode;
    fbIni().writeInteger("Einstellungen", "Periodenlaenge", Periodenlaenge);
    ComPort1.setBaudRate(b.BaudRate);
    const std::uint8_t code = wortlaengenCode(BitsIndex());
    const std::uint16_t basis = uartBasis(Schnittstelle);
    std::unique_ptr<ReceiverRegisters> regs = options_.registers
                                                  ? options_.registers(basis, ComPort1)
                                                  : openReceiverRegisters(basis, ComPort1);
    schreibeEmpfaengerRegister(*regs, basis, code, b.Teiler);
}

void TForm1::setBitsIndex(std::int32_t index) {
    if (index < -1) index = -1;
    if (index > 3) index = 3;
    for (int i = 0; i < 4; ++i)
        BitsItems[static_cast<std::size_t>(i)]->setChecked(i == index);
    if (index == bitsIndex_) return;
    bitsIndex_ = index;
    BitsClick();
}

void TForm1::BitsClick() {
    fbIni().writeInteger("Einstellungen", "Anzahl_Bits", bitsIndex_ + 5);
    SetBaudClick();
}

// ---- reception and evaluation ----

void TForm1::ComPort1RxChar() {
    // Runs on the port's event thread. Each batch is stamped and appended
    // before the timer is asked for: a tick in between then sees the new
    // stamp, or ends the old burst before the batch is there, and the request
    // after it starts the timer again.
    try {
        std::array<std::uint8_t, kLeseGroesse> buf;
        for (;;) {
            const std::int64_t stamp = Zaehler();
            const std::int32_t n = Lesen(buf.data(), kLeseGroesse);
            Auswertung.empfange(stamp, buf.data(), n);
            // A sender that waits for room sends nothing, and the port reports
            // nothing new, until the queue has been read empty.
            if (n < kLeseGroesse) break;
        }
    } catch (...) {
        // A failed read ends this batch.
    }
    // The timer is started by the GUI thread. Starting a running timer would
    // restart its period, and batches come faster than it: only a stopped
    // timer is started.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!Timer1->isActive()) Timer1->start();
        },
        Qt::QueuedConnection);
}

void TForm1::Timer1Timer() {
    // A box shown by the tick runs a nested loop in which the timer fires
    // again; that tick is skipped.
    if (imTick_) return;
    imTick_ = true;
    platform::ScopeExit done([&] { imTick_ = false; });
    try {
        Auswertung.tick(Zaehler(), *this);
    } catch (...) {
        // Errors of the tick end it silently.
    }
}

bool TForm1::anzeige() const {
    return Anzeige->isChecked();
}
bool TForm1::lernmodus() const {
    return Lernen2->isChecked();
}
bool TForm1::shutdownPerStop() const {
    // Only within the four seconds before the window closes, measured on the
    // counter: a closing timer that fires late does not lengthen them.
    return ShutdownperStop1->isChecked() && countdownStempel_ &&
           Zaehler() - *countdownStempel_ <= kCountdownTicks;
}
void TForm1::zeigeAuswertungen(std::int32_t n) {
    Label1->setText(QString::number(n));
}
void TForm1::memo1Leeren() {
    Memo1->clear();
}
void TForm1::memo1Zeile(const std::string& line) {
    Memo1->appendPlainText(q(line));
}
void TForm1::memo2Leeren() {
    Memo2->clear();
}
void TForm1::memo2Zeile(const std::string& line) {
    Memo2->appendPlainText(q(line));
}
void TForm1::countdownZeigen(const Countdown& c) {
    Count_down_Zaehler->setText(q(c.Caption));
    Count_down_Zaehler->setVisible(c.Visible);
}
void TForm1::timer1Aus() {
    Timer1->stop();
}
void TForm1::knopfKlick(Befehl befehl) {
    TTagButton* b = Knopf.at(static_cast<std::size_t>(befehl));
    platform::guarded([&] { PlayClick(b); });
}
void TForm1::meldung(const std::string& text) {
    platform::prompts().message(q(text));
}
void TForm1::beep() {
    platform::os().beep();
}
void TForm1::playerBeenden() {
    WAInt::WA_Beenden();
}
void TForm1::timer2An() {
    countdownStempel_ = Zaehler();
    Timer2->start();
}
bool TForm1::herunterfahren(std::int32_t& fehlercode) {
    if (platform::os().shutdown()) return true;
    fehlercode = 5; // refused: not permitted
    return false;
}
void TForm1::fensterSchliessen() {
    close();
}

// ---- learnt slots and the remote file ----

void TForm1::Lernen2Click() {
    // A checkable action has already toggled itself when triggered.
    Memo2->clear();
    if (Lernen2->isChecked()) Memo2->appendPlainText(QStringLiteral("***** Lernmodus *****"));
}

void TForm1::PlayClick(TTagButton* sender) {
    if (Lernen2->isChecked()) {
        const std::string text = Auswertung.lerne(sender->Tag, platform::toCp1252(sender->text()));
        Befehle_Speichern();
        platform::prompts().message(q(text));
        return;
    }
    switch (sender->Tag) {
    case Befehl::Back:
        WAInt::WA_Befehl(WAInt::kZurueck);
        break;
    case Befehl::Play:
        WAInt::WA_Befehl(WAInt::kPlay);
        break;
    case Befehl::Pause:
        WAInt::WA_Befehl(WAInt::kPause);
        break;
    case Befehl::Stop:
        WAInt::WA_Befehl(WAInt::kStop);
        break;
    case Befehl::Next:
        WAInt::WA_Befehl(WAInt::kWeiter);
        break;
    case Befehl::VolumeUp:
        WAInt::WA_Lauter();
        break;
    case Befehl::VolumeDown:
        WAInt::WA_Leiser();
        break;
    case Befehl::Forward5:
        WAInt::WA_Vor5();
        break;
    case Befehl::Back5:
        WAInt::WA_Zurueck5();
        break;
    default:
        platform::prompts().message(QStringLiteral("unbekannter Befehl"));
        break;
    }
}

void TForm1::Befehle_Speichern() {
    pmp3p::Befehle_Speichern(fbIni(), Auswertung.Faecher);
}

void TForm1::FB_Datei_Laden() {
    const QString name = QFileInfo(QFile::decodeName(FB_Datei.c_str())).fileName();
    setWindowTitle(QStringLiteral("Plomvare 1.46, ") + name);
    FB_Ini = std::make_unique<platform::IniFile>(FB_Datei);
    // One read of the file serves the whole load.
    const platform::IniBatch datei(*FB_Ini);
    Periodenlaenge = datei.readInteger("Einstellungen", "Periodenlaenge", 600);
    Edit1->setText(QString::number(Periodenlaenge));

    // A port that cannot be opened, a rate that cannot be set or a damaged
    // slot keeps no other step from running; their errors are shown together,
    // each once, when the rest is done.
    std::vector<std::string> fehler;
    const auto schritt = [&](const auto& tun) {
        try {
            tun();
        } catch (const std::exception& e) {
            if (std::find(fehler.begin(), fehler.end(), e.what()) == fehler.end())
                fehler.emplace_back(e.what());
        }
    };
    // Widths below 5 choose no item, above 8 the last (and do not overflow).
    schritt([&] {
        setBitsIndex(std::clamp(datei.readInteger("Einstellungen", "Anzahl_Bits", 8), 4, 8) - 5);
    });
    Schnittstelle = Programm_Ini->readInteger("Einstellungen", "Schnittstelle", 2);
    schritt([&] {
        if (Schnittstelle >= 1 && Schnittstelle <= 3) COM11Click(Schnittstelle);
    });
    schritt([&] { COpenClick(); });
    Auswertung.Bereit = true;
    schritt([&] { Faecher_Laden(datei, Auswertung.Faecher); });
    schritt([&] {
        const platform::IniBatch programm(*Programm_Ini);
        const std::int32_t w = programm.readInteger("Einstellungen", "Width", Width());
        const std::int32_t h = programm.readInteger("Einstellungen", "Height", Height());
        // From a file: within the screens before use.
        fensterSetzen(platform::fitWidthToScreens(w), platform::fitHeightToScreens(h),
                      std::nullopt);
    });
    if (fehler.empty()) return;
    std::string text = fehler.front();
    for (std::size_t i = 1; i < fehler.size(); ++i)
        text += "\r" + fehler[i];
    throw std::runtime_error(text);
}

platform::FileDialogOptions TForm1::dateiDialog() const {
    // Both dialogs start in the data folder, not in the folder the program
    // happened to be started from.
    platform::FileDialogOptions o;
    o.filter = QStringLiteral("Fernsteuerdateien (*.mpx)");
    o.initialDir = QFile::decodeName(OpenDialog1_InitialDir.c_str());
    o.defaultSuffix = QStringLiteral("mpx");
    return o;
}

void TForm1::Laden1Click() {
    const auto file = platform::prompts().openFile(dateiDialog());
    if (!file) return;
    FB_Datei = platform::bytesOf(*file);
    FB_Ini.reset();
    Programm_Ini->writeString("Dateien", "FB_Datei", FB_Datei);
    FB_Datei_Laden();
}

void TForm1::Speichern1Click() {
    platform::FileDialogOptions o = dateiDialog();
    o.overwritePrompt = true;
    const auto file = platform::prompts().saveFile(o);
    if (!file) return;
    Memo2->clear();
    // Every write already went to disk; the file is copied byte for byte.
    const std::string bytes = platform::readWholeFile(FB_Datei);
    Memo2->setPlainText(q(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const std::string neu = platform::bytesOf(*file);
    platform::saveFileAtomically(neu, bytes);
    // The current file changes only once the copy is on disk.
    FB_Datei = neu;
    FB_Ini.reset();
    FB_Datei_Laden();
    Programm_Ini->writeString("Dateien", "FB_Datei", FB_Datei);
}

void TForm1::Initialisiere1Click() {
    Faecher_Loeschen(fbIni(), Auswertung.Faecher);
}

} // namespace pmp3p
