#pragma once
// Bounded waiting in widget tests: events are processed until the condition holds or the time is
// up, so a fault fails the test instead of hanging the suite.

#include <QApplication>
#include <QElapsedTimer>

#include <chrono>
#include <functional>
#include <thread>

inline bool WaitUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
