// The remote file: its bytes, loading, clearing, and the settings-file name.
#include "playerremote/RemoteFile.h"
#include "BurstSupport.h"
#include "platform/Errors.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using pmp3p::TFaecher;

namespace {

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const fs::path& p, const std::string& b) {
    std::ofstream out(p, std::ios::binary);
    out << b;
}

struct TempDir {
    fs::path dir;
    TempDir() {
        dir = fs::temp_directory_path() /
              ("plomvare_rf_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~TempDir() { fs::remove_all(dir); }
};

void fill(pmp3p::Befehl_Slot& s, std::vector<std::int32_t> v) {
    std::copy(v.begin(), v.end(), s.begin());
}

} // namespace

TEST(RemoteFile, SavedSlotsMatchTheGoldenFileAndLoadBack) {
    TempDir t;
    const fs::path file = t.dir / "remote.mpx";
    platform::IniFile ini(file);
    ini.writeInteger("Einstellungen", "Periodenlaenge", 600);
    ini.writeInteger("Einstellungen", "Anzahl_Bits", 8);
    TFaecher f{};
    fill(f[4], {5, 150, 2, 128, 0, 254});
    fill(f[1], {7, 312, 6, 224, 34, 242, 130, 1});
    f[2][1] = 99; // empty: not written
    pmp3p::Befehle_Speichern(ini, f);
    EXPECT_EQ(bytesOf(file), bytesOf(fs::path(TAVIX_TEST_DATA) / "playerremote" / "remote.mpx"));

    // A store rewrites nothing that is already there.
    const auto before = fs::last_write_time(file);
    const std::string same = bytesOf(file);
    pmp3p::Befehle_Speichern(ini, f);
    EXPECT_EQ(bytesOf(file), same);
    EXPECT_EQ(fs::last_write_time(file), before);

    TFaecher back{};
    back[9][0] = 4; // left over from another file
    pmp3p::Faecher_Laden(ini, back);
    for (int s = 1; s <= 30; ++s) {
        const auto& a = f[static_cast<std::size_t>(s)];
        const auto& b = back[static_cast<std::size_t>(s)];
        ASSERT_EQ(b[0], a[0]) << s;
        for (int i = 0; i <= a[0]; ++i)
            EXPECT_EQ(b[static_cast<std::size_t>(i)], a[static_cast<std::size_t>(i)]);
    }
}

TEST(RemoteFile, DamagedSlotsAndClearing) {
    TempDir t;
    const fs::path file = t.dir / "damaged.mpx";
    // LF line ends, a negative L, a missing entry, a slot too long for the table.
    std::string text = "[Befehl1]\nx0=4\nx1=100\nx2=3\nx3=9\n"
                       "[Befehl2]\nx0=-3\n"
                       "[Befehl3]\nx0=101\n"
                       "[Befehl4]\nx0=3\nx1=1\nx2=1\nx3=1\n";
    writeBytes(file, text);
    platform::IniFile ini(file);
    TFaecher f{};
    f[4][0] = 3;
    f[3][0] = 5;
    EXPECT_THROW(pmp3p::Faecher_Laden(ini, f), ERangeError);
    EXPECT_EQ(f[1][0], 4);
    EXPECT_EQ(f[1][4], -1); // missing entry
    EXPECT_EQ(f[2][0], 0);
    EXPECT_EQ(f[3][0], 0); // too long: empty, and nothing of the old table kept
    EXPECT_EQ(f[4][0], 3); // the slots after it load all the same
    EXPECT_EQ(f[4][3], 1);

    pmp3p::Faecher_Loeschen(ini, f);
    EXPECT_EQ(f[1][0], 0);
    const auto sections = ini.readSections();
    EXPECT_TRUE(sections.empty());
}

TEST(RemoteFile, ThirtyFullSlotsAreOneReadAndOneWrite) {
    TempDir t;
    const fs::path file = t.dir / "full.mpx";
    platform::IniFile ini(file);
    ini.writeInteger("Einstellungen", "Periodenlaenge", 600);
    TFaecher f{};
    for (int s = 1; s <= 30; ++s) {
        auto& slot = f[static_cast<std::size_t>(s)];
        slot[0] = 97;
        slot[1] = 300 + s;
        slot[2] = 1 + s % 9;
        for (int i = 3; i <= 97; ++i)
            slot[static_cast<std::size_t>(i)] = (s * 31 + i) % 256;
    }
    burst::FileWatch watch(t.dir.string());
    pmp3p::Befehle_Speichern(ini, f);
    auto c = watch.take("full.mpx");
    EXPECT_EQ(c.writes, 1);
    EXPECT_LE(c.opens, 1);
    f[17][40] = 1000;
    pmp3p::Befehle_Speichern(ini, f);
    c = watch.take("full.mpx");
    EXPECT_EQ(c.writes, 1);
    EXPECT_LE(c.opens, 1);
    EXPECT_EQ(ini.readInteger("Befehl17", "x40", 0), 1000);
    watch.take("full.mpx");

    TFaecher back{};
    pmp3p::Faecher_Laden(ini, back);
    c = watch.take("full.mpx");
    EXPECT_EQ(c.opens, 1);
    EXPECT_EQ(c.writes, 0);
    EXPECT_EQ(back, f);
}

TEST(RemoteFile, SettingsFileIsNamedAfterTheProgram) {
    EXPECT_EQ(pmp3p::Dateiname_ohneExtension("/opt/x.y/remote.control.exe"), "remote");
    EXPECT_EQ(pmp3p::Dateiname_ohneExtension("C:\\Prog\\Plomvare.exe"), "Plomvare");
    EXPECT_EQ(pmp3p::Dateiname_ohneExtension("Plomvare"), "Plomvare");
    EXPECT_EQ(pmp3p::programmIniPfad("/opt/pv/remote.control.exe"), fs::path("/opt/pv/remote.ini"));
}

TEST(RemoteFile, MutatedFilesLoadOrAreRefusedWithinTheTable) {
    TempDir t;
    const std::string golden = bytesOf(fs::path(TAVIX_TEST_DATA) / "playerremote" / "remote.mpx");
    std::mt19937 rng(4711);
    const std::string alphabet = "0123456789-x=[]\r\nBefhl;\"' \xFF";
    for (int round = 0; round < 300; ++round) {
        std::string b = golden;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % (b.size() + 1);
            switch (rng() % 3) {
            case 0:
                b.insert(at, 1, alphabet[rng() % alphabet.size()]);
                break;
            case 1:
                if (at < b.size()) b.erase(at, 1);
                break;
            default:
                b.insert(at, "x0=" + std::to_string(static_cast<int>(rng() % 300) - 50) + "\r\n");
            }
        }
        const fs::path file = t.dir / "m.mpx";
        writeBytes(file, b);
        platform::IniFile ini(file);
        TFaecher f{};
        try {
            pmp3p::Faecher_Laden(ini, f);
        } catch (const ERangeError&) {
        }
        for (int s = 1; s <= 30; ++s)
            ASSERT_TRUE(f[static_cast<std::size_t>(s)][0] >= 0 &&
                        f[static_cast<std::size_t>(s)][0] <= 100)
                << b;
        pmp3p::Befehle_Speichern(ini, f);
    }
}
