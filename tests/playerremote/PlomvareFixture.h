#pragma once
// A fixture for Plomvare's window: a fresh program folder, scripted prompts
// that fail the test on any unexpected one, recorders for the system services
// and the player, the receiver's register writes recorded, no port opened,
// and the counter under the test's control.

#include "BurstSupport.h"
#include "platform/Prompts_qt.h"
#include "platform/System.h"
#include "playerremote/WAInt_qt.h"
#include "playerremote/pmp3p_qt.h"

#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class PlomvareFixture : public ::testing::Test {
protected:
    using W = pmp3p::RecordingRegisters::Write;

    struct ForwardRegisters final : pmp3p::ReceiverRegisters {
        std::vector<W>* out;
        explicit ForwardRegisters(std::vector<W>* o) : out(o) {}
        void Port_Schreiben(std::uint16_t port, std::uint8_t value) override {
            out->push_back({port, value});
        }
    };

    PlomvareFixture() {
        prompts.onUnexpected = [](const QString& d) { ADD_FAILURE() << d.toStdString(); };
        platform::setPrompts(&prompts);
        platform::setOs(&os);
        WAInt::setPlayer(&player);
        folder = std::filesystem::path(dir.path().toStdString());
    }
    ~PlomvareFixture() override {
        form.reset();
        EXPECT_EQ(prompts.remaining(), 0u) << "prompts expected but not shown";
        platform::setPrompts(nullptr);
        platform::setOs(nullptr);
        WAInt::setPlayer(nullptr);
    }

    pmp3p::TForm1& start(QStringList args = {}, bool ohnePort = true) {
        form.reset();
        pmp3p::TForm1Options o;
        o.programFile = programFile.empty() ? folder / "Plomvare" : programFile;
        o.arguments = std::move(args);
        o.ohnePort = ohnePort;
        o.registers = [this](std::uint16_t, CPort::TCustomComPort&) {
            return std::make_unique<ForwardRegisters>(&writes);
        };
        form = std::make_unique<pmp3p::TForm1>(std::move(o));
        if (ohnePort) form->Zaehler = [this] { return jetzt; };
        closed = false;
        QObject::connect(form.get(), &pmp3p::TForm1::closed, [this] { closed = true; });
        return *form;
    }

    std::filesystem::path ini() const { return folder / "Plomvare.ini"; }
    std::filesystem::path standard() const { return folder / "standard.mpx"; }

    static std::string bytesOf(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void writeBytes(const std::filesystem::path& p, const std::string& b) {
        std::ofstream out(p, std::ios::binary);
        out << b;
    }

    // Feeds a burst as the port and the timer would: the first batch starts
    // the stopped timer, which ticks every 250 ms until the burst has ended.
    void press(const std::vector<burst::Frame>& fs) {
        for (const burst::Batch& b : burst::frames(t, fs)) {
            while (form->Timer1->isActive() && next <= b.stamp) {
                jetzt = next;
                form->Timer1Timer();
                next += burst::kTick;
            }
            if (!form->Timer1->isActive()) {
                form->Timer1->start();
                next = b.stamp + burst::kTick;
            }
            form->Auswertung.empfange(b.stamp, b.bytes.data(), static_cast<int>(b.bytes.size()));
        }
        for (int guard = 0; form->Timer1->isActive() && guard < 100; ++guard) {
            jetzt = next;
            form->Timer1Timer();
            next += burst::kTick;
        }
        t = next + 1000000;
    }

    QTemporaryDir dir;
    std::filesystem::path folder;
    std::filesystem::path programFile; // folder/Plomvare when empty
    platform::ScriptedPrompts prompts;
    platform::RecordingSystem os;
    WAInt::RecordingPlayer player;
    std::vector<W> writes;
    std::int64_t jetzt = 5000000;
    std::int64_t t = 20000000; // the next burst starts here
    std::int64_t next = 0;
    bool closed = false;
    std::unique_ptr<pmp3p::TForm1> form;
};
