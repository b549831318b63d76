// The remote pane's requests: the host's volume list and a folder's entries, read reply by reply
// into the session's volume table and remote listing.
#include "Vntrgst.h"

#include "CheckedCalls.h"
#include "PacketBuffer.h"
#include "WireSizes.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::string_view kDesktopVolume = "Desktop";

// Name limits that the guest gives to the volumes of a host below version 9.
constexpr std::uint8_t kShortNamingKind = 0;
constexpr std::uint16_t kShortLimits[3] = {12, 8, 4};
constexpr std::uint8_t kMacNamingKind = 2;
constexpr std::uint16_t kMacLimits[3] = {31, 31, 15};

std::uint32_t DWordBE(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// The "name:" part of a volume's name ("c:" of "c: (System)"), as pane paths begin with it.
std::string VolumeNamePrefix(std::string_view sName)
{
    if (sName == kDesktopVolume)
        return std::string(sName);
    if (sName.size() >= 2 && sName[1] == ':')
        return std::string(sName.substr(0, 2));
    if (sName.size() == 1)
        return std::string(sName) + ':';
    return std::string(sName);
}

} // namespace

void WriteDirNumber(TPacketWriter& packet, std::size_t nOffset, std::uint32_t dw)
{
    const std::uint8_t field[4] = {static_cast<std::uint8_t>(dw), static_cast<std::uint8_t>(dw >> 8),
                                   static_cast<std::uint8_t>(dw >> 16), static_cast<std::uint8_t>(dw >> 24)};
    packet.Bytes(nOffset, field, sizeof field);
}

void TVantryGuestSession::ListRemoteVolumes(TListingDone onDone)
{
    m_onListingDone = std::move(onDone);
    if (m_pWindow)
        m_pWindow->SetWaitCursor(true);
    m_volumes.clear();
    m_nCurrentVolume = 0;
    SendListVolumes();
}

void TVantryGuestSession::SendListVolumes()
{
    m_nPhase = kPhaseListVols;
    IssueCodeRead();
    m_pSend[Packet::kCode] = CodeByte(kFTP_msgListVols);
    SendRequest(m_pSend, 1, &DoNothingCallBack);
}

void TVantryGuestSession::OnVolume()
{
    m_nRecordLength = static_cast<std::uint16_t>(LongNames() ? Packet::AVol::kRecordLong : Packet::AVol::kRecordShort);
    std::memset(m_record, 0, sizeof m_record);
    m_nRoute = kRouteVolumeRecord;
    ReadReplyBytes(m_record, m_nRecordLength, &RoutingCallBack);
}

void TVantryGuestSession::OnVolumeRecord()
{
    m_nRoute = kRouteVolumeNameLength;
    ReadReplyBytes(&m_nNameLength, 1, &RoutingCallBack);
}

void TVantryGuestSession::OnVolumeNameLength()
{
    if (m_nNameLength == 0) {
        OnVolumeName();
        return;
    }
    m_nRoute = kRouteVolumeName;
    ReadReplyBytes(m_pReceive, m_nNameLength, &RoutingCallBack);
}

void TVantryGuestSession::OnVolumeName()
{
    TRemoteVolume volume{};
    std::memcpy(volume.record, m_record, sizeof volume.record);
    volume.sName.assign(reinterpret_cast<const char*>(m_pReceive), m_nNameLength);
    if (!LongNames()) {
        const bool bMac = m_nPathMode == 0;
        const std::uint16_t* pLimits = bMac ? kMacLimits : kShortLimits;
        TPacketWriter record(volume.record, sizeof volume.record);
        record.Byte(Packet::AVol::kFileSystem, bMac ? kMacNamingKind : kShortNamingKind);
        record.WordBE(Packet::AVol::kMaxPath, pLimits[0]);
        record.WordBE(Packet::AVol::kMaxName, pLimits[1]);
        record.WordBE(Packet::AVol::kMaxExtension, pLimits[2]);
    }
    if (volume.record[Packet::AVol::kFlags] & Packet::AVol::kFlagFirstFixed)
        m_nCurrentVolume = static_cast<int>(m_volumes.size());
    m_volumes.push_back(std::move(volume));
    IssueCodeRead();
}

void TVantryGuestSession::EndVolumeList()
{
    if (m_volumes.empty()) {
        // The host user has not admitted the guest yet: wait and ask again.
        if (!m_bAdmitWaitShown && m_pWindow) {
            m_bAdmitWaitShown = true;
            m_pWindow->ShowAdmitWait();
        }
        SendListVolumes();
        return;
    }
    if (m_bAdmitWaitShown && m_pWindow) {
        m_bAdmitWaitShown = false;
        m_pWindow->CloseAdmitWait();
    }
    const std::string sFolder = m_pWindow ? m_pWindow->RemoteFolder() : std::string();
    if (sFolder.empty()) {
        m_nPhase = kPhaseIdle;
        IssueCodeRead();
        FinishListing();
        return;
    }
    m_sListingPath = sFolder;
    SendListFiles();
}

void TVantryGuestSession::ListRemoteFolder(const std::string& sPath, TListingDone onDone)
{
    m_onListingDone = std::move(onDone);
    if (m_pWindow)
        m_pWindow->SetWaitCursor(true);
    m_sListingPath = sPath;
    SendListFiles();
}

void TVantryGuestSession::SendListFiles()
{
    const std::string_view sPrefix = RemoteVolumePrefix(m_sListingPath);
    const auto itVolume = std::find_if(m_volumes.begin(), m_volumes.end(), [sPrefix](const TRemoteVolume& v) {
        return !sPrefix.empty() && EqualNoCase(VolumeNamePrefix(v.sName), sPrefix);
    });
    if (itVolume == m_volumes.end()) {
        // Not a volume of this host: nothing is asked, and the listing ends as not found.
        m_nPaneResult = kFTP_resNotFound;
        FinishListing();
        return;
    }
    m_remoteListing.EnterPath(itVolume->record, itVolume->sName, std::string_view(m_sListingPath).substr(sPrefix.size()));
    m_remoteListing.ClearCurrentEntries();
    m_nPaneResult = 0;

    TPacketWriter packet(m_pSend, kGuestBufferSize);
    packet.Byte(Packet::kCode, CodeByte(kFTP_msgListFiles));
    packet.Bytes(Packet::ListFiles::kVolume, itVolume->record + Packet::AVol::kVolume, 2);
    std::string sDir;
    std::uint32_t dwDir = Packet::kDirNumberByString;
    if (m_nPathMode == 1) {
        sDir = RemoteDirectoryString(m_sListingPath);
    } else {
        TRemoteEntry own{};
        ZULGetCurrentRemoteDirInfo(m_remoteListing, m_remoteListing.CurrentLevel(), nullptr, &own);
        dwDir = own.dwFolder;
    }
    // A directory string that a length byte cannot carry would name another folder.
    VCheck(sDir.size() <= Packet::kMaxPascal);
    WriteDirNumber(packet, Packet::ListFiles::kDirNumber, dwDir);
    const std::size_t nLength = packet.Pascal(Packet::ListFiles::kDirString, sDir);

    m_nPhase = kPhaseListFiles;
    IssueCodeRead();
    SendRequest(m_pSend, static_cast<std::uint16_t>(nLength), &DoNothingCallBack);
}

void TVantryGuestSession::OnFile()
{
    std::memset(m_record, 0, sizeof m_record);
    m_nRoute = kRouteFileRecord;
    ReadReplyBytes(m_record, Packet::AFile::kRecordLength, &RoutingCallBack);
}

void TVantryGuestSession::OnFileRecord()
{
    m_nRoute = kRouteFileNameLength;
    ReadReplyBytes(&m_nNameLength, 1, &RoutingCallBack);
}

void TVantryGuestSession::OnFileNameLength()
{
    if (m_nNameLength == 0) {
        OnFileName();
        return;
    }
    m_nRoute = kRouteFileName;
    ReadReplyBytes(m_pReceive, m_nNameLength, &RoutingCallBack);
}

void TVantryGuestSession::OnFileName()
{
    m_sName.assign(reinterpret_cast<const char*>(m_pReceive), m_nNameLength);
    if (!LongNames()) {
        StoreFileEntry(0);
        return;
    }
    m_nRoute = kRouteFileTime;
    ReadReplyBytes(m_pReceive, 4, &RoutingCallBack);
}

void TVantryGuestSession::OnFileTime() { StoreFileEntry(DWordBE(m_pReceive)); }

void TVantryGuestSession::StoreFileEntry(std::uint32_t dwModTime)
{
    TRemoteEntry entry{};
    entry.dwFolder = DWordBE(m_record + Packet::AFile::kIsFolder);
    std::memcpy(entry.type, m_record + Packet::AFile::kType, sizeof entry.type);
    SetRemoteEntrySize(entry, ReadWireSize(TPacketReader(m_record, sizeof m_record), Packet::AFile::kSize,
                                           Packet::AFile::kSizeHigh, LargeSizes()));
    entry.wAttributes = static_cast<std::uint16_t>(m_record[Packet::AFile::kAttributes] |
                                                   (m_record[Packet::AFile::kAttributes + 1] << 8));
    SetRemoteEntryName(entry, m_sName, LongNames());
    entry.dwModTime = dwModTime;
    // Entries for a folder other than the one being listed (a stray reply) are not kept.
    if (m_nPhase == kPhaseListFiles)
        m_remoteListing.AddCurrentEntry(entry);
    IssueCodeRead();
}

void TVantryGuestSession::EndFileList()
{
    // A folder the host could not read leaves the listing on no folder at all.
    if (m_nPhase == kPhaseListFiles)
        m_sListedPath = m_nPaneResult == kFTP_resFailure ? std::string() : m_sListingPath;
    m_nPhase = kPhaseIdle;
    IssueCodeRead();
    FinishListing();
}

void TVantryGuestSession::FinishListing()
{
    TListingDone onDone = std::move(m_onListingDone);
    m_onListingDone = nullptr;
    if (onDone)
        onDone();
    else if (m_pWindow)
        m_pWindow->RemoteListingDone();
}

TRemoteFolderRef TVantryGuestSession::CurrentRemoteFolder()
{
    TRemoteLevel level{};
    TRemoteEntry own{};
    VCheck(ZULGetCurrentRemoteDirInfo(m_remoteListing, m_remoteListing.CurrentLevel(), &level, &own, m_nPathMode,
                                      m_sListedPath));
    TRemoteFolderRef folder{};
    std::memcpy(folder.volume, level.volumeRecord + Packet::AVol::kVolume, sizeof folder.volume);
    if (m_nPathMode == 1) {
        folder.dwDirNumber = Packet::kDirNumberByString;
        folder.sDirString = RemoteDirectoryString(m_sListedPath);
    } else {
        folder.dwDirNumber = own.dwFolder;
    }
    return folder;
}

void TVantryGuestSession::SendNamesRequest(EFTPMessage eCode, const TRemoteFolderRef& folder, std::string_view sName)
{
    VCheck(folder.sDirString.size() <= Packet::kMaxPascal);
    TPacketWriter packet(m_pSend, kGuestBufferSize);
    packet.Byte(Packet::kCode, CodeByte(eCode));
    packet.Bytes(Packet::GetInfo::kVolume, folder.volume, sizeof folder.volume);
    WriteDirNumber(packet, Packet::GetInfo::kDirNumber, folder.dwDirNumber);
    std::size_t nLength = packet.Pascal(Packet::GetInfo::kName, sName.substr(0, Packet::kMaxPascal));
    nLength = packet.Pascal(nLength, folder.sDirString);
    IssueCodeRead();
    SendRequest(m_pSend, static_cast<std::uint16_t>(nLength), &DoNothingCallBack);
}
