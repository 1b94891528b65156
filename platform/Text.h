#pragma once
// Small text and file helpers the folders share.

#include <string>
#include <string_view>

namespace platform {

// The text without the blanks and control characters (every byte up to ' ')
// at either end.
std::string trimmed(std::string_view s);

// The whole content of a file, byte for byte. Throws EInOutError naming the
// file when it cannot be opened or read, or when it is no plain file (a
// folder, device or FIFO); a FIFO is refused at once, without waiting.
std::string readWholeFile(const std::string& name);

// Throws the error readWholeFile gives when name is a folder, device or FIFO;
// a plain file and a name that does not exist pass. Nothing is opened, so a
// FIFO or device is not disturbed.
void refuseNonPlainFile(const std::string& name);

} // namespace platform
