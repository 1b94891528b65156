#include "platform/IniFile.h"
#include "platform/Errors.h"
#include "platform/ScopeExit.h"
#include "support/SaveFaults.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <linux/capability.h>
#include <random>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using platform::IniFile;

namespace {

std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string golden(const char* name) {
    return readBytes(fs::path(TAVIX_TEST_DATA) / "ini" / name);
}

// A fresh folder per test, removed afterwards.
class IniFileTest : public ::testing::Test {
protected:
    IniFileTest() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("tavix-ini-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~IniFileTest() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    fs::path file(const char* name = "test.ini") const { return dir / name; }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
};

// Takes away root's right to ignore file permissions for the scope, so that a
// read-only folder is read-only for this process too.
class ScopedNoDacOverride {
public:
    ScopedNoDacOverride() {
        hdr_.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &hdr_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        active_ = ::syscall(SYS_capset, &hdr_, reduced) == 0;
    }
    ~ScopedNoDacOverride() {
        if (active_) (void)::syscall(SYS_capset, &hdr_, saved_);
    }

private:
    __user_cap_header_struct hdr_{};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

} // namespace

TEST_F(IniFileTest, ReadsWindowsProfileSemantics) {
    const std::string bytes = golden("settings.ini");
    // The same file with LF line ends reads the same.
    std::string lf;
    for (char c : bytes)
        if (c != '\r') lf += c;
    writeBytes(file("crlf.ini"), bytes);
    writeBytes(file("lf.ini"), lf);

    for (const char* name : {"crlf.ini", "lf.ini"}) {
        SCOPED_TRACE(name);
        const IniFile ini(file(name));
        EXPECT_EQ(ini.readString("General", "Sprache", "x"), "1");
        EXPECT_EQ(ini.readString("GENERAL", "pfad", ""), "C:\\Programme\\Tavix\\neu\\standard.cdx");
        EXPECT_EQ(ini.readString("general", "Liste", ""), "a, b");
        EXPECT_EQ(ini.readString("General", "Trenner", ""), "a;b");
        EXPECT_EQ(ini.readString("General", "Titel", ""), "  Gr\xfc\xdf"
                                                          "e  ");
        EXPECT_EQ(ini.readString("General", "Zitat", ""), "x");
        // Keys differing only in case: the first one wins.
        EXPECT_EQ(ini.readInteger("General", "KNOPFBREITE", 0), 64);
        EXPECT_EQ(ini.readString("General", "Leer", "def"), "");
        EXPECT_EQ(ini.readInteger("General", "Leer", 7), 7);
        EXPECT_EQ(ini.readString("General", "Fehlt", "def"), "def");
        EXPECT_EQ(ini.readInteger("General", "Hex", 0), 31);
        EXPECT_EQ(ini.readInteger("General", "Hex2", 0), 16);
        EXPECT_EQ(ini.readInteger("General", "Neg", 0), -17);
        EXPECT_EQ(ini.readInteger("General", "Gross", 5), 5);
        EXPECT_EQ(ini.readInteger("General", "Text", 5), 5);
        EXPECT_TRUE(ini.readBool("General", "Sprache", false));
        EXPECT_FALSE(ini.readBool("General", "Text", false));
        // Comments, lines without '=' and lines before the first section are no keys.
        EXPECT_FALSE(ini.valueExists("General", ";Sprache"));
        EXPECT_FALSE(ini.valueExists("General", "Ohne Gleichheitszeichen"));
        EXPECT_FALSE(ini.valueExists("", "Vorher"));
        // Umlauts fold their case too; a repeated section is hidden behind the first.
        EXPECT_EQ(ini.readInteger("GR\xd6\xdf"
                                  "E",
                                  "h\xd6he", 0),
                  20);
        EXPECT_FALSE(ini.valueExists("General", "Nur_hier"));
        EXPECT_TRUE(ini.valueExists("General", "Leer"));
        EXPECT_TRUE(ini.sectionExists("gr\xf6\xdf"
                                      "e"));
        EXPECT_FALSE(ini.sectionExists("Video"));
        EXPECT_EQ(ini.readSections(), (std::vector<std::string>{"General", "Gr\xf6\xdf"
                                                                           "e"}));
        EXPECT_EQ(ini.readSection("general"),
                  (std::vector<std::string>{"Sprache", "Pfad", "Liste", "Trenner", "Titel", "Zitat",
                                            "Knopfbreite", "Leer", "Hex", "Hex2", "Neg", "Gross",
                                            "Text"}));
    }
}

TEST_F(IniFileTest, IntegerForms) {
    writeBytes(file(), "[N]\r\na=+12\r\nb=-$10\r\nc=0XfF\r\nd=2147483647\r\ne=-2147483648\r\n"
                       "f=$80000000\r\ng=1 2\r\nh=$\r\ni=\" 3\"\r\nj=-\r\nk=0x\r\nl=3\r\n");
    const IniFile ini(file());
    EXPECT_EQ(ini.readInteger("N", "a", 0), 12);
    EXPECT_EQ(ini.readInteger("N", "b", 0), -16);
    EXPECT_EQ(ini.readInteger("N", "c", 0), 255);
    EXPECT_EQ(ini.readInteger("N", "d", 0), 2147483647);
    EXPECT_EQ(ini.readInteger("N", "e", 0), -2147483647 - 1);
    for (const char* bad : {"f", "g", "h", "i", "j", "k"})
        EXPECT_EQ(ini.readInteger("N", bad, -9), -9) << bad;
    EXPECT_EQ(ini.readInteger("N", "l", 0), 3) << "value on the last line";
}

TEST_F(IniFileTest, OneWriteChangesOnlyThatLine) {
    // The golden pair differs in exactly the one line written.
    writeBytes(file(), golden("settings.ini"));
    IniFile ini(file());
    ini.writeString("GENERAL", "knopfbreite", "80");

    const std::string after = readBytes(file());
    EXPECT_EQ(after, golden("settings_after_write.ini"));
    EXPECT_EQ(ini.readInteger("General", "Knopfbreite", 0), 80);
    EXPECT_EQ(entries(), 1u) << "no temporary file may stay behind";
}

TEST_F(IniFileTest, NewKeysAndSectionsAndTheirPlace) {
    IniFile ini(file());
    ini.writeString("Video", "Name",
                    "Gr\xfc\xdf"
                    "e");
    EXPECT_EQ(readBytes(file()), "[Video]\r\nName=Gr\xfc\xdf"
                                 "e\r\n")
        << "created when missing";

    writeBytes(file(), "[A]\r\nx=1\r\n; Kommentar\r\n\r\n[B]\r\ny=2");
    ini.writeInteger("a", "z", -3);
    ini.writeBool("B", "w", true);
    ini.writeBool("C", "v", false);
    EXPECT_EQ(readBytes(file()), "[A]\r\nx=1\r\nz=-3\r\n; Kommentar\r\n\r\n[B]\r\ny=2\r\nw=1\r\n"
                                 "\r\n[C]\r\nv=0\r\n");

    // An empty section gets its key right after the header; a last line
    // without line end is ended first; LF files keep their LF lines.
    writeBytes(file(), "[A]\n; nur Kommentar\n[B]");
    ini.writeString("A", "k", "1");
    ini.writeString("B", "k", "2");
    EXPECT_EQ(readBytes(file()), "[A]\nk=1\r\n; nur Kommentar\n[B]\r\nk=2\r\n");

    // The in-place form keeps the blanks before the value and the line end.
    writeBytes(file(), "[A]\n  Key = \"alt\"  \nk2=x\n");
    ini.writeString("A", "KEY", "neu");
    EXPECT_EQ(readBytes(file()), "[A]\n  Key = neu\nk2=x\n");
}

TEST_F(IniFileTest, DeleteKeyEraseSectionAndNameChecks) {
    const std::string text = "[A]\r\nx=1\r\nX=2\r\ny=3\r\n[B]\r\nx=4\r\n[a]\r\nz=5\r\n";
    writeBytes(file(), text);
    IniFile ini(file());
    ini.deleteKey("Fehlt", "x");
    ini.deleteKey("A", "fehlt");
    EXPECT_EQ(readBytes(file()), text);
    ini.deleteKey("a", "x");
    EXPECT_EQ(readBytes(file()), "[A]\r\ny=3\r\n[B]\r\nx=4\r\n[a]\r\nz=5\r\n");
    EXPECT_FALSE(ini.valueExists("A", "x"));
    ini.eraseSection("A");
    EXPECT_EQ(readBytes(file()), "[B]\r\nx=4\r\n");
    EXPECT_FALSE(ini.sectionExists("a"));

    // Names and values a single line cannot hold are refused, the file kept.
    const std::string kept = readBytes(file());
    EXPECT_THROW(ini.writeString("B", "x", "1\r\n[C]"), ERangeError);
    EXPECT_THROW(ini.writeString("B]", "x", "1"), ERangeError);
    EXPECT_THROW(ini.writeString("B", "a=b", "1"), ERangeError);
    EXPECT_THROW(ini.writeString("B", ";x", "1"), ERangeError);
    EXPECT_THROW(ini.writeString("B", "  ", "1"), ERangeError);
    EXPECT_EQ(readBytes(file()), kept);
}

TEST_F(IniFileTest, WriteIntoReadOnlyFolderThrowsAndKeepsTheFile) {
    const std::string text = golden("settings.ini");
    writeBytes(file(), text);
    IniFile ini(file());
    {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        ScopedNoDacOverride noOverride;
        const fs::path probe = file("probe");
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
            GTEST_SKIP() << "this process may write into read-only folders";
        }
        EXPECT_THROW(ini.writeString("General", "Sprache", "2"), EInOutError);
        EXPECT_THROW(ini.eraseSection("General"), EInOutError);
        EXPECT_EQ(ini.readString("General", "Sprache", ""), "1");
    }
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(readBytes(file()), text);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(IniFileTest, FailedWritesThrowAndKeepTheOldFile) {
    const std::string text = golden("settings.ini");
    writeBytes(file(), text);
    IniFile ini(file());

    // A write that fails half-way (file size limit) leaves the old file too.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100;
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(ini.writeString("General", "Sprache", "2"), EInOutError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(readBytes(file()), text);
    EXPECT_EQ(entries(), 1u);

    // A missing folder or a path that cannot be read: reads give the
    // defaults, writes throw and replace nothing.
    IniFile nowhere(dir / "fehlt" / "x.ini");
    EXPECT_EQ(nowhere.readInteger("A", "b", 4), 4);
    EXPECT_THROW(nowhere.writeInteger("A", "b", 1), EInOutError);
    fs::create_directory(file("ordner.ini"));
    IniFile folder(file("ordner.ini"));
    EXPECT_EQ(folder.readString("A", "b", "d"), "d");
    EXPECT_THROW(folder.writeString("A", "b", "1"), EInOutError);
    EXPECT_TRUE(fs::is_directory(file("ordner.ini")));
}

TEST_F(IniFileTest, WritesThroughASymbolicLink) {
    writeBytes(file("ziel.ini"), "[A]\r\nx=1\r\n");
    fs::create_symlink("ziel.ini", file("link.ini"));
    IniFile ini(file("link.ini"));
    ini.writeString("A", "x", "2");
    EXPECT_TRUE(fs::is_symlink(file("link.ini")));
    EXPECT_EQ(readBytes(file("ziel.ini")), "[A]\r\nx=2\r\n");

    // A link to a file not there yet creates it there; a relative target is
    // taken from the link's folder, also through a chain of links.
    fs::create_directories(dir / "a" / "b");
    fs::create_symlink("b/neu.ini", dir / "a" / "kette.ini");
    fs::create_symlink("a/kette.ini", file("offen.ini"));
    IniFile offen(file("offen.ini"));
    offen.writeInteger("A", "x", 3);
    EXPECT_TRUE(fs::is_symlink(file("offen.ini")));
    EXPECT_TRUE(fs::is_symlink(dir / "a" / "kette.ini"));
    EXPECT_EQ(readBytes(dir / "a" / "b" / "neu.ini"), "[A]\r\nx=3\r\n");
    EXPECT_EQ(offen.readInteger("A", "x", 0), 3);
    offen.writeInteger("A", "x", 4);
    EXPECT_EQ(readBytes(dir / "a" / "b" / "neu.ini"), "[A]\r\nx=4\r\n");
    EXPECT_TRUE(fs::is_symlink(file("offen.ini")));

    // A target whose folder is missing, or a loop of links: refused with a
    // message, the link stays as it was and nothing is created.
    fs::create_symlink("fehlt/ziel.ini", file("ins-leere.ini"));
    fs::create_symlink("schleife2.ini", file("schleife1.ini"));
    fs::create_symlink("schleife1.ini", file("schleife2.ini"));
    const std::size_t before = entries();
    try {
        IniFile(file("ins-leere.ini")).writeString("A", "x", "5");
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Die Datei " + (dir / "fehlt" / "ziel.ini").string() +
                      " kann nicht gespeichert werden: " + std::strerror(ENOENT));
    }
    EXPECT_THROW(IniFile(file("schleife1.ini")).writeString("A", "x", "5"), EInOutError);
    EXPECT_THROW(platform::saveFileAtomically(file("schleife1.ini"), "x"), EInOutError);
    EXPECT_EQ(fs::read_symlink(file("ins-leere.ini")), "fehlt/ziel.ini");
    EXPECT_EQ(fs::read_symlink(file("schleife1.ini")), "schleife2.ini");
    EXPECT_EQ(entries(), before);
}

// Random files of bytes that matter to the parser: reading never fails, and a
// write changes the one value and no other.
TEST_F(IniFileTest, RandomFilesAreHandledSafely) {
    std::mt19937 rng(20240611);
    const std::string alphabet = "[]=;\r\n \t\"'Kkx1$-Ss\xe4\xc4";
    IniFile ini(file());
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        const int len = static_cast<int>(rng() % 120);
        for (int i = 0; i < len; ++i)
            bytes +=
                rng() % 8 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()];
        if (round % 2 == 0) bytes.insert(rng() % (bytes.size() + 1), "\n[S]\nK=1\n");
        writeBytes(file(), bytes);

        std::vector<std::tuple<std::string, std::string, std::string>> values;
        for (const auto& s : ini.readSections())
            for (const auto& k : ini.readSection(s))
                values.emplace_back(s, k, ini.readString(s, k, "?"));
        (void)ini.readInteger("S", "K", 0);

        ini.writeString("S", "K", "neu");
        ASSERT_EQ(ini.readString("s", "k", ""), "neu") << "round " << round;
        for (const auto& [s, k, v] : values) {
            if ((s == "S" || s == "s") && (k == "K" || k == "k")) continue;
            ASSERT_EQ(ini.readString(s, k, "?"), v) << "round " << round << " " << s << "/" << k;
        }
    }
}

// A file or folder the user made read-only is not replaced, even by a process
// that could; a replaced file keeps its permissions.
TEST_F(IniFileTest, ReadOnlyFilesAndFoldersAreRefusedAndModesKept) {
    const std::string text = golden("settings.ini");
    writeBytes(file(), text);
    IniFile ini(file());
    auto mode = [](const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    };

    ::chmod(file().c_str(), 0444);
    try {
        ini.writeString("General", "Sprache", "2");
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const EInOutError& e) {
        EXPECT_NE(std::string(e.what()).find("kann nicht gespeichert werden"), std::string::npos);
    }
    EXPECT_THROW(platform::saveFileAtomically(file(), "neu"), EInOutError);
    EXPECT_EQ(readBytes(file()), text);
    EXPECT_EQ(mode(file()), 0444u);

    ::chmod(file().c_str(), 0640);
    ini.writeString("General", "Sprache", "2");
    EXPECT_EQ(mode(file()), 0640u);
    EXPECT_EQ(ini.readString("General", "Sprache", ""), "2");

    // A writable file in a folder that is not: refused the same way.
    const std::string now = readBytes(file());
    ::chmod(dir.c_str(), 0555);
    EXPECT_THROW(ini.writeString("General", "Sprache", "3"), EInOutError);
    EXPECT_THROW(platform::saveFileAtomically(file("neu.ini"), "x"), EInOutError);
    ::chmod(dir.c_str(), 0755);
    EXPECT_EQ(readBytes(file()), now);
    EXPECT_EQ(entries(), 1u);

    // Root (running the programs for direct port access) still saves into
    // another user's folder and file that are writable for their owner.
    if (::geteuid() == 0 && ::chown(dir.c_str(), 65534, 65534) == 0 &&
        ::chown(file().c_str(), 65534, 65534) == 0) {
        ini.writeString("General", "Sprache", "4");
        EXPECT_EQ(ini.readString("General", "Sprache", ""), "4");
        EXPECT_EQ(mode(file()), 0640u);
        struct stat st {};
        ::stat(file().c_str(), &st);
        EXPECT_EQ(st.st_uid, 65534u) << "the file keeps its owner";
    }

    // A FIFO or a folder in the file's place is read as nothing at once (a
    // FIFO without a writer must not stall the program) and never replaced.
    ::mkfifo(file("fifo.ini").c_str(), 0644);
    fs::create_directory(file("ordner.ini"));
    for (const char* name : {"fifo.ini", "ordner.ini"}) {
        IniFile odd(file(name));
        EXPECT_EQ(odd.readString("General", "Sprache", "leer"), "leer") << name;
        try {
            odd.writeString("General", "Sprache", "2");
            ADD_FAILURE() << name << " was replaced";
        } catch (const EInOutError& e) {
            EXPECT_NE(std::string(e.what()).find("keine gew\xF6hnliche Datei"), std::string::npos)
                << e.what();
        }
    }
    EXPECT_TRUE(fs::is_fifo(file("fifo.ini")));
    EXPECT_TRUE(fs::is_directory(file("ordner.ini")));
}

// Each step of a save that fails leaves the old file byte for byte and no
// temporary file, and says so.
TEST_F(IniFileTest, EveryFailingStepOfASaveKeepsTheOldFile) {
    using testsupport::SaveFault;
    const std::string text = golden("settings.ini");
    writeBytes(file(), text);
    IniFile ini(file());
    for (auto kind : {SaveFault::Write, SaveFault::Fsync, SaveFault::Close, SaveFault::Rename}) {
        for (int err : {ENOSPC, EIO}) {
            SaveFault fault(kind, 1, err);
            EXPECT_THROW(ini.writeString("General", "Sprache", "2"), EInOutError) << kind;
            EXPECT_TRUE(fault.fired());
            EXPECT_EQ(readBytes(file()), text) << kind;
            EXPECT_EQ(entries(), 1u) << kind;
        }
    }
    SaveFault counting;
    ini.writeString("General", "Sprache", "2");
    EXPECT_GE(counting.calls(SaveFault::Fsync), 2) << "the file and its folder are synced";
}

// Values that reading would change come back as written: the writer quotes
// them. Every other value is written as given.
TEST_F(IniFileTest, ValuesWithBlanksOrQuotesAtTheEndsRoundTrip) {
    IniFile ini(file());
    for (const std::string v : {" ", "  a", "b ", "\"COM1\"", "\"\"COM1\"\"", "'x'", "\"", "'",
                                "a \"b\" c", "\" x", "\t"}) {
        ini.writeString("A", "k", v);
        EXPECT_EQ(ini.readString("A", "k", "?"), v) << "[" << v << "]";
    }
    writeBytes(file(), "");
    ini.writeString("A", "k", "a b");
    ini.writeString("A", "l", "");
    ini.writeString("A", "m", "x\"y");
    EXPECT_EQ(readBytes(file()), "[A]\r\nk=a b\r\nl=\r\nm=x\"y\r\n");
    ini.writeString("A", "k", " ");
    EXPECT_EQ(readBytes(file()), "[A]\r\nk=\" \"\r\nl=\r\nm=x\"y\r\n");
}

// Several writes in one batch reach the file in one save, or none of them.
TEST_F(IniFileTest, BatchWritesAllOrNothing) {
    using testsupport::SaveFault;
    const std::string text = golden("settings.ini");
    writeBytes(file(), text);
    IniFile ini(file());
    {
        SaveFault fault(SaveFault::Write);
        platform::IniBatch b(ini);
        b.writeInteger("General", "Sprache", 2);
        b.writeString("Neu", "x", " y ");
        b.writeBool("Neu", "z", true);
        EXPECT_THROW(b.commit(), EInOutError);
        EXPECT_EQ(readBytes(file()), text);
    }
    {
        platform::IniBatch b(ini);
        b.writeInteger("General", "Sprache", 2);
        b.writeString("Neu", "x", " y ");
        b.writeBool("Neu", "z", true);
        EXPECT_EQ(readBytes(file()), text) << "nothing is written before commit";
        SaveFault counting;
        b.commit();
        EXPECT_EQ(counting.saves(), 1);
    }
    EXPECT_EQ(ini.readInteger("General", "Sprache", 0), 2);
    EXPECT_EQ(ini.readString("Neu", "x", ""), " y ");
    EXPECT_TRUE(ini.readBool("Neu", "z", false));
    // The same as single writes would give.
    writeBytes(file("einzeln.ini"), text);
    IniFile single(file("einzeln.ini"));
    single.writeInteger("General", "Sprache", 2);
    single.writeString("Neu", "x", " y ");
    single.writeBool("Neu", "z", true);
    EXPECT_EQ(readBytes(file()), readBytes(file("einzeln.ini")));
}

// A batch of writes gives the bytes that the same writes made one by one give,
// in one write of the file.
TEST_F(IniFileTest, ABatchGivesTheBytesOfSingleWritesInOneWrite) {
    // Some thousand saves, each flushed to disk: the bytes are compared here,
    // not their way to the disk, so they go to a RAM-backed folder if any.
    const fs::path ram = "/dev/shm";
    const fs::path folder = ::access(ram.c_str(), W_OK) == 0 ? ram / dir.filename() : dir;
    fs::create_directories(folder);
    const platform::ScopeExit removed([&] {
        std::error_code ec;
        fs::remove_all(folder, ec);
    });
    const fs::path one = folder / "one.ini";
    const fs::path many = folder / "many.ini";
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
            const std::string key =
                std::string(rng() % 2 ? "x" : "X").append(std::to_string(rng() % 6));
            const std::string value = std::to_string(rng() % 4);
            single.writeString(sec, key, value);
            batch.writeString(sec, key, value);
            ASSERT_EQ(batch.readString(sec, key, "-"), value);
            ASSERT_EQ(batch.readInteger(sec, key, -1), std::stoi(value));
        }
        batch.commit();
        ASSERT_EQ(readBytes(many), readBytes(one)) << "round " << round;
        ASSERT_EQ(fs::exists(many), fs::exists(one));
    }
}

TEST_F(IniFileTest, ABatchReadsTheFileOnceAndWritesOnlyChanges) {
    const fs::path p = file("r.ini");
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
    EXPECT_EQ(readBytes(p), "[Einstellungen]\r\nWidth=1\r\n");
}

// Reads keep the parsed file while it is unchanged on disk: a change behind
// them is read however little it shows (same size, same modification time,
// within the same tick of the file system's clock), also right after a write
// of this process, and also when another file took its place.
TEST_F(IniFileTest, ChangesOnDiskBehindTheKeptFileAreRead) {
    const fs::path p = file();
    const IniFile ini(p);
    auto changeInPlace = [&](std::string_view bytes) {
        struct stat before {};
        ASSERT_EQ(::stat(p.c_str(), &before), 0);
        writeBytes(p, bytes);
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
    };
    writeBytes(p, "[A]\r\nk=1\r\n");
    EXPECT_EQ(ini.readString("A", "k", ""), "1");
    changeInPlace("[A]\r\nk=2\r\n");
    EXPECT_EQ(ini.readString("A", "k", ""), "2");
    EXPECT_EQ(ini.readString("A", "k", ""), "2");

    IniFile(p).writeString("A", "k", "3");
    EXPECT_EQ(ini.readString("A", "k", ""), "3");
    changeInPlace("[A]\r\nk=4\r\n");
    EXPECT_EQ(ini.readString("A", "k", ""), "4");
    EXPECT_EQ(ini.readInteger("A", "k", 0), 4);

    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    writeBytes(file("other.ini"), "[A]\r\nk=5\r\n");
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file("other.ini").c_str(), times, 0), 0);
    fs::rename(file("other.ini"), p);
    EXPECT_EQ(ini.readString("A", "k", ""), "5");

    fs::remove(p);
    EXPECT_EQ(ini.readString("A", "k", "none"), "none");
    EXPECT_FALSE(ini.sectionExists("A"));
}
