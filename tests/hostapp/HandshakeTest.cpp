#include "Handshake.h"

#include <gtest/gtest.h>

#include <string>

namespace {
Handshake::TBytes Bytes(const std::string& str) { return Handshake::TBytes(str.begin(), str.end()); }

TEST(Handshake, ProofIsHmacSha256OverNonceThenRequest)
{
    // RFC 4231 test case 2: key "Jefe", data "what do ya want for nothing?", split after 16 bytes.
    const std::string strData = "what do ya want for nothing?";
    Handshake::TNonce nonce;
    std::copy_n(strData.begin(), nonce.size(), nonce.begin());
    const Handshake::TProof proof = Handshake::ComputeProof("Jefe", nonce, Bytes(strData.substr(16)));
    const Handshake::TProof expected = {0x5b, 0xdc, 0xc1, 0x46, 0xbf, 0x60, 0x75, 0x4e, 0x6a, 0x04, 0x24,
                                        0x26, 0x08, 0x95, 0x75, 0xc7, 0x5a, 0x00, 0x3f, 0x08, 0x9d, 0x27,
                                        0x39, 0x83, 0x9d, 0xec, 0x58, 0xb9, 0x64, 0xec, 0x38, 0x43};
    EXPECT_TRUE(Handshake::ProofsEqual(proof, expected));
    Handshake::TProof altered = expected;
    altered[31] ^= 1;
    EXPECT_FALSE(Handshake::ProofsEqual(proof, altered));
    EXPECT_FALSE(Handshake::ProofsEqual(Handshake::ComputeProof("", nonce, Bytes("x")),
                                        Handshake::ComputeProof("", nonce, Bytes("y"))));
}

TEST(Handshake, HelloRoundTripsAndStrangersAreRejected)
{
    Handshake::THello hello;
    hello.nFlags = Handshake::kFlagPasswordRequired;
    hello.nonce = Handshake::NewNonce();
    const Handshake::TBytes bytes = Handshake::EncodeHello(hello);
    ASSERT_EQ(bytes.size(), Handshake::kHelloSize);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), std::string("VNTR\0\2\0\1", 8));
    const auto decoded = Handshake::DecodeHello(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->nFlags, Handshake::kFlagPasswordRequired);
    EXPECT_EQ(decoded->nonce, hello.nonce);
    EXPECT_NE(Handshake::NewNonce(), hello.nonce);

    Handshake::TBytes wrong = bytes;
    wrong[0] = 'X';
    EXPECT_FALSE(Handshake::DecodeHello(wrong.data(), wrong.size()));
    EXPECT_FALSE(Handshake::DecodeHello(bytes.data(), bytes.size() - 1));
}

TEST(Handshake, GuestHelloAndAnswerLayouts)
{
    Handshake::TGuestHello hello;
    hello.request = {1, 2, 3};
    hello.strUserName = "ann";
    hello.nFlags = Handshake::kFlagLargeSizes;
    hello.proof.fill(0xEE);
    const Handshake::TBytes bytes = Handshake::EncodeGuestHello(hello);
    ASSERT_EQ(bytes.size(), 2u + 3 + 1 + 3 + 2 + 32);
    EXPECT_EQ(Handshake::NetWord(bytes.data()), 3);
    EXPECT_EQ(bytes[5], 3);
    EXPECT_EQ(std::string(bytes.begin() + 6, bytes.begin() + 9), "ann");
    EXPECT_EQ(Handshake::NetWord(bytes.data() + 9), Handshake::kFlagLargeSizes);
    EXPECT_EQ(bytes.back(), 0xEE);
    // The proof covers the flags after the request block.
    EXPECT_EQ(Handshake::ProvenBytes(hello.request, Handshake::kFlagLargeSizes), (Handshake::TBytes{1, 2, 3, 0, 2}));

    const Handshake::TBytes answer = Handshake::EncodeAnswer({Handshake::kAuthenticationRefused, {}});
    EXPECT_EQ(answer, (Handshake::TBytes{0xD1, 0x1E, 0, 0})); // -12002, no block
}

TEST(Handshake, MadeUpPasswordsAreLongAndDiffer)
{
    const std::string a = Handshake::NewPassword();
    EXPECT_GE(a.size(), 16u);
    EXPECT_NE(a, Handshake::NewPassword());
}
} // namespace
