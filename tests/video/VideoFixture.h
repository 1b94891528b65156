#pragma once
// The video window beside the main window, on the simulated adapter on a
// virtual clock: a Control-L deck on channel 1 and a Panasonic deck on
// channel 2 when asked for, scripted prompts and modal dialogs, date and time
// derived from the virtual clock, and no real event processing.

#include "support/DeskFixture.h"

#include "engine/ControlL.h"
#include "engine/EditLine.h"
#include "engine/Panasonic.h"
#include "platform/Codepage_qt.h"
#include "sim/ControlLDeck.h"
#include "sim/PanasonicDeck.h"
#include "video/Kamera_qt.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <memory>

class VideoFixture : public DeskFixture {
protected:
    // One bit of the 9600-baud bus in turns of the delay loop, less the delay
    // from the bus edge to the write: the stored Control-L calibration.
    static constexpr std::int32_t kSony1 = 9895 - 200;
    static constexpr std::int32_t kSony2 = 2 * 9895 - 200;

    VideoFixture() { writeCompleteSettings(); }
    ~VideoFixture() override {
        if (kamera)
            platform::WindowTracker::instance().unregisterWindow(
                static_cast<QWidget*>(kamera.get()));
        kamera.reset();
    }

    void sonyKalibriert() {
        platform::IniFile ini(iniPath());
        ini.writeInteger("Sony", "Sony1", kSony1);
        ini.writeInteger("Sony", "Sony2", kSony2);
    }

    video::TKameraDialog& makeKamera(QStringList args = {}) {
        makeForm(std::move(args));
        kamera = std::make_unique<video::TKameraDialog>(*form);
        form->KameraDialog = kamera.get();
        kamera->ProcessMessages = [this] {
            if (onProcessMessages) onProcessMessages();
        };
        kamera->Jetzt = [this] {
            return QDateTime(QDate(2026, 12, 8), QTime(10, 0))
                .addMSecs(static_cast<qint64>(clock.nowUs() / 1000));
        };
        kamera->RasterFokus = [this] { return rasterFokus; };
        return *kamera;
    }

    // The main window's first activation, then the video window's.
    void activateBoth() {
        activate();
        activateKamera();
    }
    void activateKamera() {
        platform::WindowTracker::instance().activate(static_cast<QWidget*>(kamera.get()));
    }

    void attachDecks() {
        sony = std::make_shared<sim::ControlLDeck>();
        pana = std::make_shared<sim::PanasonicDeck>();
        sim.adapter.attach(sony, {1});
        sim.adapter.attach(pana, {2});
    }

    // One tick of the window's timer after 600 ms.
    void tick() {
        clock.advanceMs(600);
        sim.sync();
        kamera->Timer1Timer();
    }

    void zeile(int r, std::array<std::string, 5> z) {
        for (int c = 0; c < 5; ++c)
            kamera->Raster.setZelle(c, r, z[static_cast<std::size_t>(c)]);
    }

    static std::string text(const QLineEdit* e) { return platform::toCp1252(e->text()); }
    bool hatZeile(const std::string& s) const {
        return std::find(memo.lines.begin(), memo.lines.end(), s) != memo.lines.end();
    }

    bool rasterFokus = true;
    std::unique_ptr<video::TKameraDialog> kamera;
    std::shared_ptr<sim::ControlLDeck> sony;
    std::shared_ptr<sim::PanasonicDeck> pana;
};
