// The cut run: one step of the current cut-list row per tick of the window's
// timer while the cut button is down.
#include "video/Kamera_qt.h"

#include "engine/ControlL.h"
#include "engine/Debug.h"
#include "engine/EditLine.h"
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
    if (IR_Warnung && Aufnahme_Nr() == 4 && Schnitt_IRCodes[3].Befehl[1] == 0)
        IR_Warnung = platform::prompts().okNo(
            QStringLiteral("Achtung : kein IR Code geladen !\rOK = Weiterwarnen, Nein = keine "
                           "weiteren Warnungen"));
    Letzter_Zuspieler = Zuspieler_Nr();
    if (SchneidenKnopf->isChecked()) {
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
    if (!Zaehler_plausibel(Kanal_Anzeige[static_cast<std::size_t>(spieler0)])) return;
    const std::uint32_t beginn = platform::clock().tickCount();
    Timer1->stop();
    schritt_ = true;
    platform::ScopeExit an([this] {
        schritt_ = false;
        Timer1_an();
    });
    goto_abgebrochen_ = false;
    const int row = Raster.Row;
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
        setSchneiden(false);
        Sio::Kamera_Befehl(Zuspieler_Nr(), Sio::Transport::Stop);
        Aufnahme_Befehl(Sio::Transport::Stop);
    }
    if (Schnittraster::Ist_Zuspieler_Ziffer(Raster.zelle(0, row)))
        Waehle_Zuspieler(Raster.zelle(0, row)[0] - '0');
    if (Zuspieler_Nr() != Letzter_Zuspieler &&
        Kanal_spielt[static_cast<std::size_t>(Letzter_Zuspieler)]) {
        const std::int32_t alt = Letzter_Zuspieler, neu = Zuspieler_Nr();
        Sio::Debug_WriteLn("Umschalten von Player " + std::to_string(alt) + " nach " +
                           std::to_string(neu));
        const platform::WaitCursor cursor;
        Sio::Debug_WriteLn("Ausschalten des Zuspielers " +
                           std::to_string(Sio::Kamera_Befehl(alt, Sio::Transport::Stop)));
        Sio::Warte_ms(1000);
        if (neu > alt)
            for (std::int32_t i = alt; i < neu; ++i) {
                Aufnahme_Befehl(Sio::Transport::Up);
                Sio::Warte_ms(2500);
                Sio::Debug_WriteLn("hochschalten  Index " + std::to_string(i));
            }
        else
            for (std::int32_t i = alt; i > neu; --i) {
                Aufnahme_Befehl(Sio::Transport::Down);
                Sio::Warte_ms(2500);
                Sio::Debug_WriteLn("runterschalten  Index " + std::to_string(i));
            }
        Sio::Waehle_Kanal(neu);
        Sio::Debug_WriteLn("Waehle_Kanal (Zuspieler_Nr) " + std::to_string(neu));
        Sio::Debug_WriteLn("Einschalt Versuche (Play) " +
                           std::to_string(Sio::Kamera_Befehl(neu, Sio::Transport::Play)));
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
    if (!Aufnahme_laeuft) {
        const std::int32_t CD = cd();
        if (CD < 0) {
            Sio::Debug_WriteLn("Zurueckspulen, um Schnittpunkt zu erreichen");
            if (!Goto_Befehl(differenz(std::int64_t{zaehler(Triggerzelle)} - zaehler("0:10.0"))))
                return;
            CountDown_anzeigen();
        } else if (Parameter->Spul_vor->isChecked() && Kanal_spielt[sp] && schnitt &&
                   zaehler(platform::toCp1252(Parameter->SpulWert->text())) < CD) {
            Sio::Debug_WriteLn("Vorspulen, um Zeit zu verkuerzen");
            if (!Goto_Befehl(
                    differenz(std::int64_t{zaehler(Triggerzelle)} -
                              zaehler(platform::toCp1252(Parameter->Vorspulsettle->text())))))
                return;
            CountDown_anzeigen();
        } else if (Parameter->Cue_vor->isChecked() && Kanal_spielt[sp] && schnitt &&
                   zaehler(platform::toCp1252(Parameter->CueWert->text())) < CD &&
                   Kanal_Typ[sp] != Sio::Protokoll::Panasonic) {
            Sio::Debug_WriteLn("Vorcuen, um Zeit zu verkuerzen");
            if (!Goto_Befehl(
                    differenz(std::int64_t{zaehler(Triggerzelle)} -
                              zaehler(platform::toCp1252(Parameter->VorCueSettle->text())))))
                return;
            CountDown_anzeigen();
        }
    }
    if (!befehl && schnitt && !Kanal_spielt[static_cast<std::size_t>(Zuspieler_Nr())] && cd() > 0 &&
        Parameter->Automatik_Play_bei_Cut->isChecked()) {
        const std::int32_t r = Sio::Kamera_Befehl(Zuspieler_Nr(), Sio::Transport::Play);
        Sio::Debug_WriteLn("Starten des nicht aktiven Zuspielers Nr : " +
                           std::to_string(Zuspieler_Nr()) + " # Versuche : " + std::to_string(r));
    }
    if (befehl) {
        weiter = true;
    } else {
        const std::int32_t lead =
            std::max(std::abs(zaehler(Aufnahme_dt_rec())), std::abs(zaehler(Aufnahme_dt_Pause()))) +
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
        };
        if (Aufnahme_laeuft && schnittzeile &&
            Sio::Position_nach_Zaehler(Kanal_Position[pp]) >= aus) {
            // The cut-out point went by before this tick: pause now rather
            // than record on.
            Sio::Debug_WriteLn("Schnittpunkt verpasst, Zeile " + std::to_string(Raster.Row) +
                               " : Pause sofort");
            Aufnahme_Befehl(Sio::Transport::Pause);
            ausgestiegen();
        } else if (CD > 0 && CD < lead && Kanal_spielt[pp] && schnittzeile) {
            const platform::WaitCursor cursor;
            Sio::Debug_WriteLn("Triggerzelle : " + Triggerzelle);
            if (Aufnahme_laeuft) {
                Sio::Debug_WriteLn("XStoppe  Schnittpunkt : " + Sio::Zaehler_nach_Text(aus));
                Schnittpunkt(p, aus, Sio::Transport::Pause, std::nullopt);
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
                    ausgestiegen();
                }
            }
        }
    }
    if (!Raster.Ist_Schnittzeile(Raster.Row)) weiter = true;
    if (weiter && Raster.Row < Raster.RowCount() - 1) Zeile_anwaehlen(Raster.Row + 1);
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
            Sio::Kamera_Befehl(spieler, Sio::Transport::FastForward);
            spulen = bewegt = true;
        } else if (Parameter->Cue_vor->isChecked()) {
            if (Kanal_Typ[sp] != Sio::Protokoll::Panasonic) {
                if (!Kanal_spielt[sp]) Sio::Kamera_Befehl(spieler, Sio::Transport::Play);
                Sio::Kamera_Befehl(spieler, Sio::Transport::CueForward);
                bewegt = true;
                Sio::Debug_WriteLn("Goto : Cue vor");
            } else {
                abfragen = false;
                Sio::Debug_WriteLn("Kein Cue bei Panasonic");
            }
        }
    } else {
        if (!Parameter->Cue_zurueck->isChecked() || weit) {
            const std::int32_t r = Sio::Kamera_Befehl(spieler, Sio::Transport::Stop);
            Sio::Debug_WriteLn("Goto_Befehl, rueckwaerts Spul : Stop, # Versuche : " +
                               std::to_string(r));
            Sio::Kamera_Befehl(spieler, Sio::Transport::Rewind);
            spulen = bewegt = true;
        } else {
            if (!Kanal_spielt[sp]) Sio::Kamera_Befehl(spieler, Sio::Transport::Play);
            Sio::Kamera_Befehl(spieler, Sio::Transport::CueBack);
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
            Sio::Lies_Geraetestatus(spieler, Kanal_Position[sp], protokoll, status, spielt);
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
            Sio::Kamera_Befehl(spieler, Sio::Transport::Play);
        }
        Sio::Protokoll typ = Sio::Protokoll::Keins;
        std::string text;
        Sio::Lies_Geraetestatus(spieler, Kanal_Position[sp], typ, text, Kanal_spielt[sp]);
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
    // The whole second that the wait first looks for.
    auto sekunde = [u](std::int64_t t) {
        if (u <= 0) return t;
        std::int64_t ganz = t / u;
        if (ganz < 0) --ganz;
        return ganz * u;
    };
    if (stand && *stand >= ziel) {
        Sio::Debug_WriteLn("Schnittpunkt verpasst, Zeile " + std::to_string(Raster.Row) +
                           " : Pause sofort");
        const std::uint32_t jetzt = platform::clock().tickCount();
        Aufnahme_Befehl(code);
        return jetzt;
    }
    // The wait counts off two frames more than the units left after the whole
    // second: aimed that much earlier, the command leaves at the point.
    const std::int64_t vorlauf = 2;
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
    // place; left out, the countdown runs out and the tape is wound back.
    if (code == Sio::Transport::Record && bekannt && gefunden != Sio::Keine_Position &&
        gefunden > ziel + 2) {
        Sio::Debug_WriteLn("Schnittpunkt verpasst, Zeile " + std::to_string(Raster.Row) + " : " +
                           Sio::Position_nach_Text(zuletzt));
        return std::nullopt;
    }
    Aufnahme_Befehl(code);
    if (!bekannt) return erreicht;
    if (gefunden < sekunde(warteziel))
        Sio::Debug_WriteLn("Position nicht erreicht, Zeile " + std::to_string(Raster.Row) +
                           " : Ziel " + Sio::Zaehler_nach_Text(ziel) + ", erreicht " +
                           Sio::Position_nach_Text(zuletzt));
    return erreicht;
}

} // namespace video
