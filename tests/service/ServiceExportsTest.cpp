#include "ServiceExports.h"

#include "ModuleState.h"
#include "OpenBlocks.h"
#include "ScriptedHostApp.h"
#include "VantryHostSession.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

TEST(ServiceExports, NamesCopyAtMostTheBufferLength)
{
    char szShort[8];
    std::memset(szShort, 'x', sizeof szShort);
    GetHostServiceName(0, szShort, 3);
    EXPECT_EQ(std::string(szShort, 8), "Vanxxxxx") << "three characters, no terminator";

    char szLong[24];
    std::memset(szLong, 'x', sizeof szLong);
    GetGuestServiceName(0, szLong, 20);
    EXPECT_STREQ(szLong, "Vantry");
    for (int i = 6; i < 20; ++i)
        EXPECT_EQ(szLong[i], 0) << i;
    EXPECT_EQ(szLong[20], 'x');
}

TEST(ServiceExports, FixedAnswers)
{
    EXPECT_EQ(GetHostServiceVersion(), 9);
    EXPECT_EQ(GetGuestServiceVersion(), 9);
    EXPECT_EQ(GetMaxOpenRequestSize(), 508);
    EXPECT_EQ(GetMaxOpenResponseSize(), 508);
    EXPECT_EQ(RequireApproval(0), 0);
    EXPECT_EQ(FillInV6HostInfo(0, 0, 0), 0);
    EXPECT_EQ(FillInV7HostInfo(0, 0, 0), 0);
}

TEST(ServiceExports, IconsExistOnlyBetweenInitAndUninit)
{
    EXPECT_EQ(GetHostIcon(0, 0), nullptr);
    ASSERT_EQ(InitHostService(), 0);
    auto* pSmall = static_cast<TServiceIcon*>(GetHostIcon(0, 0));
    auto* pLarge = static_cast<TServiceIcon*>(GetHostIcon(0, 1));
    ASSERT_NE(pSmall, nullptr);
    ASSERT_NE(pLarge, nullptr);
    EXPECT_EQ(pSmall->nResourceId, kSmallIconId);
    EXPECT_EQ(pLarge->nResourceId, kLargeIconId);
    EXPECT_EQ(pLarge->pixels.size(), std::size_t(pLarge->nSize) * pLarge->nSize);
    EXPECT_EQ(GetHostIcon(0, 2), nullptr);
    EXPECT_STRNE(Module().szUserName, "");
    EXPECT_EQ(UninitHostService(), 0);
    EXPECT_EQ(UninitHostService(), 0) << "may be called twice";
    EXPECT_EQ(GetHostIcon(0, 0), nullptr);
}

namespace {
std::vector<std::uint8_t> Request(std::uint16_t nVersion, std::uint8_t nPlatform = 1, std::uint16_t nLength = 176, std::uint8_t nLevel = 34)
{
    std::vector<std::uint8_t> request(508);
    WriteNetWord(request.data(), OpenBlock::kReqLength, nLength);
    request[OpenBlock::kReqLevel] = nLevel;
    request[OpenBlock::kReqPlatform] = nPlatform;
    WriteNetWord(request.data(), OpenBlock::kReqVersion, nVersion);
    return request;
}
} // namespace

TEST(InitHostSession, AgreesTheVersionAndFillsTheResponse)
{
    const struct {
        std::uint16_t nAsked;
        std::int16_t nStatus;
        std::uint16_t nAgreed;
    } cases[] = {{4, -12001, 0}, {5, 0, 5}, {6, 0, 5}, {7, 0, 7}, {8, 0, 7}, {9, 0, 9}, {12, 0, 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nAsked);
        TScriptedHostApp app;
        auto request = Request(c.nAsked);
        std::vector<std::uint8_t> response(508);
        TVantryHostSession* pSession = reinterpret_cast<TVantryHostSession*>(0x1);
        std::uint16_t nLength = 0;
        EXPECT_EQ(InitHostSession(&app, request.data(), response.data(), &pSession, &nLength), c.nStatus);
        EXPECT_EQ(nLength, 38);
        if (c.nStatus != 0) {
            EXPECT_EQ(pSession, reinterpret_cast<TVantryHostSession*>(0x1)) << "out pointer untouched";
            EXPECT_EQ(app.StreamsOutstanding(), 0u);
            continue;
        }
        EXPECT_EQ(ReadHostWord(response.data(), OpenBlock::kRespVersion), c.nAgreed);
        EXPECT_EQ(ReadNetWord(response.data(), OpenBlock::kRespBufferSize), 4096);
        EXPECT_EQ(pSession->Version(), c.nAgreed);
        EXPECT_EQ(pSession->GetState(), kHostOpened);
        EXPECT_EQ(StopHostSession(pSession, 0), 0);
        EXPECT_EQ(app.StreamsOutstanding(), 0u);
    }
}

TEST(InitHostSession, NameModeAndLevelComeFromTheRequest)
{
    const struct {
        std::uint8_t nPlatform;
        std::uint16_t nLength;
        bool bOEM;
        std::uint8_t nLevel;
    } cases[] = {{0, 176, true, 34}, {1, 176, false, 34}, {1, 35, false, 34}, {1, 34, false, 0}};
    for (const auto& c : cases) {
        TScriptedHostApp app;
        auto request = Request(9, c.nPlatform, c.nLength);
        std::vector<std::uint8_t> response(508);
        TVantryHostSession* pSession = nullptr;
        std::uint16_t nLength = 0;
        ASSERT_EQ(InitHostSession(&app, request.data(), response.data(), &pSession, &nLength), 0);
        EXPECT_EQ(pSession->OEMNames(), c.bOEM);
        EXPECT_EQ(pSession->Level(), c.nLevel) << c.nLength;
        StopHostSession(pSession, 0);
    }
}

TEST(InitHostSession, StreamFailureGivesMinus108AndNoSession)
{
    TScriptedHostApp app;
    app.FailNextCall(ETableCall::CreateStream);
    auto request = Request(9);
    std::vector<std::uint8_t> response(508);
    TVantryHostSession* pSession = nullptr;
    std::uint16_t nLength = 0;
    EXPECT_EQ(InitHostSession(&app, request.data(), response.data(), &pSession, &nLength), -108);
    EXPECT_EQ(pSession, nullptr);
}

TEST(StartHostSession, EachFailingTableCallGivesOneAndStopReleasesEverything)
{
    for (ETableCall eCall : {ETableCall::CreateStream, ETableCall::GetBuffer, ETableCall::Read}) {
        TScriptedHostApp app;
        auto request = Request(9);
        std::vector<std::uint8_t> response(508);
        TVantryHostSession* pSession = nullptr;
        std::uint16_t nLength = 0;
        ASSERT_EQ(InitHostSession(&app, request.data(), response.data(), &pSession, &nLength), 0);
        app.FailNextCall(eCall);
        EXPECT_EQ(StartHostSession(app.Connection(), 0, pSession), 1);
        EXPECT_EQ(StopHostSession(pSession, 7), 0);
        EXPECT_EQ(app.BuffersOutstanding(), 0u);
        EXPECT_EQ(app.StreamsOutstanding(), 0u);
        EXPECT_TRUE(app.Stopped());
        EXPECT_EQ(app.StopValue(), 7);
        EXPECT_FALSE(app.Misused());
    }
}
