// The handshake that precedes the message stream on every connection, and the proof of the
// password. All numbers are big-endian on the wire.
//
//   host -> guest  greeting, always in the clear: "VNTR", version (16), host flags (16)
//   -- when the host flags say kFlagTlsFollows, a TLS 1.3 handshake (the guest is the client)
//      and everything below runs inside TLS --
//   host -> guest  nonce (16 bytes)
//   guest -> host  guest flags (16), request length L (16, 1..508), request block,
//                  user-name length N (8, 0..64), user name (UTF-8), proof (32 bytes: HMAC-SHA256
//                  keyed with the password over nonce + guest flags + request block + binding;
//                  zeros when no password is required)
//   host -> guest  status (signed 16), response length R (16), response block
//
// The binding is keying material exported from the TLS session (kBindingLabel, 32 bytes), so a
// proof seen or relayed on another connection is worthless; it is empty on a plain connection.
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

// The bits of the host flags and of the guest flags. A capability is in use when the host
// announces it and the guest acknowledges it with the same bit.
inline constexpr std::uint16_t kFlagPasswordRequired = 0x0001; // host only
inline constexpr std::uint16_t kFlagTlsFollows = 0x0002;       // host only
inline constexpr std::uint16_t kFlagLargeSizes = 0x0004;       // capability
inline constexpr std::uint16_t kFlagPipelining = 0x0008;       // capability
inline constexpr std::uint16_t kCapabilityFlags = kFlagLargeSizes | kFlagPipelining;

inline constexpr std::size_t kNonceSize = 16;
inline constexpr std::size_t kProofSize = 32;
inline constexpr std::size_t kBindingSize = 32;
inline constexpr char kBindingLabel[] = "EXPORTER-vantry-password-proof";
inline constexpr std::size_t kGreetingSize = 4 + 2 + 2;
inline constexpr std::size_t kMaxRequest = 508;
inline constexpr std::size_t kMaxUserName = 64;
inline constexpr std::size_t kGuestHeader = 4; // guest flags, request length
inline constexpr std::size_t kAnswerHeader = 4; // status, response length

// Answer statuses beside the module's own (-12001 version refused, -108 set-up failed).
inline constexpr std::int16_t kAccepted = 0;
inline constexpr std::int16_t kAuthenticationRefused = -12002;

using TNonce = std::array<std::uint8_t, kNonceSize>;
using TProof = std::array<std::uint8_t, kProofSize>;
using TBytes = std::vector<std::uint8_t>;

struct TGreeting {
    std::uint16_t nVersion = kVersion;
    std::uint16_t nFlags = 0;
};

struct TGuestHello {
    std::uint16_t nFlags = 0;
    TBytes request;
    std::string strUserName;
    TProof proof{};
};

struct TAnswer {
    std::int16_t nStatus = 0;
    TBytes response;
};

// What the two ends agreed on, for whoever creates the sessions.
struct TNegotiated {
    std::uint16_t nHostFlags = 0;
    std::uint16_t nGuestFlags = 0;
    bool bTls = false;
    // A capability both ends speak.
    bool Agreed(std::uint16_t nFlag) const { return (nHostFlags & nGuestFlags & kCapabilityFlags & nFlag) != 0; }
};

// The guest flags that acknowledge what the host announced, of the capabilities this guest speaks.
std::uint16_t Acknowledge(std::uint16_t nHostFlags, std::uint16_t nSpoken);

// A fresh random nonce; throws std::runtime_error when the system has no randomness to give.
TNonce NewNonce();
// Random text for a password made up at start-up.
std::string NewPassword();

// HMAC-SHA256 keyed with the password over nonce, guest flags, request block and binding.
TProof ComputeProof(std::string_view strPassword, const TNonce& nonce, std::uint16_t nGuestFlags,
                    const TBytes& request, const TBytes& binding);
// Constant-time comparison.
bool ProofsEqual(const TProof& a, const TProof& b);

TBytes EncodeGreeting(const TGreeting& greeting);
// Nothing when the bytes are not a greeting of this protocol (of any version).
std::optional<TGreeting> DecodeGreeting(const std::uint8_t* pBytes, std::size_t nLength);

TBytes EncodeGuestHello(const TGuestHello& hello);
TBytes EncodeAnswer(const TAnswer& answer);

// The big-endian 16-bit number at pBytes.
std::uint16_t NetWord(const std::uint8_t* pBytes);

// The open response's host-order fields between host order and their little-endian wire form
// (a no-op on a little-endian machine).
void ResponseToWire(std::uint8_t* pResponse);
void ResponseFromWire(std::uint8_t* pResponse);

} // namespace Handshake
