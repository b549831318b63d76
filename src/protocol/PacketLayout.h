// Every packet layout of the protocol, both directions. Offsets count from the code byte
// (offset 0). Multi-byte numbers are big-endian except volume numbers and attribute byte
// pairs, which travel low byte first.
#pragma once

#include <cstddef>

namespace Packet {

inline constexpr std::size_t kCode = 0;
inline constexpr std::size_t kBufferSize = 4096;      // receive and send buffers of a session
inline constexpr std::size_t kMaxIncomingData = 4096; // largest data block accepted in one kFTP_msgForkData
inline constexpr std::size_t kMaxPascal = 255;

// Fixed blocks of requests are read into a buffer without their code byte.
constexpr std::size_t InBlock(std::size_t nPacketOffset) { return nPacketOffset - 1; }

// ---- guest to host ----------------------------------------------------------------

namespace NewMessages {
inline constexpr std::size_t kSubCode = 1;
inline constexpr std::size_t kTailLength = 6; // bytes 2..7, not interpreted
inline constexpr std::size_t kLength = 8;
inline constexpr unsigned char kSubCodeQuery = 1;
inline constexpr unsigned char kSubCodeQuery3 = 3;
} // namespace NewMessages

namespace Version { // also kFTP_msgDataMsgLen: one 16-bit value
inline constexpr std::size_t kValue = 1;
inline constexpr std::size_t kLength = 3;
} // namespace Version

namespace ListFiles {
inline constexpr std::size_t kVolume = 1;   // LE
inline constexpr std::size_t kDirNumber = 3;
inline constexpr std::size_t kDirString = 7; // Pascal string
inline constexpr std::size_t kFixed = 7;     // bytes after the code up to and including the length byte
} // namespace ListFiles

// Requests with names: a fixed block of N bytes after the code, then the file name and the
// directory string as Pascal strings.
namespace Names {
inline constexpr std::size_t kGetInfoBlock = 6;
inline constexpr std::size_t kRemoveBlock = 6;
inline constexpr std::size_t kMakeFolderBlock = 6;
inline constexpr std::size_t kReqForkBlock = 8;
inline constexpr std::size_t kOpenForkBlock = 8;
inline constexpr std::size_t kCreateBlock = 14;
inline constexpr std::size_t kSetInfoBlock = 52;
} // namespace Names

namespace GetInfo { // also kFTP_msgRemove and kFTP_msgMakeFolder
inline constexpr std::size_t kVolume = 1;    // LE
inline constexpr std::size_t kDirNumber = 3; // 4 bytes
inline constexpr std::size_t kName = 7;
} // namespace GetInfo

namespace ReqFork { // also kFTP_msgOpenFork
inline constexpr std::size_t kFork = 1; // 0 data fork, else resource fork
inline constexpr std::size_t kVolume = 3; // LE
inline constexpr std::size_t kDirNumber = 5;
inline constexpr std::size_t kName = 9;
} // namespace ReqFork

namespace Create {
inline constexpr std::size_t kDataLength = 1;     // big-endian
inline constexpr std::size_t kResourceLength = 5; // big-endian
inline constexpr std::size_t kVolume = 9; // LE
inline constexpr std::size_t kDirNumber = 11;
inline constexpr std::size_t kName = 15;
} // namespace Create

namespace SetInfo {
inline constexpr std::size_t kLocked = 1;
inline constexpr std::size_t kAttributes = 3; // attribute byte, then zero
inline constexpr std::size_t kType = 5;
inline constexpr std::size_t kCreator = 9;
inline constexpr std::size_t kCreated = 13;   // big-endian Mac time
inline constexpr std::size_t kModTime = 17;   // big-endian Mac time
inline constexpr std::size_t kDataLength = 25; // big-endian
inline constexpr std::size_t kMarker1 = 33;   // 0xFFFF
inline constexpr std::size_t kMarker2 = 35;   // 0xFFFF
inline constexpr std::size_t kVolume = 47;    // LE, as in the create block
inline constexpr std::size_t kDirNumber = 49;
inline constexpr std::size_t kName = 53;
} // namespace SetInfo

namespace ForkData { // both directions
inline constexpr std::size_t kDataLength = 1;
inline constexpr std::size_t kData = 3;
inline constexpr std::size_t kHeader = 3;
} // namespace ForkData

// Path-mode marker that a guest naming folders by directory string puts in the directory-number field.
inline constexpr unsigned char kDirNumberByString = 0x80;

// ---- host to guest ----------------------------------------------------------------

namespace Result {
inline constexpr std::size_t kValue = 1;
inline constexpr std::size_t kLength = 3;
} // namespace Result

namespace NewMessagesAnswer {
inline constexpr std::size_t kKind = 1;
inline constexpr unsigned char kKindQuery1 = 2;
inline constexpr unsigned char kKindQuery3 = 4;
inline constexpr std::size_t kLengthQuery1 = 10;
inline constexpr std::size_t kLengthQuery3 = 8;
inline constexpr std::size_t kLengthNotReady = 1;
} // namespace NewMessagesAnswer

namespace FileInfo {
inline constexpr std::size_t kResult = 1;
inline constexpr std::size_t kRecord = 3;
inline constexpr std::size_t kLength = 49;
// offsets inside the record
inline constexpr std::size_t kLocked = 0;
inline constexpr std::size_t kAttributes = 2;
inline constexpr std::size_t kType = 4;
inline constexpr std::size_t kCreator = 8;
inline constexpr std::size_t kCreated = 12;
inline constexpr std::size_t kModified = 16;
inline constexpr std::size_t kIsFolder = 20;
inline constexpr std::size_t kSize = 24;
inline constexpr std::size_t kSizeHigh = 28; // large sizes agreed: the size's high 32 bits; else zero
inline constexpr std::size_t kMarker1 = 32; // 0xFFFF
inline constexpr std::size_t kMarker2 = 34; // 0xFFFF
inline constexpr std::size_t kRecordLength = 46;
} // namespace FileInfo

namespace AVol {
inline constexpr std::size_t kRecord = 1;
// offsets inside the record
inline constexpr std::size_t kVolume = 0;   // LE
inline constexpr std::size_t kFixed = 2;
inline constexpr std::size_t kFlags = 3;
inline constexpr std::size_t kFreeSpace = 4;
inline constexpr std::size_t kFileSystem = 8;  // version 9
inline constexpr std::size_t kLanguage = 9;
inline constexpr std::size_t kMaxPath = 10;
inline constexpr std::size_t kMaxName = 12;
inline constexpr std::size_t kMaxExtension = 14;
inline constexpr std::size_t kMaxOther = 16;
inline constexpr std::size_t kRecordShort = 8;
inline constexpr std::size_t kRecordLong = 18;
inline constexpr unsigned char kFlagRemote = 0x01;
inline constexpr unsigned char kFlagFirstFixed = 0x02;
inline constexpr unsigned char kFlagCDROM = 0x04;
} // namespace AVol

namespace AFile {
inline constexpr std::size_t kRecord = 1;
// offsets inside the record
inline constexpr std::size_t kIsFolder = 0;
inline constexpr std::size_t kType = 4;
inline constexpr std::size_t kSize = 8;
inline constexpr std::size_t kSizeHigh = 12; // large sizes agreed: the size's high 32 bits; else zero
inline constexpr std::size_t kAttributes = 16;
inline constexpr std::size_t kRecordLength = 18;
inline constexpr std::size_t kName = kRecord + kRecordLength; // Pascal string; version 9: Mac time follows
inline constexpr std::size_t kTimeLength = 4; // the Mac time after the name, big-endian
} // namespace AFile

} // namespace Packet
