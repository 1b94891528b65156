// The program as a user starts it: batch mode from the command line on the
// simulated adapter, in real time, ending by itself.
#include "desk/KeyFile.h"
#include "platform/IniFile.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace {

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The raw key's 1200 + 600 µs of carrier, then the analytic key's bits 1010:
// twice 600 µs. A process that is preempted while it sends splits a burst
// but keeps its carrier time, so the keys are told apart by the batch
// delay between them and checked by their carrier time.
bool burstShapeMatches(const std::string& log) {
    std::vector<long> onPerKey{0};
    const std::regex burst("m([0-9]+)(s([0-9]+))?");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), burst);
         it != std::sregex_iterator(); ++it) {
        onPerKey.back() += std::stol((*it)[1]);
        if ((*it)[3].matched && std::stol((*it)[3]) > 5000) onPerKey.push_back(0);
    }
    return onPerKey.size() == 2 && std::abs(onPerKey[0] - 1800) < 60 &&
           std::abs(onPerKey[1] - 1200) < 60;
}

// A copy of the program in a folder of its own, with its settings beside it
// (portable use): no first-run question; timing stored only when given.
std::filesystem::path portableProgram(const std::filesystem::path& folder, int com,
                                      std::int32_t anfragenSec) {
    const std::filesystem::path program = folder / "Tavix";
    std::filesystem::copy_file(std::filesystem::path(TAVIX_BUILD_DIR) / "bin" / "Tavix", program);
    platform::IniFile ini(folder / "Tavix.ini");
    ini.writeInteger("Einstellungen", "Sprache", 2);
    ini.writeInteger("Einstellungen", "IR_Einheit", 0);
    ini.writeInteger("Einstellungen", "BatchDelay_ms", 100);
    ini.writeInteger("Schnittstelle", "Com_Nr", com);
    if (anfragenSec > 0) ini.writeInteger("Timing", "Anfragen_Sec", anfragenSec);
    return program;
}

} // namespace

TEST(EndToEnd, BatchModeSendsTheNamedKeysAndExits) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const std::filesystem::path program = portableProgram(folder, 1, 700000);
    Sio::TBefehl raw{};
    raw[0] = 1;
    raw[1] = 1200;
    raw[2] = 800;
    raw[3] = 600;
    Sio::TBefehl ana{};
    ana[0] = 1;
    ana[1] = 600;
    ana[2] = 5000;
    Sio::TBefehl leer{};
    const std::string keys = desk::formatKeyFile(
        {77, 320, 230, 434, 43, 35},
        {{101, 0, "TV +", "", &raw}, {102, 2, "Mute", "A", &ana}, {103, 0, "Aus", "", &leer}});
    std::ofstream(folder / "keys.cdx", std::ios::binary) << keys;

    // The adapter runs in real time: a run whose sending was stalled long
    // by the machine's load may lose carrier. Exit and prompts are checked
    // on every run; the carrier must come out right in one of three.
    std::string log;
    bool shapeSeen = false;
    for (int attempt = 0; attempt < 3 && !shapeSeen; ++attempt) {
        std::filesystem::remove(folder / "ir.log");
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TAVIX_PORTS", "sim");
        env.insert("TAVIX_SIM_IR_LOG", QString::fromStdString((folder / "ir.log").string()));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(QString::fromStdString(program.string()), {"keys.cdx", "TV +", "Mute"});
        ASSERT_TRUE(p.waitForStarted(10000));
        const bool ended = p.waitForFinished(60000);
        if (!ended) p.kill();
        ASSERT_TRUE(ended) << "the program waited for something (a prompt?)";
        ASSERT_EQ(p.exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        log = readFile(folder / "ir.log");
        shapeSeen = burstShapeMatches(log);
    }
    EXPECT_TRUE(shapeSeen) << "last log: " << log;
}

// A batch run on settings that hold no measured timing, on COM 2: it asks
// nothing, sends on the port in use and ends by itself.
TEST(EndToEnd, BatchWithoutStoredTimingOnCom2SendsAndExits) {
    QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    const std::filesystem::path program = portableProgram(folder, 2, 0);
    Sio::TBefehl raw{};
    raw[0] = 1;
    raw[1] = 1200;
    raw[2] = 800;
    raw[3] = 600;
    // Its name is no valid text: the program opens it by its bytes.
    const std::string keys = "k\xE4.cdx";
    std::ofstream(folder / keys, std::ios::binary)
        << desk::formatKeyFile({77, 320, 230, 434, 43, 35}, {{101, 0, "TV +", "", &raw}});

    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TAVIX_PORTS", "sim");
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((folder / "config").string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((folder / "data").string()));
    env.insert("TAVIX_SIM_IR_LOG", QString::fromStdString((folder / "ir.log").string()));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start("/bin/sh", {"-c", "exec \"$0\" \"$(printf 'k\\344.cdx')\" 'TV +'",
                        QString::fromStdString(program.string())});
    ASSERT_TRUE(p.waitForStarted(10000));
    const bool ended = p.waitForFinished(30000);
    if (!ended) p.kill();
    ASSERT_TRUE(ended) << "the program waited for something (a question?)";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_NE(readFile(folder / "ir.log").find('m'), std::string::npos)
        << "nothing was sent on COM 2";
    // Beside the default key file of the program's folder, no other.
    int cdx = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        cdx += e.path().extension() == ".cdx" && e.path().filename() != "standard.cdx";
    EXPECT_EQ(cdx, 1) << "no other key file was created";
    EXPECT_FALSE(platform::IniFile(folder / "Tavix.ini").valueExists("Timing", "Drehg_mSec"));
}

// An option that names no file is refused with a usage line.
TEST(EndToEnd, OptionInsteadOfAKeyFileIsRefused) {
    QTemporaryDir dir;
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("TAVIX_PORTS", "sim");
    env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
    env.insert("XDG_DATA_HOME", dir.path() + "/data");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(
        QString::fromStdString((std::filesystem::path(TAVIX_BUILD_DIR) / "bin" / "Tavix").string()),
        {"--help", "x"});
    ASSERT_TRUE(p.waitForStarted(10000));
    const bool ended = p.waitForFinished(20000);
    if (!ended) p.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_NE(p.readAllStandardError().indexOf("usage: Tavix"), -1);
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(dir.path().toStdString()) / "--help"));
}
