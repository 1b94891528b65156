#pragma once
// Deliveries to the GUI thread through Qt's event loop.

#include "comport/Dispatcher.h"

class QObject;

namespace CPort {

class QtDispatcher final : public MainThreadDispatcher {
public:
    // Calls run on the thread of `context` (the application object by default).
    explicit QtDispatcher(QObject* context = nullptr);
    void post(std::function<void()> fn) override;

private:
    QObject* context_;
};

} // namespace CPort
