// A minimal raw guest for the throughput benchmark: connects to `vantry serve`, runs the
// handshake, asks for the data fork of one file in the root of a drive and throws the data
// away. Prints the byte count and the seconds taken, from the request to the end of the fork.
//
//   raw-download PORT PASSWORD DRIVE-LETTER FILE-NAME
#include "Handshake.h"

#include <arpa/inet.h>
#include <chrono>
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

void ReadFully(int nFd, std::uint8_t* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t got = ::read(nFd, p, n);
        if (got <= 0)
            Die("the host closed the connection");
        p += got;
        n -= static_cast<std::size_t>(got);
    }
}

void WriteFully(int nFd, const Handshake::TBytes& bytes)
{
    if (::write(nFd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        Die("cannot send");
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        Die("usage: raw-download PORT PASSWORD DRIVE-LETTER FILE-NAME");
    const int nFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        Die("cannot connect");

    std::uint8_t helloBytes[Handshake::kHelloSize];
    ReadFully(nFd, helloBytes, sizeof helloBytes);
    const auto hello = Handshake::DecodeHello(helloBytes, sizeof helloBytes);
    if (!hello)
        Die("not a Vantry host");
    Handshake::TGuestHello guest;
    guest.request.assign(176, 0);
    guest.request[1] = 176;
    guest.request[3] = 34;
    guest.request[148] = 1;
    guest.request[151] = 9;
    guest.proof = Handshake::ComputeProof(argv[2], hello->nonce, guest.request);
    WriteFully(nFd, Handshake::EncodeGuestHello(guest));
    std::uint8_t answer[4];
    ReadFully(nFd, answer, sizeof answer);
    if (Handshake::NetWord(answer) != 0)
        Die("refused");
    std::vector<std::uint8_t> response(Handshake::NetWord(answer + 2));
    ReadFully(nFd, response.data(), response.size());

    // kFTP_msgReqFork: data fork, volume (low byte first), folder by string, name, "\".
    const std::string strName = argv[4];
    const auto nVolume = static_cast<std::uint8_t>((argv[3][0] | 0x20) - 'a' + 1);
    Handshake::TBytes request = {0x8E, 0, 0, nVolume, 0, 0x80, 0, 0, 0, static_cast<std::uint8_t>(strName.size())};
    request.insert(request.end(), strName.begin(), strName.end());
    request.insert(request.end(), {1, '\\'});
    const auto started = std::chrono::steady_clock::now();
    WriteFully(nFd, request);

    // Packets: kFTP_msgForkData (code, length BE, data) up to kFTP_msgEndData.
    std::vector<std::uint8_t> buffer(1 << 18);
    std::uint64_t nBytes = 0;
    std::size_t nSkip = 0;   // data bytes of the current packet still to come
    int nHeader = 0;         // header bytes of the next packet still to come (0: expecting a code)
    std::uint16_t nLength = 0;
    for (;;) {
        const ssize_t got = ::read(nFd, buffer.data(), buffer.size());
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
                    std::printf("%llu %.6f\n", static_cast<unsigned long long>(nBytes), seconds);
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
