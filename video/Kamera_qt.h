#pragma once
// The video window: the cut-list grid above, the four device boxes below, two
// tool bars and the 600 ms timer that polls the edit devices and drives the
// cut run. Also the device box frame, the parameters dialog and the recorder
// editor.

#include "desk/VideoWindow.h"
#include "engine/Bandposition.h"
#include "engine/EditLine.h"
#include "engine/Sio.h"
#include "platform/ScreenFit_qt.h"
#include "video/Geraete.h"
#include "video/SchnittIR.h"
#include "video/Schnittraster.h"

#include <QDateTime>
#include <QDialog>
#include <QFrame>
#include <QMargins>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QMenu;
class QAction;
class QPrinter;

namespace desk {
class TIRForm;
class TLernenForm;
} // namespace desk

namespace video {

inline const QColor kRein_Gruen(0, 255, 0);
inline const QColor kRein_Rot(255, 0, 0);

// One device box: transport buttons, counter, role and device.
class TCountBox : public QFrame {
public:
    explicit TCountBox(QWidget* parent = nullptr);

    QGroupBox* Kanal_x = nullptr;
    std::array<QToolButton*, 13> SpeedButton{}; // 1 to 12
    QLineEdit* Zaehler = nullptr;
    QGroupBox* Modus = nullptr;
    QRadioButton* Zuspieler = nullptr;
    QRadioButton* Aufnahme = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLineEdit* Offset = nullptr;

    // Command code of button n (1 to 12).
    static std::int32_t Tag(int n);
    // The channel or box that the buttons address (1 to 4).
    int GroupIndex = 0;
    void setFarbe(const QColor& c);
    QColor farbe() const;
};

// The video parameters.
class TParameter : public QDialog {
public:
    explicit TParameter(QWidget* parent = nullptr);

    QCheckBox* Cue_zurueck = nullptr;
    QCheckBox* Cue_vor = nullptr;
    QLineEdit* CueWert = nullptr;
    QCheckBox* Spul_zurueck = nullptr;
    QCheckBox* Spul_vor = nullptr;
    QLineEdit* SpulWert = nullptr;
    QLineEdit* Vorspulsettle = nullptr;
    QLineEdit* VorCueSettle = nullptr;
    QCheckBox* Warnen_bei_leerer_Infrarotdatei = nullptr;
    QCheckBox* Warnung_vor_Aufnahme = nullptr;
    QCheckBox* Automatik_Play_bei_Cut = nullptr;
    QCheckBox* Pause_bei_CutIn = nullptr;
    QCheckBox* Timecode_Display = nullptr;
    QCheckBox* Offsetfelder_sichtbar = nullptr;
    QPushButton* BitBtn1 = nullptr;

    // Loads the controls from the settings file.
    void FormCreate(const platform::IniFile& ini);
    // Set by the video window: shows or hides the offset edits.
    std::function<void()> Offsetfelder_sichtbarClick;
};

// What the learn dialog gets and gives back for one recorder command.
struct LernAuftrag {
    QString Beschriftung;
    std::string IR_Hex_Code;
    Sio::TBefehl Lernpuffer{};
    std::int32_t Funktion = 0;
};
// Shows the learn dialog modally, preset from the order with the type fixed;
// true on OK, with the order updated.
using Lerndialog = std::function<bool(LernAuftrag&)>;
// The program's learn dialog in that role.
Lerndialog Lerndialog_von(desk::TLernenForm& dialog);

class TKameraDialog;

// The recorder editor.
class TGeraete_edit : public QDialog {
public:
    explicit TGeraete_edit(TKameraDialog& kamera, QWidget* parent = nullptr);

    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* IR_Aufnahme = nullptr;
    QLineEdit* IR_Pause = nullptr;
    QLineEdit* K_Aufnahme = nullptr;
    QLineEdit* K_Pause = nullptr;
    std::array<QRadioButton*, 2> IR_Aufnahme_steuerung{};
    QLineEdit* t_Pause = nullptr;
    QLineEdit* IRDateiName = nullptr;
    QToolButton* SpeichernB = nullptr;
    QToolButton* LadenB = nullptr;
    TCountBox* CountBox1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    int IR_Aufnahme_steuerungIndex() const;
    void setIR_Aufnahme_steuerungIndex(int i);

    // The learn dialog; none: learn clicks learn nothing.
    Lerndialog Lernen;

    void FormShow();
    void Edit1Change();
    void SpeichernBClick();
    void LadenBClick();
    void LernenClick(QToolButton* button);

private:
    void Groesse_festlegen();
    TKameraDialog& kamera_;
};

// Draws text lines one below the other and starts a new page when the next
// line does not fit.
class Zeilendrucker {
public:
    virtual ~Zeilendrucker() = default;
    virtual void beginnen() = 0; // page 1
    virtual void zeile(const QString& text) = 0;
    virtual int seite() const = 0;
    virtual void beenden() = 0;
};

class TKameraDialog : public QWidget, public desk::VideoWindowLink {
public:
    inline static const QString kCaption =
        QStringLiteral("Tavix Videoschnitt, Version 1.17, 11-Juni-2002   ");

    // The main window owns the settings file and sends IR commands.
    explicit TKameraDialog(desk::TIRForm& hauptfenster, QWidget* parent = nullptr);
    ~TKameraDialog() override;

    // ---- the main window's view ----
    void showVideoWindow() override;
    bool isVideoWindowShowing() const override;
    void setListeLaden(bool on) override { Liste_laden = on; }
    void setDebugModus(bool on) override { Debug_Modus = on; }

    // ---- fields ----
    bool Debug_Modus = false;
    bool Liste_laden = false;
    bool IR_Warnung = true;
    bool Sony_justiert = false;

    // Channel state, index 1 to 3.
    std::array<Sio::Bandposition, 4> Kanal_Position{};
    std::array<Sio::Protokoll, 4> Kanal_Typ{};
    // Kanal_Typ at the last change; none after an activation, so the next
    // poll logs the devices again.
    std::array<std::optional<Sio::Protokoll>, 4> Kanal_Typ_alt{
        Sio::Protokoll::Keins, Sio::Protokoll::Keins, Sio::Protokoll::Keins, Sio::Protokoll::Keins};
    std::array<bool, 4> Kanal_spielt{};
    // The last poll gave a position: false when nothing answered, or the
    // read lost the processor and the position is the one before.
    std::array<bool, 4> Kanal_gut{};
    std::array<std::string, 4> Kanal_Status{};
    std::array<std::string, 4> Kanal_Anzeige{};
    // A position was read from the channel since the last activation.
    std::array<bool, 4> Kanal_gelesen{};
    // Tick count when each channel's status was last read.
    std::array<std::uint32_t, 4> Kanal_Lesezeit{};

    TGeraeteliste Geraeteliste{};
    std::array<TVideoGeraet, 5> Box_Geraet{}; // 1 to 4
    Schnitt_IRTabelle Schnitt_IRCodes{};

    // Cut run state.
    bool Aufnahme_laeuft = false;
    QDateTime Pausenbeginn;
    std::string Triggerzelle;
    std::int32_t Letzter_Zuspieler = 1;
    bool Blinken = false;
    int Geloggte_Zeile = -1;
    int Geloggter_Zustand = -1;
    // The recorder's input as far as the runs and box 4's up and down buttons
    // switched it (1 to 3: the player box on that input); a recorder is
    // taken to come up on its first.
    std::int32_t Aufnahme_Eingang = 1;
    // What the run told the user since its start: a cut-in or cut-out that
    // came late, a missed approach, or why it stopped.
    struct Schnittvermerk {
        int Zeile = 0;
        std::int32_t Verspaetung = 0; // units; late cut-ins and cut-outs only
        bool Aufnahme_spaet = false;  // a cut-in recorded late
        std::string Text;
    };
    std::vector<Schnittvermerk> Schnittvermerke;

    Schnittraster Raster;
    // The list text and its last stored state.
    Zeilen Schnittliste;
    Zeilen Alte_Schnittliste{"Alte_Schnittliste"};
    std::string OpenDialog1_FileName;
    std::string SaveDialog1_FileName;

    // ---- components ----
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton6 = nullptr;
    QToolButton* ToolButton7 = nullptr;
    QToolButton* ToolButton9 = nullptr;
    QLineEdit* Schnittdateiname = nullptr;
    QToolButton* ToolButton19 = nullptr;
    QToolButton* ToolButton18 = nullptr;
    QToolButton* ToolButton8 = nullptr;
    QToolButton* ToolButton5 = nullptr;
    QLineEdit* CountDown = nullptr;
    QLineEdit* Restzeit = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton12 = nullptr;
    QToolButton* ToolButton13 = nullptr;
    QLineEdit* Gesamtzeit = nullptr;
    QToolButton* ToolButton15 = nullptr;
    QToolButton* ToolButton16 = nullptr;
    QToolButton* SchneidenKnopf = nullptr;
    QToolButton* ToolButton17 = nullptr;
    QToolButton* LiveButton = nullptr;
    // The run's notices, under the grid; hidden while there are none.
    QLabel* Schnittmeldung = nullptr;
    QWidget* ZaehlerPanel = nullptr;
    std::array<TCountBox*, 5> CountBox{}; // 1 to 4
    QWidget* UpDownPanel = nullptr;
    QToolButton* SpinButton3Up = nullptr;
    QToolButton* SpinButton3Down = nullptr;
    QWidget* Schnittpanel = nullptr;
    QTableWidget* StringGrid1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    std::array<QAction*, 6> PopupItems{}; // Stop1 .. Referenz1
    QTimer* Timer1 = nullptr;
    TParameter* Parameter = nullptr;
    TGeraete_edit* Geraete_edit = nullptr;

    // ---- seams ----
    // Lets pending messages run inside long operations.
    std::function<void()> ProcessMessages;
    // Date and time now (the cut list's header, pause times).
    std::function<QDateTime()> Jetzt;
    // Whether the grid has the input focus.
    std::function<bool()> RasterFokus;
    // The printer for the list; none: the system's printer.
    std::function<std::unique_ptr<Zeilendrucker>()> Drucker;
    // The printer that the print dialog sets up.
    std::unique_ptr<QPrinter> PrintDialog1;
    // The window manager's frame around a window (none before it is framed).
    static std::function<QMargins(const QWidget&)> Rahmenraender;

    // The outer frame's rectangle, which the settings store.
    QRect Rahmen() const;
    void Rahmen_setzen(const QRect& rahmen);

    desk::TIRForm& Hauptfenster() { return haupt_; }
    platform::IniFile& IniDatei();
    // The folder of the default key file, where the editor proposes new
    // recorder IR files: beside the program only in portable use.
    std::string Datenordner() const;

    // ---- window and settings ----
    void FormCreate();
    void FormActivate();
    void FormDeactivate();
    void FormResize();
    void EinstellungenKnopfClick();
    void FBKnopfClick();
    void EndeKnopfClick();
    // The close handler: the change question; closes the main window when
    // the video window was the program's view. False when the window is to
    // stay open: the main window's close was cancelled.
    bool FormClose();

    // ---- boxes and polling ----
    std::int32_t Aufnahme_Nr() const;
    std::int32_t Zuspieler_Nr() const;
    void Waehle_Zuspieler(std::int32_t n);
    void Waehle_Aufnahme(std::int32_t n);
    void ZuspielerClick(int box);
    void AufnahmeClick(int box);
    void Zaehler_abfragen();
    // Reads a channel's status into its position, and notes when.
    bool Kanal_lesen(std::int32_t Kanal, Sio::Protokoll& Typ, std::string& Status, bool& Spielt);
    void Timer1Timer();
    void vcrClick(QToolButton* button);
    void IRKnopfClick(QToolButton* button);
    void Sony_justieren();
    void En_Disable_IR_Knoepfe();
    // False when the command did not go out: an IR send that never went out
    // clean, or an edit-line command that failed.
    bool Aufnahme_Befehl(Sio::Transport code);
    static bool Zaehler_plausibel(std::string_view text);
    std::int32_t ZInt_Kameraoffset() const;
    void CountDown_loeschen();
    bool Timer_an() const;
    // Timer1 on, but only while the window is the active one: an inactive
    // window neither polls nor cuts.
    void Timer1_an();

    // ---- cut run ----
    void SchneidenKnopfClick();
    void Schnitt_Schritt();
    bool Befehlszeile_ausfuehren();
    void CountDown_anzeigen();
    // False when the run was stopped or restarted while it let messages run.
    bool Goto_Befehl(std::int32_t ziel);
    void Restzeit_anzeigen();
    std::string Aufnahme_dt_rec() const;
    std::string Aufnahme_dt_Pause() const;
    void Panik_StopClick();
    void setSchneiden(bool down); // the button, without its click

    // ---- grid and editing ----
    void Raster_anzeigen(); // the grid data into the table
    void Editieren_an();
    void Editieren_aus();
    void Zeile_anwaehlen(int row);
    void Laengen_berechnen();
    void Neue_Schnittliste();
    void Neue_Liste_TasteClick();
    void Zeile_einfuegen_TasteClick();
    void Zeile_loeschenClick();
    void CutInClick();
    void CutOutClick();
    void SpeedButton1Click();
    void SpinButton3UpClick();
    void SpinButton3DownClick();
    void StringGrid1Click();
    void PopxClick(QAction* item);

    // ---- list file ----
    void StringGrid_to_Memofeld();
    void Memofeld_to_StringGrid();
    void ListeVonPlatteLaden();
    void ListeOeffnenClick();
    void ListeSpeichernClick();

    // ---- printing ----
    void DruckenKnopfClick();
    void Drucken(const std::string& name);
    static std::string Dateigroesse(const std::string& name);
    std::string Dateidatum(const std::string& name) const;

    // ---- devices ----
    std::int32_t fuege_Geraet_ein(const std::string& name);
    void Geraete_speichern();
    void CountBox1ComboBox1Click(int box);
    void Lies_Schnitt_IRCodes(const std::string& name);
    void Schreibe_Schnitt_IRCodes(const std::string& name, std::int32_t code);

    static std::string Datum_Text(const QDateTime& t);

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void Kommentarspalte_anpassen();
    // The stored frame; set again once the window manager's frame is known.
    platform::OuterFrame Rahmen_{*this, [](const QWidget& w) { return Rahmenraender(w); }};
    void buildForm();
    // The send's result: 0 when the command never went out clean.
    std::int32_t Sende_IR(std::int32_t code);
    std::int32_t zaehler(std::string_view text) const {
        return Sio::Zeitwort_nach_Zaehler(text, 1);
    }
    std::string zelle(int spalte) const;
    // Reads the player's position when none was read since the activation;
    // false when no device answers.
    bool Position_lesen(std::int32_t spieler);
    void Zelle_geaendert(int r, int c);
    // The position wait and the recorder command of a cut point; a wait that
    // ran out is traced with where the tape stood.
    // `stand`: where the tape is now, when known. Returns the tick count
    // when the tape reached the point; none when a record command was left
    // out because the wait found the tape past its point.
    std::optional<std::uint32_t> Schnittpunkt(std::int32_t spieler, std::int32_t ziel,
                                              Sio::Transport code,
                                              std::optional<std::int64_t> stand);
    // A transport command from the run to a player; remembers the decks it
    // set moving, which the panic stop stops.
    std::int32_t Spieler_Befehl(std::int32_t spieler, Sio::Transport code);
    // Steps the recorder's input from one player's to another's.
    void Eingang_schalten(std::int32_t von, std::int32_t nach);
    // Shows a notice of the run and keeps it.
    void Vermerken(Schnittvermerk v);
    // Ends the run: every deck it set moving and the recorder stop, and the
    // user is told why.
    void Schnitt_abbrechen(const std::string& grund);
    // The units the recorder needs from its record command to recording:
    // the tape must play that much before a cut-in.
    std::int32_t Vorlauf() const;
    // The last cut-out was sent and has not yet acted in the recorder.
    bool Pause_aussteht() const;
    std::array<bool, 4> bewegt_{}; // per channel: the run set the deck moving
    int anlauf_zeile_ = -1;        // the row whose cut-in the approaches count
    int anlaeufe_ = 0;             // its wind-backs
    bool verpasst_ = false;        // its cut-in was missed once
    int fehlschritte_ = 0;         // ticks in a row whose reads or commands failed
    // The player's position at the last tick that read it, to see a tape
    // that does not move while its deck says it plays.
    std::int32_t stand_spieler_ = 0;
    std::int64_t stand_vorher_ = 0;
    std::int32_t fehl_spaet_ms_ = 0; // the latest of those ticks, beyond the interval
    std::uint32_t takt_ende_ms_ = 0; // tick count when the timer started or a tick ended
    std::int32_t takt_spaet_ms_ = 0;  // how late this tick came after the last one ended
    bool eingang_pruefen_ = false; // the run has not yet put the recorder on its player
    bool pause_aussteht_ = false;  // the last cut-out was sent and acts at:
    std::uint32_t pause_faellig_ms_ = 0;
    bool syncing_ = false;
    // Counts every start and stop of the run and every panic stop: a step
    // that let messages run sees whether the run it belongs to still goes on.
    std::uint64_t lauf_ = 0;
    std::uint64_t panik_ = 0;
    bool schritt_ = false;
    std::uint32_t abfrage_ms_ = 0; // how long the last poll took
    std::uint32_t takt_ms_ = 0;    // tick count when the timer last started or ticked
    std::int32_t spaet_ms_ = 0;    // the latest tick of this cut run, beyond the interval
    bool goto_abgebrochen_ = false;
    desk::TIRForm& haupt_;
};

} // namespace video
