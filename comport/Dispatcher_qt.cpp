#include "comport/Dispatcher_qt.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace CPort {

QtDispatcher::QtDispatcher(QObject* context)
    : context_(context ? context : QCoreApplication::instance()) {}

void QtDispatcher::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(context_, std::move(fn), Qt::QueuedConnection);
}

} // namespace CPort
