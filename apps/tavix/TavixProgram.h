#pragma once
// Tavix as main() starts it: the port backend (TAVIX_PORTS), the forms in
// their order and their wiring, Qt's own German texts when the program speaks
// German, and the simulated adapter's window when that adapter is in use. The
// program's main() adds the system services and the message loop; an
// in-process test builds the same object on its own clock and prompts.

#include "desk/IR_qt.h"
#include "desk/Lernen_qt.h"
#include "engine/Dbg_disp_qt.h"
#include "platform/Platform.h"

#include <QStringList>
#include <QTranslator>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sim {
class AdapterWindow;
}
namespace video {
class TKameraDialog;
}

namespace tavix {

struct ProgramOptions {
    std::filesystem::path programFile;
    QStringList arguments;
    // The arguments as the file system names them; empty: from arguments.
    std::vector<std::string> argumentBytes;
    platform::PortMode ports = platform::PortMode::Auto;
};

class TavixProgram {
public:
    explicit TavixProgram(ProgramOptions options);
    ~TavixProgram();
    TavixProgram(const TavixProgram&) = delete;
    TavixProgram& operator=(const TavixProgram&) = delete;

    // Shows the main window, the adapter window beside it, and gives the
    // main window its first activation, as when the loop starts.
    void show();

    std::unique_ptr<desk::TIRForm> mainWindow;
    std::unique_ptr<TDebug_Display> debugDisplay;
    std::unique_ptr<desk::TLernenForm> lernenForm;
    std::unique_ptr<video::TKameraDialog> kameraDialog;
    // Only while the simulated adapter is in use.
    std::unique_ptr<sim::AdapterWindow> adapterWindow;
    // Qt's German texts, from before the first question; not loaded when
    // the program speaks English or the file is missing.
    QTranslator qtGerman;
    bool qtGermanLoaded = false;

private:
    std::vector<std::string> early_; // port reports before the debug window
};

} // namespace tavix
