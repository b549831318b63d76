// The handshake that precedes the message stream on every connection, and the proof of the
// password. All numbers are big-endian on the wire.
//
//   host -> guest  "VNTR", version (16), flags (16; bit 0: password required, bit 1: large sizes
//                  offered), nonce (16 bytes)
//   guest -> host  request length L (16, 1..508), request block, user-name length N (8, 0..64),
//                  user name (UTF-8), flags (16; bit 1: large sizes taken), proof (32 bytes:
//                  HMAC-SHA256 keyed with the password over nonce + request block + flags; zeros
//                  when no password is required)
//
// Large sizes: file sizes beyond 32 bits carry their high word in listings and file information.
//   host -> guest  status (signed 16), response length R (16), response block
//
// The blocks travel as the module lays them out; their host-order fields (the agreed version
// and the privilege word of the response) are little-endian on the wire.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Handshake {

inline constexpr char kMagic[4] = {'V', 'N', 'T', 'R'};
inline constexpr std::uint16_t kVersion = 2;
inline constexpr std::uint16_t kFlagPasswordRequired = 0x0001;
inline constexpr std::uint16_t kFlagLargeSizes = 0x0002; // in the hello and in the guest's flags
inline constexpr std::size_t kNonceSize = 16;
inline constexpr std::size_t kProofSize = 32;
inline constexpr std::size_t kHelloSize = 4 + 2 + 2 + kNonceSize;
inline constexpr std::size_t kMaxRequest = 508;
inline constexpr std::size_t kMaxUserName = 64;
inline constexpr std::size_t kAnswerHeader = 4; // status, response length

// Answer statuses beside the module's own (-12001 version refused, -108 set-up failed).
inline constexpr std::int16_t kAccepted = 0;
inline constexpr std::int16_t kAuthenticationRefused = -12002;

using TNonce = std::array<std::uint8_t, kNonceSize>;
using TProof = std::array<std::uint8_t, kProofSize>;
using TBytes = std::vector<std::uint8_t>;

struct THello {
    std::uint16_t nVersion = kVersion;
    std::uint16_t nFlags = 0;
    TNonce nonce{};
};

struct TGuestHello {
    TBytes request;
    std::string strUserName;
    std::uint16_t nFlags = 0;
    TProof proof{};
};

struct TAnswer {
    std::int16_t nStatus = 0;
    TBytes response;
};

// A fresh random nonce; throws std::runtime_error when the system has no randomness to give.
TNonce NewNonce();
// Random text for a password made up at start-up.
std::string NewPassword();

// HMAC-SHA256 keyed with the password over the nonce followed by the request block.
TProof ComputeProof(std::string_view strPassword, const TNonce& nonce, const TBytes& request);
// What the guest's proof covers after the nonce: the request block, then the guest's flags.
TBytes ProvenBytes(const TBytes& request, std::uint16_t nGuestFlags);
// Constant-time comparison.
bool ProofsEqual(const TProof& a, const TProof& b);

TBytes EncodeHello(const THello& hello);
// Nothing when the bytes are not a hello of this protocol.
std::optional<THello> DecodeHello(const std::uint8_t* pBytes, std::size_t nLength);

TBytes EncodeGuestHello(const TGuestHello& hello);
TBytes EncodeAnswer(const TAnswer& answer);

// The big-endian 16-bit number at pBytes.
std::uint16_t NetWord(const std::uint8_t* pBytes);

// The open response's host-order fields between host order and their little-endian wire form
// (a no-op on a little-endian machine).
void ResponseToWire(std::uint8_t* pResponse);
void ResponseFromWire(std::uint8_t* pResponse);

} // namespace Handshake
