#pragma once
// A fixture for the main window: a fresh program folder, the engine on the
// simulated adapter on a virtual clock (tick count above 8000), scripted
// prompts that fail the test on any unexpected one, a recorder for priority
// and the other system services, and a recorder of every send buffer handed to
// the engine.

#include "desk/IR_qt.h"
#include "desk/IrSendLink.h"
#include "engine/Debug.h"
#include "engine/Sio.h"
#include "platform/IniFile.h"
#include "platform/ModalRunner_qt.h"
#include "platform/Platform.h"
#include "platform/Prompts_qt.h"
#include "platform/System.h"
#include "platform/VirtualClock.h"
#include "platform/WindowTracker_qt.h"
#include "sim/SimAdapter.h"
#include "support/EngineSession.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class DeskFixture : public ::testing::Test {
protected:
    DeskFixture() : sim(clock, 0x3F8), backends(&sim.bus, &clock) {
        clock.setTickBase(10000);
        prompts.onUnexpected = [](const QString& d) { ADD_FAILURE() << d.toStdString(); };
        platform::setPrompts(&prompts);
        platform::setOs(&os);
        platform::WindowTracker::instance().setFollowFocus(false);
        desk::setIrSender([this](const Sio::TBefehl& b) {
            sent.push_back(b);
            sentAtMs.push_back(clock.nowUs() / 1000.0);
            return 1;
        });
        folder = std::filesystem::path(dir.path().toStdString());
        // The user's folders of a run without a settings file beside the
        // program: inside the test's folder, never the real home.
        for (auto& [name, alt] : xdg_) {
            const char* v = std::getenv(name);
            alt = v ? std::optional<std::string>(v) : std::nullopt;
        }
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    }
    ~DeskFixture() override {
        form.reset();
        EXPECT_EQ(prompts.remaining(), 0u) << "prompts expected but not shown";
        platform::setPrompts(nullptr);
        platform::setOs(nullptr);
        platform::clearModalScripts();
        desk::setIrSender({});
        for (const auto& [name, alt] : xdg_) {
            if (alt)
                setenv(name, alt->c_str(), 1);
            else
                unsetenv(name);
        }
    }

    // The settings file beside the program (portable use) when there is one,
    // else the one in the configuration folder.
    std::filesystem::path iniPath() const {
        return std::filesystem::exists(folder / "Tavix.ini") ? folder / "Tavix.ini"
                                                             : folder / "config/tavix/Tavix.ini";
    }
    // A default file of a run without a settings file beside the program.
    std::filesystem::path dataFile(const std::string& name) const {
        return folder / "data/tavix" / name;
    }
    std::filesystem::path file(const std::string& name) const { return folder / name; }

    // Settings of a program that has run before: no first-run question and no
    // timing question.
    void writeCompleteSettings(int batchDelay = 2000) {
        platform::IniFile ini(folder / "Tavix.ini");
        ini.writeInteger("Einstellungen", "Sprache", 1);
        ini.writeInteger("Einstellungen", "IR_Einheit", 0);
        ini.writeInteger("Einstellungen", "BatchDelay_ms", batchDelay);
        ini.writeInteger("Schnittstelle", "Com_Nr", 1);
        ini.writeInteger("Timing", "Anfragen_Sec", 700000);
    }

    desk::TIRForm& makeForm(QStringList args = {}) {
        desk::TIRFormOptions o;
        o.programFile = folder / "Tavix";
        o.arguments = std::move(args);
        form = std::make_unique<desk::TIRForm>(std::move(o));
        // Macro pauses and batch waits run no real events in tests.
        form->ProcessMessages = [this] {
            if (onProcessMessages) onProcessMessages();
        };
        return *form;
    }

    // Key n with a command of its own, shown as the grid shows it.
    desk::TButtonx& key(int n, int typ, std::vector<std::int32_t> befehl, std::string code = {}) {
        desk::TButtonx* k = form->Taste(n);
        EXPECT_NE(k, nullptr);
        k->Tasten_typ = typ;
        k->Befehl.fill(0);
        std::copy(befehl.begin(), befehl.end(), k->Befehl.begin());
        k->IR_Code = std::move(code);
        form->Zeige_Taste(n);
        return *k;
    }

    // The program's first activation, as when its loop starts.
    void activate() {
        platform::WindowTracker::instance().activate(static_cast<QWidget*>(form.get()));
    }

    static std::string readFile(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void writeFile(const std::filesystem::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }

    QTemporaryDir dir;
    std::filesystem::path folder;
    platform::VirtualClock clock;
    sim::SimAdapter sim;
    platform::ScopedBackends backends;
    EngineSession session;
    Dbg_disp::DebugMemo& memo = session.memo;
    platform::ScriptedPrompts prompts;
    platform::RecordingSystem os;
    std::vector<Sio::TBefehl> sent;
    std::vector<double> sentAtMs;
    std::function<void()> onProcessMessages;
    std::unique_ptr<desk::TIRForm> form;

private:
    std::pair<const char*, std::optional<std::string>> xdg_[2] = {{"XDG_CONFIG_HOME", {}},
                                                                  {"XDG_DATA_HOME", {}}};
};
