// The upload engine: local files and folder trees into a remote folder. Per file: create,
// (remove and create again to replace), then, without waiting for each answer, set its
// information, open its data fork, the data packets, end of data, and the request for its
// information, which is read back into the remote listing. The host answers in order: the
// information's result, the end of data's result, the information. In a session that
// pipelines, new files go in batches (PipelinedUpload.cpp) and a replace waits for each answer.
#include "copyrtl.h"

#include "CheckedCalls.h"
#include "Exceptions.h"
#include "LFN.h"
#include "MacTime.h"
#include "NameRules.h"
#include "OV2Tools.h"
#include "PacketBuffer.h"
#include "StringTable.h"
#include "WireSizes.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {
constexpr std::uint16_t kSetInfoMarker = 0xFFFF;
// m_nLastRead before the first chunk of a fork is read.
constexpr std::uint32_t kNothingReadYet = UINT32_MAX;
constexpr std::uint16_t kUnreadableAttributes = 1;
constexpr unsigned kDriveUnreadableStyle = MessageBoxStyle::kTaskModal | MessageBoxStyle::kIconStop;

} // namespace

std::string FoldedName(std::string_view sName)
{
    std::string sFolded(sName);
    for (char& c : sFolded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return sFolded;
}

void TCopyEngine::StartToRemote()
{
    EnterRemoteFolder(m_level.sDest, [this] { SizeLocalItems(); });
}

void TCopyEngine::SizeLocalItems()
{
    m_nBytesToCopy = 0;
    for (const TCopyItem& item : m_level.items) {
        m_sItemName = item.sName;
        const std::string sPath = JoinLocalPath(m_level.sSource, item.sName);
        if (item.bFolder) {
            if (!CountLocalTree(sPath, &m_nFilesFound, &m_nBytesToCopy, &m_sizedListings)) {
                Report(ETransferEventKind::Failed, ETransferCause::LocalCannotRead, sPath, false,
                       FormatStringId(IDS_SIZE_ERROR, item.sName));
                m_outcome.nFilesFailed = m_level.items.size();
                SetStopRequested();
                EndLevel();
                return;
            }
        } else {
            std::uint64_t nBytes = 0;
            if (!LocalFileSize(sPath, &nBytes)) {
                Report(ETransferEventKind::Failed, ETransferCause::LocalCannotRead, sPath, false,
                       LoadStringId(IDS_DRIVE_UNREADABLE));
                m_outcome.nFilesFailed = m_level.items.size();
                SetStopRequested();
                EndLevel();
                return;
            }
            m_nBytesToCopy += nBytes;
            ++m_nFilesFound;
        }
    }
    // A host that reports 0xFFFFFFFF free bytes has room for anything.
    const std::uint32_t nFree = RemoteVolumeFreeSpace(m_volumeRecord);
    if (nFree != 0xFFFFFFFFu && m_nBytesToCopy > nFree) {
        const std::uint64_t nShort = std::max<std::uint64_t>((m_nBytesToCopy - nFree) >> 10, 1);
        Report(ETransferEventKind::Failed, ETransferCause::NoRoom, m_level.sDest, true,
               FormatStringIdNumber(IDS_FREE_UP_SPACE, static_cast<long long>(nShort)));
        SetStopRequested();
        EndLevel();
        return;
    }
    StartItems();
}

std::string TCopyEngine::FitRemoteName(const std::string& sName) const
{
    const TRemoteNameLimits limits = RemoteNameLimits(m_volumeRecord);
    const NameRules rules{limits.nFileSystem, limits.nLanguage, limits.nMaxTotal, limits.nMaxBase, limits.nMaxExtension};
    char szFitted[MAX_PATH] = {};
    MungeName(sName.c_str(), szFitted, rules, kMungeForRemote);
    return szFitted[0] ? std::string(szFitted) : sName;
}

bool TCopyEngine::TakeRemoteName()
{
    const std::string sLocalName = m_sItemName;
    m_sItemName = FitRemoteName(sLocalName);
    m_sWireName = LocalToRemoteName(m_sItemName);
    // The host matches names without regard to case: two local names that differ only in case
    // (or that fit to one name) would land on one remote item.
    const auto [itSent, bNew] = m_level.sentNames.try_emplace(FoldedName(m_sItemName), m_sItemName);
    if (!bNew) {
        Report(ETransferEventKind::Failed, ETransferCause::NameClash, m_sLocalPath, false, {}, itSent->second);
        return false;
    }
    if (m_sItemName != sLocalName)
        Report(ETransferEventKind::Renamed, ETransferCause::NameFitted, m_sLocalPath, false, {}, m_sItemName);
    return true;
}

void TCopyEngine::UploadFile()
{
    m_upload = {};
    m_session.m_bStopRequested = 0;
    m_session.m_bUploadReadFailure = 0;
    m_session.m_nChunkSize = kGuestDataMsgLen;
    m_sLocalPath = JoinLocalPath(m_level.sSource, m_sItemName);
    CloseLocalFile();
    if (m_session.Pipelining() && StartBatch())
        return;
    if (!TakeRemoteName()) {
        NextItem();
        return;
    }
    m_pSent = std::make_shared<TSentFile>(TSentFile{RemoteItem(), m_sWireName, m_level.nListingLevel});
    if (!OpenLocalFile()) {
        ReportUnreadable(m_sLocalPath);
        NextItem();
        return;
    }
    m_upload.bStripLineFeeds = StripsLineFeeds(m_sLocalPath);
    if (m_upload.bStripLineFeeds)
        m_upload.nLineFeeds = CountLineFeeds(m_localFile);
    if (m_session.Pipelining()) {
        // Once every earlier answer is in, so that the host takes this file's requests one by one.
        m_session.AfterReplies(this, [this] { SendCreate(ECreate::First); });
        return;
    }
    SendCreate(ECreate::First);
}

bool TCopyEngine::OpenLocalFile()
{
    // The length and the times sent are those of the data read: one status, read from the open file.
    return m_localFile.TryOpen(m_sLocalPath.c_str(), CFile::modeRead | CFile::shareDenyNone) &&
           m_localFile.GetStatus(m_upload.status, &m_upload.nLocalLength);
}

bool TCopyEngine::StripsLineFeeds(const std::string& sLocalPath) const
{
    DWORD nType = 0;
    DWORD nCreator = 0;
    SetTypeCreator(sLocalPath.c_str(), &nType, &nCreator);
    return m_session.PathMode() == 0 && nType == kTypeText && m_session.TranslateUpload() != 0;
}

bool TCopyEngine::KnownOnHost(const std::string& sFittedName)
{
    if (!m_level.bRemoteNamesRead) {
        // As the host matches names: without regard to case, short aliases included.
        for (const TRemoteEntry& entry : m_session.RemoteListing().EntriesAt(m_level.nListingLevel)) {
            m_level.remoteNames.insert(FoldedName(entry.szShortName));
            m_level.remoteNames.insert(FoldedName(entry.szLongName));
        }
        m_level.bRemoteNamesRead = true;
    }
    return m_level.remoteNames.count(FoldedName(LocalToRemoteName(sFittedName))) != 0;
}

void TCopyEngine::SendCreate(ECreate eCreate)
{
    const std::size_t nLength =
        BuildNamesRequest(kFTP_msgCreate, Packet::Names::kCreateBlock, Packet::Create::kVolume, Packet::Create::kDirNumber, m_sWireName);
    TPacketWriter(m_session.SendBuffer(), kGuestBufferSize)
        .DWordBE(Packet::Create::kDataLength, SaturatedWireSize(m_upload.nLocalLength - m_upload.nLineFeeds));
    m_session.SendAwaited(static_cast<std::uint16_t>(nLength), AwaitResult([this, eCreate](std::int16_t nResult) {
                              if (eCreate == ECreate::First)
                                  OnCreateResult(nResult);
                              else
                                  SendSetInfo();
                          }));
}

void TCopyEngine::OnCreateResult(std::int16_t nResult)
{
    switch (nResult) {
    case kFTP_resOK: SendSetInfo(); return;
    case kFTP_resDuplicate: break;
    case kFTP_resCannotCreate:
        if (m_sItemName.size() > MAX_PATH)
            Report(ETransferEventKind::Failed, ETransferCause::PathTooLong, RemoteItem(), true,
                   FormatStringId(IDS_CANNOT_COPY_FILE, m_sItemName));
        else
            Report(ETransferEventKind::Failed, ETransferCause::HostCannotCreate, RemoteItem(), true,
                   LoadStringId(IDS_REMOTE_CREATE_PROBLEM));
        CloseLocalFile();
        // Only this file is lost: the copy goes on with the next item.
        AfterUploadedFile();
        return;
    default: StopUpload(IDS_UNABLE_TO_VANTRY, ETransferCause::HostCannotCreate); return;
    }

    // The name exists on the host.
    int nAnswer = ReplaceAnswer::kYesToAll;
    if (!m_bYesToAll) {
        nAnswer = Window().AskReplace(m_sItemName, false);
        m_bYesToAll = nAnswer == ReplaceAnswer::kYesToAll;
    }
    if (nAnswer == ReplaceAnswer::kCancel) {
        SetStopRequested();
        CloseLocalFile();
        EndLevel();
        return;
    }
    if (nAnswer == ReplaceAnswer::kNo) {
        CloseLocalFile();
        Report(ETransferEventKind::Skipped, ETransferCause::Exists, RemoteItem(), true);
        AfterUploadedFile();
        return;
    }
    if (!m_session.MayRemoveOnRemote()) {
        // The host keeps its file; the rest of the copy goes on.
        Report(ETransferEventKind::Failed, ETransferCause::NoRemovePrivilege, RemoteItem(), true,
               LoadStringId(IDS_UNABLE_TO_VANTRY));
        CloseLocalFile();
        AfterUploadedFile();
        return;
    }
    // An empty file opens no fork, so nothing would replace the host's file at the end of its
    // data: it takes the place of the old one by removal, as on hosts that name folders by number.
    if (m_session.PathMode() == 0 || !m_session.LongNames() || m_upload.nLocalLength == 0) {
        SendNamesRequest(kFTP_msgRemove, m_sWireName, AwaitResult([this](std::int16_t nRemoved) { OnReplaceRemoveResult(nRemoved); }));
        return;
    }
    // A version 9 host replaces the file when the new data is complete.
    SendSetInfo();
}

void TCopyEngine::OnReplaceRemoveResult(std::int16_t nResult)
{
    if (nResult != kFTP_resOK) {
        StopUpload(IDS_UNABLE_TO_VANTRY, ETransferCause::HostCannotWrite);
        return;
    }
    SendCreate(ECreate::AfterRemove);
}

void TCopyEngine::SendSetInfo()
{
    if (WaitsForEachAnswer(*m_pSent)) {
        // The fork is opened once the information is answered (SendSetInfoOf).
        m_session.AfterReplies(this, [this] {
            SendSetInfoOf(m_sLocalPath, &m_upload.status, m_sWireName, m_upload.nLocalLength - m_upload.nLineFeeds, ESetInfoOf::File);
        });
        return;
    }
    SendSetInfoOf(m_sLocalPath, &m_upload.status, m_sWireName, m_upload.nLocalLength - m_upload.nLineFeeds, ESetInfoOf::File);
    OpenRemoteFork();
}

void TCopyEngine::SendSetInfoOf(const std::string& sLocalPath, const CFileStatus* pStatus, const std::string& sWireName,
                                std::uint64_t nDataLength, ESetInfoOf eOf)
{
    using namespace Packet;
    const std::size_t nLength =
        BuildNamesRequest(kFTP_msgSetInfo, Names::kSetInfoBlock, SetInfo::kVolume, SetInfo::kDirNumber, sWireName);
    TPacketWriter packet(m_session.SendBuffer(), kGuestBufferSize);
    if (pStatus) {
        packet.Byte(SetInfo::kLocked, pStatus->m_attribute & kOVF_attrReadOnly);
        packet.WordLE(SetInfo::kAttributes, static_cast<std::uint16_t>(pStatus->m_attribute | kOVF_attrArchive));
    } else {
        packet.WordLE(SetInfo::kAttributes, kUnreadableAttributes);
    }
    DWORD nType = 0;
    DWORD nCreator = 0;
    SetTypeCreator(sLocalPath.c_str(), &nType, &nCreator);
    packet.DWordBE(SetInfo::kType, nType);
    packet.DWordBE(SetInfo::kCreator, nCreator);
    if (pStatus) {
        DWORD dwCreated = 0;
        DWORD dwModified = 0;
        OVConvertCTimeToMacTime(&pStatus->m_ctime, &dwCreated);
        OVConvertCTimeToMacTime(&pStatus->m_mtime, &dwModified);
        packet.Bytes(SetInfo::kCreated, &dwCreated, sizeof dwCreated); // wire order already
        packet.Bytes(SetInfo::kModTime, &dwModified, sizeof dwModified);
    }
    packet.DWordBE(SetInfo::kDataLength, SaturatedWireSize(nDataLength));
    packet.WordBE(SetInfo::kMarker1, kSetInfoMarker);
    packet.WordBE(SetInfo::kMarker2, kSetInfoMarker);
    if (eOf == ESetInfoOf::Folder) {
        // Times the host does not take change nothing else: the copy goes on.
        m_session.SendAwaited(static_cast<std::uint16_t>(nLength), AwaitResult([this](std::int16_t) { NextItem(); }));
        return;
    }
    m_session.SendAwaited(static_cast<std::uint16_t>(nLength),
                          AwaitResult([this, pSent = m_pSent](std::int16_t nResult) {
                              OnSetInfoResult(*pSent, nResult);
                              if (!WaitsForEachAnswer(*pSent))
                                  return; // the fork was opened behind the request
                              if (pSent->nFailure != 0) {
                                  CloseLocalFile();
                                  EndLevel();
                                  return;
                              }
                              OpenRemoteFork();
                          }));
}

// A folder takes its local times once its contents are on the host, since writing them
// changed its time there; the answer goes on with the parent's next item.
void TCopyEngine::SendFolderTimes(const TLevel& finished)
{
    // A host that pipelines takes information sent while earlier answers are owed only for
    // files of its own making: the folder's waits for them.
    m_session.AfterReplies(this, [this, sSource = finished.sSource, sRemoteName = finished.sRemoteName] {
        CFileStatus status;
        const bool bStatus = TFile::GetStatus(sSource.c_str(), status) != 0;
        SendSetInfoOf(sSource, bStatus ? &status : nullptr, sRemoteName, 0, ESetInfoOf::Folder);
    });
}

void TCopyEngine::OpenRemoteFork()
{
    if (m_upload.nLocalLength == 0) {
        // An empty file has its information set already: no fork is opened, no data sent.
        CloseLocalFile();
        SendInfoRequestAfterUpload();
        return;
    }
    const std::size_t nLength = BuildNamesRequest(kFTP_msgOpenFork, Packet::Names::kOpenForkBlock, Packet::ReqFork::kVolume,
                                                  Packet::ReqFork::kDirNumber, m_sWireName);
    // The host does not answer: the data starts when this write completes.
    m_upload.nLastRead = kNothingReadYet;
    m_session.SendRequest(m_session.SendBuffer(), static_cast<std::uint16_t>(nLength),
                          &TVantryGuestSession::DecideToContinueCallBack);
}

// The answer to kFTP_msgSetInfo, which may come while the data is still flowing.
void TCopyEngine::OnSetInfoResult(TSentFile& file, std::int16_t nResult)
{
    if (AnswerSettled(file, nResult))
        return;
    file.nFailure = IDS_UNABLE_TO_VANTRY;
    SetStopRequested();
    Report(ETransferEventKind::Failed, ETransferCause::HostCannotWrite, file.sRemoteItem, true,
           LoadStringId(IDS_UNABLE_TO_VANTRY));
}

// The information is asked for right behind the file's last request; the answer is read once
// the answers before it are in.
void TCopyEngine::SendInfoRequestAfterUpload()
{
    SendNamesRequest(kFTP_msgGetInfo, m_sWireName,
                     AwaitInfo([this, pSent = m_pSent](std::int16_t nResult, const std::uint8_t* pRecord) {
                         pSent->bSettled = true;
                         while (!m_unconfirmed.empty() && m_unconfirmed.front().first->bSettled)
                             m_unconfirmed.pop_front();
                         TakeUploadedInfo(*pSent, nResult, pRecord);
                     }));
    if (m_pSent->bAnswersLate)
        AfterUploadedFile();
}

void TCopyEngine::SendData()
{
    std::uint8_t* pPacket = m_session.SendBuffer();
    for (;;) {
        if (StopRequested()) {
            m_upload.bAbortSent = true;
            break;
        }
        UINT nRead = 0;
        try {
            nRead = m_localFile.Read(pPacket + Packet::ForkData::kData, m_session.m_nChunkSize);
        } catch (const CFileException&) {
            m_session.m_bUploadReadFailure = 1;
        }
        m_upload.nLastRead = nRead;
        m_nBytesDone += nRead;
        if (nRead != 0)
            Window().UpdateStatus(m_nBytesDone);
        std::size_t nSend = nRead;
        if (m_upload.bStripLineFeeds)
            nSend = RemoveLineFeeds(pPacket + Packet::ForkData::kData, nRead);
        if (nSend != 0) {
            TPacketWriter packet(pPacket, kGuestBufferSize);
            packet.Byte(Packet::kCode, CodeByte(kFTP_msgForkData));
            packet.WordBE(Packet::ForkData::kDataLength, static_cast<std::uint16_t>(nSend));
            m_session.SendRequest(pPacket, static_cast<std::uint16_t>(nSend + Packet::ForkData::kHeader),
                                  &TVantryGuestSession::DecideToContinueCallBack);
            return;
        }
        // A chunk made only of line feeds sends nothing.
        if (m_session.m_bUploadReadFailure || nRead == 0)
            break;
    }
    DecideUpload();
}

void TCopyEngine::DecideToContinue() { DecideUpload(); }

void TCopyEngine::DecideUpload()
{
    // A stop that came before the first read ends the file like one that came later.
    if (m_session.m_bUploadReadFailure || (StopRequested() && m_upload.bAbortSent) || m_upload.nLastRead == 0) {
        FinishUploadedFile();
        return;
    }
    SendData();
}

void TCopyEngine::FinishUploadedFile()
{
    CloseLocalFile();
    if (m_session.m_bUploadReadFailure) {
        // What was sent is abandoned on the host rather than kept as if it were the whole file.
        ReportUnreadable(m_sLocalPath);
        SetStopRequested();
        m_upload.bAbortSent = true;
    }
    if (StopRequested() && m_upload.bAbortSent) {
        if (!m_session.m_bUploadReadFailure)
            NoteInterrupted(m_sLocalPath);
        EndLevel();
        return;
    }
    m_unconfirmed.emplace_back(m_pSent, m_sLocalPath);
    m_session.SendBuffer()[Packet::kCode] = CodeByte(kFTP_msgEndData);
    m_session.SendAwaited(1, AwaitResult([this, pSent = m_pSent](std::int16_t nResult) {
                              OnEndDataResult(*pSent, nResult);
                              if (WaitsForEachAnswer(*pSent))
                                  SendInfoRequestAfterUpload();
                          }));
    if (!WaitsForEachAnswer(*m_pSent))
        SendInfoRequestAfterUpload();
}

bool TCopyEngine::AnswerSettled(TSentFile& file, std::int16_t nResult)
{
    if (nResult == kFTP_resOK || file.nFailure != 0)
        return true;
    if (nResult != kFTP_resDuplicate || !file.bAnswersLate)
        return false;
    // Something took the name on the host after the create: the host left that item alone.
    file.nFailure = IDS_UNABLE_TO_VANTRY;
    Report(ETransferEventKind::Failed, ETransferCause::NameTakenMeanwhile, file.sRemoteItem, true);
    return true;
}

void TCopyEngine::OnEndDataResult(TSentFile& file, std::int16_t nResult)
{
    if (AnswerSettled(file, nResult))
        return;
    // The host could not write the file; a full disk is worth saying.
    const bool bDiskFull = nResult == kFTP_resDiskFull;
    file.nFailure = bDiskFull ? IDS_REMOTE_DISK_FULL : IDS_REMOTE_CREATE_PROBLEM;
    Report(ETransferEventKind::Failed, bDiskFull ? ETransferCause::HostDiskFull : ETransferCause::HostCannotWrite,
           file.sRemoteItem, true, LoadStringId(file.nFailure));
}

void TCopyEngine::TakeUploadedInfo(const TSentFile& file, std::int16_t nResult, const std::uint8_t* pRecord)
{
    if (file.bAnswersLate) {
        // The upload has gone on: the answer only tells how the file ended.
        if (file.nFailure == 0) {
            ++m_outcome.nFilesCopied;
            if (nResult == kFTP_resOK)
                AddUploadedEntry(file, pRecord);
        }
        return;
    }
    if (file.nFailure != 0) {
        EndLevel();
        return;
    }
    ++m_outcome.nFilesCopied;
    if (nResult == kFTP_resOK)
        AddUploadedEntry(file, pRecord);
    AfterUploadedFile();
}

void TCopyEngine::AddUploadedEntry(const TSentFile& file, const std::uint8_t* pRecord)
{
    using namespace Packet::FileInfo;
    const TPacketReader record(pRecord, kRecordLength);
    TRemoteEntry entry{};
    entry.dwFolder = record.DWordBE(kIsFolder);
    std::memcpy(entry.type, pRecord + kType, sizeof entry.type);
    SetRemoteEntrySize(entry, ReadWireSize(record, kSize, kSizeHigh, m_session.LargeSizes()));
    entry.wAttributes = record.WordLE(kAttributes);
    entry.dwModTime = record.DWordBE(kModified);
    SetRemoteEntryName(entry, file.sWireName, m_session.LongNames());
    ZULAddFileEntry(m_session.RemoteListing(), file.nListingLevel, entry, nullptr);
}

void TCopyEngine::ReportUnreadable(const std::string& sPath)
{
    Report(ETransferEventKind::Failed, ETransferCause::LocalCannotRead, sPath, false, LoadStringId(IDS_DRIVE_UNREADABLE),
           {}, kDriveUnreadableStyle);
}

void TCopyEngine::StopUpload(int nMessage, ETransferCause eCause)
{
    SetStopRequested();
    Report(ETransferEventKind::Failed, eCause, RemoteItem(), true, LoadStringId(nMessage));
    CloseLocalFile();
    EndLevel();
}

void TCopyEngine::CloseLocalFile()
{
    if (m_localFile.m_hFile32 != TFile::kNoFile)
        m_localFile.TryClose();
}

void TCopyEngine::UploadFolder()
{
    m_sLocalPath = JoinLocalPath(m_level.sSource, m_sItemName);
    if (!TakeRemoteName()) {
        NextItem();
        return;
    }
    SendNamesRequest(kFTP_msgGetInfo, m_sWireName,
                     AwaitInfo([this](std::int16_t nResult, const std::uint8_t* pRecord) { TakeRemoteFolderInfo(nResult, pRecord); }));
}

void TCopyEngine::TakeRemoteFolderInfo(std::int16_t nResult, const std::uint8_t* pRecord)
{
    if (nResult != kFTP_resOK) {
        MakeRemoteFolder();
        return;
    }
    if (TPacketReader(pRecord, Packet::FileInfo::kRecordLength).DWordBE(Packet::FileInfo::kIsFolder) != 0) {
        if (m_session.PathMode() == 1)
            EnterUploadedFolder();
        else
            SendNamesRequest(kFTP_msgGetInfo, m_sWireName, AwaitInfo([this](std::int16_t, const std::uint8_t*) { EnterUploadedFolder(); }));
        return;
    }
    // A file has the folder's name: it gives way when the user agrees.
    if (!m_bYesToAll) {
        const int nAnswer = Window().AskReplace(m_sItemName, false);
        if (nAnswer == ReplaceAnswer::kCancel) {
            SetStopRequested();
            EndLevel();
            return;
        }
        if (nAnswer == ReplaceAnswer::kNo) {
            // No keeps the host's file: the folder is not copied.
            Report(ETransferEventKind::Skipped, ETransferCause::Exists, RemoteItem(), true);
            NextItem();
            return;
        }
        m_bYesToAll = nAnswer == ReplaceAnswer::kYesToAll;
    }
    SendNamesRequest(kFTP_msgRemove, m_sWireName, AwaitResult([this](std::int16_t) { MakeRemoteFolder(); }));
}

void TCopyEngine::MakeRemoteFolder()
{
    SendNamesRequest(kFTP_msgMakeFolder, m_sWireName, AwaitResult([this](std::int16_t nResult) { OnRemoteFolderMade(nResult); }));
}

void TCopyEngine::OnRemoteFolderMade(std::int16_t nResult)
{
    if (nResult != kFTP_resOK) {
        StopUpload(IDS_UNABLE_TO_VANTRY, ETransferCause::HostCannotCreate);
        return;
    }
    EnterUploadedFolder();
}

void TCopyEngine::EnterUploadedFolder()
{
    TLevel child;
    child.nSerial = ++m_nLevelSerial;
    child.sSource = m_sLocalPath;
    child.sDest = JoinLocalPath(m_level.sDest, m_sItemName);
    child.sRemoteName = m_sWireName;
    std::vector<TOVFLeftOut> leftOut;
    if (!LocalFolderItems(child.sSource, &m_sizedListings, &child.items, &leftOut))
        ReportUnreadable(child.sSource);
    for (const TOVFLeftOut& left : leftOut) {
        const std::string sPath = JoinLocalPath(child.sSource, left.strName);
        switch (left.kind) {
        case OVFLeftOutKind::link: Report(ETransferEventKind::Skipped, ETransferCause::SymbolicLink, sPath, false); break;
        case OVFLeftOutKind::name:
            // The name has no Windows-style form: it goes beside its folder, as it is on disk.
            Report(ETransferEventKind::Skipped, ETransferCause::NameNotSendable, child.sSource, false, {}, left.strName);
            break;
        case OVFLeftOutKind::special: Report(ETransferEventKind::Failed, ETransferCause::NotRegularFile, sPath, false); break;
        }
    }
    m_levels.push_back(std::move(m_level));
    m_level = std::move(child);
    EnterRemoteFolder(m_level.sDest, [this] {
        if (m_level.items.empty()) {
            EndLevel();
            return;
        }
        RunItem();
    });
}
