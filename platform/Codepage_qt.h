#pragma once
// Texts cross between the byte strings of files and the engine (Windows-1252)
// and Qt's strings only here.

#include <QString>

#include <string>
#include <string_view>

namespace platform {

QString fromCp1252(std::string_view bytes);
// Characters without a Windows-1252 code become '?'.
std::string toCp1252(const QString& text);

} // namespace platform
