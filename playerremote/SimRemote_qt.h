#pragma once
// The window of the simulated remote: one button per key; a key sends while
// it is held down.

#include <QWidget>

namespace pmp3p {

class SimReceiver;

class SimRemote : public QWidget {
    Q_OBJECT
public:
    explicit SimRemote(SimReceiver& receiver, QWidget* parent = nullptr);
};

} // namespace pmp3p
