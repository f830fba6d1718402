#pragma once

// Processes Qt events until a condition holds, for tests that wait for
// queued signals, threads or child programs.
//
// This folder has no CMakeLists.txt of its own; a test includes this header by path.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

// True once `condition` holds; false when `ms` passed first.
inline bool WaitForEvents(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}
