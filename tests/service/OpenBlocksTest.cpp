#include "OpenBlocks.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
constexpr std::uint16_t R = PrivilegeMask(kPrivilegeBitRead);
constexpr std::uint16_t W = PrivilegeMask(kPrivilegeBitWrite);
constexpr std::uint16_t X = PrivilegeMask(kPrivilegeBitRemove);
constexpr std::uint16_t H = PrivilegeMask(kPrivilegeBitHost);
} // namespace

TEST(OpenBlocks, VersionAgreement)
{
    const struct {
        std::uint16_t nAsked, nAgreed;
    } cases[] = {{0, 0}, {4, 0}, {5, 5}, {6, 5}, {7, 7}, {8, 7}, {9, 9}, {10, 9}, {12, 9}, {0xFFFF, 9}};
    for (const auto& c : cases)
        EXPECT_EQ(AgreeProtocolVersion(c.nAsked), c.nAgreed) << c.nAsked;
}

TEST(OpenBlocks, SetupV7RequestWritesTheVersionBigEndianAndTheHostReadsItBack)
{
    OVConnectionOptions options;
    OVGuestEntry entry;
    entry.pOptions = &options;
    for (const auto& [nSelector, nVersion] : {std::pair{0, 9}, std::pair{8, 7}, std::pair{7, 9}}) {
        options.wProtocolSelector = static_cast<std::uint16_t>(nSelector);
        std::uint8_t request[OpenBlock::kV7RequestLength] = {};
        std::uint16_t nLength = 0;
        EXPECT_EQ(SetupV7Request(&entry, request, &nLength), 0);
        EXPECT_EQ(nLength, 176);
        EXPECT_EQ(request[150], 0);
        EXPECT_EQ(request[151], nVersion);
        EXPECT_EQ(RequestedProtocolVersion(request), nVersion);
        EXPECT_EQ(AgreeProtocolVersion(RequestedProtocolVersion(request)), nVersion) << "a guest asking for 7 is agreed at 7";
    }
}

TEST(OpenBlocks, SetupV6RequestCapsTheVersionAt9)
{
    for (const auto& [nSource, nStored] : {std::pair{12, 9}, std::pair{10, 9}, std::pair{7, 7}}) {
        std::vector<std::uint8_t> source(508), v6(508);
        WriteHostWord(source.data(), OpenBlock::kV6SourceVersion, static_cast<std::uint16_t>(nSource));
        SetupV6Request(nullptr, source.data(), v6.data());
        EXPECT_EQ(ReadNetWord(v6.data(), OpenBlock::kV6ReqVersion), nStored);
    }
}

TEST(OpenBlocks, V6ResponsesTranslateBothWays)
{
    std::vector<std::uint8_t> v7(38), v6(508);
    WriteHostWord(v7.data(), OpenBlock::kRespPrivileges, R | X);
    WriteNetWord(v7.data(), OpenBlock::kRespBufferSize, 4096);
    FillInV6OpenResponse(nullptr, v7.data(), v6.data());
    EXPECT_EQ(v6[14], 1);
    EXPECT_EQ(v6[15], 0);
    EXPECT_EQ(v6[16], 1);
    EXPECT_EQ(ReadNetWord(v6.data(), 12), 4096);

    OVGuestEntry entry;
    TranslateV6Response(&entry, nullptr, v6.data());
    EXPECT_EQ(ReadHostWord(entry.openResponse, OpenBlock::kRespPrivileges), R | X | H);
    EXPECT_EQ(ReadNetWord(entry.openResponse, OpenBlock::kRespBufferSize), 4096);

    OVGuestEntry none;
    std::vector<std::uint8_t> v6None(508);
    TranslateV6Response(&none, nullptr, v6None.data());
    EXPECT_EQ(ReadHostWord(none.openResponse, OpenBlock::kRespPrivileges), 0) << "bit 4 only with a grant";
}

TEST(OpenBlocks, PrivilegeQueries)
{
    EXPECT_EQ(CanBeAccessedWithPrivileges(nullptr, H), 0);
    EXPECT_EQ(CanBeAccessedWithPrivileges(nullptr, 0), 0);
    EXPECT_EQ(CanBeAccessedWithPrivileges(nullptr, R), 1);
    EXPECT_EQ(CanBeAccessedWithPrivileges(nullptr, X | H), 1);

    EXPECT_EQ(HasMoreAccessWithPrivileges(nullptr, R | W, R), 1);
    EXPECT_EQ(HasMoreAccessWithPrivileges(nullptr, R, R | X), 0);
    EXPECT_EQ(HasMoreAccessWithPrivileges(nullptr, R | H, R), 0);
    EXPECT_EQ(HasMoreAccessWithPrivileges(nullptr, X, 0), 1);
}
