#pragma once
// Saving a whole file so that a failed save leaves the old file whole: the
// bytes go to a temporary file beside it, which then replaces it.

#include <filesystem>
#include <string_view>

namespace desk {

// Throws EInOutError when the file cannot be written.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace desk
