// The signal watcher in a child process: a second signal ends the process when asked to, even
// while the loop that would hear the first one does not come back.
#include "SignalWatcher.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Runs in the child: two SIGINTs before the loop runs, then the loop once. The exit status is
// the number of signals the callback heard.
[[noreturn]] void TwoSignalsInAChild(ESecondSignal eSecond)
{
    int argc = 1;
    char szName[] = "signal-child";
    char* argv[] = {szName, nullptr};
    QCoreApplication app(argc, argv);
    int nHeard = 0;
    TSignalWatcher watcher([&nHeard](int) { ++nHeard; }, nullptr, eSecond);
    std::raise(SIGINT);
    std::raise(SIGINT);
    QCoreApplication::processEvents();
    _exit(nHeard);
}
} // namespace

TEST(SignalWatcher, ASecondSignalEndsTheProcessWhenAsked)
{
    const struct {
        ESecondSignal eSecond;
        bool bKilled;
        int nHeard;
    } cases[] = {{ESecondSignal::Deliver, false, 2}, {ESecondSignal::EndProcess, true, 0}};
    for (const auto& c : cases) {
        const pid_t nChild = fork();
        ASSERT_GE(nChild, 0);
        if (nChild == 0)
            TwoSignalsInAChild(c.eSecond);
        int nStatus = 0;
        ASSERT_EQ(waitpid(nChild, &nStatus, 0), nChild);
        if (c.bKilled) {
            ASSERT_TRUE(WIFSIGNALED(nStatus));
            EXPECT_EQ(WTERMSIG(nStatus), SIGINT);
        } else {
            ASSERT_TRUE(WIFEXITED(nStatus));
            EXPECT_EQ(WEXITSTATUS(nStatus), c.nHeard);
        }
    }
}
