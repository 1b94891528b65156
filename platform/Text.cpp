#include "platform/Text.h"

#include "platform/Errors.h"

#include <fstream>
#include <iterator>

namespace platform {

std::string trimmed(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) <= ' ')
        ++a;
    while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ')
        --b;
    return std::string(s.substr(a, b - a));
}

std::string readWholeFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) throw EInOutError("Datei >" + name + "< kann nicht gelesen werden");
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw EInOutError("Datei >" + name + "< kann nicht gelesen werden");
    return s;
}

} // namespace platform
