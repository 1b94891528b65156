#include "desk/Settings.h"

#if !__has_include("platform/IniFile.h")
#include "desk/AtomicFile.h"
#include "platform/Errors.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace desk {

namespace {
std::string trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return std::string(s.substr(b, e - b));
}
bool same(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
bool isSection(const std::string& line, std::string* name) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    const auto close = t.find(']');
    if (close == std::string::npos)
        return false;
    if (name)
        *name = trim(std::string_view(t).substr(1, close - 1));
    return true;
}
// Index of the line holding key in section, or -1; sectionEnd gets the line
// after the section's last non-empty line (-1 when the section is missing).
long find(const std::vector<std::string>& lines, std::string_view section, std::string_view key,
          long* sectionEnd) {
    bool in = false;
    long end = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (isSection(lines[i], &name)) {
            if (in)
                break;
            in = same(name, section);
            if (in)
                end = static_cast<long>(i) + 1;
            continue;
        }
        if (!in)
            continue;
        if (!trim(lines[i]).empty())
            end = static_cast<long>(i) + 1;
        if (!lines[i].empty() && lines[i][0] == ';')
            continue;
        const auto eq = lines[i].find('=');
        if (eq != std::string::npos && !key.empty() &&
            same(trim(std::string_view(lines[i]).substr(0, eq)), key))
            return static_cast<long>(i);
    }
    if (sectionEnd)
        *sectionEnd = end;
    return -1;
}
} // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {}

std::vector<std::string> IniFile::load() const {
    std::vector<std::string> lines;
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void IniFile::save(const std::vector<std::string>& lines) const {
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    writeFileAtomically(path_, out);
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    const auto lines = load();
    const long i = find(lines, section, key, nullptr);
    if (i < 0)
        return std::string(def);
    std::string v = trim(std::string_view(lines[static_cast<std::size_t>(i)])
                             .substr(lines[static_cast<std::size_t>(i)].find('=') + 1));
    if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') ||
                          (v.front() == '\'' && v.back() == '\'')))
        v = v.substr(1, v.size() - 2);
    return v;
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t def) const {
    const std::string v = readString(section, key, "");
    if (v.empty())
        return def;
    try {
        std::size_t used = 0;
        const long long n = std::stoll(v, &used, 10);
        if (used != v.size() || n < INT32_MIN || n > INT32_MAX)
            return def;
        return static_cast<std::int32_t>(n);
    } catch (...) {
        return def;
    }
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    auto lines = load();
    long end = -1;
    const long i = find(lines, section, key, &end);
    const std::string line = std::string(key) + "=" + std::string(value);
    if (i >= 0) {
        lines[static_cast<std::size_t>(i)] = line;
    } else if (end >= 0) {
        lines.insert(lines.begin() + end, line);
    } else {
        if (!lines.empty() && !trim(lines.back()).empty())
            lines.emplace_back();
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(line);
    }
    save(lines);
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

bool IniFile::sectionExists(std::string_view section) const {
    long end = -1;
    find(load(), section, "", &end);
    return end >= 0;
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
    return find(load(), section, key, nullptr) >= 0;
}

std::vector<std::string> IniFile::readSection(std::string_view section) const {
    std::vector<std::string> keys;
    bool in = false;
    for (const auto& l : load()) {
        std::string name;
        if (isSection(l, &name)) {
            if (in)
                break;
            in = same(name, section);
            continue;
        }
        const auto eq = l.find('=');
        if (in && eq != std::string::npos && !(l.size() && l[0] == ';'))
            keys.push_back(trim(std::string_view(l).substr(0, eq)));
    }
    return keys;
}

} // namespace desk
#endif
