// Every save of Tavix under injected faults: a failing write, sync or rename,
// and a failing third write, each leaves the old file byte for byte and tells
// the user; a save that did not reach the fault completes.
#include "VideoFixture.h"

#include "platform/Guard_qt.h"
#include "platform/ModalRunner_qt.h"
#include "support/SaveFaults.h"
#include "video/SchnittIR.h"

#include <QAction>
#include <QLineEdit>

#include <filesystem>

using video::TKameraDialog;

class SaveFaults : public VideoFixture {};

// Each save runs with the main window active, so that no prompt deactivates
// the video window (which writes the video settings, a save of its own).
TEST_F(SaveFaults, EverySaveOfTavixKeepsTheOldFileAndTellsTheUser) {
    platform::IniFile(iniPath()).writeString("VideoGeraet0", "Name", "VHS");
    TKameraDialog& k = makeKamera();
    activateBoth();
    activate();
    desk::TIRForm& f = *form;
    writeFile(file("andere.cdx"), "alt\r\n");
    writeFile(file("liste.lst"), "alt\r\n");
    video::Schnitt_IRTabelle leer{};
    video::Schreibe_Schnitt_IRCodes(leer, file("recorder.cdx").string(), 0);
    int runde = 0;
    auto answerSave = [&](const std::filesystem::path& p) {
        prompts.expect(platform::PromptKind::Save, QString(), platform::Answer::Ok,
                       QString::fromStdString(p.string()));
    };
    int errors = 0;
    prompts.onShown = [&](const platform::ScriptedPrompts::Shown& s) {
        if (s.kind == platform::PromptKind::Error) ++errors;
    };
    prompts.onUnexpected = [](const QString&) {};
    testsupport::runUnderFaults(
        {
            {"key file, Speichern", file("standard.cdx"),
             [&] {
                 // The old file was put back behind the window: loaded again,
                 // as a save over a file changed since would ask first.
                 f.Lies_Fernsteuerdatei(file("standard.cdx").string());
                 f.setLeft(100 + ++runde);
                 f.Speichern1->trigger();
             }},
            {"key file, Speichern als", file("andere.cdx"),
             [&] {
                 answerSave(file("andere.cdx"));
                 prompts.expectYesNo(
                     QString::fromStdString("Die Datei " + file("andere.cdx").string()) +
                         QStringLiteral(" existiert bereits. Ersetzen ?\rThe file exists "
                                        "already. Replace it ?"),
                     true);
                 f.Speichernunter1->trigger();
             }},
            {"settings, a menu tick", iniPath(),
             [&] {
                 f.RealTimeModus1->setChecked(platform::IniFile(iniPath()).readBool(
                     "Verschiedenes", "RealTimeModus1", true));
                 f.RealTimeModus1->trigger();
             }},
            {"cut list", file("liste.lst"),
             [&] {
                 k.Raster.setZelle(4, 1, "Kommentar " + std::to_string(++runde));
                 answerSave(file("liste.lst"));
                 k.ToolButton9->click();
             }},
            {"recorder IR file", file("recorder.cdx"),
             [&] {
                 video::Schnitt_IRTabelle t{};
                 t[1].Befehl[0] = ++runde;
                 platform::guarded(
                     [&] { video::Schreibe_Schnitt_IRCodes(t, file("recorder.cdx").string(), 1); });
             }},
            {"settings, the timing measurement", iniPath(),
             [&] {
                 f.Timing_Nachmessen->click();
                 // The transmitter's last character goes out before the next run.
                 clock.advanceMs(10);
                 sim.sync();
             }},
            {"device table, editor confirmed", iniPath(),
             [&] {
                 const int r = ++runde;
                 platform::queueModalScript([r](QDialog& d) {
                     static_cast<video::TGeraete_edit&>(d).IR_Aufnahme->setText(QString::number(r));
                     return int(QDialog::Accepted);
                 });
                 k.CountBox[1]->ComboBox1->setCurrentIndex(0);
                 platform::guarded([&] { k.CountBox1ComboBox1Click(1); });
             }},
            {"video settings at deactivation", iniPath(),
             [&] {
                 k.move(10, 10 + ++runde);
                 activateKamera();
                 activate();
             }},
        },
        [&] { return errors; });
}
