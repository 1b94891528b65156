#include "platform/IniFile.h"
#include "platform/Registry.h"

#include "platform/AppFolders.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {
constexpr std::string_view textTag = "sz:";
constexpr std::string_view numberTag = "dword:";

std::string trimKey(const std::string& key) {
    std::size_t b = key.find_first_not_of('\\');
    if (b == std::string::npos) return {};
    std::size_t e = key.find_last_not_of('\\');
    return key.substr(b, e - b + 1);
}
} // namespace

IniRegistry::IniRegistry(std::filesystem::path file) : file_(std::move(file)) {}
IniRegistry::~IniRegistry() = default;

std::filesystem::path IniRegistry::defaultFile() {
    return configFolder() / "registry.ini";
}

bool IniRegistry::openKey(const std::string& key, bool canCreate) {
    const std::string k = trimKey(key);
    if (k.empty()) return false;
    if (!canCreate && !IniFile(file_).sectionExists(k)) return false;
    if (canCreate) std::filesystem::create_directories(file_.parent_path());
    key_ = k;
    return true;
}

void IniRegistry::closeKey() {
    key_.clear();
}

void IniRegistry::requireKey() const {
    if (key_.empty()) throw ERegistryException("No registry key is open");
}

bool IniRegistry::valueExists(const std::string& name) const {
    requireKey();
    return IniFile(file_).valueExists(key_, name);
}

std::string IniRegistry::readString(const std::string& name) const {
    requireKey();
    IniFile ini(file_);
    if (!ini.valueExists(key_, name)) return {};
    const std::string v = ini.readString(key_, name, "");
    if (v.compare(0, textTag.size(), textTag) != 0)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return v.substr(textTag.size());
}

std::int32_t IniRegistry::readInteger(const std::string& name) const {
    requireKey();
    const std::string v = IniFile(file_).readString(key_, name, "");
    if (v.compare(0, numberTag.size(), numberTag) != 0 || v.size() != numberTag.size() + 8)
        throw ERegistryException("Invalid data type for '" + name + "'");
    std::uint32_t n = 0;
    for (std::size_t i = numberTag.size(); i < v.size(); ++i) {
        const char c = v[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            d = (c | 0x20) - 'a' + 10;
        else
            throw ERegistryException("Invalid data type for '" + name + "'");
        n = n * 16 + static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(n);
}

void IniRegistry::writeString(const std::string& name, const std::string& value) {
    requireKey();
    write(name, std::string(textTag) + value);
}

void IniRegistry::writeInteger(const std::string& name, std::int32_t value) {
    requireKey();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<std::uint32_t>(value));
    write(name, std::string(numberTag) + buf);
}

void IniRegistry::write(const std::string& name, const std::string& stored) {
    if (batch_) {
        batch_->writeString(key_, name, stored);
    } else {
        IniFile ini(file_);
        ini.writeString(key_, name, stored);
    }
}

void IniRegistry::writeTogether(const std::function<void()>& writes) {
    if (batch_) {
        writes();
        return;
    }
    IniFile ini(file_);
    batch_ = std::make_unique<IniBatch>(ini);
    struct Reset {
        std::unique_ptr<IniBatch>& b;
        ~Reset() { b.reset(); }
    } reset{batch_};
    writes();
    batch_->commit();
}

} // namespace platform
