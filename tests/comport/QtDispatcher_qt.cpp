#include "comport/Dispatcher_qt.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// Synchronised deliveries posted from the event thread run later, on the GUI
// thread, in the order posted.
TEST(QtDispatcher, RunsPostedCallsOnTheGuiThreadInOrder) {
    CPort::QtDispatcher dispatcher;
    std::vector<int> order;
    std::atomic<int> onGuiThread{0};
    QThread* gui = QThread::currentThread();

    std::thread poster([&] {
        for (int i = 0; i < 3; ++i)
            dispatcher.post([&, i] {
                order.push_back(i);
                if (QThread::currentThread() == gui) ++onGuiThread;
            });
    });
    poster.join();
    EXPECT_TRUE(order.empty()) << "nothing runs before the GUI loop does";

    QElapsedTimer t;
    t.start();
    while (order.size() < 3 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(onGuiThread.load(), 3);
}
