// The upload in a session where the host takes requests while it answers earlier ones: the
// creates of up to a batch of files go out together, and once they are answered each created
// file's information, fork, data, end of data and read-back follow without waiting for the
// answers in between. A name the host is known to have goes the unpipelined way, and a create
// that finds the name taken after all asks the replace question first.
#include "copyrtl.h"

#include "PacketBuffer.h"
#include "PipelineLimits.h"
#include "WireSizes.h"

namespace {
constexpr std::size_t kCreatesAhead = kPipelinedCreatesAhead;
} // namespace

bool TCopyEngine::StartBatch()
{
    m_batch.clear();
    const std::size_t nFirst = m_level.nIndex;
    std::size_t nIndex = nFirst;
    for (; nIndex < m_level.items.size() && m_batch.size() < kCreatesAhead; ++nIndex) {
        const TCopyItem& item = m_level.items[nIndex];
        const std::string sLocalPath = JoinLocalPath(m_level.sSource, item.sName);
        // Folders are made when their turn comes; a name the host has is asked about first.
        if (item.bFolder || KnownOnHost(FitRemoteName(item.sName)) || StripsLineFeeds(sLocalPath))
            break;
        // The status window counts the first file already; the others as they go out.
        const bool bCounted = nIndex == nFirst;
        m_sItemName = item.sName;
        m_sLocalPath = sLocalPath;
        std::uint64_t nLength = item.nSize.value_or(0);
        if (!TakeRemoteName()) {
            m_nFileNumber += bCounted ? 0 : 1;
            continue;
        }
        // The create announces the length the folder's listing gave; the file's own is read when
        // it is opened.
        if (!item.nSize && !LocalFileSize(sLocalPath, &nLength)) {
            ReportUnreadable(sLocalPath);
            m_nFileNumber += bCounted ? 0 : 1;
            continue;
        }
        m_batch.push_back({nIndex, m_sItemName, m_sWireName, sLocalPath, nLength, 0, bCounted});
    }
    if (nIndex == nFirst)
        return false;
    m_nBatchLast = nIndex - 1;
    m_nCreatesOwed = m_batch.size();
    for (std::size_t i = 0; i < m_batch.size(); ++i) {
        const std::size_t nLength = BuildNamesRequest(kFTP_msgCreate, Packet::Names::kCreateBlock, Packet::Create::kVolume,
                                                      Packet::Create::kDirNumber, m_batch[i].sWireName);
        TPacketWriter(m_session.SendBuffer(), kGuestBufferSize)
            .DWordBE(Packet::Create::kDataLength, SaturatedWireSize(m_batch[i].nLocalLength));
        m_session.SendAwaited(static_cast<std::uint16_t>(nLength), AwaitResult([this, i](std::int16_t nResult) {
                                  if (i >= m_batch.size() || m_nCreatesOwed == 0)
                                      return;
                                  m_batch[i].nCreateResult = nResult;
                                  if (--m_nCreatesOwed == 0)
                                      SendBatchFile();
                              }));
    }
    if (m_batch.empty())
        SendBatchFile();
    return true;
}

void TCopyEngine::SendBatchFile()
{
    if (StopRequested()) {
        EndLevel();
        return;
    }
    if (m_batch.empty()) {
        m_level.nIndex = m_nBatchLast;
        NextItem();
        return;
    }
    const TBatchFile file = std::move(m_batch.front());
    m_batch.pop_front();
    m_level.nIndex = file.nIndex;
    m_begun = {m_level.nSerial, m_level.nIndex};
    m_sItemName = m_level.items[file.nIndex].sName;
    // The first file of the batch was counted and shown as the batch began.
    if (!file.bCounted) {
        ++m_nFileNumber;
        Window().SetStatusText(StatusFileText(m_level.sSource));
    }
    m_sItemName = file.sItemName;
    m_sWireName = file.sWireName;
    m_sLocalPath = file.sLocalPath;
    m_upload = {};
    m_upload.bInBatch = true;
    m_session.m_bUploadReadFailure = 0;
    m_session.m_nChunkSize = kGuestDataMsgLen;
    // A file created here has its answers come while the next files go out; one that found the
    // name taken goes through the replace question and waits for each answer.
    m_pSent = std::make_shared<TSentFile>(
        TSentFile{RemoteItem(), m_sWireName, m_level.nListingLevel, file.nCreateResult == kFTP_resOK});
    CloseLocalFile();
    if (!OpenLocalFile()) {
        ReportUnreadable(m_sLocalPath);
        if (file.nCreateResult == kFTP_resOK)
            SendNamesRequest(kFTP_msgRemove, m_sWireName, AwaitResult([](std::int16_t) {}));
        SendBatchFile();
        return;
    }
    OnCreateResult(file.nCreateResult);
}

void TCopyEngine::RemoveUnsentBatch()
{
    for (const TBatchFile& file : m_batch) {
        if (file.nCreateResult == kFTP_resOK)
            SendNamesRequest(kFTP_msgRemove, file.sWireName, AwaitResult([](std::int16_t) {}));
    }
    m_batch.clear();
}

void TCopyEngine::AfterUploadedFile()
{
    if (m_upload.bInBatch)
        SendBatchFile();
    else
        NextItem();
}
