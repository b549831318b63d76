#include "Handshake.h"

#include "OpenBlocks.h"

#include <bit>
#include <cstring>
#include <stdexcept>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

namespace Handshake {
namespace {
void PutWord(TBytes& out, std::uint16_t n)
{
    out.push_back(static_cast<std::uint8_t>(n >> 8));
    out.push_back(static_cast<std::uint8_t>(n));
}

void RandomBytes(std::uint8_t* pOut, std::size_t nLength)
{
    if (RAND_bytes(pOut, static_cast<int>(nLength)) != 1)
        throw std::runtime_error("no random bytes available");
}

void SwapHostField(std::uint8_t* pBlock, std::size_t nOffset)
{
    if constexpr (std::endian::native == std::endian::big)
        std::swap(pBlock[nOffset], pBlock[nOffset + 1]);
}
} // namespace

TNonce NewNonce()
{
    TNonce nonce;
    RandomBytes(nonce.data(), nonce.size());
    return nonce;
}

std::string NewPassword()
{
    // No look-alike characters: the password is read off a terminal and typed in elsewhere.
    static constexpr char kAlphabet[] = "abcdefghjkmnpqrstuvwxyz23456789";
    constexpr std::size_t kLength = 20;
    std::uint8_t random[kLength];
    RandomBytes(random, kLength);
    std::string strPassword;
    for (std::uint8_t b : random)
        strPassword += kAlphabet[b % (sizeof kAlphabet - 1)];
    return strPassword;
}

TProof ComputeProof(std::string_view strPassword, const TNonce& nonce, std::uint16_t nGuestFlags,
                    const TBytes& request, const TBytes& binding)
{
    TBytes message(nonce.begin(), nonce.end());
    PutWord(message, nGuestFlags);
    message.insert(message.end(), request.begin(), request.end());
    message.insert(message.end(), binding.begin(), binding.end());
    TProof proof{};
    unsigned int nLength = 0;
    // An empty key is legal for HMAC; OpenSSL wants a non-null pointer for it.
    static const unsigned char kEmpty = 0;
    const void* pKey = strPassword.empty() ? &kEmpty : static_cast<const void*>(strPassword.data());
    if (!HMAC(EVP_sha256(), pKey, static_cast<int>(strPassword.size()), message.data(), message.size(), proof.data(),
              &nLength) ||
        nLength != kProofSize)
        throw std::runtime_error("HMAC-SHA256 failed");
    return proof;
}

std::uint16_t Acknowledge(std::uint16_t nHostFlags, std::uint16_t nSpoken)
{
    return static_cast<std::uint16_t>(nHostFlags & nSpoken & kCapabilityFlags);
}

bool ProofsEqual(const TProof& a, const TProof& b) { return CRYPTO_memcmp(a.data(), b.data(), kProofSize) == 0; }

std::uint16_t NetWord(const std::uint8_t* pBytes)
{
    return static_cast<std::uint16_t>((pBytes[0] << 8) | pBytes[1]);
}

TBytes EncodeGreeting(const TGreeting& greeting)
{
    TBytes out(kMagic, kMagic + sizeof kMagic);
    PutWord(out, greeting.nVersion);
    PutWord(out, greeting.nFlags);
    return out;
}

std::optional<TGreeting> DecodeGreeting(const std::uint8_t* pBytes, std::size_t nLength)
{
    if (nLength != kGreetingSize || std::memcmp(pBytes, kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    return TGreeting{NetWord(pBytes + 4), NetWord(pBytes + 6)};
}

TBytes EncodeGuestHello(const TGuestHello& hello)
{
    TBytes out;
    PutWord(out, hello.nFlags);
    PutWord(out, static_cast<std::uint16_t>(hello.request.size()));
    out.insert(out.end(), hello.request.begin(), hello.request.end());
    out.push_back(static_cast<std::uint8_t>(hello.strUserName.size()));
    out.insert(out.end(), hello.strUserName.begin(), hello.strUserName.end());
    out.insert(out.end(), hello.proof.begin(), hello.proof.end());
    return out;
}

TBytes EncodeAnswer(const TAnswer& answer)
{
    TBytes out;
    PutWord(out, static_cast<std::uint16_t>(answer.nStatus));
    PutWord(out, static_cast<std::uint16_t>(answer.response.size()));
    out.insert(out.end(), answer.response.begin(), answer.response.end());
    return out;
}

void ResponseToWire(std::uint8_t* pResponse)
{
    SwapHostField(pResponse, OpenBlock::kRespVersion);
    SwapHostField(pResponse, OpenBlock::kRespPrivileges);
}

void ResponseFromWire(std::uint8_t* pResponse) { ResponseToWire(pResponse); }

} // namespace Handshake
