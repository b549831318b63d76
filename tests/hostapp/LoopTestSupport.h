// The Qt application object and loop turns for tests of the host application's classes.
#pragma once

#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <thread>

inline void EnsureApplication()
{
    static int s_argc = 1;
    static char s_name[] = "hostapp_tests";
    static char* s_argv[] = {s_name, nullptr};
    static QCoreApplication* s_pApp = QCoreApplication::instance() ? nullptr : new QCoreApplication(s_argc, s_argv);
    (void)s_pApp;
}

// Turns the loop until the condition holds or the time is up; returns the condition.
inline bool RunLoopUntil(const std::function<bool()>& fnDone, int nMilliseconds = 3000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
    while (!fnDone()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

inline void RunLoopFor(int nMilliseconds)
{
    RunLoopUntil([] { return false; }, nMilliseconds);
}
