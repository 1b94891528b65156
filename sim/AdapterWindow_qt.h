#pragma once
// The window of the simulated adapter: it stands for the hardware a person
// does not have. A row of remote keys (the next capture learns the key chosen
// last), the commands the IR sender emitted and the key each one matches, the
// decks' transports and counters, the IR recorder's state, input and what its
// tape holds. Like hardware it never takes the
// activation: using it leaves the program's active window active.

#include "platform/ScreenFit_qt.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QButtonGroup;
class QLabel;
class QScrollArea;
class QTimer;

namespace sim {

class PeoplesDevices;

class AdapterWindow : public QWidget {
    Q_OBJECT
public:
    // `reason`: why the simulated adapter is in use (sim::kBecauseAsked or
    // sim::kBecauseRefused).
    AdapterWindow(PeoplesDevices& devices, const std::string& reason, QWidget* parent = nullptr);

    // Shows the window without activating it: beside `beside` (to its
    // right, or its left where only that side has room; their frames apart),
    // or where it was left at an earlier start (its outer frame); whole on
    // the work area in either case.
    void showBeside(QWidget& beside);
    void showAt(const QRect& frame);
    // The outer frame where the window stands or stood when it was closed;
    // none when it was never shown.
    std::optional<QRect> leftFrame() const;
    // Reads the devices anew (also every 200 ms while shown).
    void refresh();

    QLabel* reasonLabel = nullptr;
    QButtonGroup* keys = nullptr; // id: index of the remote key
    QLabel* chosenLabel = nullptr;
    QLabel* sentLabel = nullptr;
    QLabel* decksLabel = nullptr;
    QLabel* recorderStateLabel = nullptr; // state, input and counter
    QLabel* recorderLabel = nullptr;      // the content map, one segment a line
    QScrollArea* recorderMap = nullptr;   // scrolls recorderLabel

protected:
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void placeBeside(const QWidget& beside);
    void place(const QRect& frame);

    PeoplesDevices& devices_;
    QTimer* timer_ = nullptr;
    platform::OuterFrame frame_{*this};
    bool shown_ = false;
    // Follows the window it was placed beside until that is framed.
    std::unique_ptr<platform::FrameWatch> besideWatch_;
    bool followMap_ = true;
};

// The English text of why the simulated adapter is in use.
QString reasonText(const std::string& reason);

} // namespace sim
