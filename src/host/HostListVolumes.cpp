// kFTP_msgListVols: every volume record in one write, then kFTP_msgEndData.
#include "VantryHostSession.h"

#include "NameMap.h"
#include "OpenBlocks.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "Volumes.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {
constexpr int kLabelRoom = 78;
constexpr std::uint16_t kNameLimitPath = 260;
constexpr std::uint16_t kNameLimitElement = 256;

struct TVolumeRecord {
    std::uint16_t nVolume;
    std::uint8_t nFixed;
    std::uint8_t nFlags;
    DWORD nFreeSpace;
    std::string strName;
};

// The desktop's record tells no free space: any copy onto it may try.
constexpr DWORD kDesktopFreeSpace = 0xFFFFFFFF;

std::string DriveName(int nDrive, bool bExtended)
{
    const char cLetter = static_cast<char>('a' + nDrive - 1);
    std::string strName(1, cLetter);
    if (!bExtended)
        return strName;
    strName += ':';
    char szLabel[kLabelRoom + 1] = {};
    if (LFN_GetVolumeName(nDrive, szLabel, kLabelRoom) && nDrive != 1)
        strName += std::string(" (") + szLabel + ")";
    return strName;
}
} // namespace

TVantryHostSession::EStep TVantryHostSession::ServeListVols()
{
    using namespace Packet;
    const bool bExtended = m_nLevel == 34;
    const bool bLong = m_nVersion >= kFTP_versionLong;
    std::vector<TVolumeRecord> volumes;
    if (bExtended && !GetDesktopPath().empty())
        volumes.push_back({0, 1, 0, kDesktopFreeSpace, "Desktop"});
    bool bFirstFixed = true;
    for (int nDrive = 1; nDrive <= 26; ++nDrive) {
        TVolumeRecord record{static_cast<std::uint16_t>(nDrive), 0, 0, 0, {}};
        switch (GetDriveKind(nDrive - 1)) {
        case kDriveNone: continue;
        case kDriveFixed:
            record.nFixed = 1;
            record.nFlags = bFirstFixed ? AVol::kFlagFirstFixed : 0;
            bFirstFixed = false;
            break;
        case kDriveRemote:
            record.nFixed = 1;
            record.nFlags = AVol::kFlagRemote;
            break;
        case kDriveCdRom: record.nFlags = AVol::kFlagCDROM; break;
        default: break;
        }
        record.nFreeSpace = LFN_GetFreeSpace(nDrive);
        record.strName = DriveName(nDrive, bExtended);
        volumes.push_back(std::move(record));
    }

    WORD nFileSystem = 0, nLanguage = 0;
    MFN_GetFileSystemAndLanguage(&nFileSystem, &nLanguage);
    TPacketWriter packet(m_pSend, kBufferSize);
    std::size_t nAt = 0;
    for (const TVolumeRecord& volume : volumes) {
        packet.Byte(nAt + kCode, CodeByte(kFTP_msgAVol));
        const std::size_t nRecord = nAt + AVol::kRecord;
        packet.WordLE(nRecord + AVol::kVolume, volume.nVolume);
        packet.Byte(nRecord + AVol::kFixed, volume.nFixed);
        packet.Byte(nRecord + AVol::kFlags, volume.nFlags);
        packet.DWordBE(nRecord + AVol::kFreeSpace, volume.nFreeSpace);
        if (bLong) {
            packet.Byte(nRecord + AVol::kFileSystem, static_cast<std::uint8_t>(nFileSystem));
            packet.Byte(nRecord + AVol::kLanguage, static_cast<std::uint8_t>(nLanguage));
            packet.WordBE(nRecord + AVol::kMaxPath, kNameLimitPath);
            packet.WordBE(nRecord + AVol::kMaxName, kNameLimitElement);
            packet.WordBE(nRecord + AVol::kMaxExtension, kNameLimitElement);
            packet.WordBE(nRecord + AVol::kMaxOther, kNameLimitElement);
        }
        nAt = packet.Pascal(nRecord + (bLong ? AVol::kRecordLong : AVol::kRecordShort), volume.strName);
    }
    if (nAt == 0)
        return OnVolumesWritten();
    return Write(m_pSend, static_cast<std::uint16_t>(nAt), &Completion<&TVantryHostSession::OnVolumesWritten>);
}

TVantryHostSession::EStep TVantryHostSession::OnVolumesWritten()
{
    return WriteCode(kFTP_msgEndData);
}
