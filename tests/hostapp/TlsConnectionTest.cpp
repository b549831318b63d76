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
#include <optional>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
struct TTlsContexts {
    THostKey key;
    TSslContext pServer;
    TSslContext pClient;
};

TTlsContexts MakeContexts()
{
    EnsureApplication();
    std::signal(SIGPIPE, SIG_IGN); // as in both front ends: TLS writes to a closed peer fail instead
    const fs::path keyFile = fs::temp_directory_path() / ("vantry-tls-" + std::to_string(::getpid()) + ".pem");
    TTlsContexts contexts;
    EXPECT_EQ(LoadOrCreateHostKey(keyFile.string(), contexts.key), "");
    fs::remove(keyFile);
    contexts.pServer = NewServerContext(contexts.key);
    contexts.pClient = NewClientContext();
    return contexts;
}

TEST(TlsConnection, AStreamArrivesIntactWhateverTheReadSizes)
{
    const TTlsContexts contexts = MakeContexts();
    const THostKey& key = contexts.key;
    const TSslContext& pServerContext = contexts.pServer;
    const TSslContext& pClientContext = contexts.pClient;
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

// A peer that goes away in the middle of a record: a read asked for after the end has been seen
// fails at once, though TLS still holds the unfinished record.
TEST(TlsConnection, AReadAfterAPeerDiedInTheMiddleOfARecordFails)
{
    const TTlsContexts contexts = MakeContexts();
    ASSERT_TRUE(contexts.pServer && contexts.pClient);
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds), 0);
    TConnection guest(fds[1], fds[1], "guest");
    // The host's end is driven by hand through memory, so that its last record can be cut short.
    SSL* pHost = SSL_new(contexts.pServer.get());
    BIO* pIn = BIO_new(BIO_s_mem());
    BIO* pOut = BIO_new(BIO_s_mem());
    SSL_set_bio(pHost, pIn, pOut);
    SSL_set_accept_state(pHost);
    const auto sendOut = [&](std::size_t nHoldBack) {
        std::string strOut(static_cast<std::size_t>(BIO_pending(pOut)), '\0');
        BIO_read(pOut, strOut.data(), static_cast<int>(strOut.size()));
        strOut.resize(strOut.size() - std::min(nHoldBack, strOut.size()));
        ASSERT_EQ(::write(fds[0], strOut.data(), strOut.size()), static_cast<ssize_t>(strOut.size()));
    };
    const auto shuttle = [&] {
        char buffer[65536];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            BIO_write(pIn, buffer, static_cast<int>(n));
        SSL_do_handshake(pHost);
        sendOut(0);
        return SSL_is_init_finished(pHost) == 1;
    };
    SSL* pGuestTls = SSL_new(contexts.pClient.get());
    SSL_set_connect_state(pGuestTls);
    guest.StartTls(pGuestTls);
    std::string strFirst(20000, '\0');
    bool bFirst = false;
    guest.Read(strFirst.data(), strFirst.size(), [&](std::int32_t nStatus) { bFirst = nStatus == 0; });
    ASSERT_TRUE(RunLoopUntil(shuttle, 10000));

    const std::string strStream(40000, 'x'); // records of 16384, 16384 and 7232 bytes
    for (std::size_t nDone = 0; nDone < strStream.size();) {
        const int nWritten = SSL_write(pHost, strStream.data() + nDone, static_cast<int>(strStream.size() - nDone));
        ASSERT_GT(nWritten, 0) << SSL_get_error(pHost, nWritten);
        nDone += static_cast<std::size_t>(nWritten);
    }
    sendOut(100); // the last record loses its end
    ::shutdown(fds[0], SHUT_WR);
    ASSERT_TRUE(RunLoopUntil([&] { return bFirst && guest.EndOfStream(); }, 10000));

    std::string strRest(20000, '\0');
    std::optional<std::int32_t> nRest;
    guest.Read(strRest.data(), strRest.size(), [&](std::int32_t nStatus) { nRest = nStatus; });
    ASSERT_TRUE(RunLoopUntil([&] { return nRest.has_value(); }, 10000)) << "the read was left waiting for ever";
    EXPECT_NE(*nRest, 0);
    SSL_free(pHost);
    ::close(fds[0]);
}
} // namespace
