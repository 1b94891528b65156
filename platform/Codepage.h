#pragma once
// Conversion between the Windows-1252 bytes of our stored files and engine
// texts and the UTF-8 of Qt and the Linux file system.

#include <string>
#include <string_view>

namespace platform {

// Every byte has a character: the five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control characters of
// the same code point, as Windows converts them.
std::string cp1252ToUtf8(std::string_view bytes);

// A character without a Windows-1252 byte and every malformed UTF-8 sequence
// become '?'.
std::string utf8ToCp1252(std::string_view utf8);

} // namespace platform
