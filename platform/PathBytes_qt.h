#pragma once
// File names are kept as the bytes the file system uses; Qt shows and asks
// for them as QString. These two convert between the two, in the encoding
// QFile uses for file names.

#include <QString>
#include <string>

namespace platform {

std::string bytesOf(const QString& path);
QString pathOf(const std::string& bytes);

} // namespace platform
