#include "Handshake.h"

#include <gtest/gtest.h>

#include <string>

namespace {
Handshake::TBytes Bytes(const std::string& str) { return Handshake::TBytes(str.begin(), str.end()); }

TEST(Handshake, ProofIsHmacSha256OverNonceFlagsRequestAndBinding)
{
    // RFC 4231 test case 2: key "Jefe", data "what do ya want for nothing?", cut into the nonce
    // (16 bytes), the guest flags ("fo"), the request block and the binding.
    const std::string strData = "what do ya want for nothing?";
    Handshake::TNonce nonce;
    std::copy_n(strData.begin(), nonce.size(), nonce.begin());
    const std::uint16_t nFlags = 'f' << 8 | 'o';
    const Handshake::TProof proof = Handshake::ComputeProof("Jefe", nonce, nFlags, Bytes("r not"), Bytes("hing?"));
    const Handshake::TProof expected = {0x5b, 0xdc, 0xc1, 0x46, 0xbf, 0x60, 0x75, 0x4e, 0x6a, 0x04, 0x24,
                                        0x26, 0x08, 0x95, 0x75, 0xc7, 0x5a, 0x00, 0x3f, 0x08, 0x9d, 0x27,
                                        0x39, 0x83, 0x9d, 0xec, 0x58, 0xb9, 0x64, 0xec, 0x38, 0x43};
    EXPECT_TRUE(Handshake::ProofsEqual(proof, expected));
    Handshake::TProof altered = expected;
    altered[31] ^= 1;
    EXPECT_FALSE(Handshake::ProofsEqual(proof, altered));
    EXPECT_FALSE(Handshake::ProofsEqual(Handshake::ComputeProof("", nonce, 0, Bytes("x"), {}),
                                        Handshake::ComputeProof("", nonce, 0, Bytes("y"), {})));
}

TEST(Handshake, GreetingRoundTripsAndStrangersAreRejected)
{
    const Handshake::TBytes bytes =
        Handshake::EncodeGreeting({Handshake::kVersion, Handshake::kFlagPasswordRequired | Handshake::kFlagTlsFollows});
    ASSERT_EQ(bytes.size(), Handshake::kGreetingSize);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("VNTR\0\2\0\3", 8));
    const auto decoded = Handshake::DecodeGreeting(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->nVersion, 2);
    EXPECT_EQ(decoded->nFlags, Handshake::kFlagPasswordRequired | Handshake::kFlagTlsFollows);
    EXPECT_NE(Handshake::NewNonce(), Handshake::NewNonce());

    Handshake::TBytes wrong = bytes;
    wrong[0] = 'X';
    EXPECT_FALSE(Handshake::DecodeGreeting(wrong.data(), wrong.size()));
    EXPECT_FALSE(Handshake::DecodeGreeting(bytes.data(), bytes.size() - 1));
}

TEST(Handshake, GuestHelloAndAnswerLayouts)
{
    Handshake::TGuestHello hello;
    hello.nFlags = 0x1234;
    hello.request = {1, 2, 3};
    hello.strUserName = "ann";
    hello.proof.fill(0xEE);
    const Handshake::TBytes bytes = Handshake::EncodeGuestHello(hello);
    ASSERT_EQ(bytes.size(), 2u + 2 + 3 + 1 + 3 + 32);
    EXPECT_EQ(Handshake::NetWord(bytes.data()), 0x1234);
    EXPECT_EQ(Handshake::NetWord(bytes.data() + 2), 3);
    EXPECT_EQ(bytes[7], 3);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 11), "ann");
    EXPECT_EQ(bytes.back(), 0xEE);

    const Handshake::TBytes answer = Handshake::EncodeAnswer({Handshake::kAuthenticationRefused, {}});
    EXPECT_EQ(answer, (Handshake::TBytes{0xD1, 0x1E, 0, 0})); // -12002, no block
}

TEST(Handshake, ACapabilityIsInUseWhenAnnouncedAndAcknowledged)
{
    using namespace Handshake;
    const std::uint16_t nHost = kFlagPasswordRequired | kFlagTlsFollows | kFlagLargeSizes;
    // The guest acknowledges only capabilities, and only those it speaks.
    EXPECT_EQ(Acknowledge(nHost, kFlagLargeSizes | kFlagPipelining | kFlagTlsFollows), kFlagLargeSizes);
    EXPECT_EQ(Acknowledge(nHost, 0), 0);
    const TNegotiated both{nHost, kFlagLargeSizes, true};
    EXPECT_TRUE(both.Agreed(kFlagLargeSizes));
    EXPECT_FALSE(both.Agreed(kFlagPipelining));
    const TNegotiated hostOnly{nHost, 0, true};
    EXPECT_FALSE(hostOnly.Agreed(kFlagLargeSizes));
    const TNegotiated guestOnly{kFlagPipelining, kFlagPipelining | kFlagLargeSizes, false};
    EXPECT_FALSE(guestOnly.Agreed(kFlagLargeSizes));
    EXPECT_TRUE(guestOnly.Agreed(kFlagPipelining));
}

TEST(Handshake, MadeUpPasswordsAreLongAndDiffer)
{
    const std::string a = Handshake::NewPassword();
    EXPECT_GE(a.size(), 16u);
    EXPECT_NE(a, Handshake::NewPassword());
}
} // namespace
