#include "comport/ComErrors.h"

#include <array>

namespace CPort {

namespace {
const std::array<const char*, EComPort::MessageCount> messages = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};
} // namespace

std::string EComPort::MessageText(int messageNumber) {
    if (messageNumber < 1 || messageNumber > MessageCount) return {};
    return messages[static_cast<std::size_t>(messageNumber - 1)];
}

EComPort EComPort::CreateWithWinCode(int messageNumber, int windowsCode) {
    return EComPort(MessageText(messageNumber) +
                        " (win error code: " + std::to_string(windowsCode) + ")",
                    messageNumber, windowsCode);
}

EComPort EComPort::CreateNoWinCode(int messageNumber) {
    return EComPort(MessageText(messageNumber), messageNumber, -1);
}

} // namespace CPort
