#pragma once
// The window of the simulated remote: one button per key; a key sends while
// it is held down.

#include <QWidget>

namespace sim {

class SimReceiver;

class SimRemote : public QWidget {
    Q_OBJECT
public:
    explicit SimRemote(SimReceiver& receiver, QWidget* parent = nullptr);
};

} // namespace sim
