#pragma once
// Tavix as main() starts it with TAVIX_PORTS=sim, in process: on a virtual
// clock, with scripted prompts (unexpected ones are collected), recorded
// system services and a settings file of an earlier run in a folder of its
// own beside the program.

#include "apps/tavix/TavixProgram.h"
#include "engine/Sio.h"
#include "platform/IniFile.h"
#include "platform/ModalRunner_qt.h"
#include "platform/Prompts_qt.h"
#include "platform/System.h"
#include "platform/VirtualClock.h"
#include "platform/WindowTracker_qt.h"
#include "sim/PeoplesAdapter.h"
#include "sim/PortAccess.h"
#include "video/Kamera_qt.h"

#include <QDir>
#include <QLayout>
#include <QPixmap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

class ProgramFixture : public ::testing::Test {
protected:
    ProgramFixture() {
        clock.setTickBase(10000);
        oldClock = &platform::clock();
        platform::setClock(&clock);
        prompts.onUnexpected = [this](const QString& d) { unexpected << d; };
        platform::setPrompts(&prompts);
        platform::setOs(&os);
        platform::WindowTracker::instance().setFollowFocus(false);
        qputenv("TAVIX_PORTS", "sim");
        folder = std::filesystem::path(dir.path().toStdString());
        platform::IniFile ini(folder / "Tavix.ini");
        ini.writeInteger("Einstellungen", "Sprache", 1);
        ini.writeInteger("Einstellungen", "IR_Einheit", 0);
        ini.writeInteger("Einstellungen", "BatchDelay_ms", 100);
        ini.writeInteger("Schnittstelle", "Com_Nr", 1);
        ini.writeInteger("Timing", "Anfragen_Sec", 700000);
        Sio::Modulzustand_zuruecksetzen();
    }
    ~ProgramFixture() override {
        program.reset();
        platform::clearModalScripts();
        platform::setPrompts(nullptr);
        platform::setOs(nullptr);
        platform::setClock(oldClock == &clock ? nullptr : oldClock);
        qunsetenv("TAVIX_PORTS");
    }

    tavix::TavixProgram& start() {
        tavix::ProgramOptions o;
        o.programFile = folder / "Tavix";
        o.ports = platform::portModeFromEnvironment();
        program = std::make_unique<tavix::TavixProgram>(std::move(o));
        // Pending-message runs do nothing on the virtual clock.
        program->mainWindow->ProcessMessages = [] {};
        program->lernenForm->ProcessMessages = [] {};
        program->kameraDialog->ProcessMessages = [] {};
        program->show();
        devices = sim::currentPeoplesDevices();
        return *program;
    }
    sim::SimAdapter& adapter() { return devices->sim; }

    void activateKamera() {
        platform::WindowTracker::instance().activate(
            static_cast<QWidget*>(program->kameraDialog.get()));
    }
    // One tick of the video window's timer after 600 ms.
    void tick() {
        clock.advanceMs(600);
        adapter().sync();
        program->kameraDialog->Timer1Timer();
    }

    static QString ablage() {
        const QString d = QStringLiteral(TAVIX_BUILD_DIR "/screenshots");
        QDir().mkpath(d);
        return d;
    }
    static void bild(QWidget& w, const QString& name) {
        if (w.layout()) w.layout()->activate();
        const QPixmap p = w.grab();
        EXPECT_FALSE(p.isNull()) << name.toStdString();
        EXPECT_TRUE(p.save(ablage() + QLatin1Char('/') + name + QStringLiteral(".png")));
    }

    QTemporaryDir dir;
    std::filesystem::path folder;
    platform::VirtualClock clock;
    platform::Clock* oldClock = nullptr;
    platform::ScriptedPrompts prompts;
    platform::RecordingSystem os;
    QStringList unexpected;
    std::unique_ptr<tavix::TavixProgram> program;
    sim::PeoplesDevices* devices = nullptr;
};
