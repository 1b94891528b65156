#pragma once
// The learn dialog: edits one command of a key (or of a recorder). It learns
// an IR command from the user's remote through the adapter's IR detector,
// lets the user edit it as a hex code, as single bits or as a Sony bit
// pattern, give it analytically (pulse length, burst pause, repeats) or make
// it a macro of other keys, and sends it for a test. Created once and shown
// modally; the caller presets it and copies the result back after OK.

#include "engine/Sio.h"

#include <QDialog>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QSpinBox;
class QTimer;

namespace platform {
class IniFile;
}

namespace desk {

class TButtonx;
class TIRForm;

// A key keeps this many characters of its code text.
inline constexpr std::size_t kCodeZeichen = 150;
// The bits an analytic command can carry: as many as the kept code text holds
// ("XX " per eight bits), so that a test send is what the key will send.
inline constexpr int kMaxBits = static_cast<int>(kCodeZeichen / 3 * 8);
static_assert(kMaxBits <= static_cast<int>(std::tuple_size_v<Sio::TBefehl>) - 2,
              "every bit a duration of its own, and one entry for the closing pause");
// Sony bits whose pattern ("11110", then "110" or "10" each) fits in those.
inline constexpr int kMaxSonyBits = (kMaxBits - 5) / 3;

class TLernenForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMakroSchritte = 10;
    static constexpr int kBreiteMitFeld = 623;
    static constexpr int kBreiteOhneFeld = 374;
    static constexpr int kHoehe = 602;

    // settings: the program's settings file (the resolution is kept there);
    // null keeps it in the dialog only.
    explicit TLernenForm(platform::IniFile* settings, QWidget* parent = nullptr);
    ~TLernenForm() override;

    // ---- the work buffer ----
    Sio::TBefehl Lernpuffer{};

    // ---- components ----
    // The client area (kHoehe high, kBreiteMitFeld or kBreiteOhneFeld wide),
    // scrolled in a dialog that fits the screen it is on.
    QWidget* Flaeche = nullptr;
    QLabel* LED = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QGroupBox* Funktion = nullptr;
    std::array<QRadioButton*, 3> FunktionItems{};
    QGroupBox* Kombination = nullptr;
    std::array<QComboBox*, kMakroSchritte + 1> ComboBox{}; // 1 to 10
    QGroupBox* PausenBox = nullptr;
    QLineEdit* MakroPause = nullptr;
    QGroupBox* BeschriftungG = nullptr;
    QLineEdit* Beschriftung = nullptr;
    QGroupBox* IRBefehl = nullptr;
    QPushButton* Lernen = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QSpinBox* Anzahl_Wiederholungen = nullptr;
    QCheckBox* Optimieren = nullptr;
    QCheckBox* WAV_Datei = nullptr;
    QLineEdit* IR_Hex_Code = nullptr;
    QLineEdit* Hex_Kommentar = nullptr;
    QGroupBox* Analytisch = nullptr;
    QLabel* Befehlslaenge = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QSpinBox* A_Wdhlg = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* Pulslaenge = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* Burstpause = nullptr;
    QPlainTextEdit* Feld = nullptr;
    QCheckBox* Feld_Display = nullptr;
    QGroupBox* BinaerGruppe = nullptr;
    QListWidget* BinaerBox = nullptr;
    QSpinBox* Binaercnt = nullptr;
    QPushButton* Test_IR = nullptr;
    QGroupBox* SonyGruppe = nullptr;
    QListWidget* Sony1Box = nullptr;
    QSpinBox* SonyLength = nullptr;
    QLineEdit* RC5_Feld = nullptr;
    QGroupBox* IR_Aufloesung = nullptr;
    std::array<QRadioButton*, 2> IR_AufloesungItems{};
    QTimer* Timer1 = nullptr;

    // Lets pending messages run (tests make it a no-op or script it).
    std::function<void()> ProcessMessages;

    // ---- what a caller sets and reads back ----
    int FunktionIndex() const;
    // Runs FunktionClick when the item really changes.
    void setFunktionIndex(int i);
    int IR_AufloesungIndex() const;
    void setIR_AufloesungIndex(int i);
    // Fills macro step i (1 to 10): the list, then the text.
    void setMakroSchritt(int i, const QStringList& items, const QString& text);
    QString makroSchrittText(int i) const;
    bool isFeldDisplay() const;
    // The colour of the detector lamp and of the code field (0xBBGGRR).
    std::uint32_t ledFarbe() const { return ledFarbe_; }
    std::uint32_t codeFarbe() const { return codeFarbe_; }

    // ---- handlers ----
    void FormCreate();
    void FormActivate();
    void FormDeactivate();
    void IR_AufloesungClick();
    void Timer1Timer();
    void LernenClick();
    void Test_IRClick();
    void FunktionClick();
    void Anzahl_WiederholungenChange();
    void MakroPauseChange();
    void A_WdhlgChange();
    void PulslaengeChange();
    void BurstpauseChange();
    void IR_Hex_CodeChange();
    void Feld_DisplayClick();
    void BinaercntChange();
    void BinaerBoxClick();
    void SonyLengthChange();
    void Sony1BoxClick();
    void WAV_DateiClick();

    // ---- routines ----
    static std::string Formatiere_Hexcode(std::string_view text);
    void Bestimme_Puls_und_Pause();
    void Zeige_Feld(const Sio::TBefehl& befehl);
    void Analytisch_nach_Feld();
    // The Sony bits of a code ("" when it is no Sony pattern).
    static std::string Sony_Auslesen(std::string_view code);
    // The RC5 readout of a learnt code ("" when it does not begin "101").
    static std::string RC5_Auslesen(std::string_view code);
    // The dialog's size for a client area `inhalt` on a screen with room
    // `platz` (less the window frame): at most the room, and a scroll bar
    // `leiste` wide or high more where the other extent does not fit.
    static QSize fittedSize(QSize inhalt, QSize platz, int leiste);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void build();
    // The client area `breite` wide; the dialog as large, or as the screen.
    void Groesse_setzen(int breite);
    void setLed(std::uint32_t bgr);
    void setCodeFarbe(std::uint32_t bgr);
    void setGroupColour(QGroupBox* box, bool on);
    // Sets a check of a list box from code: the box's click handler is not run.
    void tickItems(QListWidget* box, std::string_view bits);
    std::string codeText() const;
    void processMessages();

    platform::IniFile* settings_ = nullptr;
    std::uint32_t ledFarbe_ = 0x0000FF;
    std::uint32_t codeFarbe_ = 0xFFFFFF;
    int ticksFromCode_ = 0;
};

// The learn-mode branch of a key click: presets the dialog for the key, runs
// it modally and copies everything back on OK.
void Taste_lernen(TIRForm& form, TLernenForm& dialog, TButtonx& key);

} // namespace desk
