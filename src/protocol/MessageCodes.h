// The twenty message codes of the protocol: consecutive signed bytes, indexed by code + 124.
#pragma once

#include <cstdint>

enum EFTPMessage : std::int8_t {
    kFTP_msgNoOp = -124,        // 0x84
    kFTP_msgNewMessages = -123, // 0x85
    kFTP_msgVersion = -122,     // 0x86
    kFTP_msgDataMsgLen = -121,  // 0x87
    kFTP_msgMakeFolder = -120,  // 0x88
    kFTP_msgSetInfo = -119,     // 0x89
    kFTP_msgRemove = -118,      // 0x8A
    kFTP_msgCreate = -117,      // 0x8B
    kFTP_msgForkData = -116,    // 0x8C
    kFTP_msgOpenFork = -115,    // 0x8D
    kFTP_msgReqFork = -114,     // 0x8E
    kFTP_msgFileInfo = -113,    // 0x8F
    kFTP_msgGetInfo = -112,     // 0x90
    kFTP_msgAFile = -111,       // 0x91
    kFTP_msgListFiles = -110,   // 0x92
    kFTP_msgAVol = -109,        // 0x93
    kFTP_msgListVols = -108,    // 0x94
    kFTP_msgAbort = -107,       // 0x95
    kFTP_msgEndData = -106,     // 0x96
    kFTP_msgResult = -105,      // 0x97
};

inline constexpr int kFTP_msgBase = 124;   // code + base = handler index
inline constexpr int kFTP_msgCount = 20;

// Handler index of a received code byte, or -1 when the byte is not a message code.
constexpr int MessageIndex(std::uint8_t nByte)
{
    const int nIndex = static_cast<std::int8_t>(nByte) + kFTP_msgBase;
    return (nIndex >= 0 && nIndex < kFTP_msgCount) ? nIndex : -1;
}

constexpr std::uint8_t CodeByte(EFTPMessage eCode) { return static_cast<std::uint8_t>(eCode); }

// Result values carried by kFTP_msgResult and kFTP_msgFileInfo.
enum EFTPResult : std::int16_t {
    kFTP_resOK = 0,
    kFTP_resFailure = 1,
    kFTP_resDiskFull = -34,
    kFTP_resNotFound = -43,
    kFTP_resFileLocked = -45,
    kFTP_resDuplicate = -48,
    kFTP_resCannotCreate = 256,
    kFTP_resAccessDenied = -5000,
};

// Protocol versions; below kFTP_versionLong names are short, volume records short and data acknowledged.
inline constexpr std::uint16_t kFTP_versionLong = 9;
