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

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
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
    }
    ~DeskFixture() override {
        form.reset();
        EXPECT_EQ(prompts.remaining(), 0u) << "prompts expected but not shown";
        platform::setPrompts(nullptr);
        platform::setOs(nullptr);
        platform::clearModalScripts();
        desk::setIrSender({});
    }

    std::filesystem::path iniPath() const { return folder / "Tavix.ini"; }
    std::filesystem::path file(const std::string& name) const { return folder / name; }

    // Settings of a program that has run before: no first-run question and no
    // timing question.
    void writeCompleteSettings(int batchDelay = 2000) {
        platform::IniFile ini(iniPath());
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
};
