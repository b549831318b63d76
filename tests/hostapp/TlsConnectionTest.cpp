// Two connections of the loop talking TLS over a socket pair: the greeting in the clear, then a
// stream read back in pieces of every size, so that decrypted bytes waiting inside TLS (which
// wake no notifier) are always picked up.
#include "Connection.h"
#include "HostKey.h"
#include "LoopTestSupport.h"
#include "TlsContext.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
TEST(TlsConnection, AStreamArrivesIntactWhateverTheReadSizes)
{
    EnsureApplication();
    std::signal(SIGPIPE, SIG_IGN); // as in both front ends: TLS writes to a closed peer fail instead
    const fs::path keyFile = fs::temp_directory_path() / ("vantry-tls-" + std::to_string(::getpid()) + ".pem");
    THostKey key;
    ASSERT_EQ(LoadOrCreateHostKey(keyFile.string(), key), "");
    fs::remove(keyFile);
    const TSslContext pServerContext = NewServerContext(key);
    const TSslContext pClientContext = NewClientContext();
    ASSERT_TRUE(pServerContext && pClientContext);

    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    TConnection host(fds[0], fds[0], "host");
    TConnection guest(fds[1], fds[1], "guest");
    host.Write("VNTR", 4, [](std::int32_t) {});
    SSL* pHostTls = SSL_new(pServerContext.get());
    SSL_set_accept_state(pHostTls);
    host.StartTls(pHostTls);

    std::mt19937 random(7);
    std::string strStream;
    for (std::size_t nSize : {1u, 3u, 4096u, 17u, 40000u, 4095u, 2u, 70000u, 4097u, 16384u, 5u})
        for (int i = 0; i < 20; ++i) {
            std::string strPiece(nSize, '\0');
            for (char& c : strPiece)
                c = static_cast<char>(random());
            host.Write(strPiece.data(), strPiece.size(), [](std::int32_t) {});
            strStream += strPiece;
        }

    char greeting[4] = {};
    bool bGreeted = false;
    guest.Read(greeting, 4, [&](std::int32_t nStatus) { bGreeted = nStatus == 0; });
    ASSERT_TRUE(RunLoopUntil([&] { return bGreeted; }));
    EXPECT_EQ(std::string(greeting, 4), "VNTR");
    SSL* pGuestTls = SSL_new(pClientContext.get());
    SSL_set_connect_state(pGuestTls);
    guest.StartTls(pGuestTls);

    // Reads of 1, 2, 4096, 4093 and 7 bytes in turn, each asked for from the last one's completion.
    const std::size_t lengths[] = {1, 2, 4096, 4093, 7};
    std::string strReceived;
    std::vector<char> buffer(4096);
    std::size_t nTurn = 0;
    bool bFailed = false;
    std::function<void()> readNext = [&] {
        const std::size_t nLength = std::min(lengths[nTurn++ % std::size(lengths)], strStream.size() - strReceived.size());
        if (nLength == 0)
            return;
        guest.Read(buffer.data(), nLength, [&, nLength](std::int32_t nStatus) {
            bFailed |= nStatus != 0;
            strReceived.append(buffer.data(), nLength);
            readNext();
        });
    };
    readNext();
    ASSERT_TRUE(RunLoopUntil([&] { return bFailed || strReceived.size() == strStream.size(); }, 10000))
        << strReceived.size() << " of " << strStream.size() << " bytes";
    EXPECT_FALSE(bFailed);
    EXPECT_TRUE(strReceived == strStream);
    const Handshake::TBytes binding = ExportBinding(guest.Tls());
    EXPECT_EQ(binding.size(), Handshake::kBindingSize);
    EXPECT_EQ(binding, ExportBinding(host.Tls()));
    EXPECT_EQ(PeerFingerprint(guest.Tls()), key.strFingerprint);
}
} // namespace
