// The recorder IR file: the new file's exact bytes, appended entries, reading
// back (the last entry of a code counts), key files of the desk and damage.
#include "video/SchnittIR.h"

#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

using video::Schnitt_IRTabelle;

namespace {

std::string lies(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
std::string golden(const std::string& name) {
    return lies(std::filesystem::path(TAVIX_TEST_DATA) / "video" / name);
}

class SchnittIR : public ::testing::Test {
protected:
    SchnittIR() : ordner(dir.path().toStdString()) {}
    std::string datei(const std::string& n) const { return (ordner / n).string(); }
    QTemporaryDir dir;
    std::filesystem::path ordner;
};

} // namespace

TEST_F(SchnittIR, LabelsAndKeyNumbers) {
    EXPECT_EQ(video::BCode(1), "> Play");
    EXPECT_EQ(video::BCode(9), "0 stellen");
    EXPECT_EQ(video::BCode(13), "");
    EXPECT_EQ(video::BCode(0), "");
    EXPECT_EQ(video::Tastennummer(6), 401);
    EXPECT_EQ(video::Tastennummer(13), 404);
    EXPECT_EQ(video::Tastennummer(-1), 404);
    for (int c = 1; c <= 12; ++c)
        EXPECT_EQ(video::Code_von_Tastennummer(video::Tastennummer(c)), c);
    EXPECT_EQ(video::Code_von_Tastennummer(404), 13);
    EXPECT_EQ(video::Code_von_Tastennummer(999), 13);
}

TEST_F(SchnittIR, NewFileAppendAndReadBack) {
    Schnitt_IRTabelle t{};
    t[6].Befehl[0] = 2;
    t[6].Befehl[1] = 9000;
    t[6].Befehl[2] = 4500;
    t[6].Name = "Aufnahme";
    const std::string name = datei("rec_ir.cdx");
    video::Schreibe_Schnitt_IRCodes(t, name, 6);
    EXPECT_EQ(lies(name), golden("recorder_neu.cdx"));

    // Appending code 3 twice: the second counts.
    t[3].Befehl = {1, 100, 200, 0};
    t[3].Typ = 0;
    video::Schreibe_Schnitt_IRCodes(t, name, 3);
    const std::string erste = "  203\r\n0  Typ\r\nII Pause\r\n\r\n         1   3   0\r\n"
                              "       100   3   1\r\n       200   3   2\r\n         0   3   3\r\n";
    EXPECT_EQ(lies(name), golden("recorder_neu.cdx") + erste);
    t[3].Befehl = {1, 300, 0};
    t[3].Name = "zweite";
    video::Schreibe_Schnitt_IRCodes(t, name, 3);
    EXPECT_EQ(lies(name), golden("recorder_neu.cdx") + erste + video::Knopf_Text(t, 3));

    Schnitt_IRTabelle r{};
    r[5].Befehl[0] = 7; // emptied by the read
    video::Lies_Schnitt_IRCodes(r, name);
    EXPECT_EQ(r[3].Befehl[0], 1);
    EXPECT_EQ(r[3].Befehl[1], 300);
    EXPECT_EQ(r[3].Befehl[2], 0);
    EXPECT_EQ(r[3].Name, "zweite");
    EXPECT_EQ(r[6].Befehl[1], 9000);
    EXPECT_EQ(r[6].Name, "Aufnahme");
    EXPECT_EQ(r[5].Befehl[0], 0);
    EXPECT_EQ(r[13].Befehl[0], 0);

    // A missing file empties the table without a message.
    video::Lies_Schnitt_IRCodes(r, datei("fehlt.cdx"));
    for (const auto& k : r)
        EXPECT_EQ(k.Befehl[0], 0);
}

TEST_F(SchnittIR, EmptyNameWritesTheDefaultFileAnew) {
    const auto alt = std::filesystem::current_path();
    std::filesystem::current_path(ordner);
    Schnitt_IRTabelle t{};
    std::ofstream(datei("Video_ir.cdx")) << "alt";
    video::Schreibe_Schnitt_IRCodes(t, "", 4);
    std::filesystem::current_path(alt);
    const std::string s = lies(datei("Video_ir.cdx"));
    EXPECT_EQ(s.substr(0, 41), " 108 Top       ! Achtung, Spezialdatei \r\n");
    EXPECT_EQ(s, video::Datei_Text(t));
}

TEST_F(SchnittIR, ReadsKeyFilesUnknownKeysAndDamage) {
    // A key file of the desk: 8/5/5 value lines, key numbers of its own.
    const std::string keyfile =
        "  10 Top\r\n  10 Left\r\n 200 Width\r\n 200 Height\r\n  40 Knopfbreite\r\n"
        "  40 Knopfhoehe\r\n   1 obsolet\r\n  201\r\n0  Typ\r\nPlay\r\n\r\n       1  201    0\r\n"
        "    9000  201    1\r\n       0  201    2\r\n  999\r\n2  Typ\r\nX\r\nA5\r\n       1  999   "
        " 0\r\n"
        "     500  999    1\r\n   20000  999    2\r\n       0  999    3\r\n\r\n\r\n";
    Schnitt_IRTabelle t{};
    video::Lies_Schnitt_IRText(t, keyfile, "k.cdx");
    EXPECT_EQ(t[1].Befehl[1], 9000);
    EXPECT_EQ(t[13].Typ, 2) << "an unknown key lands in slot 13";
    EXPECT_EQ(t[13].Name, "A5");
    EXPECT_EQ(t[13].Befehl[2], 20000);

    // Only the head: all empty.
    Schnitt_IRTabelle h{};
    h[1].Befehl[0] = 1;
    video::Lies_Schnitt_IRText(h, keyfile.substr(0, keyfile.find("  201")), "h");
    for (const auto& k : h)
        EXPECT_EQ(k.Befehl[0], 0);

    // A value line without a number ends the read; what came before stays.
    Schnitt_IRTabelle d{};
    std::string kaputt = keyfile;
    kaputt.replace(kaputt.find("     500"), 8, "     abc");
    EXPECT_THROW(video::Lies_Schnitt_IRText(d, kaputt, "d"), EInOutError);
    EXPECT_EQ(d[1].Befehl[1], 9000);

    // More values than a command holds: dropped, the end mark kept.
    std::string lang = keyfile.substr(0, keyfile.find("  201")) + "  203\r\n0  Typ\r\nP\r\n\r\n";
    for (int i = 0; i < 1000; ++i)
        lang += "     " + std::to_string(i + 1) + "\r\n";
    lang += "0\r\n";
    Schnitt_IRTabelle l{};
    l[3].Befehl.fill(5);
    video::Lies_Schnitt_IRText(l, lang, "l");
    EXPECT_EQ(l[3].Befehl[798], 799);
    EXPECT_EQ(l[3].Befehl[799], 0);

    // An odd type sends as an IR command.
    Schnitt_IRTabelle o{};
    video::Lies_Schnitt_IRText(
        o, keyfile.substr(0, keyfile.find("  201")) + "201\r\n7 Typ\r\nx\r\n\r\n1\r\n0\r\n", "o");
    EXPECT_EQ(o[1].Typ, 0);

    // Random damage never writes past a slot.
    std::mt19937 rng(3);
    for (int k = 0; k < 300; ++k) {
        std::string s = golden("recorder_neu.cdx");
        for (int j = 0; j < 5; ++j)
            s[rng() % s.size()] = "0123456789 \r\nx-"[rng() % 15];
        Schnitt_IRTabelle f{};
        try {
            video::Lies_Schnitt_IRText(f, s, "f");
        } catch (const EInOutError&) {
        }
    }
}

TEST_F(SchnittIR, CutOffEntriesBlankLinesAndAppendingToDamagedFiles) {
    const std::string neu = golden("recorder_neu.cdx");
    std::string kopf;
    for (std::size_t p = 0, z = 0; z < 7; ++z) {
        const std::size_t nl = neu.find('\n', p);
        kopf += neu.substr(p, nl + 1 - p);
        p = nl + 1;
    }
    // A later entry replaces the slot's command whole, also when the file
    // ends inside it; blank lines before numeric lines are passed over.
    Schnitt_IRTabelle t{};
    t[3].Befehl = {1, 100, 200, 300, 0};
    video::Lies_Schnitt_IRText(t,
                               kopf + "\r\n  203\r\n\r\n1  Typ\r\nII Pause\r\nP\r\n\r\n   "
                                      "      1\r\n\r\n       700\r\n         0\r\n  203\r\n0  "
                                      "Typ\r\nII Pause\r\nQ\r\n         2\r\n       555\r\n",
                               "c");
    EXPECT_EQ(t[3].Name, "Q");
    EXPECT_EQ(t[3].Typ, 0);
    EXPECT_EQ(t[3].Befehl[0], 2);
    EXPECT_EQ(t[3].Befehl[1], 555);
    EXPECT_EQ(t[3].Befehl[2], 0) << "nothing of the first entry's values";
    EXPECT_EQ(t[3].Befehl[3], 0) << "nothing of the table's old values";
    Schnitt_IRTabelle b{};
    video::Lies_Schnitt_IRText(
        b,
        kopf + "\r\n  203\r\n\r\n1  Typ\r\nII Pause\r\nP\r\n\r\n         1\r\n\r\n       "
               "700\r\n         0\r\n",
        "b");
    EXPECT_EQ(b[3].Typ, 1);
    EXPECT_EQ(b[3].Name, "P");
    EXPECT_EQ(b[3].Befehl[1], 700);

    // Learning into a file that is cut short anywhere: every slot reads as
    // before and the new entry lands in its own slot.
    const std::string eintrag =
        neu.substr(neu.find("  201"), neu.find("  202") - neu.find("  201"));
    const std::string play = "  201\r\n0  Typ\r\n> Play\r\nPLAY\r\n         3   1   0\r\n"
                             "       900   1   1\r\n";
    // The cut-off entry's slot has an earlier entry: its type and name stay.
    const std::string pause = "  203\r\n1  Typ\r\nII Pause\r\nPAUSE\r\n         5   3   0\r\n"
                              "         0   3   1\r\n";
    const std::vector<std::string> dateien = {
        "",
        kopf.substr(0, kopf.find("  293")),
        kopf,
        kopf + eintrag + "  203",
        kopf + eintrag + "  203\r\n0  Typ\r\n",
        kopf + eintrag + "  203\r\n0  Typ\r\nII Pause",
        kopf + eintrag + "  203\r\n0  Typ\r\nII Pause\r\nPAUSE\r\n",
        kopf + play,
        kopf + play + "\r\n\r\n",
        kopf + play + "       800   1   2",
        kopf + pause + "  203\r\n",
        kopf + pause + "  203\r\n2  Typ\r\nII Pause\r\n",
        kopf + pause + "  203\r\n2  Typ\r\n\r\n\r\n",
        // A code text that holds a CR between blanks is no blank line, and
        // a last line ended by a lone CR reads without it.
        kopf + pause + "  203\r\n2  Typ\r\nII Pause\r\n\r  ",
        kopf + pause + "  203\r\n2  Typ\r\nII Pause\r\nPAUSE2\r",
    };
    Schnitt_IRTabelle lern{};
    lern[6].Befehl = {2, 9000, 4500, 0};
    lern[6].Name = "REC";
    const std::string name = datei("kurz.cdx");
    for (std::size_t f = 0; f < dateien.size(); ++f) {
        SCOPED_TRACE("file " + std::to_string(f));
        std::ofstream(name, std::ios::binary | std::ios::trunc) << dateien[f];
        Schnitt_IRTabelle vorher{}, nachher{};
        video::Lies_Schnitt_IRCodes(vorher, name);
        video::Schreibe_Schnitt_IRCodes(lern, name, 6);
        ASSERT_NO_THROW(video::Lies_Schnitt_IRCodes(nachher, name));
        EXPECT_EQ(lies(name).substr(0, std::min(kopf.size(), dateien[f].size())),
                  dateien[f].substr(0, std::min(kopf.size(), dateien[f].size())));
        for (int c = 1; c <= 13; ++c) {
            if (c == 6) continue;
            const auto& v = vorher[static_cast<std::size_t>(c)];
            const auto& n = nachher[static_cast<std::size_t>(c)];
            EXPECT_EQ(n.Name, v.Name) << "slot " << c;
            EXPECT_EQ(n.Typ, v.Typ) << "slot " << c;
            for (std::size_t i = 0; i < v.Befehl.size(); ++i) {
                ASSERT_EQ(n.Befehl[i], v.Befehl[i]) << "slot " << c << " entry " << i;
                if (v.Befehl[i] == 0) break;
            }
        }
        EXPECT_EQ(nachher[6].Name, "REC");
        EXPECT_EQ(nachher[6].Befehl[1], 9000);
        EXPECT_EQ(nachher[6].Befehl[3], 0);
    }
    // The completed head is the fixed one.
    std::ofstream(name, std::ios::binary | std::ios::trunc) << kopf.substr(0, kopf.find("  293"));
    video::Schreibe_Schnitt_IRCodes(lern, name, 6);
    EXPECT_EQ(lies(name), kopf + video::Knopf_Text(lern, 6));
}

TEST_F(SchnittIR, FailedWriteLeavesTheFile) {
    Schnitt_IRTabelle t{};
    std::filesystem::create_directory(ordner / "d");
    EXPECT_THROW(video::Schreibe_Schnitt_IRCodes(t, datei("d/nichtda/x.cdx"), 1), EInOutError);
    const std::string name = datei("x.cdx");
    video::Schreibe_Schnitt_IRCodes(t, name, 1);
    const std::string vorher = lies(name);
    std::filesystem::permissions(ordner, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::owner_exec);
    if (::access(ordner.c_str(), W_OK) != 0) {
        EXPECT_THROW(video::Schreibe_Schnitt_IRCodes(t, name, 2), EInOutError);
        EXPECT_EQ(lies(name), vorher);
    }
    std::filesystem::permissions(ordner, std::filesystem::perms::owner_all);
}
