#pragma once
// A registry accessor: values (texts and integers, typed) under a current key
// that the caller opens. The Linux backend keeps each key as a section of an
// INI file in the user's configuration folder.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace platform {

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RegistryAccessor {
public:
    virtual ~RegistryAccessor() = default;

    // Makes `key` (path with "\") the current key; false when it does not
    // exist and may not be created.
    virtual bool openKey(const std::string& key, bool canCreate) = 0;
    virtual void closeKey() = 0;
    virtual bool valueExists(const std::string& name) const = 0;
    // A missing value reads as "", a value of another type raises.
    virtual std::string readString(const std::string& name) const = 0;
    // A missing value or one of another type raises.
    virtual std::int32_t readInteger(const std::string& name) const = 0;
    virtual void writeString(const std::string& name, const std::string& value) = 0;
    virtual void writeInteger(const std::string& name, std::int32_t value) = 0;
    // Runs writes so that the values they write reach the store together or
    // not at all, where the store can do that; others write them one by one.
    virtual void writeTogether(const std::function<void()>& writes) { writes(); }
};

// The INI-file backend. Values are stored typed: name="sz:text" or
// name="dword:0000002A".
class IniBatch;

class IniRegistry final : public RegistryAccessor {
public:
    explicit IniRegistry(std::filesystem::path file = defaultFile());
    ~IniRegistry() override;

    // $XDG_CONFIG_HOME (else ~/.config) / tavix / registry.ini
    static std::filesystem::path defaultFile();
    const std::filesystem::path& file() const { return file_; }
    const std::string& currentKey() const { return key_; }

    bool openKey(const std::string& key, bool canCreate) override;
    void closeKey() override;
    bool valueExists(const std::string& name) const override;
    std::string readString(const std::string& name) const override;
    std::int32_t readInteger(const std::string& name) const override;
    void writeString(const std::string& name, const std::string& value) override;
    void writeInteger(const std::string& name, std::int32_t value) override;
    void writeTogether(const std::function<void()>& writes) override;

private:
    void requireKey() const;
    void write(const std::string& name, const std::string& stored);

    std::filesystem::path file_;
    std::string key_;                       // empty: no key open
    std::unique_ptr<class IniBatch> batch_; // while writeTogether runs
};

} // namespace platform
