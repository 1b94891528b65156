#include "desk/KeyFile.h"

#include "platform/Errors.h"

#include <charconv>

namespace desk {

namespace {

class LineReader {
public:
    explicit LineReader(std::string_view b) : b_(b) {}
    bool eof() const { return pos_ >= b_.size(); }
    std::string_view line() {
        const std::size_t end = b_.find('\n', pos_);
        std::string_view l =
            b_.substr(pos_, end == std::string_view::npos ? b_.size() - pos_ : end - pos_);
        pos_ = end == std::string_view::npos ? b_.size() : end + 1;
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        return l;
    }
    std::size_t lineNo() const { return lineNo_; }
    void count() { ++lineNo_; }

private:
    std::string_view b_;
    std::size_t pos_ = 0;
    std::size_t lineNo_ = 0;
};

bool blank(char c) {
    return c == ' ' || c == '\t';
}

bool onlyBlanks(std::string_view l) {
    for (char c : l)
        if (!blank(c)) return false;
    return true;
}

// The first integer of a line, leading blanks skipped; false when the line
// does not begin with one or it is beyond 32 bits.
bool firstInteger(std::string_view l, std::int32_t& v) {
    std::size_t i = 0;
    while (i < l.size() && blank(l[i]))
        ++i;
    if (i < l.size() && l[i] == '+') ++i;
    const char* first = l.data() + i;
    const char* last = l.data() + l.size();
    auto [p, ec] = std::from_chars(first, last, v);
    return ec == std::errc() && p != first;
}

class NumberReader {
public:
    NumberReader(LineReader& r, const std::string& name) : r_(r), name_(name) {}
    // The next integer: blank lines are passed over, the rest of its line is
    // skipped; 0 at the end of the file.
    std::int32_t next() {
        for (;;) {
            if (r_.eof()) return 0;
            r_.count();
            const std::string_view l = r_.line();
            if (onlyBlanks(l)) continue;
            std::int32_t v = 0;
            if (!firstInteger(l, v))
                throw EInOutError("Fernsteuerdatei >" + name_ + "<, Zeile " +
                                  std::to_string(r_.lineNo()) +
                                  ": keine g\xFC"
                                  "ltige Zahl / no valid number");
            return v;
        }
    }
    std::string text() {
        if (r_.eof()) return {};
        r_.count();
        return std::string(r_.line());
    }

private:
    LineReader& r_;
    const std::string& name_;
};

} // namespace

KeyFileContent parseKeyFile(std::string_view bytes, const std::string& name) {
    KeyFileContent c;
    LineReader r(bytes);
    std::int32_t head[7] = {};
    for (int i = 0; i < 7; ++i) {
        const std::string_view l = r.eof() ? std::string_view() : r.line();
        if (!firstInteger(l, head[i]))
            throw EInOutError("Fernsteuerdatei >" + name +
                              "< ist besch\xE4"
                              "digt (Kopf unvollst\xE4"
                              "ndig)\rDamaged key file "
                              "(incomplete head)");
        r.count();
    }
    if (head[4] < 1 || head[5] < 1)
        throw EInOutError("Fernsteuerdatei >" + name +
                          "< ist besch\xE4"
                          "digt (Knopfgr\xF6\xDF"
                          "e)\rDamaged key file (key size)");
    c.head = KeyFileHead{head[0], head[1], head[2], head[3], head[4], head[5]};

    NumberReader n(r, name);
    while (!r.eof()) {
        KeyFileEntry e;
        e.knopfnummer = n.next();
        e.tastenTyp = n.next();
        e.caption = n.text();
        e.code = n.text();
        for (;;) {
            const std::int32_t v = n.next();
            // A command the key cannot hold whole is refused, not cut short:
            // its next save would lose the rest.
            if (v != 0 && e.values.size() == kMaxStoredValues)
                throw EInOutError(
                    "Fernsteuerdatei >" + name + "<, Zeile " + std::to_string(r.lineNo()) +
                    ": Taste " + std::to_string(e.knopfnummer) + " >" + e.caption +
                    "< hat mehr als " + std::to_string(kMaxStoredValues) + " Werte / key " +
                    std::to_string(e.knopfnummer) + " >" + e.caption + "< holds more than " +
                    std::to_string(kMaxStoredValues) + " values");
            e.values.push_back(v);
            if (v == 0) break;
        }
        c.entries.push_back(std::move(e));
    }
    return c;
}

std::string rightAligned(std::int64_t value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
    return s;
}

namespace {
std::string separated(std::string field) {
    if (field.empty() || field.front() != ' ') field.insert(0, 1, ' ');
    return field;
}
} // namespace

std::string formatKeyFile(const KeyFileHead& h, const std::vector<KeyFileKey>& keys) {
    std::string out;
    out.reserve(128 + keys.size() * 64);
    auto line = [&](std::string_view s) {
        out.append(s);
        out.append("\r\n");
    };
    line(rightAligned(h.top, 10) + " Top ");
    line(rightAligned(h.left, 10) + " Left");
    line(rightAligned(h.width, 10) + " Width");
    line(rightAligned(h.height, 10) + " Height");
    line(rightAligned(h.knopfbreite, 10) + " Knopfbreite");
    line(rightAligned(h.knopfhoehe, 10) + " Knopfhoehe");
    line(rightAligned(1, 10) + " obsolet ");
    for (const KeyFileKey& k : keys) {
        line(std::to_string(k.knopfnummer) + " Knopfnummer");
        line(std::to_string(k.tastenTyp) + " Tasten_typ");
        line(std::string_view(k.beschriftung).substr(0, 20));
        line(std::string_view(k.irCode).substr(0, 150));
        // A field that fills its width gets a blank of its own, so that no
        // number runs into the one before it.
        const std::string nr = separated(rightAligned(k.knopfnummer, 5));
        for (std::size_t i = 0; i < k.befehl->size(); ++i) {
            // Without an end mark of its own the command ends where a read
            // one would.
            const std::int32_t v = i < kMaxStoredValues ? (*k.befehl)[i] : 0;
            out.append(rightAligned(v, 8));
            out.append(nr);
            out.append(separated(rightAligned(static_cast<std::int64_t>(i), 5)));
            out.append("\r\n");
            if (v == 0) break;
        }
    }
    return out;
}

} // namespace desk
