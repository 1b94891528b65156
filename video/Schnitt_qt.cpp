// The cut run: one step of the current cut-list row per tick of the window's
// timer while the cut button is down.
#include "video/Kamera_qt.h"

#include "engine/ControlL.h"
#include "engine/Debug.h"
#include "engine/EditLine.h"
#include "engine/IrSend.h"
#include "engine/Panasonic.h"
#include "platform/Codepage_qt.h"
#include "platform/Errors.h"
#include "platform/Guard_qt.h"
#include "platform/Platform.h"
#include "platform/Prompts_qt.h"
#include "platform/ScopeExit.h"
#include "platform/Text.h"
#include "platform/WaitCursor_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace video {

namespace {

std::string grossbuchstaben(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

using platform::trimmed;

// Differences of counts: clamped, so that far-off texts cannot overflow.
std::int32_t differenz(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN + 1, INT32_MAX));
}

// Ticks in a row whose reads or commands failed before the run gives up:
// about six seconds, long enough for a device that is slow to answer.
constexpr int kFehlschritte = 10;
// Reads of the player a tick makes again after one that failed.
constexpr int kLesungen = 3;
// A tick this late (ms beyond the interval) says that other work keeps the
// processor from the program.
constexpr std::int32_t kBeschaeftigt_ms = 200;
constexpr const char* kZu_beschaeftigt = " (der Rechner ist zu besch\xE4" "ftigt)";

std::string zeit(std::int32_t einheiten) {
    return trimmed(Sio::Zaehler_nach_Text(einheiten));
}

} // namespace

std::string TKameraDialog::Aufnahme_dt_rec() const {
    const std::size_t r = static_cast<std::size_t>(Aufnahme_Nr());
    return r <= 3 ? Box_Geraet[r].dt_K_rec : Box_Geraet[r].dt_IR_rec;
}

std::string TKameraDialog::Aufnahme_dt_Pause() const {
    const std::size_t r = static_cast<std::size_t>(Aufnahme_Nr());
    return r <= 3 ? Box_Geraet[r].dt_K_Pause : Box_Geraet[r].dt_IR_Pause;
}

void TKameraDialog::SchneidenKnopfClick() {
    Timer1->stop();
    platform::ScopeExit ende([this] {
        Timer1_an();
        CountDown_loeschen();
    });
    if ((!Sony_justiert || Sio::Sony1 == 0) &&
        (Kanal_Typ[1] == Sio::Protokoll::Sony || Kanal_Typ[2] == Sio::Protokoll::Sony ||
         Kanal_Typ[3] == Sio::Protokoll::Sony))
        platform::prompts().message(
            QStringLiteral("Achtung !\rerst Sony Steuerung ausmessen !\rper Dr\u00FCcken eines "
                           "Knopfes ausl\u00F6sen"));
    Aufnahme_laeuft = false;
    Pausenbeginn = Jetzt();
    spaet_ms_ = 0;
    takt_spaet_ms_ = 0;
    if (IR_Warnung && Aufnahme_Nr() == 4 && Schnitt_IRCodes[3].Befehl[1] == 0)
        IR_Warnung = platform::prompts().okNo(
            QStringLiteral("Achtung : kein IR Code geladen !\rOK = Weiterwarnen, Nein = keine "
                           "weiteren Warnungen"));
    Letzter_Zuspieler = Zuspieler_Nr();
    if (SchneidenKnopf->isChecked()) {
        Schnittvermerke.clear();
        Schnittmeldung->clear();
        Schnittmeldung->setVisible(false);
        bewegt_ = {};
        anlauf_zeile_ = -1;
        fehlschritte_ = 0;
        fehl_spaet_ms_ = 0;
        stand_spieler_ = 0;
        eingang_pruefen_ = true;
        pause_aussteht_ = false;
        // Lengths typed or edited since the last computation are stale.
        Laengen_berechnen();
        StringGrid1->setFocus();
        Zeile_anwaehlen(Raster.Row);
    } else {
        Editieren_an();
        Panik_StopClick();
    }
}

void TKameraDialog::Schnitt_Schritt() {
    const std::int32_t spieler0 = Zuspieler_Nr();
    const auto sp0 = static_cast<std::size_t>(spieler0);
    // Reads or commands that keep failing end the run after a bounded number
    // of ticks, with the reason; a single failure waits for the next tick.
    auto fehlschritt = [this](const std::string& grund) {
        ++fehlschritte_;
        fehl_spaet_ms_ = std::max(fehl_spaet_ms_, takt_spaet_ms_);
        Sio::Debug_WriteLn("Schnitt Fehlschritt " + std::to_string(fehlschritte_) + " : " + grund);
        if (fehlschritte_ < kFehlschritte) return;
        Schnitt_abbrechen("Zeile " + std::to_string(Raster.Row) + " : " + grund +
                          (fehl_spaet_ms_ >= kBeschaeftigt_ms ? kZu_beschaeftigt : ""));
    };
    if (!Zaehler_plausibel(Kanal_Anzeige[sp0])) {
        fehlschritt("Z\xE4hlerstand von Zuspieler " + std::to_string(spieler0) + " nicht lesbar");
        return;
    }
    // A cut row needs its player's position of this tick; without it the
    // step would act on a stale one. A tape that does not move while its
    // deck plays, or a player that stopped while the recorder records it,
    // would never reach its point or record a standing picture (that one
    // is looked at after a passed cut-out had its chance).
    if (Raster.Ist_Schnittzeile(Raster.Row)) {
        // A read that lost the processor is made again, a few times, before
        // the tick counts as failed: on a busy machine one of them holds.
        for (int nochmal = 0; nochmal < kLesungen && !Kanal_gut[sp0] &&
                              Kanal_Typ[sp0] != Sio::Protokoll::Keins;
             ++nochmal) {
            std::string text;
            Kanal_gut[sp0] = Kanal_lesen(spieler0, Kanal_Typ[sp0], text, Kanal_spielt[sp0]);
        }
        const std::string zuspieler = "Zuspieler " + std::to_string(spieler0);
        const std::int64_t stand = Sio::Position_nach_Zaehler(Kanal_Position[sp0]);
        const bool steht = Kanal_gut[sp0] && Kanal_spielt[sp0] && stand_spieler_ == spieler0 &&
                           stand == stand_vorher_;
        stand_spieler_ = Kanal_gut[sp0] ? spieler0 : 0;
        stand_vorher_ = stand;
        std::string grund;
        if (Kanal_Typ[sp0] == Sio::Protokoll::Keins)
            grund = zuspieler + " antwortet nicht";
        else if (!Kanal_gut[sp0] || stand == Sio::Keine_Position)
            grund = "Z\xE4hlerstand von " + zuspieler + " nicht lesbar";
        else if (steht)
            grund = "Band von " + zuspieler + " steht";
        if (!grund.empty()) {
            fehlschritt(grund);
            return;
        }
    }
    const std::uint32_t beginn = platform::clock().tickCount();
    const std::uint64_t lauf = lauf_;
    Timer1->stop();
    schritt_ = true;
    platform::ScopeExit an([this] {
        schritt_ = false;
        Timer1_an();
    });
    goto_abgebrochen_ = false;
    std::string fehlgrund;
    const int row = Raster.Row;
    if (row != anlauf_zeile_) {
        anlauf_zeile_ = row;
        anlaeufe_ = 0;
        verpasst_ = false;
    }
    if (row != Geloggte_Zeile) {
        std::string s = "Schnitt Zeile " + std::to_string(row) + " : ";
        for (int c = 0; c <= 4; ++c)
            s += (c ? " , " : "") + Raster.zelle(c, row);
        Sio::Debug_WriteLn(s);
        Geloggte_Zeile = row;
    }
    bool weiter = false;
    if (static_cast<int>(Aufnahme_laeuft) != Geloggter_Zustand) {
        Sio::Debug_WriteLn("Schnitt Punkt  : " + Kanal_Anzeige[static_cast<std::size_t>(spieler0)]);
        Geloggter_Zustand = Aufnahme_laeuft;
    }
    if (row >= Raster.RowCount() - 1) {
        // The last cut-out acts only after the recorder's pause delay: until
        // then the player plays on, or the recorder pauses on a standing
        // picture.
        if (Pause_aussteht()) return;
        setSchneiden(false);
        Sio::Kamera_Befehl(Zuspieler_Nr(), Sio::Transport::Stop);
        Aufnahme_Befehl(Sio::Transport::Stop);
    }
    if (Schnittraster::Ist_Zuspieler_Ziffer(Raster.zelle(0, row)))
        Waehle_Zuspieler(Raster.zelle(0, row)[0] - '0');
    if (Zuspieler_Nr() != Letzter_Zuspieler &&
        Kanal_spielt[static_cast<std::size_t>(Letzter_Zuspieler)]) {
        // The old player plays on until the recorder's pause has acted.
        if (Pause_aussteht()) return;
        const std::int32_t alt = Letzter_Zuspieler, neu = Zuspieler_Nr();
        Sio::Debug_WriteLn("Umschalten von Player " + std::to_string(alt) + " nach " +
                           std::to_string(neu));
        const platform::WaitCursor cursor;
        Sio::Debug_WriteLn("Ausschalten des Zuspielers " +
                           std::to_string(Sio::Kamera_Befehl(alt, Sio::Transport::Stop)));
        Sio::Warte_ms(1000);
        Eingang_schalten(Aufnahme_Eingang, neu);
        if (lauf_ != lauf) return;
        Sio::Waehle_Kanal(neu);
        Sio::Debug_WriteLn("Waehle_Kanal (Zuspieler_Nr) " + std::to_string(neu));
        Sio::Debug_WriteLn("Einschalt Versuche (Play) " +
                           std::to_string(Spieler_Befehl(neu, Sio::Transport::Play)));
    }
    // The recorder's input may be another player's: the last run left it
    // there, or the user switched it. The first cut row puts it right, as a
    // change of player does.
    if (eingang_pruefen_ && Raster.Ist_Schnittzeile(row)) {
        eingang_pruefen_ = false;
        if (Aufnahme_Nr() == 4 && Aufnahme_Eingang != Zuspieler_Nr()) {
            const platform::WaitCursor cursor;
            Eingang_schalten(Aufnahme_Eingang, Zuspieler_Nr());
            if (lauf_ != lauf) return;
        }
    }
    Letzter_Zuspieler = Zuspieler_Nr();
    const bool befehl = Befehlszeile_ausfuehren();
    if (goto_abgebrochen_) return;
    Blinken = !Blinken;
    CountDown_anzeigen();
    if (Aufnahme_laeuft)
        Restzeit->setVisible(false);
    else
        Restzeit_anzeigen();

    const std::int32_t spieler = Zuspieler_Nr();
    const auto sp = static_cast<std::size_t>(spieler);
    const bool schnitt = Raster.Ist_Schnittzeile(Raster.Row);
    auto cd = [this] { return zaehler(platform::toCp1252(CountDown->text())); };
    // No tape moves while the recorder still records the last row: its pause
    // acts only after its delay.
    if (!Aufnahme_laeuft && !Pause_aussteht()) {
        const std::int32_t CD = cd();
        // The tape must play the recorder's own delay before the cut-in:
        // every approach aims that much earlier. A cut-in point surely passed
        // (the countdown, in whole seconds, is shorter than the delay) or just
        // missed is wound back to at once on the first approach; on the
        // second the cut-in is made late.
        const std::int32_t vorlauf = Vorlauf();
        auto ziel_vor = [&](std::int32_t abstand) {
            return differenz(std::int64_t{zaehler(Triggerzelle)} - abstand - vorlauf);
        };
        const std::int64_t bis_Einsatz = std::int64_t{CD} - vorlauf;
        if (CD < 0 || (schnitt && anlaeufe_ == 0 &&
                       (bis_Einsatz + zaehler("01.00") <= 0 || verpasst_))) {
            // Never more than two approaches of one row.
            if (anlaeufe_ >= 2) {
                Schnitt_abbrechen("Zeile " + std::to_string(Raster.Row) +
                                  " : Schnittpunkt nach zwei Anl\xE4ufen nicht erreicht");
                return;
            }
            ++anlaeufe_;
            verpasst_ = false;
            Sio::Debug_WriteLn("Zurueckspulen, um Schnittpunkt zu erreichen");
            if (!Goto_Befehl(ziel_vor(zaehler("0:10.0")))) return;
            CountDown_anzeigen();
        } else if (Parameter->Spul_vor->isChecked() && Kanal_spielt[sp] && schnitt &&
                   zaehler(platform::toCp1252(Parameter->SpulWert->text())) < bis_Einsatz) {
            Sio::Debug_WriteLn("Vorspulen, um Zeit zu verkuerzen");
            if (!Goto_Befehl(ziel_vor(zaehler(platform::toCp1252(Parameter->Vorspulsettle->text())))))
                return;
            CountDown_anzeigen();
        } else if (Parameter->Cue_vor->isChecked() && Kanal_spielt[sp] && schnitt &&
                   zaehler(platform::toCp1252(Parameter->CueWert->text())) < bis_Einsatz &&
                   Kanal_Typ[sp] != Sio::Protokoll::Panasonic) {
            Sio::Debug_WriteLn("Vorcuen, um Zeit zu verkuerzen");
            if (!Goto_Befehl(ziel_vor(zaehler(platform::toCp1252(Parameter->VorCueSettle->text())))))
                return;
            CountDown_anzeigen();
        }
    }
    if (!befehl && schnitt && !Kanal_spielt[static_cast<std::size_t>(Zuspieler_Nr())] && cd() > 0 &&
        Parameter->Automatik_Play_bei_Cut->isChecked()) {
        // A player that stopped under a recording row left a standing
        // picture on the recorder: started again, the row is still wrong.
        if (Aufnahme_laeuft)
            Vermerken({Raster.Row, 0, false,
                       "Zeile " + std::to_string(Raster.Row) + " : Zuspieler " +
                           std::to_string(Zuspieler_Nr()) + " stand w\xE4hrend der Aufnahme"});
        const std::int32_t r = Spieler_Befehl(Zuspieler_Nr(), Sio::Transport::Play);
        Sio::Debug_WriteLn("Starten des nicht aktiven Zuspielers Nr : " +
                           std::to_string(Zuspieler_Nr()) + " # Versuche : " + std::to_string(r));
        if (r < 0) fehlgrund = "Zuspieler " + std::to_string(Zuspieler_Nr()) + " startet nicht";
    }
    if (befehl) {
        weiter = true;
    } else {
        // Each point's wait starts 4 s before it is due: a lead sized by the
        // other point's longer delay would start a wait longer than a wait
        // can last, and its command would go out early.
        const std::int32_t lead =
            std::abs(zaehler(Aufnahme_laeuft ? Aufnahme_dt_Pause() : Aufnahme_dt_rec())) +
            zaehler("04.00");
        CountDown_anzeigen();
        const std::int32_t CD = cd();
        const std::int32_t p = Zuspieler_Nr();
        const auto pp = static_cast<std::size_t>(p);
        const bool schnittzeile = Raster.Ist_Schnittzeile(Raster.Row);
        const std::int64_t basis = std::int64_t{zaehler(Triggerzelle)} - ZInt_Kameraoffset();
        const std::int32_t aus = differenz(basis - zaehler(Aufnahme_dt_Pause()));
        auto ausgestiegen = [&] {
            Aufnahme_laeuft = false;
            Pausenbeginn = Jetzt();
            weiter = true;
            pause_aussteht_ = true;
            pause_faellig_ms_ = platform::clock().tickCount() +
                                static_cast<std::uint32_t>(
                                    std::max(0, zaehler(Aufnahme_dt_Pause())) * 20);
        };
        const std::int64_t stand = Sio::Position_nach_Zaehler(Kanal_Position[pp]);
        if (Aufnahme_laeuft && schnittzeile && stand != Sio::Keine_Position && stand >= aus) {
            // The cut-out point went by before this tick: pause now rather
            // than record on. A playing tape went on since it was read.
            const std::int64_t seither =
                Kanal_spielt[pp]
                    ? std::int64_t{platform::clock().tickCount() - Kanal_Lesezeit[pp]} / 20
                    : 0;
            Schnittpunkt(p, aus, Sio::Transport::Pause, stand + seither);
            if (lauf_ != lauf) return;
            ausgestiegen();
        } else if (Aufnahme_laeuft && schnittzeile && !Kanal_spielt[pp]) {
            fehlgrund = "Zuspieler " + std::to_string(p) + " spielt nicht";
        } else if (CD > 0 && CD < lead && Kanal_spielt[pp] && schnittzeile) {
            const platform::WaitCursor cursor;
            Sio::Debug_WriteLn("Triggerzelle : " + Triggerzelle);
            if (Aufnahme_laeuft) {
                Sio::Debug_WriteLn("XStoppe  Schnittpunkt : " + Sio::Zaehler_nach_Text(aus));
                Schnittpunkt(p, aus, Sio::Transport::Pause, std::nullopt);
                if (lauf_ != lauf) return;
                ausgestiegen();
            } else {
                const std::int32_t ein = differenz(basis - zaehler(Aufnahme_dt_rec()));
                Sio::Debug_WriteLn("XAufnahme Schnittpunkt : " + Sio::Zaehler_nach_Text(ein));
                const std::uint32_t vor_warten = platform::clock().tickCount();
                const std::optional<std::uint32_t> wann =
                    Schnittpunkt(p, ein, Sio::Transport::Record, std::nullopt);
                if (!wann) return;
                const std::uint32_t erreicht = *wann;
                Aufnahme_laeuft = true;
                // The cut-out is taken in this step when the next tick could
                // no longer take it: that tick must still find a whole second
                // on the countdown and its wait the tape before the point.
                // Until it waits, the rest of this step, the interval with the
                // latest tick of the run, and a poll and a step up to its wait
                // as long as this one's go by.
                CountDown_anzeigen();
                const std::int64_t rasterende =
                    std::int64_t{zaehler(Triggerzelle)} - ZInt_Kameraoffset();
                const std::int32_t ende = differenz(rasterende - zaehler(Aufnahme_dt_Pause()));
                const std::int64_t bis_zum_warten =
                    std::int64_t{platform::clock().tickCount() - erreicht} + Timer1->interval() +
                    spaet_ms_ + abfrage_ms_ + (vor_warten - beginn);
                const std::int64_t dann = std::int64_t{ein} + bis_zum_warten / 20;
                if (std::min<std::int64_t>(ende, rasterende) - dann < zaehler("01.00") + 2) {
                    Sio::Debug_WriteLn("XStoppe  Schnittpunkt : " + Sio::Zaehler_nach_Text(ende));
                    Schnittpunkt(p, ende, Sio::Transport::Pause,
                                 std::int64_t{ein} +
                                     (std::int64_t{platform::clock().tickCount() - erreicht}) / 20);
                    if (lauf_ != lauf) return;
                    ausgestiegen();
                }
            }
        }
    }
    if (!Raster.Ist_Schnittzeile(Raster.Row)) weiter = true;
    if (weiter && Raster.Row < Raster.RowCount() - 1) Zeile_anwaehlen(Raster.Row + 1);
    if (!fehlgrund.empty())
        fehlschritt(fehlgrund);
    else
        fehlschritte_ = 0;
}

bool TKameraDialog::Befehlszeile_ausfuehren() {
    const std::string start = grossbuchstaben(zelle(1));
    const std::string ende = zelle(2);
    const std::int32_t spieler = Zuspieler_Nr();
    bool gefunden = false;
    auto halt = [&] {
        Timer1->stop();
        Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
    };
    if (start.find("DIALOGBOX") != std::string::npos) {
        gefunden = true;
        halt();
        platform::prompts().message(platform::fromCp1252(zelle(4)));
    }
    if (start.find("REFERENZ") != std::string::npos) {
        gefunden = true;
        halt();
        platform::prompts().message(QStringLiteral("Referenz : noch eine Baustelle ! "));
    }
    if (start.find("STOP") != std::string::npos) {
        gefunden = true;
        halt();
        Editieren_an();
        CountDown_loeschen();
        Aufnahme_laeuft = false;
        setSchneiden(false);
    }
    if (start.find("AUFNAHME") != std::string::npos) {
        gefunden = true;
        const std::int32_t n = Sio::Zahl_Nr(ende, 1);
        if (n >= 1 && n <= 4) Waehle_Aufnahme(n);
    }
    if (start.find("GOTO") != std::string::npos) {
        gefunden = true;
        Timer1->stop();
        Goto_Befehl(zaehler(ende));
    }
    if (start.find("OFFSET") != std::string::npos) {
        gefunden = true;
        CountBox[static_cast<std::size_t>(Zuspieler_Nr())]->Offset->setText(
            platform::fromCp1252(ende));
    }
    return gefunden;
}

void TKameraDialog::CountDown_anzeigen() {
    const int row = Raster.Row;
    if (!Raster.Ist_Schnittzeile(row)) {
        CountDown_loeschen();
        return;
    }
    // A continuation row starts where the cut above ends; its cut-out is its
    // own end.
    if (Aufnahme_laeuft)
        Triggerzelle = Raster.zelle(2, row);
    else if (trimmed(Raster.zelle(1, row)).empty() && Raster.Ist_Schnittzeile(row - 1))
        Triggerzelle = Raster.zelle(2, row - 1);
    else
        Triggerzelle = Raster.zelle(1, row);
    const auto sp = static_cast<std::size_t>(Zuspieler_Nr());
    const std::int32_t wert =
        differenz(std::int64_t{zaehler(Triggerzelle)} -
                  Sio::Position_nach_Zaehler(Kanal_Position[sp]) - ZInt_Kameraoffset());
    const std::string text = Sio::Zaehler_nach_Text_kurz(wert);
    CountDown->setText(platform::fromCp1252(text));
    QColor farbe;
    if (zaehler(text) < 0)
        farbe = kRein_Rot;
    else if (Blinken)
        farbe = QApplication::palette().color(QPalette::Button);
    else if (Aufnahme_laeuft)
        farbe = kRein_Rot;
    else
        farbe = kRein_Gruen;
    QPalette p = CountDown->palette();
    p.setColor(QPalette::Base, farbe);
    CountDown->setPalette(p);
}

bool TKameraDialog::Goto_Befehl(std::int32_t ziel) {
    const std::uint64_t lauf = lauf_, panik = panik_;
    const std::int32_t spieler = Zuspieler_Nr();
    const auto sp = static_cast<std::size_t>(spieler);
    const std::int32_t offset = ZInt_Kameraoffset();
    const std::int32_t pos = zaehler(Kanal_Anzeige[sp]);
    const std::int32_t dist = differenz(std::int64_t{ziel} - pos - offset);
    Sio::Debug_WriteLn("Goto_Befehl " + Sio::Zaehler_nach_Text_kurz(ziel) + " Differenz " +
                       Sio::Zaehler_nach_Text_kurz(dist));
    const bool weit = zaehler(platform::toCp1252(Parameter->SpulWert->text())) < std::abs(dist);
    bool spulen = false, abfragen = true, bewegt = false;
    if (dist > 0) {
        if (Parameter->Spul_vor->isChecked() && weit) {
            const std::int32_t r = Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
            Sio::Debug_WriteLn("Goto_Befehl, vorwaerts Spul : Stop, # Versuche : " +
                               std::to_string(r));
            Spieler_Befehl(spieler, Sio::Transport::FastForward);
            spulen = bewegt = true;
        } else if (Parameter->Cue_vor->isChecked()) {
            if (Kanal_Typ[sp] != Sio::Protokoll::Panasonic) {
                if (!Kanal_spielt[sp]) Spieler_Befehl(spieler, Sio::Transport::Play);
                Spieler_Befehl(spieler, Sio::Transport::CueForward);
                bewegt = true;
                Sio::Debug_WriteLn("Goto : Cue vor");
            } else {
                abfragen = false;
                Sio::Debug_WriteLn("Kein Cue bei Panasonic");
            }
        }
    } else {
        // A Panasonic player does not cue back: it plays on, and the tape
        // would never come back to the target. It winds back as for a far
        // target.
        if (!Parameter->Cue_zurueck->isChecked() || weit ||
            Kanal_Typ[sp] == Sio::Protokoll::Panasonic) {
            const std::int32_t r = Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
            Sio::Debug_WriteLn("Goto_Befehl, rueckwaerts Spul : Stop, # Versuche : " +
                               std::to_string(r));
            Spieler_Befehl(spieler, Sio::Transport::Rewind);
            spulen = bewegt = true;
        } else {
            if (!Kanal_spielt[sp]) Spieler_Befehl(spieler, Sio::Transport::Play);
            Spieler_Befehl(spieler, Sio::Transport::CueBack);
            bewegt = true;
            Sio::Debug_WriteLn("Goto : Cue zurueck");
        }
    }
    int n = -1;
    if (abfragen) {
        std::int64_t d = std::abs(std::int64_t{dist});
        std::uint32_t letzteAenderung = platform::clock().tickCount();
        Sio::Protokoll protokoll = Sio::Protokoll::Keins;
        std::string status;
        bool spielt = false;
        for (;;) {
            Kanal_lesen(spieler, protokoll, status, spielt);
            ++n;
            const std::int64_t position = Sio::Position_nach_Zaehler(Kanal_Position[sp]);
            const std::int64_t neu = std::abs(position + offset - ziel);
            if (n % 5 == 0) {
                CountBox[sp]->Zaehler->setText(
                    platform::fromCp1252(Sio::Position_nach_Text_kurz(Kanal_Position[sp])));
                Restzeit_anzeigen();
                Sio::Debug_WriteLn(
                    "Repeatlauf " + std::to_string(n) + "  Differenz " +
                    Sio::Zaehler_nach_Text_kurz(differenz(position + offset - ziel)) +
                    " Zaehler : " + Sio::Position_nach_Text(Kanal_Position[sp]));
                ProcessMessages();
                if (lauf_ != lauf) {
                    // Stopped or started anew meanwhile: the step is over. A
                    // tape still winding or cueing is stopped, unless the
                    // panic stop did that already.
                    if (bewegt && panik_ == panik)
                        Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
                    Sio::Debug_WriteLn("Goto_Befehl abgebrochen, loopctr : " + std::to_string(n));
                    goto_abgebrochen_ = true;
                    return false;
                }
            }
            const std::uint32_t jetzt = platform::clock().tickCount();
            if (neu != d) letzteAenderung = jetzt;
            // Wrapping tick counts: the difference counts.
            const bool weiterlaufen = neu <= d && jetzt - letzteAenderung <= 5000u;
            if (!weiterlaufen && n > 3) break;
            d = neu;
        }
        if (spulen) {
            Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
        } else {
            if (protokoll == Sio::Protokoll::Panasonic)
                Sio::Kamera_Befehl(spieler, Sio::Transport::Pause);
            Spieler_Befehl(spieler, Sio::Transport::Play);
        }
        Sio::Protokoll typ = Sio::Protokoll::Keins;
        std::string text;
        Kanal_lesen(spieler, typ, text, Kanal_spielt[sp]);
    }
    Sio::Debug_WriteLn("Goto_Befehl Ende, loopctr : " + std::to_string(n));
    return true;
}

void TKameraDialog::Restzeit_anzeigen() {
    Restzeit->setVisible(true);
    auto tageszeit = [](const QDateTime& t) {
        return std::int64_t{
            Sio::Zeitwort_nach_Zaehler(t.toString(QStringLiteral("h:mm:ss")).toStdString(), 1)};
    };
    std::int64_t vergangen = tageszeit(Jetzt()) - tageszeit(Pausenbeginn);
    // A pause over midnight: the time of day starts again at 0.
    if (vergangen < 0) vergangen += std::int64_t{24} * 3600 * 50;
    const std::int32_t rest = differenz(
        std::int64_t{zaehler(Box_Geraet[static_cast<std::size_t>(Aufnahme_Nr())].MaxPausenZeit)} -
        vergangen);
    Restzeit->setText(platform::fromCp1252(Sio::Zaehler_nach_Text_kurz(rest)));
}

void TKameraDialog::Panik_StopClick() {
    const std::int32_t spieler = Zuspieler_Nr();
    ++lauf_;
    ++panik_;
    Timer1->stop();
    Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
    // Every other deck the run set moving: a player it changed from that
    // did not take its stop, or one the user unmarked meanwhile. A stop that
    // fails is given again, a bounded number of times.
    for (std::int32_t k = 1; k <= 3; ++k)
        if (k != spieler && bewegt_[static_cast<std::size_t>(k)])
            for (int versuch = 0; versuch < 3; ++versuch)
                if (Sio::Kamera_Befehl(k, Sio::Transport::Stop) >= 0) break;
    bewegt_ = {};
    Aufnahme_Befehl(Sio::Transport::Stop);
    ProcessMessages();
    Timer1->stop();
    ProcessMessages();
    Timer1->stop();
    Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
    Aufnahme_Befehl(Sio::Transport::Stop);
    Editieren_an();
    Sio::Debug_WriteLn("Panik Stop");
    Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
    setSchneiden(false);
    CountDown_loeschen();
    Timer1_an();
}

std::optional<std::uint32_t> TKameraDialog::Schnittpunkt(std::int32_t spieler, std::int32_t ziel,
                                                         Sio::Transport code,
                                                         std::optional<std::int64_t> stand) {
    const auto sp = static_cast<std::size_t>(spieler);
    const std::int32_t u = Sio::Halbbilder_pro_Sekunde;
    // The whole second that the wait first looks for, at or below t also
    // below zero (-1 lies in the second from -50), as the wait takes it.
    auto sekunde = [u](std::int64_t t) {
        if (u <= 0) return t;
        std::int64_t ganz = t / u;
        if (t % u < 0) --ganz;
        return ganz * u;
    };
    const int zeile = Raster.Row;
    // A recorder command that did not go out leaves the recorder where it
    // was: recording on, or a row missing. The run stops and says so.
    auto senden = [&] {
        if (Aufnahme_Befehl(code)) return true;
        Schnitt_abbrechen("Zeile " + std::to_string(zeile) + " : " +
                          (code == Sio::Transport::Record ? "Aufnahme" : "Pause") +
                          "-Befehl nicht gesendet" +
                          (Aufnahme_Nr() == 4 || takt_spaet_ms_ >= kBeschaeftigt_ms
                               ? kZu_beschaeftigt
                               : ""));
        return false;
    };
    const bool ir = Aufnahme_Nr() == 4;
    const std::int64_t frequenz = Sio::Zaehlerfrequenz();
    // What an IR command lost from `vor` to its first clean transmission, in
    // its set-up or in transmissions sent again, in counter ticks.
    auto sendeverzug = [ir](std::int64_t vor) {
        return ir && Sio::Sendebeginn != 0
                   ? std::max<std::int64_t>(0, Sio::Sendebeginn - vor - Sio::Sende_Vorlauf())
                   : std::int64_t{0};
    };
    if (stand && *stand >= ziel) {
        Sio::Debug_WriteLn("Schnittpunkt verpasst, Zeile " + std::to_string(zeile) +
                           " : Pause sofort");
        const std::uint32_t jetzt = platform::clock().tickCount();
        const std::int64_t vor = Sio::Zaehlerstand();
        if (!senden()) return std::nullopt;
        // As late as the tape had gone past the point when it was last
        // known to stand, and by what the command lost on its way.
        std::int64_t spaet = *stand - ziel;
        if (frequenz > 0) spaet += (sendeverzug(vor) * u + frequenz - 1) / frequenz;
        if (spaet > 1)
            Vermerken({zeile, differenz(spaet), false,
                       "Zeile " + std::to_string(zeile) + " : Pause " + zeit(differenz(spaet)) +
                           " zu sp\xE4t"});
        return jetzt;
    }
    // The wait counts off two frames more than the units left after the whole
    // second: aimed that much earlier, the command leaves at the point. It
    // ends when the frame of the point's field has been read, late in that
    // field. An IR recorder acts on the command's time, not in a field of its
    // own: its command is aimed a field earlier and held until the field at
    // the point begins.
    const std::int64_t vorlauf = ir ? 3 : 2;
    const std::int64_t warteziel = std::int64_t{ziel} - vorlauf;
    Sio::Warte_auf_Position(spieler, differenz(warteziel));
    const std::uint32_t erreicht = platform::clock().tickCount();
    // The wait stops looking after its last decoded frame; where that stood
    // tells whether it ran out before the point or found the tape past it.
    const Sio::Bandposition zuletzt =
        Kanal_Typ[sp] == Sio::Protokoll::Panasonic ? Sio::Pana_Position : Sio::Sony_Position;
    const bool bekannt = Kanal_Typ[sp] != Sio::Protokoll::Keins;
    const std::int64_t gefunden = Sio::Position_nach_Zaehler(zuletzt);
    // A record command more than a frame late would cut in at the wrong
    // place. On the first approach it is left out, and the tape is wound
    // back for a second one; on the second the row is recorded at once,
    // late, and the user told how late.
    if (code == Sio::Transport::Record && bekannt && gefunden != Sio::Keine_Position &&
        gefunden > ziel + 2) {
        Sio::Debug_WriteLn("Schnittpunkt verpasst, Zeile " + std::to_string(zeile) + " : " +
                           Sio::Position_nach_Text(zuletzt));
        const auto spaet = differenz(gefunden - ziel);
        if (anlaeufe_ == 0) {
            verpasst_ = true;
            Vermerken({zeile, spaet, false,
                       "Zeile " + std::to_string(zeile) + " : Schnittpunkt um " + zeit(spaet) +
                           " verpasst, neuer Anlauf"});
            return std::nullopt;
        }
        if (!senden()) return std::nullopt;
        Vermerken({zeile, spaet, true,
                   "Zeile " + std::to_string(zeile) + " : Aufnahme " + zeit(spaet) +
                       " zu sp\xE4t (kein Vorlauf)"});
        return erreicht;
    }
    // The command is due when the wait's count-off ends. A process that lost
    // the processor in the wait's last read or since sends it that much
    // later, and the cut lands as far past its point: the user is told. An
    // IR command also comes later by what it lost from here to its first
    // clean transmission, in its set-up or in transmissions sent again.
    const std::int64_t soll = ir ? Sio::Warte_auf_naechstes_Feld() : Sio::Warte_Ende_soll;
    const std::int64_t jetzt = Sio::Zaehlerstand();
    if (!senden()) return std::nullopt;
    if (soll != 0 && frequenz > 0) {
        // More than a field late is named: the recorder's delay is entered
        // to a frame, so that much may already put the cut past its frame.
        const std::int64_t verspaetung = (jetzt - soll + sendeverzug(jetzt)) * u;
        const auto spaet = differenz((verspaetung + frequenz - 1) / frequenz);
        if (verspaetung > frequenz)
            Vermerken({zeile, spaet, code == Sio::Transport::Record,
                       "Zeile " + std::to_string(zeile) + " : " +
                           (code == Sio::Transport::Record ? "Aufnahme " : "Pause ") +
                           zeit(spaet) + " zu sp\xE4t"});
    }
    if (!bekannt) return erreicht;
    if (gefunden < sekunde(warteziel)) {
        const std::string text = "Position nicht erreicht, Zeile " + std::to_string(zeile) +
                                 " : Ziel " + Sio::Zaehler_nach_Text(ziel) + ", erreicht " +
                                 Sio::Position_nach_Text(zuletzt);
        Sio::Debug_WriteLn(text);
        Vermerken({zeile, 0, false, text});
    }
    return erreicht;
}

std::int32_t TKameraDialog::Spieler_Befehl(std::int32_t spieler, Sio::Transport code) {
    const std::int32_t r = Sio::Kamera_Befehl(spieler, code);
    if (spieler >= 1 && spieler <= 3 && code != Sio::Transport::Stop &&
        code != Sio::Transport::Pause)
        bewegt_[static_cast<std::size_t>(spieler)] = true;
    return r;
}

void TKameraDialog::Eingang_schalten(std::int32_t von, std::int32_t nach) {
    const std::uint64_t lauf = lauf_;
    const bool hoch = nach > von;
    for (std::int32_t i = von; i != nach; i += hoch ? 1 : -1) {
        // An edit-line recorder has no input keys: its steps change nothing.
        if (!Aufnahme_Befehl(hoch ? Sio::Transport::Up : Sio::Transport::Down) &&
            Aufnahme_Nr() == 4) {
            Schnitt_abbrechen(std::string("Eingang des Recorders nicht umgeschaltet") +
                              kZu_beschaeftigt);
            return;
        }
        Aufnahme_Eingang = hoch ? i + 1 : i - 1;
        Sio::Warte_ms(2500);
        Sio::Debug_WriteLn((hoch ? "hochschalten  Index " : "runterschalten  Index ") +
                           std::to_string(i));
        if (lauf_ != lauf) return;
    }
    Aufnahme_Eingang = nach;
}

bool TKameraDialog::Pause_aussteht() const {
    return pause_aussteht_ &&
           static_cast<std::int32_t>(platform::clock().tickCount() - pause_faellig_ms_) < 0;
}

std::int32_t TKameraDialog::Vorlauf() const {
    return std::max(0, zaehler(Aufnahme_dt_rec()));
}

void TKameraDialog::Vermerken(Schnittvermerk v) {
    Sio::Debug_WriteLn(v.Text);
    Schnittvermerke.push_back(std::move(v));
    QStringList texte;
    for (const Schnittvermerk& w : Schnittvermerke)
        texte << platform::fromCp1252(w.Text);
    Schnittmeldung->setText(texte.join(QStringLiteral("   |   ")));
    Schnittmeldung->setToolTip(texte.join(QLatin1Char('\n')));
    Schnittmeldung->setVisible(true);
}

void TKameraDialog::Schnitt_abbrechen(const std::string& grund) {
    const std::string text = "Schnitt abgebrochen, " + grund;
    Vermerken({Raster.Row, 0, false, text});
    // The decks stop before the message waits for the user.
    Panik_StopClick();
    platform::prompts().message(platform::fromCp1252(text));
}

} // namespace video
