#pragma once
// The main window of Plomvare: the player buttons, the receiver's port and
// bit rate, burst evaluation, learning and the remote file.

#include "comport/CPort.h"
#include "playerremote/Receiver.h"
#include "playerremote/Recognition.h"

#include <QMainWindow>
#include <QPushButton>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QRadioButton;
class QTimer;

namespace platform {
class IniFile;
struct FileDialogOptions;
} // namespace platform

namespace pmp3p {

// A button that carries its command number.
class TTagButton : public QPushButton {
    Q_OBJECT
public:
    TTagButton(const QString& caption, Befehl tag, QWidget* parent)
        : QPushButton(caption, parent), Tag(tag) {}
    Befehl Tag;
};

using RegisterOpener =
    std::function<std::unique_ptr<ReceiverRegisters>(std::uint16_t basis, CPort::TCustomComPort&)>;

struct TForm1Options {
    // The settings file and "standard.mpx" live beside the program file,
    // unless these name other places (see platform/AppFolders.h).
    std::filesystem::path programFile;
    std::filesystem::path settingsFile;
    std::filesystem::path dataFolder;
    // The command-line arguments after the program's name.
    QStringList arguments;
    // Where the receiver's register writes go; none: direct access when
    // granted, else the port's device settings.
    RegisterOpener registers;
    // Tests open no port: the receiver is fed directly.
    bool ohnePort = false;
};

// Checks the command line before the window opens: a first argument that
// starts with "-" and names no existing file is refused with a usage line on
// `err`. Returns the exit status, 0 when the program may start.
int pruefeArgumente(const QStringList& arguments, std::FILE* err);

class TForm1 : public QMainWindow, private RemoteHost {
    Q_OBJECT
public:
    inline static const std::string kVersion = "Plomvare 1.46, IR -> WINAMP, 29-Apr-2002";
    inline static const std::string kHomepage = "https://plomvare.example.org";

    explicit TForm1(TForm1Options options, QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- state ----
    Erkennung Auswertung; // receive buffer, slots, candidate, tick state
    std::unique_ptr<platform::IniFile> Programm_Ini;
    std::unique_ptr<platform::IniFile> FB_Ini;
    std::string FB_Datei; // file-system bytes
    std::int32_t Schnittstelle = 2;
    std::int32_t Periodenlaenge = 600;
    std::string OpenDialog1_InitialDir;
    CPort::TComPort ComPort1;

    // ---- components ----
    QMenu* Datei1 = nullptr;
    QAction* Laden1 = nullptr;
    QAction* Speichern1 = nullptr;
    QAction* Ende1 = nullptr;
    QMenu* Einstellungen1 = nullptr;
    QAction* Lernen2 = nullptr;
    QAction* Initialisiere1 = nullptr;
    std::array<QAction*, 4> COM{}; // "COM 1" .. "COM 3" at 1..3
    QAction* gross1 = nullptr;
    QAction* klein1 = nullptr;
    QAction* ShutdownperStop1 = nullptr;
    QMenu* Hilfe1 = nullptr;
    QAction* PlomvareHomepage1 = nullptr;
    QAction* Beschreibung1 = nullptr;
    QAction* Bedienungsanleitung1 = nullptr;
    QAction* Info1 = nullptr;

    std::array<TTagButton*, 10> Knopf{}; // Back .. Back5 by command number 1..9
    QPushButton* EndeButton = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* SetBaud = nullptr;
    QPushButton* COpen = nullptr;
    QGroupBox* Bits = nullptr;
    std::array<QRadioButton*, 4> BitsItems{};
    QLabel* SIO_Teiler = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QCheckBox* Anzeige = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QLabel* Count_down_Zaehler = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;

    // ---- handlers ----
    void FormCreate();
    void FormClose();
    void FormResize();
    void gross1Click();
    void klein1Click();
    void AnzeigeClick();
    void ShutdownperStop1Click();
    void Info1Click();
    void PlomvareHomepage1Click();
    void Beschreibung1Click();
    void Bedienungsanleitung1Click();
    void Ende1Click();
    void Timer2Timer();
    void Open_Zeug(const std::string& name);

    void COM11Click(std::int32_t tag);
    void COpenClick();
    void SetBaudClick();
    void BitsClick();

    void ComPort1RxChar();
    // The receiver's device went away: the port is closed and the loss shown
    // once; choosing a COM item opens it again.
    void ComPort1Verloren(int oeffnung);
    void Timer1Timer();

    void Lernen2Click();
    void PlayClick(TTagButton* sender);
    void Befehle_Speichern();
    void FB_Datei_Laden();
    void Laden1Click();
    void Speichern1Click();
    void Initialisiere1Click();

    // ---- the radio group's choice (-1 none; a value past the end chooses the
    // last item); a change acts as a click ----
    std::int32_t BitsIndex() const { return bitsIndex_; }
    void setBitsIndex(std::int32_t index);
    // The check box; a change of the tick acts as a click.
    void setAnzeige(bool on);

    // ---- the window size as stored ----
    std::int32_t Width() const { return width(); }
    std::int32_t Height() const { return height(); }
    void setWidth(std::int32_t w);
    void setHeight(std::int32_t h);
    // Sets the size and, when given, the display tick (which empties the
    // memos), and stores what changed in one save.
    void fensterSetzen(std::int32_t w, std::int32_t h, std::optional<bool> anzeige);

    // The counter value the receive handler and the tick read.
    std::function<std::int64_t()> Zaehler;
    // The receive handler's read of up to `count` bytes (the port's read).
    std::function<std::int32_t(std::uint8_t* buffer, std::int32_t count)> Lesen;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // RemoteHost
    bool anzeige() const override;
    bool lernmodus() const override;
    bool shutdownPerStop() const override;
    void zeigeAuswertungen(std::int32_t n) override;
    void memo1Leeren() override;
    void memo1Zeile(const std::string& line) override;
    void memo2Leeren() override;
    void memo2Zeile(const std::string& line) override;
    void countdownZeigen(const Countdown& c) override;
    void timer1Aus() override;
    void knopfKlick(Befehl befehl) override;
    void meldung(const std::string& text) override;
    void beep() override;
    void playerBeenden() override;
    void timer2An() override;
    bool herunterfahren(std::int32_t& fehlercode) override;
    void fensterSchliessen() override;

    void memosLeeren();
    void buildComponents();
    void buildMenus();
    std::string programmOrdner() const;
    platform::FileDialogOptions dateiDialog() const;
    platform::IniFile& fbIni();

    TForm1Options options_;
    std::int32_t bitsIndex_ = 3;
    bool imTick_ = false;
    bool ownResize_ = false;
    bool closed_ = false;
    std::atomic<int> oeffnungen_{0}; // openings and closings of the port so far
    // The counter value as the closing timer started.
    std::optional<std::int64_t> countdownStempel_;
};

} // namespace pmp3p
