#pragma once
// The settings file class of the desk.

#include "platform/IniFile.h"

namespace desk {
using IniFile = platform::IniFile;
}
