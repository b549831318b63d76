// The acceptor out of descriptors, in a child process with a low descriptor limit: it pauses
// instead of waking up for the waiting connections again and again, says so once, and takes
// them when descriptors are free again.
#include "Acceptor.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace {
constexpr int kWaiting = 3;

// Exit status: 0 when all went as it should; else the step that went wrong.
[[noreturn]] void ShortOfDescriptors(int nPortPipe, int nGoPipe)
{
    int argc = 1;
    char szName[] = "acceptor-child";
    char* argv[] = {szName, nullptr};
    QCoreApplication app(argc, argv);
    int nNotices = 0;
    std::vector<int> accepted;
    TAcceptor acceptor([&accepted](int nFd) { accepted.push_back(nFd); }, [&nNotices](const std::string&) { ++nNotices; });
    if (!acceptor.Listen("127.0.0.1", 0).empty())
        _exit(10);
    // Every descriptor left is taken.
    rlimit limit{64, 64};
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> filler;
    for (int nFd; (nFd = dup(0)) >= 0;)
        filler.push_back(nFd);
    const std::uint16_t nPort = acceptor.Port();
    if (write(nPortPipe, &nPort, sizeof nPort) != sizeof nPort)
        _exit(11);
    char c = 0;
    if (read(nGoPipe, &c, 1) != 1) // the connections are waiting
        _exit(12);
    int nStatus = 0;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (acceptor.Stats().nPauses >= 3 && !filler.empty()) {
            // Several pauses, each a single wake-up: no busy loop. Now free descriptors.
            if (acceptor.Stats().nWakeups > acceptor.Stats().nPauses + 1)
                nStatus = 20;
            if (nNotices != 1)
                nStatus = 21;
            for (int nFd : filler)
                close(nFd);
            filler.clear();
        }
        if (static_cast<int>(accepted.size()) == kWaiting)
            QCoreApplication::quit();
    });
    check.start(10);
    QCoreApplication::exec();
    _exit(nStatus);
}
} // namespace

TEST(Acceptor, OutOfDescriptorsItPausesAndSaysSoOnce)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizer's runtime needs descriptors of its own under the lowered limit";
#endif
    int portPipe[2];
    int goPipe[2];
    ASSERT_EQ(pipe(portPipe), 0);
    ASSERT_EQ(pipe(goPipe), 0);
    const pid_t nChild = fork();
    ASSERT_GE(nChild, 0);
    if (nChild == 0) {
        close(portPipe[0]);
        close(goPipe[1]);
        ShortOfDescriptors(portPipe[1], goPipe[0]);
    }
    close(portPipe[1]);
    close(goPipe[0]);
    std::uint16_t nPort = 0;
    ASSERT_EQ(read(portPipe[0], &nPort, sizeof nPort), static_cast<ssize_t>(sizeof nPort));
    std::vector<int> clients;
    for (int i = 0; i < kWaiting; ++i) {
        const int nFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(nPort);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        clients.push_back(nFd);
    }
    ASSERT_EQ(write(goPipe[1], "g", 1), 1);
    int nStatus = 0;
    ASSERT_EQ(waitpid(nChild, &nStatus, 0), nChild);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
    for (int nFd : clients)
        close(nFd);
    close(portPipe[0]);
    close(goPipe[1]);
}
