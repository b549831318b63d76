// The few fields of the open request and response blocks that the module reads and writes,
// in the current (V7) and older (V6) generations, and the privilege queries.
#pragma once

#include "GuestEntry.h"

#include <cstdint>

namespace OpenBlock {
// V7 request, as the guest builds it.
inline constexpr std::uint16_t kV7RequestLength = 176;
inline constexpr std::size_t kReqLength = 0;        // big-endian
inline constexpr std::size_t kReqLevel = 3;         // taken when the length is at least kReqLevelMinLength
inline constexpr std::size_t kReqPlatform = 148;    // 0: the host names files in the OEM set
inline constexpr std::size_t kReqVersion = 150;     // big-endian
inline constexpr std::uint16_t kReqLevelMinLength = 35;
inline constexpr std::uint8_t kLevelExtendedVolumes = 34;

// V7 response.
inline constexpr std::uint16_t kV7ResponseLength = 38;
inline constexpr std::size_t kRespHostKind = 5;     // 'T': the host offers a desktop volume
inline constexpr std::size_t kRespPathMode = 6;     // 1: folders named by directory string; 0: by number
inline constexpr std::uint8_t kHostKindDesktop = 'T';
inline constexpr std::size_t kRespVersion = 8;      // host order
inline constexpr std::size_t kRespPrivileges = 18;  // host order
inline constexpr std::size_t kRespBufferSize = 36;  // big-endian on the wire
inline constexpr std::uint16_t kBufferSize = 4096;

// V6 blocks.
inline constexpr std::size_t kV6SourceVersion = 174;
inline constexpr std::size_t kV6ReqVersion = 154;   // big-endian
inline constexpr std::size_t kV6RespBufferSize = 12;
inline constexpr std::size_t kV6RespMayRead = 14;
inline constexpr std::size_t kV6RespMayWrite = 15;
inline constexpr std::size_t kV6RespMayRemove = 16;
} // namespace OpenBlock

// Privilege word bits.
inline constexpr int kPrivilegeBitHost = 4;
inline constexpr int kPrivilegeBitRead = 5;
inline constexpr int kPrivilegeBitWrite = 6;
inline constexpr int kPrivilegeBitRemove = 7;
constexpr std::uint16_t PrivilegeMask(int nBit) { return static_cast<std::uint16_t>(1u << nBit); }
inline constexpr std::uint16_t kPrivilegeAll =
    PrivilegeMask(kPrivilegeBitRead) | PrivilegeMask(kPrivilegeBitWrite) | PrivilegeMask(kPrivilegeBitRemove);

// Host-order 16-bit fields of the blocks (the blocks are byte arrays).
std::uint16_t ReadHostWord(const std::uint8_t* pBlock, std::size_t nOffset);
void WriteHostWord(std::uint8_t* pBlock, std::size_t nOffset, std::uint16_t n);
std::uint16_t ReadNetWord(const std::uint8_t* pBlock, std::size_t nOffset);
void WriteNetWord(std::uint8_t* pBlock, std::size_t nOffset, std::uint16_t n);

// The protocol version a V7 request asks for. The guest stores it big-endian; this is the one
// place where the host turns it back into a number.
std::uint16_t RequestedProtocolVersion(const std::uint8_t* pRequest);

// The version a host agrees to for a requested one: 5, 7 or 9, or 0 when refused (below 5).
std::uint16_t AgreeProtocolVersion(std::uint16_t nAsked);

int SetupV7Request(const OVGuestEntry* pGuestContext, std::uint8_t* pRequest, std::uint16_t* pnLength);
int SetupV6Request(const void* pUnused, const std::uint8_t* pSourceRequest, std::uint8_t* pV6Request);
int FillInV6OpenResponse(const void* pUnused, const std::uint8_t* pV7Response, std::uint8_t* pV6Response);
int TranslateV6Response(OVGuestEntry* pGuestContext, const void* pUnused, const std::uint8_t* pV6Response);
int CanBeAccessedWithPrivileges(const void* pUnused, std::uint16_t nPrivileges);
int HasMoreAccessWithPrivileges(const void* pUnused, std::uint16_t nPrivilegesA, std::uint16_t nPrivilegesB);
