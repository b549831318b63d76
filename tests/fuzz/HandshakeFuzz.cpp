// The host's side of the handshake on any bytes: the first bytes as a greeting (a greeting that
// decodes encodes back to the same bytes), the rest as the open request block the guest sends,
// which the service takes or refuses. An accepted session is started and stopped on the scripted
// host application. Stops on a crash, a response longer than its block, or a broken table rule.
#include "FuzzSeeds.h"
#include "Handshake.h"
#include "OpenBlocks.h"
#include "ScriptedHostApp.h"
#include "ServiceExports.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
[[noreturn]] void Fail(const char* pszWhy)
{
    std::fprintf(stderr, "%s\n", pszWhy);
    std::abort();
}

void CheckGreeting(const std::uint8_t* pData, std::size_t nSize)
{
    const std::size_t nGreeting = std::min(nSize, Handshake::kGreetingSize);
    if (const auto greeting = Handshake::DecodeGreeting(pData, nGreeting)) {
        const Handshake::TBytes encoded = Handshake::EncodeGreeting(*greeting);
        if (encoded.size() != nGreeting || std::memcmp(encoded.data(), pData, nGreeting) != 0)
            Fail("a decoded greeting encodes to other bytes");
    }
}

void OpenSession(const std::uint8_t* pBlock, std::size_t nSize, std::uint16_t nPrivileges)
{
    // As the host does: what the guest did not send reads as zeros.
    std::uint8_t request[kOpenBlockMax] = {};
    std::memcpy(request, pBlock, std::min(nSize, kOpenBlockMax));
    std::uint8_t response[kOpenBlockMax] = {};
    WriteHostWord(response, OpenBlock::kRespPrivileges, nPrivileges);
    TScriptedHostApp app;
    TScriptedWindow window;
    OVSetHostWindow(&window);
    TVantryHostSession* pSession = nullptr;
    std::uint16_t nLength = 0;
    if (InitHostSession(&app, request, response, &pSession, &nLength) == 0) {
        if (nLength > kOpenBlockMax)
            Fail("the open response is longer than its block");
        Handshake::ResponseToWire(response);
        Handshake::ResponseFromWire(response);
        if (StartHostSession(app.Connection(), 0, pSession) == 0)
            app.Run();
        StopHostSession(pSession, 0);
        app.Run();
        if (app.BuffersOutstanding() != 0 || app.StreamsOutstanding() != 0 || app.Misused())
            Fail("the session broke the table's rules");
    }
    OVSetHostWindow(nullptr);
}
// A greeting, the privilege byte, and the open requests the host tests make.
TSeeds MakeSeeds()
{
    Handshake::TGreeting greeting;
    greeting.nFlags = Handshake::kFlagPasswordRequired | Handshake::kFlagTlsFollows;
    const Handshake::TBytes helloBytes = Handshake::EncodeGreeting(greeting);
    TSeeds seeds;
    for (const std::uint16_t nVersion : {5, 7, 9, 3})
        for (const std::uint8_t nPlatform : {0, 1}) {
            std::vector<std::uint8_t> request(OpenBlock::kV7RequestLength, 0);
            WriteNetWord(request.data(), OpenBlock::kReqLength, OpenBlock::kV7RequestLength);
            request[OpenBlock::kReqLevel] = 34;
            request[OpenBlock::kReqPlatform] = nPlatform;
            WriteNetWord(request.data(), OpenBlock::kReqVersion, nVersion);
            seeds.push_back(helloBytes);
            seeds.back().push_back(static_cast<std::uint8_t>(kPrivilegeAll));
            seeds.back().insert(seeds.back().end(), request.begin(), request.end());
        }
    return seeds;
}
} // namespace

VANTRY_FUZZ_SEEDS(MakeSeeds)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    CheckGreeting(pData, nSize);
    if (nSize > Handshake::kGreetingSize + 1) {
        const std::uint8_t nPrivileges = pData[Handshake::kGreetingSize];
        OpenSession(pData + Handshake::kGreetingSize + 1, nSize - Handshake::kGreetingSize - 1, nPrivileges);
    }
    return 0;
}
