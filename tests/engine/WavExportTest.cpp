#include "IrLernFixture.h"
#include "support/SaveFaults.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string lies(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs the test in an empty folder of its own: the export writes relative
// to the current folder.
class InTempDir {
public:
    InTempDir() : old_(fs::current_path()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id too: the same suite may run beside this one.
        dir_ = fs::temp_directory_path() /
               ("tavix_wav_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::current_path(dir_);
    }
    ~InTempDir() {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    const fs::path& dir() const { return dir_; }

private:
    fs::path old_, dir_;
};

// The output of a shell command, or nullopt when it could not run.
std::string ausgabe(const std::string& cmd, bool& ok) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    ok = p != nullptr;
    if (!p) return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    ok = pclose(p) == 0;
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

bool haveSoxi() {
    bool ok = false;
    ausgabe("command -v soxi >/dev/null 2>&1", ok);
    return ok;
}

} // namespace

class WavExport : public IrFixture {};

TEST_F(WavExport, GoldenBytes) {
    InTempDir tmp;
    Dbg_disp::Debug_An = true;
    setCapture({560, 560});
    Sio::WAV_Dateiname = "kurz";
    Sio::WAV_Schreiben();
    EXPECT_EQ(lies("kurz.wav"), lies(TAVIX_TEST_DATA "/wav/pulse_pause_560.wav"));
    EXPECT_EQ(lies("kurz.wav").size(), 2164u);
    EXPECT_NE(
        std::find(memo.lines.begin(), memo.lines.end(), "Gesamtlaenge des Befehls in us 2120"),
        memo.lines.end());

    setCapture({});
    Sio::WAV_Dateiname = "leer";
    Sio::WAV_Schreiben();
    EXPECT_EQ(lies("leer.wav"), lies(TAVIX_TEST_DATA "/wav/leer.wav"));
    EXPECT_EQ(lies("leer.wav").size(), 1044u);

    // A second export replaces the file whole; no temporary stays behind.
    setCapture({560, 560});
    Sio::WAV_Schreiben();
    EXPECT_EQ(lies("leer.wav").size(), 2164u);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.dir()), fs::directory_iterator()), 2);
}

TEST_F(WavExport, NameFromCaptionAndFailures) {
    InTempDir tmp;
    Sio::WAV_Dateiname = "Vol/+ \x01x";
    EXPECT_EQ(Sio::WAV_Dateipfad(), "Vol_+ _x.wav");
    Sio::WAV_Dateiname = "..";
    EXPECT_EQ(Sio::WAV_Dateipfad(), "__.wav");
    Sio::WAV_Dateiname = "Lautst\xE4rke";
    EXPECT_EQ(Sio::WAV_Dateipfad(), "Lautst\xC3\xA4rke.wav");
    Sio::WAV_Dateiname = std::string(246, 'a') + "\xE4\xE4";
    EXPECT_EQ(Sio::WAV_Dateipfad(), std::string(246, 'a') + ".wav") << "no half character";

    // A long caption: the file and its temporary name both stay within the
    // limit of 255 bytes a name.
    setCapture({560, 560});
    for (std::size_t n : {247u, 248u, 300u}) {
        Sio::WAV_Dateiname = std::string(n, 'k');
        EXPECT_NO_THROW(Sio::WAV_Schreiben()) << n;
        EXPECT_TRUE(fs::exists(Sio::WAV_Dateipfad())) << n;
    }

    // A name that cannot be written raises an I/O error and leaves what was
    // there.
    fs::create_directory("besetzt.wav");
    setCapture({560, 560});
    Sio::WAV_Dateiname = "besetzt";
    EXPECT_THROW(Sio::WAV_Schreiben(), EInOutError);
    EXPECT_TRUE(fs::is_directory("besetzt.wav"));
    EXPECT_FALSE(fs::exists("besetzt.wav.tmp"));
}

// The export saves as every file is saved: synced before the rename, a file
// made read-only refused, a replaced file keeps its mode, a failed step keeps
// the old file.
TEST_F(WavExport, SavedLikeEveryOtherFile) {
    using testsupport::SaveFault;
    InTempDir tmp;
    auto mode = [](const char* p) {
        struct stat st {};
        ::stat(p, &st);
        return st.st_mode & 07777;
    };
    setCapture({560, 560});
    Sio::WAV_Dateiname = "alt";
    {
        SaveFault counting;
        Sio::WAV_Schreiben();
        EXPECT_GE(counting.calls(SaveFault::Fsync), 1);
    }
    const std::string alt = lies("alt.wav");
    setCapture({});
    ::chmod("alt.wav", 0444);
    EXPECT_THROW(Sio::WAV_Schreiben(), EInOutError);
    EXPECT_TRUE(lies("alt.wav") == alt);
    EXPECT_EQ(mode("alt.wav"), 0444u);
    ::chmod("alt.wav", 0600);
    for (auto kind : {SaveFault::Write, SaveFault::Fsync, SaveFault::Rename}) {
        SaveFault fault(kind, 1, ENOSPC);
        EXPECT_THROW(Sio::WAV_Schreiben(), EInOutError);
        EXPECT_TRUE(lies("alt.wav") == alt);
    }
    Sio::WAV_Schreiben();
    EXPECT_EQ(lies("alt.wav").size(), 1044u);
    EXPECT_EQ(mode("alt.wav"), 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.dir()), fs::directory_iterator()), 1);
}

TEST_F(WavExport, CaptureReadBackBySox) {
    if (!haveSoxi()) GTEST_SKIP() << "soxi is not installed";
    InTempDir tmp;
    useDetector(sim::IrDetector::Mode::Envelope, 80);
    remote.press(sim::remotes::sony12(1, 0x15, 3), clock.nowPs() + 20 * kMs);
    Sio::WAV_Dateiname = "Sony TV";
    Sio::IR_einlesen();
    ASSERT_EQ(Sio::IR_Fehlertext, "");
    std::int64_t summe = 0;
    for (auto d : durations())
        summe += d;
    bool ok = false;
    EXPECT_EQ(ausgabe("soxi -c 'Sony TV.wav'", ok), "1");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ausgabe("soxi -b 'Sony TV.wav'", ok), "8");
    EXPECT_EQ(ausgabe("soxi -r 'Sony TV.wav'", ok), "8000");
    EXPECT_EQ(ausgabe("soxi -s 'Sony TV.wav'", ok), std::to_string(1000 + summe));
}

class WavLernen : public IrSimFixture {};

TEST_F(WavLernen, LearnWithCaptionHoldingSlash) {
    InTempDir tmp;
    remote().press(sim::remotes::nec(0x04, 0x08, 3), clock.nowPs() + 60 * kMs);
    const Ergebnis e = learn(true, "CH+/-");
    EXPECT_TRUE(e.ok) << e.fehler;
    EXPECT_EQ(e.befehl[0], 3);
    EXPECT_TRUE(fs::exists("CH+_-.wav"));
}
