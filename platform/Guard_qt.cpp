#include "platform/Guard_qt.h"

#include "platform/Codepage_qt.h"
#include "platform/Prompts_qt.h"

#include <stdexcept>

namespace platform {

void showCurrentException() noexcept {
    try {
        QString text;
        try {
            throw;
        } catch (const std::exception& e) {
            text = fromCp1252(e.what());
        } catch (...) {
            text = QStringLiteral("Unbekannter Fehler");
        }
        prompts().error(text);
    } catch (...) {
        // Showing the error failed too; the operation has ended all the same.
    }
}

} // namespace platform
