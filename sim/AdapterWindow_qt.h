#pragma once
// The window of the simulated adapter: it stands for the hardware a person
// does not have. A row of remote keys (the next capture learns the key chosen
// last), the commands the IR sender emitted and the key each one matches, the
// decks' transports and counters, the IR recorder's state, input and what its
// tape holds. Like hardware it never takes the
// activation: using it leaves the program's active window active.

#include <QWidget>

#include <string>

class QButtonGroup;
class QLabel;
class QTimer;

namespace sim {

class PeoplesDevices;

class AdapterWindow : public QWidget {
    Q_OBJECT
public:
    // `reason`: why the simulated adapter is in use (sim::kBecauseAsked or
    // sim::kBecauseRefused).
    AdapterWindow(PeoplesDevices& devices, const std::string& reason, QWidget* parent = nullptr);

    // Shows the window to the right of `beside` without activating it.
    void showBeside(const QWidget& beside);
    // Reads the devices anew (also every 200 ms while shown).
    void refresh();

    QLabel* reasonLabel = nullptr;
    QButtonGroup* keys = nullptr; // id: index of the remote key
    QLabel* chosenLabel = nullptr;
    QLabel* sentLabel = nullptr;
    QLabel* decksLabel = nullptr;
    QLabel* recorderLabel = nullptr; // state, input and content map

private:
    PeoplesDevices& devices_;
    QTimer* timer_ = nullptr;
};

// The English text of why the simulated adapter is in use.
QString reasonText(const std::string& reason);

} // namespace sim
