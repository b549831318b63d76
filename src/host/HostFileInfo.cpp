// kFTP_msgGetInfo: one kFTP_msgFileInfo packet.
#include "VantryHostSession.h"

#include "HostMacTimes.h"
#include "OV2Tools.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "WireSizes.h"

#include <string>

TVantryHostSession::EStep TVantryHostSession::ServeGetInfo()
{
    using namespace Packet;
    const std::string strName = Name();
    WIN32_FIND_DATA entry;
    const bool bFound = FormPath(BlockVolume(GetInfo::kVolume), Dir(), strName.c_str()) && LFN_GetStatus(m_szPath, &entry);

    TPacketWriter packet(m_pSend, kBufferSize);
    packet.Zero(0, FileInfo::kLength);
    packet.Byte(kCode, CodeByte(kFTP_msgFileInfo));
    packet.WordBE(FileInfo::kResult, static_cast<std::uint16_t>(bFound ? kFTP_resOK : kFTP_resNotFound));
    if (bFound) {
        const std::size_t nRecord = FileInfo::kRecord;
        DWORD nType = 0, nCreator = 0;
        SetTypeCreator(strName.c_str(), &nType, &nCreator);
        WriteWireSize(packet, nRecord + FileInfo::kSize, nRecord + FileInfo::kSizeHigh, FindDataSize(entry), m_bLargeSizes);
        packet.DWordBE(nRecord + FileInfo::kType, nType);
        packet.DWordBE(nRecord + FileInfo::kCreator, nCreator);
        // The entry's attributes are the ones a status read would give.
        const auto nAttributes = static_cast<BYTE>(entry.dwFileAttributes);
        packet.Byte(nRecord + FileInfo::kLocked, nAttributes & kOVF_attrReadOnly);
        packet.Byte(nRecord + FileInfo::kAttributes, nAttributes);
        const DWORD nCreated = WireMacTime(entry.ftCreationTime);
        const DWORD nModified = WireMacTime(entry.ftLastWriteTime);
        packet.Bytes(nRecord + FileInfo::kCreated, &nCreated, sizeof nCreated);
        packet.Bytes(nRecord + FileInfo::kModified, &nModified, sizeof nModified);
        packet.WordBE(nRecord + FileInfo::kMarker1, 0xFFFF);
        packet.WordBE(nRecord + FileInfo::kMarker2, 0xFFFF);
        packet.DWordBE(nRecord + FileInfo::kIsFolder, (entry.dwFileAttributes & kOVF_attrDirectory) ? 1 : 0);
    }
    return Write(m_pSend, FileInfo::kLength, &Completion<&TVantryHostSession::OnReplyDone>);
}
