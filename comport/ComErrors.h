#pragma once
// The one exception class of the serial-port component: a message number from
// a fixed table and, where a device call failed, its Windows error code.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace CPort {

class EComPort : public std::runtime_error {
public:
    static constexpr int MessageCount = 23;

    static EComPort CreateWithWinCode(int messageNumber, int windowsCode);
    static EComPort CreateNoWinCode(int messageNumber);

    std::int32_t WindowsError() const { return windowsError_; }
    std::int32_t MessageNumber() const { return messageNumber_; }

    // The table text of a message number (1..23); empty outside the table.
    static std::string MessageText(int messageNumber);

private:
    EComPort(const std::string& text, int messageNumber, int windowsCode)
        : std::runtime_error(text), windowsError_(windowsCode), messageNumber_(messageNumber) {}

    std::int32_t windowsError_;
    std::int32_t messageNumber_;
};

} // namespace CPort
