// The folders' dependencies point one way: video -> desk -> engine -> platform;
// playerremote -> comport -> platform; sim implements platform and uses
// nothing above it. Only the programs' apps/ folders, the tests and the
// benchmarks reach sim; no library reaches apps/. The plain libraries (platform,
// engine, comport, sim, playerremote) use Qt only in their *_qt files. Read from the sources'
// #include lines and from the libraries named in each folder's CMakeLists.txt.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = TAVIX_SOURCE_DIR;

// The folders each folder may use besides its own.
const std::map<std::string, std::set<std::string>> kMayUse = {
    {"platform", {}},
    {"engine", {"platform"}},
    {"comport", {"platform"}},
    {"sim", {"platform"}},
    {"desk", {"engine", "platform"}},
    {"video", {"desk", "engine", "platform"}},
    {"playerremote", {"comport", "platform"}},
    {"apps", {"platform", "engine", "comport", "sim", "desk", "video", "playerremote"}},
    {"bench", {"platform", "engine", "comport", "sim", "desk", "video", "playerremote", "tests"}},
    // The in-process tests run the programs' start-up too.
    {"tests", {"platform", "engine", "comport", "sim", "desk", "video", "playerremote", "apps"}},
    {"fuzz", {"platform", "engine", "comport", "desk", "video", "playerremote", "tests"}},
};

// The plain libraries: Qt only in their *_qt files.
const std::set<std::string> kWithoutQt = {"platform", "engine", "comport", "sim",
                                          "playerremote"};

// The libraries the CMakeLists name, by folder.
const std::map<std::string, std::string> kLibraryFolder = {
    {"platform", "platform"},
    {"platform_qt", "platform"},
    {"engine", "engine"},
    {"engine_qt", "engine"},
    {"comport", "comport"},
    {"comport_qt", "comport"},
    {"sim", "sim"},
    {"sim_qt", "sim"},
    {"desk", "desk"},
    {"video", "video"},
    {"playerremote", "playerremote"},
    {"playerremote_qt", "playerremote"},
    {"tavix_program", "apps"},
};

struct Include {
    std::string file; // relative to the source folder
    int line;
    std::string header;
};

std::string inSource(const fs::path& p) {
    return fs::relative(p, kSource).generic_string();
}

std::vector<Include> includesOf(const std::string& folder) {
    std::vector<Include> found;
    const std::regex include(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"])");
    for (const auto& entry : fs::recursive_directory_iterator(kSource / folder)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
        std::ifstream in(entry.path());
        std::string text;
        for (int n = 1; std::getline(in, text); ++n) {
            std::smatch m;
            if (std::regex_search(text, m, include))
                found.push_back({inSource(entry.path()), n, m[1].str()});
        }
    }
    return found;
}

std::string firstComponent(const std::string& path) {
    return path.substr(0, path.find('/'));
}

bool isQtFile(const std::string& file) {
    const std::string name = fs::path(file).stem().string();
    return name.size() > 3 && name.compare(name.size() - 3, 3, "_qt") == 0;
}

std::string allowedText(const std::string& folder) {
    std::string text;
    for (const std::string& f : kMayUse.at(folder))
        text += (text.empty() ? "" : ", ") + f;
    return text.empty() ? "nothing" : text;
}

TEST(Layers, IncludesPointDownTheLayers) {
    std::vector<std::string> wrong;
    std::size_t seen = 0;
    for (const auto& [folder, mayUse] : kMayUse) {
        for (const Include& inc : includesOf(folder)) {
            ++seen;
            const std::string target = firstComponent(inc.header);
            if (kMayUse.count(target) == 0 || target == folder) continue;
            if (mayUse.count(target) == 0)
                wrong.push_back(inc.file + ":" + std::to_string(inc.line) + ": includes " +
                                inc.header + " (" + folder + " may use " + allowedText(folder) +
                                ")");
        }
    }
    EXPECT_GT(seen, 500u) << "no sources found under " << kSource;
    for (const std::string& w : wrong)
        ADD_FAILURE() << w;
}

TEST(Layers, PlainLibrariesIncludeNoQtOutsideTheirQtFiles) {
    const std::regex qtHeader(R"(^Qt?[A-Z][A-Za-z]*(/|$))");
    for (const std::string& folder : kWithoutQt) {
        for (const Include& inc : includesOf(folder)) {
            if (isQtFile(inc.file)) continue;
            if (std::regex_search(inc.header, qtHeader))
                ADD_FAILURE() << inc.file << ":" << inc.line << ": includes " << inc.header
                              << " (Qt only in " << folder << "'s *_qt files)";
        }
    }
}

TEST(Layers, LinkLinesPointDownTheLayers) {
    // Every library a folder's CMakeLists names (linked, tested for, deferred).
    const std::regex token(R"([A-Za-z_][A-Za-z0-9_:]*)");
    std::size_t files = 0;
    for (const auto& [folder, mayUse] : kMayUse) {
        for (const auto& entry : fs::recursive_directory_iterator(kSource / folder)) {
            if (entry.path().filename() != "CMakeLists.txt") continue;
            ++files;
            std::ifstream in(entry.path());
            std::string text;
            for (int n = 1; std::getline(in, text); ++n) {
                text = text.substr(0, text.find('#'));
                for (std::sregex_iterator it(text.begin(), text.end(), token), end; it != end;
                     ++it) {
                    const std::size_t at = static_cast<std::size_t>(it->position());
                    // A library's name stands alone, not inside a path or variable.
                    if ((at > 0 &&
                         (text[at - 1] == '/' || text[at - 1] == '{' || text[at - 1] == '.')) ||
                        (at + it->length() < text.size() && text[at + it->length()] == '/'))
                        continue;
                    const auto lib = kLibraryFolder.find(it->str());
                    if (lib == kLibraryFolder.end() || lib->second == folder) continue;
                    if (mayUse.count(lib->second) == 0)
                        ADD_FAILURE()
                            << inSource(entry.path()) << ":" << n << ": names " << lib->first
                            << " (" << folder << " may use " << allowedText(folder) << ")";
                }
            }
        }
    }
    EXPECT_GE(files, 10u) << "no CMakeLists found under " << kSource;
}

} // namespace
