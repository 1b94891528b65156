// The main window's menu: COM choice and "Allocate", the about box with its
// extension switch, the web page, the performance-counter readout and the
// timing measurement.
#include "desk/IR_qt.h"
#include "desk/PortHold.h"
#include "engine/Bandposition.h"
#include "engine/Timing.h"
#include "platform/Codepage_qt.h"
#include "platform/DateText_qt.h"
#include "platform/Platform.h"
#include "platform/Prompts_qt.h"
#include "platform/System.h"
#include "platform/WaitCursor_qt.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include <cstdlib>

namespace desk {

namespace {

const QString kWebPage = QStringLiteral("https://www.tavix.example/");

QString zahl(std::int64_t n) {
    return QString::number(n);
}

} // namespace

void TIRForm::COMClick(QAction* sender) {
    const std::int32_t n = Sio::Zahl_Nr(sender->objectName().toStdString(), 1);
    Sio::Com_Nr = n;
    // Port permission for the new UART (or the simulated adapter) before any
    // access to it.
    platform::openPortAccess(Sio::Port_Basis());
    Serielle_Schnittstelle->setTitle(QStringLiteral("COM %1:").arg(n));
    Turn_Checked_Coms_On();
    IniDatei->writeInteger("Schnittstelle", "Com_Nr", n);
    // The line monitor drives the new port from now on.
    if (Service2->isChecked()) Sio::UART_Setup(115, 3);
}

void TIRForm::Turn_Checked_Coms_On() {
    for (int n = 1; n <= 8; ++n)
        COM[static_cast<std::size_t>(n)]->setChecked(n == Sio::Com_Nr);
    if (Allocate1->isChecked()) {
        if (!Gehaltene_Ports) Gehaltene_Ports = std::make_shared<PortHolds>();
        if (!Gehaltene_Ports->hold(Sio::Com_Nr))
            platform::prompts().message(QStringLiteral("ungültiger FileHandle"));
    }
}

void TIRForm::Allocate1Click() {
    Allocate1->setChecked(!Allocate1->isChecked());
    IniDatei->writeBool("Einstellungen", "ComKrallen", Allocate1->isChecked());
}

void TIRForm::TavixWEBPage1Click() {
    if (!platform::os().openUrl(kWebPage.toStdString()))
        platform::prompts().error(QStringLiteral("Die Adresse\r") + kWebPage +
                                  QStringLiteral("\rkonnte nicht automatisch aufgerufen werden\r"
                                                 "Bitte manuell versuchen"));
}

void TIRForm::Info1Click() {
    platform::prompts().message(
        QStringLiteral("Tavix, Fernsteuern + Videoschneiden \r            pc remote control + "
                       "video editing\r\r") +
        kVersion + QStringLiteral("\r\r<") + zahl(Sio::Drehg_mSec) + QStringLiteral("-") +
        zahl(Sio::Anfragen_Sec) + QStringLiteral(">"));
    // The tick count wraps after 49.7 days: the distance between two clicks is
    // taken modulo 2^32, either way round.
    const std::uint32_t jetzt = platform::clock().tickCount();
    const std::uint32_t abstand = jetzt - static_cast<std::uint32_t>(Zeit_letzter_Klick);
    if (std::min(abstand, 0u - abstand) <= 8000) {
        platform::prompts().message(
            QStringLiteral("Erweiterung eingeschaltet/Extension switched on"));
        Extra_Menuepunkte_ein();
    } else {
        Zeit_letzter_Klick = static_cast<std::int32_t>(jetzt);
    }
}

void TIRForm::High_PerformClick() {
    for (std::size_t i = 1; i <= 4; ++i)
        Label[i]->setVisible(true);
    HP_Frequenz = Sio::Zaehlerfrequenz();
    HP_Vorher = HP_Zaehler;
    HP_Zaehler = Sio::Zaehlerstand();
    // Without a counter frequency there is nothing to divide by.
    const bool f = HP_Frequenz > 0;
    Label[1]->setText(QStringLiteral("Freuquenz : ") + zahl(HP_Frequenz));
    Label[2]->setText(QStringLiteral("Counter : ") + zahl(HP_Zaehler));
    Label[3]->setText(QStringLiteral("Klick-Differenz (Sek) : ") +
                      (f ? zahl((HP_Zaehler - HP_Vorher) / HP_Frequenz) : QStringLiteral("-")));
    Label[4]->setText(QStringLiteral("Zeit in Minuten : ") +
                      (f ? zahl(HP_Zaehler / (HP_Frequenz * 60)) : QStringLiteral("-")));
}

void TIRForm::B_Drehzahl() {
    platform::WaitCursor cursor;
    repaint();
    // The engine takes over the rates only from a sound measurement; the box
    // shows what the run arrived at in any case.
    std::int32_t iterationen = 0, abweichung = 0, quote = 0, ergebnis = -1;
    std::string fehler;
    Sio::Messergebnis m;
    try {
        ergebnis = Sio::Bestimme_Drehzahl(iterationen, abweichung, quote, fehler, m);
    } catch (const Sio::ECalibrationError& e) {
        fehler = e.what();
    }
    const bool gemessen = ergebnis >= 0;
    cursor.restore();
    if (!fehler.empty()) fehler = "Fehlercode : " + fehler;
    // The result is shown.
    const std::int32_t tausend = m.Anfragen_Sec / 1000;
    const QString ratio = tausend != 0 ? zahl(m.Drehg_mSec / tausend) : QStringLiteral("-");
    QStringList zeilen;
    zeilen << kVersion + QStringLiteral("\r\r*** Zeitverhalten des PC ***\r") +
                  platform::fromCp1252(fehler)
           << QStringLiteral("Iterationen : ") + zahl(iterationen)
           << QStringLiteral("MessSchranke : ") + zahl(Sio::MessSchranke) + QStringLiteral("%")
           << QStringLiteral("SIO Anfragen : ") + zahl(m.Anfragen_Sec) + QStringLiteral("/sec")
           << QStringLiteral("Drehungen : ") + zahl(m.Drehg_mSec) + QStringLiteral("/msec") +
                  QStringLiteral("  +/- ") + zahl(abweichung) + QStringLiteral(" /msec")
           << QStringLiteral("Ratio : ") + ratio
           << QStringLiteral("Trefferquote : ") + zahl(quote) + QStringLiteral("/1000 ");
    platform::prompts().message(zeilen.join(QLatin1Char('\r')));
    // The system version and the measurement are kept in the settings, all in
    // one write: a failed save leaves none of it, never a rate without its
    // partner.
    const platform::OsVersion v = platform::os().osVersion();
    platform::IniBatch ini(*IniDatei);
    ini.writeInteger("VersionInfo", "MajorVersion", v.major);
    ini.writeInteger("VersionInfo", "MinorVersion", v.minor);
    ini.writeInteger("VersionInfo", "BuildNumber", v.build);
    ini.writeInteger("VersionInfo", "PlatformId", v.platformId);
    ini.writeString("VersionInfo", "CSDVersion", v.csdVersion);
    if (gemessen) {
        ini.writeInteger("Timing", "Anfragen_Sec", Sio::Anfragen_Sec);
        ini.writeInteger("Timing", "Drehg_mSec", Sio::Drehg_mSec);
    }
    ini.writeInteger("Statistik", "MessSchranke", Sio::MessSchranke);
    ini.writeInteger("Statistik", "Iterationen", iterationen);
    ini.writeInteger("Statistik", "Abweichung", abweichung);
    ini.writeInteger("Statistik", "Quote", quote);
    ini.writeString("Statistik", "Fehlercode", fehler);
    const QDateTime jetzt = QDateTime::currentDateTime();
    ini.writeString("Statistik", "AusgemessenAm",
                    platform::toCp1252(platform::shortDateText(jetzt.date()) +
                                       QStringLiteral(", ") +
                                       platform::longTimeText(jetzt.time())));
    ini.commit();
}

} // namespace desk
