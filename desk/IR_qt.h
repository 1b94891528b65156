#pragma once
// The main window of Tavix: the remote control's key grid, its key file, key
// presses, macros and batch mode, the settings file and the first-run
// questions, and the service panel's line monitor.

#include "desk/Settings.h"
#include "desk/VideoWindow.h"
#include "engine/Sio.h"
#include "platform/System.h"

#include <QMainWindow>
#include <QPushButton>
#include <QStringList>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QTimer;

namespace desk {

class PortHolds;

// A key of the grid: the button and the key's number, type, caption and
// command; all start empty.
class TButtonx : public QPushButton {
    Q_OBJECT
public:
    explicit TButtonx(QWidget* parent) : QPushButton(parent) {}

    std::int32_t Knopfnummer = 0; // column x 100 + row
    std::int32_t Tasten_typ = 0;  // 0 IR command, 1 macro, 2 analytic
    std::string Beschriftung;     // at most 20 characters, Windows-1252
    std::string IR_Code;          // at most 150 characters, Windows-1252
    Sio::TBefehl Befehl{};
};

struct Fensterlage {
    std::int32_t Top = 0;
    std::int32_t Left = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool operator==(const Fensterlage&) const = default;
};

struct TIRFormOptions {
    // The program file: the settings file and "standard.cdx" live beside it.
    std::filesystem::path programFile;
    // The command-line arguments after the program's name.
    QStringList arguments;
    // The same as the file system names them (a file name need not be valid
    // text); empty: taken from arguments.
    std::vector<std::string> argumentBytes;
    // Told the program's language (1 German, 2 English) as soon as it is
    // known, before any further question.
    std::function<void(std::int32_t)> spracheGewaehlt;
};

// Realtime priority for the lifetime of a timing-critical operation (when `an`),
// normal priority again on every path. A refused change shows "Problem
// Set_priority"; a raise refused for lack of privilege is said once a run in
// the debug output. Around a section well under a second (a send, a read of
// an edit line), PriorityClass::RealtimeShort keeps other processes off the
// processor altogether where the process may.
class Echtzeit_Abschnitt {
public:
    explicit Echtzeit_Abschnitt(bool an,
                                platform::PriorityClass klasse = platform::PriorityClass::Realtime);
    ~Echtzeit_Abschnitt();
    Echtzeit_Abschnitt(const Echtzeit_Abschnitt&) = delete;
    Echtzeit_Abschnitt& operator=(const Echtzeit_Abschnitt&) = delete;

private:
    bool an_;
};

class TIRForm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMaxGrid = 30;
    inline static const QString kVersion = QStringLiteral("Version 1.17, 11-Juni-2002");

    // Builds the components and runs FormCreate.
    explicit TIRForm(TIRFormOptions options, QWidget* parent = nullptr);
    ~TIRForm() override;

    // ---- fields ----
    std::unique_ptr<IniFile> IniDatei;
    std::int32_t Raster_X = 3;
    std::int32_t Raster_Y = 3;
    std::int32_t Knopfbreite = 40;
    std::int32_t Knopfhoehe = 40;
    bool Erste_Aktivierung = true;
    bool Datei_geaendert = false;
    bool Videomaske_aktiv = false;
    std::int32_t IR_Einheit = 0;
    std::int32_t Sprache = 0;
    std::int32_t BatchDelay_ms = 2000;
    bool Gezeichnet = false;
    Fensterlage Datei_Fensterlage;
    bool Neue_Datei = false;
    Sio::TBefehl Befehlspuffer{};

    // The open and save dialogs' state.
    std::string OpenDialog1_InitialDir;
    // Where the default key file is created.
    std::filesystem::path Datenordner;
    std::string SaveDialog1_FileName; // the current key file (file-system bytes)
    QString Application_Title;

    // ---- the window's outer bounds, one model for setter and getter ----
    std::int32_t Top() const { return bounds_.Top; }
    std::int32_t Left() const { return bounds_.Left; }
    std::int32_t Width() const { return bounds_.Width; }
    std::int32_t Height() const { return bounds_.Height; }
    void setTop(std::int32_t v);
    void setLeft(std::int32_t v);
    void setWidth(std::int32_t v);
    void setHeight(std::int32_t v);
    Fensterlage bounds() const { return bounds_; }
    void setBounds(const Fensterlage& b);
    // The frame around the client area that the outer bounds include.
    static constexpr int kFrameLeft = 4, kFrameTop = 23, kFrameRight = 4, kFrameBottom = 4;

    // ---- components ----
    QWidget* Flaeche = nullptr; // the client area under the menu
    QMenu* Datei1 = nullptr;
    QAction* Neu1 = nullptr;
    QAction* Laden1 = nullptr;
    QAction* Speichern1 = nullptr;
    QAction* Speichernunter1 = nullptr;
    QAction* Default1 = nullptr;
    QAction* Ende1 = nullptr;
    QMenu* Service1 = nullptr;
    QAction* Makrostop1 = nullptr;
    QAction* Debug1 = nullptr;
    QAction* SeviceDisplay1 = nullptr;
    QAction* N5 = nullptr;
    QAction* Kamera1 = nullptr;
    QAction* Lernen1 = nullptr;
    QAction* Service2 = nullptr;
    std::array<QAction*, 9> COM{}; // 1 to 8
    QAction* Englisch1 = nullptr;
    QAction* Deutsch1 = nullptr;
    QMenu* Infraroteinheit1 = nullptr;
    QAction* TavixClassic1 = nullptr;
    QAction* TavixRemote1 = nullptr;
    QAction* irmate2101 = nullptr;
    QAction* Allocate1 = nullptr;
    QAction* N10 = nullptr;
    QAction* RealTimeModus1 = nullptr;
    QMenu* N11 = nullptr;
    QAction* TavixWEBPage1 = nullptr;
    QAction* Info1 = nullptr;

    QPushButton* Hoeher = nullptr;
    QPushButton* enger = nullptr;
    QPushButton* Breiter = nullptr;
    QPushButton* Duenner = nullptr;
    QGroupBox* Serielle_Schnittstelle = nullptr;
    QCheckBox* DTR = nullptr;
    QCheckBox* RTS = nullptr;
    QLabel* DSR = nullptr;
    QLabel* CTS = nullptr;
    QLabel* RxD = nullptr;
    QPushButton* Timing_Nachmessen = nullptr;
    QPushButton* High_Perform = nullptr;
    std::array<QLabel*, 5> Label{}; // Label1 to Label4
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;

    // ---- seams ----
    // Lets pending messages run during macro pauses and batch waits.
    std::function<void()> ProcessMessages;
    // The debug window (shown exactly while "&Debug" is ticked).
    QWidget* DebugFenster = nullptr;
    // The video window, when the program has one.
    VideoWindowLink* KameraDialog = nullptr;
    // Edits a key in learn mode (the learn dialog); none: learn clicks only
    // mark the key file as changed.
    std::function<void(TButtonx&)> LerneKnopf;

    // ---- start-up and end ----
    void FormCreate();
    void FormActivate();
    // False when the window is to stay open.
    bool FormClose();
    void FormDeactivate();
    void FormResize();
    void FormPaint();
    void Timer2Timer();
    static QString ExtractFileName_ohneExtension(const QString& path);

    // ---- key grid ----
    std::int32_t Anzahl_Spalten() const;
    std::int32_t Anzahl_Zeilen() const;
    TButtonx* Taste(std::int32_t knopfnummer) const; // "bt_" + number, or null
    void Platziere_Taste(std::int32_t n);
    void Platziere_Tasten();
    void Zeige_Taste(std::int32_t n);
    void Zeige_Tasten();
    void Verstecke_Taste(std::int32_t n);
    void Verstecke_Tasten();
    void Loesche_Tasten();
    void Platziere_Groessenknoepfe();
    void Service_Anzeige();
    void Tasten_Aufbau();
    void AenderClick(QPushButton* sender);
    void Service2Click();
    void Lernen1Click();
    void Timer1Timer();
    void Zeige_Leitungen();

    // ---- key file ----
    void Schreibe_Fernsteuerdatei(const std::string& name);
    void Lies_Fernsteuerdatei(const std::string& name);
    void Lese_Tasten_Belegung_von_Datei(const std::string& name);
    void Setze_Dateiname(const std::string& name);
    void Setze_Beschriftung(std::int32_t n, const QString& text);
    void Standard_Tasten();
    void Laden1Click();
    // False when nothing was written: the dialog or the question about an
    // existing file was cancelled.
    bool Speichern1Click();
    bool Speichernunter1Click();
    void Neu1Click();
    void Default1Click();
    // The close's save question, also asked before another key file is
    // loaded; false when the operation is to stop (Cancel, or the save did
    // not happen).
    bool Aenderungen_sichern();

    // ---- key press ----
    // What became of a key's command: sent clean, nothing to send (an empty
    // list, a macro as a step, learn mode), or not sent clean (the engine
    // reported it).
    enum class Sendeergebnis { Gesendet, Leer, Gestoert };
    Sendeergebnis Befehl_aussenden(std::int32_t Befehlstyp, Sio::TBefehl Befehl,
                                   const std::string& code);
    // A command that did not go out clean is shown, once for a macro.
    Sendeergebnis TasteClick(TButtonx* sender);
    // What a key does, without showing a failure.
    Sendeergebnis Taste_ausfuehren(TButtonx* sender);
    // Why the last command did not go out clean.
    static QString Sendefehler_Text();
    void Makrostop1Click();
    void Timer3Timer();
    int laufendeMakros() const { return makroTiefe_; }
    // A batch run met a key file it could not use, a caption no key has, or a
    // key it could not send: the program ends with a failure status.
    bool Batchfehler = false;

    // ---- menu ----
    void Ende1Click();
    void Kamera1Click();
    void Debug1Click();
    void COMClick(QAction* sender);
    void Turn_Checked_Coms_On();
    void Allocate1Click();
    void TavixClassic1Click(QAction* sender);
    void Englisch1Click(QAction* sender);
    void RealTimeModus1Click();
    void Extra_Menuepunkte_ein();
    void Englische_Menues();
    void Timing_NachmessenClick();
    void B_Drehzahl();
    void High_PerformClick();
    void Info1Click();
    void TavixWEBPage1Click();

    // Menu state: the last about box, the performance-counter readout and
    // the ports that "Allocate" holds.
    std::int32_t Zeit_letzter_Klick = 0;
    std::int64_t HP_Frequenz = 0, HP_Zaehler = 0, HP_Vorher = 0;
    std::shared_ptr<PortHolds> Gehaltene_Ports;

    const TIRFormOptions& options() const { return options_; }
    std::filesystem::path programFolder() const;
    // Runs a settings write; a failure is shown once a run and start-up, the
    // close and saves go on.
    void Einstellung_schreiben(const std::function<void()>& schreiben);
    bool Einstellungsfehler_gezeigt = false;

signals:
    // The window closed for good: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void buildMenu();
    void buildPanel();
    QAction* menuItem(QMenu* menu, const char* name, const QString& caption,
                      std::function<void()> handler, bool checkable = false);
    // A menu item whose handler is told which item was chosen.
    QAction* senderItem(QMenu* menu, const char* name, const QString& caption,
                        std::function<void(QAction*)> handler, bool checkable = false);
    void applyBounds();
    void takeBoundsFromWindow();
    void warteBatch();
    // The worst of its steps' results; Leer when no step was sent.
    Sendeergebnis Makro(TButtonx& key);
    // The command line names a key file and keys to send from it.
    bool Batchlauf() const;

    // The current key file as it was on disk when it was last read or
    // written here: a save over it after another program changed it asks
    // first.
    struct Dateistand {
        std::uint64_t geraet = 0, knoten = 0;
        std::int64_t groesse = 0, sekunden = 0, nanosekunden = 0;
        bool operator==(const Dateistand&) const = default;
    };
    static std::optional<Dateistand> Dateistand_von(const std::string& name);
    std::optional<Dateistand> Dateistand_gelesen;

    TIRFormOptions options_;
    Fensterlage bounds_{77, 320, 230, 434};
    QRect applied_;
    std::array<std::array<TButtonx*, kMaxGrid + 1>, kMaxGrid + 1> keys_{};
    int makroTiefe_ = 0;
};

// The one main window of the program (null before it is created).
extern TIRForm* IRForm;

} // namespace desk
