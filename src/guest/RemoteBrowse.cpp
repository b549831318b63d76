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
    m_listing = {};
    m_listing.onDone = std::move(onDone);
    if (m_pWindow)
        m_pWindow->SetWaitCursor(true);
    m_volumes.clear();
    m_nCurrentVolume = 0;
    SendListVolumes();
}

void TVantryGuestSession::SendListVolumes()
{
    m_pSend[Packet::kCode] = CodeByte(kFTP_msgListVols);
    SendAwaited(1, TAwaitedReply::Of(EAwaitedReply::VolumeList, this));
}

void TVantryGuestSession::OnVolume()
{
    m_listing.nRecordLength =
        static_cast<std::uint16_t>(LongNames() ? Packet::AVol::kRecordLong : Packet::AVol::kRecordShort);
    std::memset(m_listing.record, 0, sizeof m_listing.record);
    ReadReplyBytes(m_listing.record, m_listing.nRecordLength, &StepCompletion<&TVantryGuestSession::OnVolumeRecord>);
}

void TVantryGuestSession::OnVolumeRecord()
{
    ReadReplyBytes(&m_listing.nNameLength, 1, &StepCompletion<&TVantryGuestSession::OnVolumeNameLength>);
}

void TVantryGuestSession::OnVolumeNameLength()
{
    if (m_listing.nNameLength == 0) {
        OnVolumeName();
        return;
    }
    ReadReplyBytes(m_pReceive, m_listing.nNameLength, &StepCompletion<&TVantryGuestSession::OnVolumeName>);
}

void TVantryGuestSession::OnVolumeName()
{
    TRemoteVolume volume{};
    std::memcpy(volume.record, m_listing.record, sizeof volume.record);
    volume.sName.assign(reinterpret_cast<const char*>(m_pReceive), m_listing.nNameLength);
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
    TakeAwaited();
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
        FinishListing();
    } else {
        m_listing.sPath = sFolder;
        SendListFiles();
    }
    ReadOn();
}

void TVantryGuestSession::ListRemoteFolder(const std::string& sPath, TListingDone onDone)
{
    m_listing = {};
    m_listing.onDone = std::move(onDone);
    if (m_pWindow)
        m_pWindow->SetWaitCursor(true);
    m_listing.sPath = sPath;
    SendListFiles();
}

const TRemoteVolume* TVantryGuestSession::VolumeOf(std::string_view sPanePath) const
{
    const std::string_view sPrefix = RemoteVolumePrefix(sPanePath);
    const auto itVolume = std::find_if(m_volumes.begin(), m_volumes.end(), [sPrefix](const TRemoteVolume& v) {
        return !sPrefix.empty() && EqualNoCase(VolumeNamePrefix(v.sName), sPrefix);
    });
    return itVolume == m_volumes.end() ? nullptr : &*itVolume;
}

std::size_t TVantryGuestSession::WriteListFiles(const TRemoteVolume& volume, std::uint32_t dwDir, const std::string& sDir)
{
    // A directory string that a length byte cannot carry would name another folder.
    VCheck(sDir.size() <= Packet::kMaxPascal);
    TPacketWriter packet(m_pSend, kGuestBufferSize);
    packet.Byte(Packet::kCode, CodeByte(kFTP_msgListFiles));
    packet.Bytes(Packet::ListFiles::kVolume, volume.record + Packet::AVol::kVolume, 2);
    WriteDirNumber(packet, Packet::ListFiles::kDirNumber, dwDir);
    return packet.Pascal(Packet::ListFiles::kDirString, sDir);
}

void TVantryGuestSession::EnterListingLevel(const TRemoteVolume& volume, const std::string& sPath)
{
    const std::string_view sPrefix = RemoteVolumePrefix(sPath);
    m_remoteListing.EnterPath(volume.record, volume.sName, std::string_view(sPath).substr(sPrefix.size()));
    m_remoteListing.ClearCurrentEntries();
}

void TVantryGuestSession::SendListFiles()
{
    const TRemoteVolume* pVolume = VolumeOf(m_listing.sPath);
    if (!pVolume) {
        // Not a volume of this host: nothing is asked, and the listing ends as not found.
        m_nPaneResult = kFTP_resNotFound;
        FinishListing();
        return;
    }
    EnterListingLevel(*pVolume, m_listing.sPath);
    m_nPaneResult = 0;

    std::string sDir;
    std::uint32_t dwDir = Packet::kDirNumberByString;
    if (m_nPathMode == 1) {
        sDir = RemoteDirectoryString(m_listing.sPath);
    } else {
        TRemoteEntry own{};
        ZULGetCurrentRemoteDirInfo(m_remoteListing, m_remoteListing.CurrentLevel(), nullptr, &own);
        dwDir = own.dwFolder;
    }
    const std::size_t nLength = WriteListFiles(*pVolume, dwDir, sDir);
    SendAwaited(static_cast<std::uint16_t>(nLength), TAwaitedReply::Of(EAwaitedReply::FileList, this));
}

bool TVantryGuestSession::ListRemoteEntries(const std::string& sPath, const void* pOwner, TAwaitedReply::TEntriesStep step)
{
    VCheck(m_nPathMode == 1);
    const TRemoteVolume* pVolume = VolumeOf(sPath);
    if (!pVolume)
        return false;
    const std::size_t nLength = WriteListFiles(*pVolume, Packet::kDirNumberByString, RemoteDirectoryString(sPath));
    TAwaitedReply reply = TAwaitedReply::Of(EAwaitedReply::FileList, pOwner);
    reply.onEntries = std::move(step);
    reply.sFolder = sPath;
    SendAwaited(static_cast<std::uint16_t>(nLength), std::move(reply));
    return true;
}

bool TVantryGuestSession::TakeRemoteEntries(const std::string& sPath, const std::vector<TRemoteEntry>& entries)
{
    const TRemoteVolume* pVolume = VolumeOf(sPath);
    if (!pVolume)
        return false;
    EnterListingLevel(*pVolume, sPath);
    for (const TRemoteEntry& entry : entries)
        m_remoteListing.AddCurrentEntry(entry);
    m_nPaneResult = kFTP_resOK;
    m_sListedPath = sPath;
    return true;
}

void TVantryGuestSession::OnFile()
{
    std::memset(m_listing.record, 0, sizeof m_listing.record);
    ReadReplyBytes(m_listing.record, Packet::AFile::kRecordLength, &StepCompletion<&TVantryGuestSession::OnFileRecord>);
}

void TVantryGuestSession::OnFileRecord()
{
    ReadReplyBytes(&m_listing.nNameLength, 1, &StepCompletion<&TVantryGuestSession::OnFileNameLength>);
}

void TVantryGuestSession::OnFileNameLength()
{
    if (m_listing.nNameLength == 0) {
        OnFileName();
        return;
    }
    ReadReplyBytes(m_pReceive, m_listing.nNameLength, &StepCompletion<&TVantryGuestSession::OnFileName>);
}

void TVantryGuestSession::OnFileName()
{
    m_listing.sName.assign(reinterpret_cast<const char*>(m_pReceive), m_listing.nNameLength);
    if (!LongNames()) {
        StoreFileEntry(0);
        return;
    }
    ReadReplyBytes(m_pReceive, Packet::AFile::kTimeLength, &StepCompletion<&TVantryGuestSession::OnFileTime>);
}

void TVantryGuestSession::OnFileTime()
{
    StoreFileEntry(TPacketReader(m_pReceive, Packet::AFile::kTimeLength).DWordBE(0));
}

void TVantryGuestSession::StoreFileEntry(std::uint32_t dwModTime)
{
    const TPacketReader record(m_listing.record, sizeof m_listing.record);
    TRemoteEntry entry{};
    entry.dwFolder = record.DWordBE(Packet::AFile::kIsFolder);
    std::memcpy(entry.type, m_listing.record + Packet::AFile::kType, sizeof entry.type);
    SetRemoteEntrySize(entry, ReadWireSize(record, Packet::AFile::kSize, Packet::AFile::kSizeHigh, LargeSizes()));
    entry.wAttributes = record.WordLE(Packet::AFile::kAttributes);
    SetRemoteEntryName(entry, m_listing.sName, LongNames());
    entry.dwModTime = dwModTime;
    // Entries for a folder other than the one being listed (a stray reply) are not kept.
    if (Awaits(EAwaitedReply::FileList)) {
        TAwaitedReply& listing = m_awaited.front();
        if (listing.onEntries)
            listing.entries.push_back(entry);
        else
            m_remoteListing.AddCurrentEntry(entry);
    }
    IssueCodeRead();
}

void TVantryGuestSession::EndFileList()
{
    TAwaitedReply reply = TakeAwaited();
    if (reply.onEntries) {
        if (ChainCanRun(reply))
            reply.onEntries(reply.nListResult, reply.entries);
        ReadOn();
        return;
    }
    // A folder the host could not read leaves the listing on no folder at all.
    m_sListedPath = m_nPaneResult == kFTP_resFailure ? std::string() : m_listing.sPath;
    FinishListing();
    ReadOn();
}

void TVantryGuestSession::FinishListing()
{
    TListingDone onDone = std::move(m_listing.onDone);
    m_listing = {};
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

void TVantryGuestSession::SendNamesRequest(EFTPMessage eCode, const TRemoteFolderRef& folder, std::string_view sName,
                                           TAwaitedReply reply)
{
    VCheck(folder.sDirString.size() <= Packet::kMaxPascal);
    TPacketWriter packet(m_pSend, kGuestBufferSize);
    packet.Byte(Packet::kCode, CodeByte(eCode));
    packet.Bytes(Packet::GetInfo::kVolume, folder.volume, sizeof folder.volume);
    WriteDirNumber(packet, Packet::GetInfo::kDirNumber, folder.dwDirNumber);
    std::size_t nLength = packet.Pascal(Packet::GetInfo::kName, sName.substr(0, Packet::kMaxPascal));
    nLength = packet.Pascal(nLength, folder.sDirString);
    SendAwaited(static_cast<std::uint16_t>(nLength), std::move(reply));
}
