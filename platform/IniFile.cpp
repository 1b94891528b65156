#include "platform/IniFile.h"

#include "platform/Errors.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Letter case of Windows-1252: ASCII, the Latin-1 letters and the four pairs
// in 0x80..0x9F.
unsigned char foldCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
    switch (c) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
        return static_cast<unsigned char>(c + 0x10);
    case 0x9F:
        return 0xFF;
    default:
        return c;
    }
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(static_cast<unsigned char>(a[i])) !=
            foldCase(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// In place of an errno: the name is a folder, device or FIFO.
constexpr int kNotPlain = -1;

std::string errnoText(int err) {
    if (err == kNotPlain)
        return "keine gew\xF6hnliche Datei (Ordner, Ger\xE4t oder FIFO) / not a regular file";
    return std::strerror(err);
}

// ---- the file as lines ----

enum class Kind { Other, Section, Key };

struct Line {
    std::size_t begin = 0; // offset of the first byte
    std::size_t end = 0;   // offset of the line end (CR LF or LF) or of the file end
    std::size_t next = 0;  // offset of the next line
    Kind kind = Kind::Other;
    std::string_view name;   // section or key name, trimmed
    std::size_t valueAt = 0; // key: offset of the value's first non-blank byte
    std::string_view value;  // key: trimmed raw value
};

struct Document {
    std::string bytes;
    std::vector<Line> lines;
    bool exists = false;
    bool readable = true;
    int error = 0;

    bool hasLineEnd(const Line& l) const { return l.next > l.end; }
};

void parse(Document& d) {
    const std::string_view all = d.bytes;
    std::size_t pos = 0;
    while (pos < all.size()) {
        Line l;
        l.begin = pos;
        const std::size_t lf = all.find('\n', pos);
        if (lf == std::string_view::npos) {
            l.end = l.next = all.size();
        } else {
            l.end = (lf > pos && all[lf - 1] == '\r') ? lf - 1 : lf;
            l.next = lf + 1;
        }
        pos = l.next;

        const std::string_view text = all.substr(l.begin, l.end - l.begin);
        const std::string_view body = trim(text);
        if (body.empty() || body.front() == ';') {
            // blank or comment
        } else if (body.front() == '[') {
            const std::size_t close = body.rfind(']');
            if (close != std::string_view::npos) {
                l.kind = Kind::Section;
                l.name = trim(body.substr(1, close - 1));
            }
        } else if (const std::size_t eq = text.find('='); eq != std::string_view::npos) {
            const std::string_view key = trim(text.substr(0, eq));
            if (!key.empty()) {
                l.kind = Kind::Key;
                l.name = key;
                std::size_t v = eq + 1;
                while (v < text.size() && isBlank(text[v]))
                    ++v;
                l.valueAt = l.begin + v;
                l.value = trim(text.substr(v));
            }
        }
        d.lines.push_back(l);
    }
}

// The lines point into the bytes: a document is parsed where it stays, and
// shared read-only from then on.
using Shared = std::shared_ptr<const Document>;

// What a change of the file changes: a write in place its size or times
// (ctime cannot be set back), a replacement its inode.
struct Stamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;

    bool operator==(const Stamp&) const = default;
};

std::int64_t nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

Stamp stampOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

// The file's bytes, unparsed, and its stamp when it could be read.
std::shared_ptr<Document> readFile(const std::filesystem::path& path, Stamp& stamp) {
    auto d = std::make_shared<Document>();
    // Opened without waiting: a FIFO must not stall the program until a
    // writer comes.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            d->exists = true;
            d->readable = false;
            d->error = errno;
        }
        return d;
    }
    d->exists = true;
    struct stat st {};
    if (::fstat(fd, &st) == 0) stamp = stampOf(st);
    if (!S_ISREG(st.st_mode)) {
        // Only a plain file is a settings file, and only one is replaced.
        ::close(fd);
        d->readable = false;
        d->error = kNotPlain;
        return d;
    }
    char buf[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got > 0) {
            d->bytes.append(buf, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            d->readable = false;
            d->error = errno;
            d->bytes.clear();
            break;
        }
    }
    ::close(fd);
    return d;
}

// The parsed files of the process, each kept while its stamp stays. A stamp
// taken within a short time of the file's last change may miss a change
// made in the same tick of the file system's clock (up to two seconds on
// some), so such a file is read again at the next use and only its parse is
// reused while the bytes are the same. A kept file costs a stat per read.
class Documents {
public:
    Shared get(const std::filesystem::path& path) {
        Shared previous;
        Stamp kept;
        bool settled = false;
        {
            std::lock_guard lock(mutex_);
            if (const Entry* e = find(path)) {
                previous = e->doc;
                kept = e->stamp;
                settled = e->settled;
            }
        }
        struct stat st {};
        if (settled && ::stat(path.c_str(), &st) == 0 && stampOf(st) == kept) return previous;
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        Stamp stamp;
        std::shared_ptr<Document> d = readFile(path, stamp);
        if (!d->readable || !d->exists) {
            forget(path);
            return d;
        }
        const Shared doc = previous && previous->bytes == d->bytes ? previous : parsed(d);
        settled = std::max(stamp.mtimeNs, stamp.ctimeNs) + kSettleNs < nanoseconds(now);
        keep(path, stamp, doc, settled);
        return doc;
    }

    // After a save of doc's bytes: the next read reads the file again but
    // reuses this parse while the bytes are the same.
    void saved(const std::filesystem::path& path, Shared doc) {
        keep(path, Stamp{}, std::move(doc), false);
    }

private:
    static constexpr std::int64_t kSettleNs = 2000000000;
    static constexpr std::size_t kFiles = 16;

    struct Entry {
        std::string path;
        Stamp stamp;
        Shared doc;
        bool settled = false;
    };

    static Shared parsed(std::shared_ptr<Document> d) {
        if (d->readable) parse(*d);
        return d;
    }

    Entry* find(const std::filesystem::path& path) {
        for (Entry& e : entries_)
            if (e.path == path.native()) return &e;
        return nullptr;
    }

    void forget(const std::filesystem::path& path) {
        std::lock_guard lock(mutex_);
        std::erase_if(entries_, [&](const Entry& e) { return e.path == path.native(); });
    }

    void keep(const std::filesystem::path& path, const Stamp& stamp, Shared doc, bool settled) {
        std::lock_guard lock(mutex_);
        std::erase_if(entries_, [&](const Entry& e) { return e.path == path.native(); });
        // The least recently stored file makes room.
        if (entries_.size() >= kFiles) entries_.erase(entries_.begin());
        entries_.push_back(Entry{path.native(), stamp, std::move(doc), settled});
    }

    std::mutex mutex_;
    std::vector<Entry> entries_;
};

Documents& documents() {
    static Documents all;
    return all;
}

Shared load(const std::filesystem::path& path) {
    return documents().get(path);
}

// A write must never replace a file that exists but could not be read.
Shared loadForWrite(const std::filesystem::path& path) {
    Shared d = load(path);
    if (!d->readable)
        throw EInOutError("Die Datei " + path.string() +
                          " kann nicht gelesen werden: " + errnoText(d->error));
    return d;
}

// Replaces the file's content with bytes; the parsed file is kept for the
// next read.
Shared save(const std::filesystem::path& path, std::string bytes) {
    auto d = std::make_shared<Document>();
    d->bytes = std::move(bytes);
    saveFileAtomically(path, d->bytes);
    d->exists = true;
    parse(*d);
    documents().saved(path, d);
    return d;
}

// Index range [first, last) of the lines of the first section of that name:
// the header line, then its lines up to the next header.
struct Range {
    std::size_t header;
    std::size_t end;
};

std::size_t sectionEnd(const Document& d, std::size_t header) {
    std::size_t i = header + 1;
    while (i < d.lines.size() && d.lines[i].kind != Kind::Section)
        ++i;
    return i;
}

std::optional<Range> findSection(const Document& d, std::string_view section) {
    const std::string_view name = trim(section);
    for (std::size_t i = 0; i < d.lines.size(); ++i)
        if (d.lines[i].kind == Kind::Section && sameName(d.lines[i].name, name))
            return Range{i, sectionEnd(d, i)};
    return std::nullopt;
}

const Line* findKey(const Document& d, std::string_view section, std::string_view key) {
    const auto r = findSection(d, section);
    if (!r) return nullptr;
    const std::string_view name = trim(key);
    for (std::size_t i = r->header + 1; i < r->end; ++i)
        if (d.lines[i].kind == Kind::Key && sameName(d.lines[i].name, name)) return &d.lines[i];
    return nullptr;
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
        return v.substr(1, v.size() - 2);
    return v;
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

void checkNames(std::string_view section, std::string_view key) {
    const std::string_view k = trim(key);
    if (hasLineBreak(section) || section.find(']') != std::string_view::npos)
        throw ERangeError("Ungueltiger Abschnittsname: " + std::string(section));
    if (k.empty() || hasLineBreak(k) || k.find('=') != std::string_view::npos || k.front() == ';' ||
        k.front() == '[')
        throw ERangeError("Ungueltiger Schluesselname: " + std::string(key));
}

std::optional<std::int32_t> parseInteger(std::string_view s) {
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    unsigned base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    const std::uint64_t limit = negative ? 2147483648ULL : 2147483647ULL;
    std::uint64_t v = 0;
    for (char c : s) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        v = v * base + digit;
        if (v > limit) return std::nullopt;
    }
    const auto signedValue =
        negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    return static_cast<std::int32_t>(signedValue);
}

std::string keyLine(std::string_view key, std::string_view value) {
    std::string s(trim(key));
    s += '=';
    s += value;
    s += kCrLf;
    return s;
}

// Reading trims blanks and strips one pair of quotes, so a value that begins
// or ends with either is quoted to come back as it was written.
std::string storedForm(std::string_view value) {
    auto special = [](char c) { return isBlank(c) || c == '"' || c == '\''; };
    if (value.empty() || (!special(value.front()) && !special(value.back())))
        return std::string(value);
    return std::string(1, '"').append(value).append(1, '"');
}

} // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    const Shared d = load(path_);
    const Line* l = findKey(*d, section, key);
    return std::string(l ? unquote(l->value) : def);
}

std::int32_t IniFile::readInteger(std::string_view section, std::string_view key,
                                  std::int32_t def) const {
    const Shared d = load(path_);
    const Line* l = findKey(*d, section, key);
    if (!l) return def;
    return parseInteger(unquote(l->value)).value_or(def);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

bool IniFile::sectionExists(std::string_view section) const {
    return findSection(*load(path_), section).has_value();
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
    return findKey(*load(path_), section, key) != nullptr;
}

std::vector<std::string> IniFile::readSection(std::string_view section) const {
    const Shared doc = load(path_);
    const Document& d = *doc;
    std::vector<std::string> keys;
    const auto r = findSection(d, section);
    if (!r) return keys;
    for (std::size_t i = r->header + 1; i < r->end; ++i) {
        if (d.lines[i].kind != Kind::Key) continue;
        bool seen = false;
        for (const auto& k : keys)
            seen = seen || sameName(k, d.lines[i].name);
        if (!seen) keys.emplace_back(d.lines[i].name);
    }
    return keys;
}

std::vector<std::string> IniFile::readSections() const {
    const Shared doc = load(path_);
    const Document& d = *doc;
    std::vector<std::string> names;
    for (const auto& l : d.lines) {
        if (l.kind != Kind::Section) continue;
        bool seen = false;
        for (const auto& n : names)
            seen = seen || sameName(n, l.name);
        if (!seen) names.emplace_back(l.name);
    }
    return names;
}

void IniFile::eraseSection(std::string_view section) {
    const Shared doc = loadForWrite(path_);
    const Document& d = *doc;
    const std::string_view name = trim(section);
    std::string out;
    bool changed = false;
    for (std::size_t i = 0; i < d.lines.size();) {
        const Line& l = d.lines[i];
        if (l.kind == Kind::Section && sameName(l.name, name)) {
            i = sectionEnd(d, i);
            changed = true;
            continue;
        }
        out.append(d.bytes, l.begin, l.next - l.begin);
        ++i;
    }
    if (changed) save(path_, std::move(out));
}

void IniFile::deleteKey(std::string_view section, std::string_view key) {
    const Shared doc = loadForWrite(path_);
    const Document& d = *doc;
    const auto r = findSection(d, section);
    if (!r) return;
    const std::string_view name = trim(key);
    std::string out;
    bool changed = false;
    for (std::size_t i = 0; i < d.lines.size(); ++i) {
        const Line& l = d.lines[i];
        if (i > r->header && i < r->end && l.kind == Kind::Key && sameName(l.name, name)) {
            changed = true;
            continue;
        }
        out.append(d.bytes, l.begin, l.next - l.begin);
    }
    if (changed) save(path_, std::move(out));
}

// ---- IniBatch ----

struct IniBatch::State {
    struct Entry {
        std::string key;
        std::string value;
    };
    struct NewSection {
        std::string name;
        std::vector<Entry> entries;
    };

    std::filesystem::path path;
    Shared doc;
    std::vector<std::size_t> headers;               // section header lines, in file order
    std::vector<std::optional<std::string>> values; // per line: a new value of a key line
    std::vector<std::vector<Entry>> added;          // per header line: new keys of the section
    std::vector<NewSection> sections;               // sections the file does not have
    bool changed = false;

    void reload(Shared next) {
        doc = std::move(next);
        const Document& d = *doc;
        headers.clear();
        for (std::size_t i = 0; i < d.lines.size(); ++i)
            if (d.lines[i].kind == Kind::Section) headers.push_back(i);
        values.assign(d.lines.size(), std::nullopt);
        added.assign(d.lines.size(), {});
        sections.clear();
        changed = false;
    }

    std::optional<Range> section(std::string_view name) const {
        const Document& d = *doc;
        const std::string_view n = trim(name);
        for (const std::size_t h : headers)
            if (sameName(d.lines[h].name, n)) return Range{h, sectionEnd(d, h)};
        return std::nullopt;
    }

    static Entry* entry(std::vector<Entry>& entries, std::string_view key) {
        const std::string_view k = trim(key);
        for (Entry& e : entries)
            if (sameName(e.key, k)) return &e;
        return nullptr;
    }

    NewSection* newSection(std::string_view name) {
        const std::string_view n = trim(name);
        for (NewSection& ns : sections)
            if (sameName(ns.name, n)) return &ns;
        return nullptr;
    }

    // The raw value of the key as the batch sees it, or nothing.
    std::optional<std::string_view> find(std::string_view sec, std::string_view key) {
        const Document& d = *doc;
        if (const auto r = section(sec)) {
            const std::string_view k = trim(key);
            for (std::size_t i = r->header + 1; i < r->end; ++i)
                if (d.lines[i].kind == Kind::Key && sameName(d.lines[i].name, k))
                    return values[i] ? std::string_view(*values[i]) : d.lines[i].value;
            if (Entry* e = entry(added[r->header], key)) return std::string_view(e->value);
        } else if (NewSection* ns = newSection(sec)) {
            if (Entry* e = entry(ns->entries, key)) return std::string_view(e->value);
        }
        return std::nullopt;
    }

    void write(std::string_view sec, std::string_view key, std::string_view value) {
        const Document& d = *doc;
        checkNames(sec, key);
        if (hasLineBreak(value))
            throw ERangeError("Wert mit Zeilenumbruch fuer " + std::string(key));
        if (const auto r = section(sec)) {
            const std::string_view k = trim(key);
            for (std::size_t i = r->header + 1; i < r->end; ++i)
                if (d.lines[i].kind == Kind::Key && sameName(d.lines[i].name, k)) {
                    const std::string_view now = values[i] ? *values[i] : d.lines[i].value;
                    if (now == value) return;
                    values[i] = std::string(value);
                    changed = true;
                    return;
                }
            auto& list = added[r->header];
            if (Entry* e = entry(list, key)) {
                e->value = std::string(value);
            } else {
                list.push_back({std::string(trim(key)), std::string(value)});
            }
        } else {
            NewSection* ns = newSection(sec);
            if (!ns) ns = &sections.emplace_back(NewSection{std::string(trim(sec)), {}});
            if (Entry* e = entry(ns->entries, key))
                e->value = std::string(value);
            else
                ns->entries.push_back({std::string(trim(key)), std::string(value)});
        }
        changed = true;
    }

    // The file with every write applied, laid out as single writes would.
    std::string render() const {
        const Document& d = *doc;
        const std::string_view all = d.bytes;
        std::vector<std::size_t> insertAfter(d.lines.size(), d.lines.size());
        for (const std::size_t h : headers) {
            if (added[h].empty()) continue;
            std::size_t after = h;
            const std::size_t end = sectionEnd(d, h);
            for (std::size_t i = h + 1; i < end; ++i)
                if (d.lines[i].kind == Kind::Key) after = i;
            insertAfter[after] = h;
        }
        std::string out;
        out.reserve(all.size() + 64);
        for (std::size_t i = 0; i < d.lines.size(); ++i) {
            const Line& l = d.lines[i];
            if (values[i]) {
                out.append(all.substr(l.begin, l.valueAt - l.begin));
                out.append(*values[i]);
                out.append(all.substr(l.end, l.next - l.end));
            } else {
                out.append(all.substr(l.begin, l.next - l.begin));
            }
            if (insertAfter[i] != d.lines.size()) {
                if (!d.hasLineEnd(l)) out.append(kCrLf);
                for (const Entry& e : added[insertAfter[i]])
                    out.append(keyLine(e.key, e.value));
            }
        }
        bool blankEnd = d.lines.empty();
        bool lineEnd = true;
        if (!d.lines.empty()) {
            const Line& last = d.lines.back();
            lineEnd = d.hasLineEnd(last) || insertAfter.back() != d.lines.size();
            blankEnd = trim(all.substr(last.begin, last.end - last.begin)).empty() &&
                       insertAfter.back() == d.lines.size();
        }
        for (const NewSection& ns : sections) {
            if (!lineEnd) out.append(kCrLf);
            // A blank line sets the new section apart.
            if (!blankEnd) out.append(kCrLf);
            out += '[';
            out.append(ns.name);
            out += ']';
            out.append(kCrLf);
            for (const Entry& e : ns.entries)
                out.append(keyLine(e.key, e.value));
            lineEnd = true;
            blankEnd = false;
        }
        return out;
    }
};

IniBatch::IniBatch(const IniFile& file) : s_(std::make_unique<State>()) {
    s_->path = file.path();
    s_->reload(load(s_->path));
}

IniBatch::~IniBatch() = default;

std::string IniBatch::readString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
    const auto v = s_->find(section, key);
    return std::string(v ? unquote(*v) : def);
}

std::int32_t IniBatch::readInteger(std::string_view section, std::string_view key,
                                   std::int32_t def) const {
    const auto v = s_->find(section, key);
    if (!v) return def;
    return parseInteger(unquote(*v)).value_or(def);
}

void IniBatch::writeString(std::string_view section, std::string_view key, std::string_view value) {
    s_->write(section, key, storedForm(value));
}

void IniBatch::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    s_->write(section, key, std::to_string(value));
}

void IniBatch::writeBool(std::string_view section, std::string_view key, bool value) {
    s_->write(section, key, value ? "1" : "0");
}

void IniBatch::commit() {
    if (!s_->changed) return;
    // A write must never replace a file that exists but could not be read.
    if (!s_->doc->readable)
        throw EInOutError("Die Datei " + s_->path.string() +
                          " kann nicht gelesen werden: " + errnoText(s_->doc->error));
    s_->reload(save(s_->path, s_->render()));
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view given) {
    // A single write is a batch of one, written even when the value stays.
    IniBatch batch(*this);
    batch.writeString(section, key, given);
    batch.s_->changed = true;
    batch.commit();
}

} // namespace platform
