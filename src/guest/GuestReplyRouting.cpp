// Reading the host's messages: the code byte, then the rest of the message, handed to the
// oldest request still waiting for its reply (the host answers in the order of the requests).
#include "Vntrgst.h"

#include "CheckedCalls.h"
#include "Exceptions.h"
#include "PacketBuffer.h"
#include "StringTable.h"

#include <algorithm>
#include <cstdio>
#include <exception>

std::uint32_t TVantryGuestSession::RunCompletion(void* pSession, std::int32_t nStatus, Step pStep,
                                                 std::int32_t nFailureReason)
{
    auto* pThis = static_cast<TVantryGuestSession*>(pSession);
    if (!IsValidSession(pThis))
        return 0;
    if (nStatus != 0) {
        pThis->PostStopMessage(nStatus);
        return 0;
    }
    try {
        (pThis->*pStep)();
    } catch (const std::exception&) {
        pThis->PostStopMessage(nFailureReason);
    }
    return 0;
}

void TVantryGuestSession::SendAwaited(std::uint16_t nLength, TAwaitedReply reply)
{
    AwaitReply(std::move(reply));
    IssueCodeRead();
    SendRequest(m_pSend, nLength, &DoNothingCallBack);
}

void TVantryGuestSession::AfterReplies(const void* pOwner, std::function<void()> step)
{
    if (m_awaited.empty()) {
        step();
        return;
    }
    TAwaitedReply barrier = TAwaitedReply::Of(EAwaitedReply::Barrier, pOwner);
    barrier.onReached = std::move(step);
    m_awaited.push_back(std::move(barrier));
}

std::size_t TVantryGuestSession::RepliesAwaitedBy(const void* pOwner) const
{
    return static_cast<std::size_t>(std::count_if(m_awaited.begin(), m_awaited.end(),
                                                  [pOwner](const TAwaitedReply& r) { return r.pOwner == pOwner; }));
}

void TVantryGuestSession::DropReplies(const void* pOwner)
{
    for (TAwaitedReply& reply : m_awaited) {
        if (reply.pOwner == pOwner)
            reply.Drop();
    }
}

TAwaitedReply TVantryGuestSession::TakeAwaited()
{
    VCheck(!m_awaited.empty());
    TAwaitedReply reply = std::move(m_awaited.front());
    m_awaited.pop_front();
    return reply;
}

bool TVantryGuestSession::ChainCanRun(const TAwaitedReply& reply)
{
    // A copy's steps need the window's copy state; without it the session cannot go on.
    if (reply.pOwner != nullptr && reply.pOwner != this && !m_pWindow) {
        PostStopMessage(kStopConnectionFailed);
        return false;
    }
    return true;
}

void TVantryGuestSession::RunBarriers()
{
    while (Awaits(EAwaitedReply::Barrier)) {
        TAwaitedReply barrier = TakeAwaited();
        if (barrier.onReached && ChainCanRun(barrier))
            barrier.onReached();
    }
}

void TVantryGuestSession::ReadOn()
{
    RunBarriers();
    if (!Stopping())
        IssueCodeRead();
}

std::uint32_t TVantryGuestSession::ReadResultCompletion(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    auto* pThis = static_cast<TVantryGuestSession*>(pSession);
    if (!IsValidSession(pThis))
        return 0;
    try {
        VCheck(nStatus == 0);
        pThis->m_bCodeReadPending = 0;
        if (pThis->Stopping()) {
            pThis->PostStopMessage(kStopConnectionFailed);
            return 0;
        }
        pThis->OnCodeByte();
    } catch (const std::exception&) {
        pThis->PostStopMessage(kStopConnectionFailed);
    }
    return 0;
}

void TVantryGuestSession::OnCodeByte()
{
    const auto nCode = static_cast<std::int8_t>(m_pReceive[Packet::kCode]);
    switch (nCode) {
    case kFTP_msgNoOp: IssueCodeRead(); break;
    case kFTP_msgNewMessages: OnDriveNotReady(); break;
    case kFTP_msgForkData:
        if (Awaits(EAwaitedReply::Fork))
            ReadReplyBytes(m_pReceive, Packet::ForkData::kHeader - 1, &CopyFromRemoteReadForkSize);
        else
            SkipForkDataLength();
        break;
    case kFTP_msgFileInfo:
        ReadReplyBytes(m_pReceive, Packet::FileInfo::kLength - 1, &StepCompletion<&TVantryGuestSession::OnFileInfoRecord>);
        break;
    case kFTP_msgAFile: OnFile(); break;
    case kFTP_msgAVol: OnVolume(); break;
    case kFTP_msgAbort: OnHostAbort(); break;
    case kFTP_msgEndData: OnEndData(); break;
    case kFTP_msgResult:
        ReadReplyBytes(m_pReceive, Packet::Result::kLength - 1, &StepCompletion<&TVantryGuestSession::OnResultValue>);
        break;
    default: ShowIllegalMessage(); break;
    }
}

void TVantryGuestSession::ShowIllegalMessage()
{
    // The stream cannot be followed past a message the guest does not know: after the box the
    // session stops, so that nobody waits for an answer that cannot come.
    if (m_pWindow) {
        char szCode[8];
        std::snprintf(szCode, sizeof szCode, "0x%02X", m_pReceive[Packet::kCode]);
        m_pWindow->ReportTransfer({ETransferEventKind::SessionEnded, ETransferCause::UnknownMessage, {}, false, szCode},
                                  FixedText::kServiceName, FixedText::kIllegalMessageCaption, MessageBoxStyle::kOk);
    }
    PostStopMessage(kStopUnknownMessage);
}

void TVantryGuestSession::OnDriveNotReady()
{
    // During a folder listing the notice means that the host cannot read the folder: the
    // listing that follows is no listing of it.
    const bool bListing = Awaits(EAwaitedReply::FileList);
    std::string sFolder;
    if (bListing) {
        TAwaitedReply& listing = m_awaited.front();
        (listing.onEntries ? listing.nListResult : m_nPaneResult) = kFTP_resFailure;
        sFolder = listing.onEntries ? listing.sFolder : m_listing.sPath;
    }
    if (m_pWindow) {
        m_pWindow->SetWaitCursor(false);
        m_pWindow->ReportTransfer({ETransferEventKind::Failed, ETransferCause::HostCannotRead, sFolder, true, {}},
                                  FixedText::kDiskUnreadable, FixedText::kApplicationTitle,
                                  MessageBoxStyle::kTaskModal | MessageBoxStyle::kIconStop);
    }
    IssueCodeRead();
    if (m_pWindow)
        m_pWindow->RestorePreviousRemoteDrive();
}

void TVantryGuestSession::OnResultValue()
{
    const std::int16_t nResult = TPacketReader(m_pReceive, Packet::Result::kLength - 1).ResultBE(Packet::Result::kValue - 1);
    const EAwaitedReply eKind = m_awaited.empty() ? EAwaitedReply::Barrier : m_awaited.front().eKind;
    switch (eKind) {
    case EAwaitedReply::Result:
    case EAwaitedReply::AbortAnswer: {
        TAwaitedReply reply = TakeAwaited();
        if (reply.onResult && ChainCanRun(reply))
            reply.onResult(nResult);
        ReadOn();
        return;
    }
    case EAwaitedReply::Fork: EndFork(EForkEnd::Result, nResult); return;
    case EAwaitedReply::FileList: {
        // The listing ends with the result.
        TAwaitedReply& listing = m_awaited.front();
        (listing.onEntries ? listing.nListResult : m_nPaneResult) = nResult;
        EndFileList();
        return;
    }
    default:
        // A result nobody waits for: dropped, so that the next message is found.
        IssueCodeRead();
        return;
    }
}

void TVantryGuestSession::OnFileInfoRecord()
{
    const TPacketReader reply(m_pReceive, Packet::FileInfo::kLength - 1);
    const std::int16_t nResult = reply.ResultBE(Packet::FileInfo::kResult - 1);
    const std::uint8_t* pRecord = m_pReceive + (Packet::FileInfo::kRecord - 1);
    if (Awaits(EAwaitedReply::FileInfo)) {
        TAwaitedReply awaited = TakeAwaited();
        if (awaited.onInfo && ChainCanRun(awaited))
            awaited.onInfo(nResult, pRecord);
        ReadOn();
        return;
    }
    // The window's own question for an item's size; anything else nobody asked for is dropped.
    if (m_pWindow && m_pWindow->WaitingForSize())
        m_pWindow->TakeRemoteItemInfo(nResult, pRecord);
    IssueCodeRead();
}

std::uint32_t TVantryGuestSession::CopyFromRemoteReadForkSize(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::OnForkLength, kStopSystemError);
}

std::uint32_t TVantryGuestSession::CopyFromRemoteProcessForkData(HConnection, void* pSession, HStream,
                                                                 std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::OnForkData, kStopSystemError);
}

void TVantryGuestSession::OnForkLength()
{
    m_nForkLength = TPacketReader(m_pReceive, Packet::ForkData::kHeader - 1).WordBE(Packet::ForkData::kDataLength - 1);
    VCheck(m_nForkLength <= Packet::kMaxIncomingData);
    if (m_nForkLength == 0) {
        OnForkData();
        return;
    }
    ReadReplyBytes(m_pReceive, m_nForkLength, &CopyFromRemoteProcessForkData);
}

void TVantryGuestSession::OnForkData()
{
    VCheck(Awaits(EAwaitedReply::Fork));
    // A copy: the step may drop the chain's replies while it runs.
    const TAwaitedReply::TDataStep onData = m_awaited.front().onData;
    if (onData && ChainCanRun(m_awaited.front()))
        onData(m_pReceive, m_nForkLength);
    if (!Stopping())
        IssueCodeRead();
}

void TVantryGuestSession::EndFork(EForkEnd eEnd, std::int16_t nResult)
{
    TAwaitedReply reply = TakeAwaited();
    if (eEnd == EForkEnd::Abort) {
        // A guest's kFTP_msgAbort that ends a fork gets no answer of its own.
        const auto itAbort = std::find_if(m_awaited.begin(), m_awaited.end(), [](const TAwaitedReply& r) {
            return r.eKind == EAwaitedReply::AbortAnswer;
        });
        if (itAbort != m_awaited.end())
            m_awaited.erase(itAbort);
    }
    if (reply.onForkEnd && ChainCanRun(reply))
        reply.onForkEnd(eEnd, nResult);
    ReadOn();
}

void TVantryGuestSession::OnHostAbort()
{
    if (Awaits(EAwaitedReply::Fork)) {
        EndFork(EForkEnd::Abort, 0);
        return;
    }
    PostStopMessage(kStopConnectionFailed);
}

void TVantryGuestSession::OnEndData()
{
    if (Awaits(EAwaitedReply::Fork))
        EndFork(EForkEnd::EndData, 0);
    else if (Awaits(EAwaitedReply::VolumeList))
        EndVolumeList();
    else if (Awaits(EAwaitedReply::FileList))
        EndFileList();
    else
        IssueCodeRead(); // nobody waits for it
}

void TVantryGuestSession::SkipForkDataLength()
{
    ReadReplyBytes(m_pReceive, Packet::ForkData::kHeader - 1,
                   &StepCompletion<&TVantryGuestSession::SkipForkData, kStopConnectionFailed>);
}

void TVantryGuestSession::SkipForkData()
{
    const std::uint16_t nLength =
        TPacketReader(m_pReceive, Packet::ForkData::kHeader - 1).WordBE(Packet::ForkData::kDataLength - 1);
    VCheck(nLength <= Packet::kMaxIncomingData);
    if (nLength == 0) {
        IssueCodeRead();
        return;
    }
    ReadReplyBytes(m_pReceive, nLength, &ReissueReadCallBack);
}

std::uint32_t TVantryGuestSession::DoNothingCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::DoNothing, kStopConnectionFailed);
}

void TVantryGuestSession::ReadPendingLength()
{
    ReadReplyBytes(m_pReceive, m_nPendingLength, &DoNothingCallBack);
}

std::uint32_t TVantryGuestSession::GetSizeThenDoNothingCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::ReadPendingLength, kStopConnectionFailed);
}

std::uint32_t TVantryGuestSession::ReissueReadCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::IssueCodeRead, kStopConnectionFailed);
}

void TVantryGuestSession::ContinueUpload()
{
    // The upload's steps need the window's copy state; without it the session cannot go on.
    if (!m_pEngine || !m_pWindow) {
        PostStopMessage(kStopConnectionFailed);
        return;
    }
    m_pEngine->DecideToContinue();
}

std::uint32_t TVantryGuestSession::DecideToContinueCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::ContinueUpload, kStopSystemError);
}
