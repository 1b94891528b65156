#pragma once
// The key file (".cdx"): a head of window bounds and key size, then one entry
// per used key with its caption, type, code text and command values. Windows-
// 1252 text with CR LF line ends; LF alone is read too.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Sio.h"

namespace desk {

// A command keeps at most this many values (entry 0 and 798 durations), so
// that entries 799 and 800 always hold the end mark 0.
inline constexpr std::size_t kMaxStoredValues = 799;

struct KeyFileHead {
    std::int32_t top = 0;
    std::int32_t left = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t knopfbreite = 0;
    std::int32_t knopfhoehe = 0;
};

struct KeyFileEntry {
    std::int32_t knopfnummer = 0;
    std::int32_t tastenTyp = 0;
    std::string caption; // the whole line
    std::string code;    // the whole line
    // Entries 0, 1, 2 ... up to and with the end mark 0; at most
    // kMaxStoredValues before it.
    std::vector<std::int32_t> values;
};

struct KeyFileContent {
    KeyFileHead head;
    std::vector<KeyFileEntry> entries;
};

// Throws EInOutError with a clear message when the file cannot be read
// whole: the head is not seven lines that begin with numbers, the key size is
// below 1, a value line does not begin with a number or a command holds more
// values than a key keeps. A file is taken whole or not at all.
KeyFileContent parseKeyFile(std::string_view bytes, const std::string& name);

// One key as written.
struct KeyFileKey {
    std::int32_t knopfnummer = 0;
    std::int32_t tastenTyp = 0;
    std::string beschriftung; // at most 20 characters are written
    std::string irCode;       // at most 150
    const Sio::TBefehl* befehl = nullptr;
};

std::string formatKeyFile(const KeyFileHead& head, const std::vector<KeyFileKey>& keys);

// Right-aligned in width characters; a longer number is written whole.
std::string rightAligned(std::int64_t value, int width);

} // namespace desk
