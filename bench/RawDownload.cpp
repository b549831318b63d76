// A minimal raw guest for the throughput benchmark: connects to `vantry serve`, runs the
// handshake (through TLS when the host says so), asks for the data fork of one file in the root
// of a drive and throws the data away. Prints the byte count, the seconds taken from the request
// to the end of the fork, and the seconds the handshake took from connecting to the answer.
//
//   raw-download PORT PASSWORD DRIVE-LETTER FILE-NAME
#include "BlockingChannel.h"
#include "Handshake.h"
#include "TlsContext.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
[[noreturn]] void Die(const char* pszWhy)
{
    std::fprintf(stderr, "raw-download: %s\n", pszWhy);
    std::exit(1);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        Die("usage: raw-download PORT PASSWORD DRIVE-LETTER FILE-NAME");
    std::signal(SIGPIPE, SIG_IGN);
    // Made before the clock starts: a guest makes its context once, not per connection.
    const TSslContext pContext = NewClientContext();
    const auto connecting = std::chrono::steady_clock::now();
    const int nFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        Die("cannot connect");
    TBlockingChannel channel(nFd, nFd, connecting + std::chrono::hours(1));

    std::uint8_t greetingBytes[Handshake::kGreetingSize];
    if (!channel.Read(greetingBytes, sizeof greetingBytes))
        Die("the host closed the connection");
    const auto greeting = Handshake::DecodeGreeting(greetingBytes, sizeof greetingBytes);
    if (!greeting || greeting->nVersion != Handshake::kVersion)
        Die("not a Vantry host of this version");
    Handshake::TBytes binding;
    if (greeting->nFlags & Handshake::kFlagTlsFollows) {
        std::string strError;
        if (!channel.StartTlsClient(pContext.get(), strError))
            Die(strError.c_str());
        binding = ExportBinding(channel.Tls());
    }
    Handshake::TNonce nonce;
    if (!channel.Read(nonce.data(), nonce.size()))
        Die("the host closed the connection");
    Handshake::TGuestHello guest;
    guest.request.assign(176, 0);
    guest.request[1] = 176;
    guest.request[3] = 34;
    guest.request[148] = 1;
    guest.request[151] = 9;
    guest.proof = Handshake::ComputeProof(argv[2], nonce, guest.nFlags, guest.request, binding);
    const Handshake::TBytes hello = Handshake::EncodeGuestHello(guest);
    std::uint8_t answer[4];
    if (!channel.Write(hello.data(), hello.size()) || !channel.Read(answer, sizeof answer))
        Die("the host closed the connection");
    if (Handshake::NetWord(answer) != 0)
        Die("refused");
    std::vector<std::uint8_t> response(Handshake::NetWord(answer + 2));
    if (!channel.Read(response.data(), response.size()))
        Die("the host closed the connection");
    const double handshakeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - connecting).count();

    // kFTP_msgReqFork: data fork, volume (low byte first), folder by string, name, "\".
    const std::string strName = argv[4];
    const auto nVolume = static_cast<std::uint8_t>((argv[3][0] | 0x20) - 'a' + 1);
    Handshake::TBytes request = {0x8E, 0, 0, nVolume, 0, 0x80, 0, 0, 0, static_cast<std::uint8_t>(strName.size())};
    request.insert(request.end(), strName.begin(), strName.end());
    request.insert(request.end(), {1, '\\'});
    const auto started = std::chrono::steady_clock::now();
    if (!channel.Write(request.data(), request.size()))
        Die("cannot send");

    // Packets: kFTP_msgForkData (code, length BE, data) up to kFTP_msgEndData.
    std::vector<std::uint8_t> buffer(1 << 18);
    std::uint64_t nBytes = 0;
    std::size_t nSkip = 0;   // data bytes of the current packet still to come
    int nHeader = 0;         // header bytes of the next packet still to come (0: expecting a code)
    std::uint16_t nLength = 0;
    for (;;) {
        const auto got = static_cast<ssize_t>(channel.ReadUpTo(buffer.data(), buffer.size()));
        if (got <= 0)
            Die("the host closed the connection during the fork");
        for (std::size_t i = 0; i < static_cast<std::size_t>(got);) {
            if (nSkip > 0) {
                const std::size_t n = std::min(nSkip, static_cast<std::size_t>(got) - i);
                nSkip -= n;
                nBytes += n;
                i += n;
            } else if (nHeader == 0) {
                const std::uint8_t nCode = buffer[i++];
                if (nCode == 0x96) {
                    const double seconds =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
                    std::printf("%llu %.6f %.6f\n", static_cast<unsigned long long>(nBytes), seconds,
                                handshakeSeconds);
                    return 0;
                }
                if (nCode != 0x8C)
                    Die("unexpected message during the fork");
                nHeader = 2;
            } else {
                nLength = static_cast<std::uint16_t>(nLength << 8 | buffer[i++]);
                if (--nHeader == 0) {
                    nSkip = nLength;
                    nLength = 0;
                }
            }
        }
    }
}
