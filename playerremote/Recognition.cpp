#include "playerremote/Recognition.h"

#include "platform/Errors.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pmp3p {

const std::array<const char*, 10> Befehlsnamen = {
    "", "Back", "Play", "Pause", "Stop", "Next", "VolumeUp", "VolumeDown", "Forward5", "Back5"};

namespace {
std::string zahl(long long v) {
    return std::to_string(v);
}

// A slot's command number may name no command.
bool ist_Befehl(Befehl b) {
    return b >= Befehl::Back && b <= Befehl::Back5;
}
} // namespace

// ---- receive buffer ----

void ReceiveBuffer::append(std::int64_t stamp, const std::uint8_t* data, int n) {
    std::lock_guard lock(mutex_);
    Empfangs_Stempel_ = stamp;
    const std::int64_t gap = stamp - Vorheriger_Stempel_;
    if (Zeichen_Anzahl_ < kAnnahmeGrenze) {
        for (int i = 0; i < n; ++i) {
            // One batch may not carry the count past the buffer's end: the
            // rest of it is dropped.
            if (Zeichen_Anzahl_ >= kPufferGroesse) break;
            ++Zeichen_Anzahl_;
            Zeichen_Puffer_[static_cast<std::size_t>(Zeichen_Anzahl_)] = data[i];
            Pausen_Puffer_[static_cast<std::size_t>(Zeichen_Anzahl_)] = i == 0 ? gap : 0;
        }
    }
    Vorheriger_Stempel_ = stamp;
}

std::int64_t ReceiveBuffer::stamp() const {
    std::lock_guard lock(mutex_);
    return Empfangs_Stempel_;
}

std::int32_t ReceiveBuffer::count() const {
    std::lock_guard lock(mutex_);
    return Zeichen_Anzahl_;
}

bool ReceiveBuffer::endIfSilent(std::int64_t now) {
    Snapshot ended;
    return endIfSilent(now, ended);
}

bool ReceiveBuffer::endIfSilent(std::int64_t now, Snapshot& ended) {
    std::lock_guard lock(mutex_);
    if (now - Empfangs_Stempel_ < kBurstEnde) return false;
    ended = snapshotLocked();
    Zeichen_Anzahl_ = 0;
    return true;
}

ReceiveBuffer::Snapshot ReceiveBuffer::snapshot() const {
    std::lock_guard lock(mutex_);
    return snapshotLocked();
}

ReceiveBuffer::Snapshot ReceiveBuffer::snapshotLocked() const {
    Snapshot s;
    s.count = Zeichen_Anzahl_;
    s.stamp = Empfangs_Stempel_;
    const auto end = static_cast<std::size_t>(Zeichen_Anzahl_) + 1;
    s.bytes.assign(Zeichen_Puffer_.begin(), Zeichen_Puffer_.begin() + static_cast<long>(end));
    s.gaps.assign(Pausen_Puffer_.begin(), Pausen_Puffer_.begin() + static_cast<long>(end));
    s.bytes[0] = 0;
    s.gaps[0] = 0;
    return s;
}

// ---- slots and learning ----

Befehl_Slot& Erkennung::fach(long long s) {
    if (s < 1 || s > kFaecher) throw ERangeError("Bereichsfehler: Fach " + std::to_string(s));
    return Faecher[static_cast<std::size_t>(s)];
}

std::string Erkennung::lerne(Befehl tag, const std::string& caption) {
    Lern_Kandidat[2] = static_cast<std::int32_t>(tag);
    std::string text = "Lerne Befehl als >" + caption + "<";
    const std::int32_t L = Lern_Kandidat[0];
    for (int s = 1; s <= kFaecher; ++s) {
        Befehl_Slot& f = fach(s);
        if (f[0] != L) continue;
        bool gleich = true;
        for (std::int32_t i = 3; i <= L; ++i)
            if (tabelle(f, i, "Fach") != tabelle(Lern_Kandidat, i, "Lern_Kandidat")) {
                gleich = false;
                break;
            }
        if (gleich) {
            f = Lern_Kandidat;
            return text +
                   "\rBefehl \xFC"
                   "berschrieben, Fachnr. " +
                   zahl(s);
        }
    }
    for (int s = 1; s <= kFaecher; ++s) {
        Befehl_Slot& f = fach(s);
        if (f[0] == 0) {
            f = Lern_Kandidat;
            return text + "\rNeuer Befehl, Fachnr. " + zahl(s);
        }
    }
    return text + "\rZu viele Befehle gelernt !";
}

// ---- the evaluation tick ----

void Erkennung::tick(std::int64_t now, RemoteHost& host) {
    try {
        tickSchritte(now, host);
    } catch (const std::out_of_range&) {
        // An index error ends this tick; the next one starts afresh.
    }
}

void Erkennung::tickSchritte(std::int64_t now, RemoteHost& host) {
    ++Auswertungen;
    if (host.anzeige()) host.zeigeAuswertungen(Auswertungen);
    if (now - Stop_Stempel > kStopFenster) Count_down_Zaehler.Tag = 0;

    ReceiveBuffer::Snapshot ended;
    if (Empfang.endIfSilent(now, ended)) {
        // A tick that comes late (the GUI thread was held up as a short press
        // began) finds the burst already over: what no tick has seen of it is
        // evaluated before it ends, so every burst is evaluated at least once.
        if (ended.count > Alte_Anzahl) neueZeichen(ended, now, host);
        burstEnde(host);
        // Whatever is buffered now belongs to the next burst.
        Alte_Anzahl = 0;
    }
    neueZeichen(Empfang.snapshot(), now, host);
}

void Erkennung::neueZeichen(const ReceiveBuffer::Snapshot& snap, std::int64_t now,
                            RemoteHost& host) {
    const std::int64_t count = snap.count;
    // Volume and seek go on with every batch of a key held down.
    if (!Bereit && count > Alte_Anzahl && !host.lernmodus() && Letzter_Befehl >= Befehl::VolumeUp &&
        Letzter_Befehl <= Befehl::Back5)
        host.knopfKlick(Letzter_Befehl);
    if (count > Alte_Anzahl) auswerten(snap, now, host);
    Alte_Anzahl = count;
}

void Erkennung::burstEnde(RemoteHost& host) {
    if (host.anzeige()) {
        if (Gefeuertes_Fach != 0) {
            const std::int32_t befehl = fach(Gefeuertes_Fach)[2];
            const std::string name =
                ist_Befehl(static_cast<Befehl>(befehl))
                    ? std::string("-") + Befehlsnamen[static_cast<std::size_t>(befehl)]
                    : std::string("-undefiniert");
            host.memo2Zeile(" ");
            host.memo2Zeile(" - gefeuert ! -  Befehl " + zahl(befehl) + name + "    Fach  " +
                            zahl(Gefeuertes_Fach));
        }
        host.memo2Zeile(" ");
        host.memo2Zeile("Pausenzeit / 100 = " + zahl(Lern_Kandidat[1]));
        const std::int32_t L = std::clamp<std::int32_t>(Lern_Kandidat[0], 0, 100);
        for (std::int32_t i = 0; i <= L; ++i)
            host.memo2Zeile("  " + zahl(Lern_Kandidat[static_cast<std::size_t>(i)]));
    }
    host.timer1Aus();
    Bereit = true;
    Gefeuertes_Fach = 0;
    Countdown& c = Count_down_Zaehler;
    if (c.Tag != 0) {
        c.Caption = "*" + c.Caption;
        if (c.Caption.find("*****") != std::string::npos) c.Tag = 0;
    }
    if (c.Tag == 0) c.Caption = "Count Down";
    host.countdownZeigen(c);
    if (host.anzeige()) host.memo1Zeile("");
}

void Erkennung::stopZaehlen(std::int64_t now, RemoteHost& host) {
    Countdown& c = Count_down_Zaehler;
    if (Letzter_Befehl == Befehl::Stop) {
        Stop_Stempel = now;
        c.Visible = true;
        ++c.Tag;
        if (c.Tag > 2) host.beep();
        c.Caption = "Count_Down " + zahl(c.Tag);
        host.countdownZeigen(c);
        if (c.Tag == 4) {
            if (host.shutdownPerStop()) {
                std::int32_t code = 0;
                if (!host.herunterfahren(code)) host.meldung("Fehlercode" + zahl(code));
            }
            host.fensterSchliessen();
        } else if (c.Tag == 3) {
            host.beep();
            host.playerBeenden();
            host.timer2An();
            host.beep();
        }
    } else {
        c.Tag = 0;
    }
}

void Erkennung::auswerten(const ReceiveBuffer::Snapshot& snap, std::int64_t now, RemoteHost& host) {
    const std::int32_t count = snap.count;
    const auto byteAt = [&](long long k) -> std::int32_t {
        return tabelle(snap.bytes, k, "Zeichen_Puffer");
    };
    const auto gapAt = [&](long long k) -> std::int64_t {
        return tabelle(snap.gaps, k, "Pausen_Puffer");
    };
    const bool anzeige = host.anzeige();

    Dump_Summe += count;
    if (Dump_Summe > 1000) {
        Dump_Summe = 0;
        if (anzeige) host.memo1Leeren();
    }

    // Twice the mean gap; position 1 carries the silence before the burst.
    std::uint32_t summe = 0;
    std::int32_t anzahl = 0;
    for (std::int32_t k = 2; k <= count; ++k) {
        const std::int64_t g = gapAt(k);
        if (g != 0) {
            summe += static_cast<std::uint32_t>(g);
            ++anzahl;
        }
    }
    const auto summe32 = static_cast<std::int32_t>(summe);
    if (anzahl == 0) {
        Pausenschwelle = 20000;
    } else {
        const double s = std::nearbyint(static_cast<double>(summe32) / anzahl * 2.0);
        if (!(s >= std::numeric_limits<std::int32_t>::min() &&
              s <= std::numeric_limits<std::int32_t>::max()))
            throw ERangeError("Bereichsfehler: Pausenschwelle");
        Pausenschwelle = static_cast<std::int32_t>(s);
    }

    if (anzeige) {
        const std::int64_t neu = count - Alte_Anzahl;
        if (neu < 300 && count < 600)
            for (std::int64_t k = Alte_Anzahl + 1; k <= count; ++k)
                host.memo1Zeile(zahl(k) + "     " + zahl(byteAt(k)) + "     " + zahl(gapAt(k)));
        host.memo2Leeren();
        if (host.lernmodus()) {
            host.memo2Zeile("           **** Lernmodus ! ****");
            host.memo2Zeile("- Den erkannten Befehl per Knopfdruck auf Taste \xFC"
                            "bertragen");
            host.memo2Zeile("- Lernmodus verlassen mit \"Einstellungen/Lernen\" ");
            host.memo2Zeile("");
        }
        host.memo2Zeile(zahl(count) + " Zeichen erkannt");
        host.memo2Zeile(zahl(Pausenschwelle) +
                        " ca. 2 *  Mittelwert Verz\xF6"
                        "gerung (" +
                        zahl(summe32) + " / " + zahl(anzahl == 0 ? -1 : anzahl) + " )");
        std::string zeile;
        const std::int32_t bis = std::min(kVergleichsGrenze, count);
        for (std::int32_t k = 1; k <= bis; ++k) {
            if (count < kVergleichsGrenze && gapAt(k) > Pausenschwelle) {
                host.memo2Zeile(zeile);
                zeile.clear();
            }
            zeile += zahl(byteAt(k)) + "  ";
        }
        host.memo2Zeile(zeile);
    }

    // The smallest slot threshold, empty slots included.
    std::int64_t m = std::numeric_limits<std::int64_t>::max();
    for (int s = 1; s <= kFaecher; ++s) {
        m = std::min<std::int64_t>(m, fach(s)[1]);
        Treffer[static_cast<std::size_t>(s)] = 0;
    }
    if (m < 1) m = 1;
    m *= 100;

    const std::int32_t bis = std::min(kVergleichsGrenze, count);
    for (std::int32_t j = 1; j <= bis; ++j) {
        const std::int64_t g = gapAt(j);
        if (g <= m) continue;
        for (int s = 1; s <= kFaecher; ++s) {
            const Befehl_Slot& f = fach(s);
            const std::int32_t L = f[0];
            if (L <= 2 || j < L - 2) continue;
            if (!(g > static_cast<std::int64_t>(f[1]) * 100 || j == count)) continue;
            // Entries 3..L against the L-2 positions just before j.
            bool gleich = true;
            for (std::int32_t i = 3; i <= L; ++i)
                if (tabelle(f, i, "Fach") != byteAt(j - L + i - 1)) {
                    gleich = false;
                    break;
                }
            if (gleich) ++Treffer[static_cast<std::size_t>(s)];
        }
    }

    for (int s = 1; s <= kFaecher; ++s) {
        if (Treffer[static_cast<std::size_t>(s)] > 0 && Bereit) {
            Bereit = false;
            Gefeuertes_Fach = s;
            Letzter_Befehl = static_cast<Befehl>(fach(s)[2]);
            // Learning a key fires its slot but neither commands the player
            // nor moves the Stop countdown. A Stop counts when it fires, so a
            // short press counts even when its burst ends before the next tick.
            if (!host.lernmodus()) {
                if (ist_Befehl(Letzter_Befehl))
                    host.knopfKlick(Letzter_Befehl);
                else
                    host.meldung("Falsche Befehlsnummer");
                stopZaehlen(now, host);
            }
            break;
        }
    }

    // The learn candidate: the first frame of the buffer.
    Befehl_Slot& k = Lern_Kandidat;
    k[1] = Pausenschwelle / 100;
    k[2] = 0;
    const std::int32_t first = byteAt(1) == 0 ? 2 : 1;
    std::int32_t e = 2;
    // A burst of one zero byte leaves nothing to copy and so no candidate;
    // bytes past the count belong to an earlier burst.
    for (std::int32_t p = first; p <= count; ++p) {
        ++e;
        tabelle(k, e, "Lern_Kandidat") = byteAt(p);
        if (p >= count || p >= 95 || gapAt(p + 1) > Pausenschwelle) break;
    }
    k[0] = e > 2 ? e : 0;
}

} // namespace pmp3p
