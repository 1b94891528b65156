// A batch of writes gives the bytes that the same writes made one by one give,
// in one write of the file.
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path dir;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "inibatch-XXXXXX").string();
        dir = ::mkdtemp(t.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

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

} // namespace

TEST(IniBatch, GivesTheBytesOfSingleWritesInOneWrite) {
    TempDir t;
    const fs::path one = t.dir / "one.ini";
    const fs::path many = t.dir / "many.ini";
    const std::vector<std::string> starts = {
        "",
        "[A]\r\nx0=1\r\nx1=2\r\n",
        "; head\r\n[a]\r\nX0 = 5 \r\n\r\n[B]\nk=v",
        "[A]\r\nx0=1\r\n\r\n[C]\r\n\r\n",
        "[A]\r\nx0=1\r\n[A]\r\nx9=3\r\nplain line\r\n",
    };
    const char* sections[] = {"A", "b", "C", "Neu", "neu2"};
    std::mt19937 rng(17);
    for (int round = 0; round < 200; ++round) {
        const std::string& start = starts[static_cast<std::size_t>(round) % starts.size()];
        fs::remove(one);
        fs::remove(many);
        if (round % 7 != 0) {
            writeBytes(one, start);
            writeBytes(many, start);
        }
        platform::IniFile single(one);
        platform::IniBatch batch(platform::IniFile{many});
        const int writes = static_cast<int>(rng() % 40);
        for (int w = 0; w < writes; ++w) {
            const std::string sec = sections[rng() % 5];
            const std::string key = (rng() % 2 ? "x" : "X") + std::to_string(rng() % 6);
            const std::string value = std::to_string(rng() % 4);
            single.writeString(sec, key, value);
            batch.writeString(sec, key, value);
            ASSERT_EQ(batch.readString(sec, key, "-"), value);
            ASSERT_EQ(batch.readInteger(sec, key, -1), std::stoi(value));
        }
        batch.commit();
        ASSERT_EQ(bytesOf(many), bytesOf(one)) << "round " << round;
        ASSERT_EQ(fs::exists(many), fs::exists(one));
    }
}

TEST(IniBatch, ReadsTheFileOnceAndWritesOnlyChanges) {
    TempDir t;
    const fs::path p = t.dir / "r.ini";
    writeBytes(p, "[Einstellungen]\r\nWidth = 527\r\nName=\"a b\"\r\n");
    platform::IniBatch b(platform::IniFile{p});
    // Read once: a later change of the file is not seen.
    writeBytes(p, "[Einstellungen]\r\nWidth=1\r\n");
    EXPECT_EQ(b.readInteger("einstellungen", "width", 0), 527);
    EXPECT_EQ(b.readString("Einstellungen", "Name", ""), "a b");
    EXPECT_EQ(b.readString("Einstellungen", "Height", "def"), "def");
    // The value the key holds: no write at all.
    b.writeInteger("Einstellungen", "Width", 527);
    b.commit();
    EXPECT_EQ(bytesOf(p), "[Einstellungen]\r\nWidth=1\r\n");
}
