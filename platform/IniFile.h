#pragma once
// Settings files with the semantics of Windows private-profile files, so that
// files written by either program stay readable and diffable the same way:
//
// - section and key names match regardless of letter case; the first match wins
// - blanks around names and values are trimmed; one pair of surrounding quotes
//   ('"' or '\'') is stripped when reading; there are no escapes
// - ';' starts a comment only as the first non-blank character of a line
// - lines before the first section or without '=' are ignored
// - every write goes to the file at once and changes only the line concerned;
//   a new key goes after the last key of its section, a new section to the
//   end of the file; the file is created when missing
// - a value that begins or ends with a blank or a quote is written in quotes,
//   so that it reads back as written; every other value is written as given
//
// A read parses the file only when it changed on disk since the last read or
// write of it by this process; every read still checks the file's status.
//
// The file holds Windows-1252 bytes with CRLF line ends (LF is read as well);
// names and values are those bytes, unconverted. Reads never fail: a file that
// is missing or cannot be read yields the defaults. A write that cannot be
// completed throws EInOutError and leaves the file as it was.

#include "platform/AtomicSave.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniFile {
public:
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return path_; }

    // Missing key: def; present with an empty value: "".
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // Decimal with optional sign, or hex as "$1F" / "0x1F"; an empty value,
    // anything else and anything outside int32 give def.
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t def) const;
    // Any integer other than 0 is true.
    bool readBool(std::string_view section, std::string_view key, bool def) const;

    // Throws ERangeError for a name or value that a line cannot hold (line
    // breaks; ']' in a section name; '=' or a leading ';' or '[' in a key).
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    // Written as "1" or "0".
    void writeBool(std::string_view section, std::string_view key, bool value);

    bool sectionExists(std::string_view section) const;
    bool valueExists(std::string_view section, std::string_view key) const;
    // Key names of the section, each once, in file order.
    std::vector<std::string> readSection(std::string_view section) const;
    // Section names, each once, in file order.
    std::vector<std::string> readSections() const;
    // Removes every section of that name with all its lines.
    void eraseSection(std::string_view section);
    // Removes the key's lines from the section.
    void deleteKey(std::string_view section, std::string_view key);

private:
    std::filesystem::path path_;
};

// Many reads and writes of one file at the cost of one each: the file is read
// once when the batch is made, reads see the batch's own writes, and commit()
// stores every changed key in one atomic write. Names, values, layout and
// errors are those of IniFile; a write of the value a key already holds
// changes nothing.
class IniBatch {
public:
    explicit IniBatch(const IniFile& file);
    ~IniBatch();
    IniBatch(const IniBatch&) = delete;
    IniBatch& operator=(const IniBatch&) = delete;

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t def) const;
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    // Written as "1" or "0".
    void writeBool(std::string_view section, std::string_view key, bool value);
    // Writes the file when anything changed; EInOutError leaves it as it was
    // and keeps the writes pending.
    void commit();

private:
    friend class IniFile;
    struct State;
    std::unique_ptr<State> s_;
};

} // namespace platform
