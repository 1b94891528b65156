#include "sim/SimRemote_qt.h"

#include "sim/SimReceiver.h"

#include <QGridLayout>
#include <QPushButton>

namespace sim {

SimRemote::SimRemote(SimReceiver& receiver, QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Simulierte Fernbedienung"));
    auto* grid = new QGridLayout(this);
    for (int k = 1; k <= SimReceiver::kTasten; ++k) {
        auto* b = new QPushButton(QStringLiteral("Taste %1").arg(k), this);
        grid->addWidget(b, (k - 1) / 3, (k - 1) % 3);
        connect(b, &QPushButton::pressed, this, [&receiver, k] { receiver.press(k); });
        connect(b, &QPushButton::released, this, [&receiver] { receiver.release(); });
    }
}

} // namespace sim
