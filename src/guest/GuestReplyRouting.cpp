// Reading the host's messages: the code byte, then the rest of the message by phase and route.
#include "Vntrgst.h"

#include "CheckedCalls.h"
#include "Exceptions.h"
#include "StringTable.h"

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
        pThis->TakePendingResult();
        (pThis->*pStep)();
    } catch (const std::exception&) {
        pThis->PostStopMessage(nFailureReason);
    }
    return 0;
}

void TVantryGuestSession::TakePendingResult()
{
    if (!m_pPendingResult)
        return;
    *m_pPendingResult = static_cast<std::int16_t>((m_resultWire[0] << 8) | m_resultWire[1]);
    m_pPendingResult = nullptr;
}

void TVantryGuestSession::ReadResultInto(std::int16_t* pWord, FTPCompletion pfnCompletion)
{
    m_pPendingResult = pWord;
    ReadReplyBytes(m_resultWire, sizeof m_resultWire, pfnCompletion);
}

std::uint32_t TVantryGuestSession::ReadResultCompletion(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    auto* pThis = static_cast<TVantryGuestSession*>(pSession);
    if (!IsValidSession(pThis))
        return 0;
    try {
        VCheck(nStatus == 0);
        pThis->m_bCodeReadPending = 0;
        if (pThis->m_nPhase >= kPhaseStopping) {
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
        if (m_nPhase == kPhaseDownload)
            ReadReplyBytes(m_pReceive, Packet::ForkData::kHeader - 1, &CopyFromRemoteReadForkSize);
        else
            SkipForkDataLength();
        break;
    case kFTP_msgFileInfo:
        m_bAbortAckPending = 0;
        if (WaitsForFileInfo()) {
            m_nRoute = kRouteFileInfo;
            ReadReplyBytes(m_pReceive, Packet::FileInfo::kLength - 1, &RoutingCallBack);
        } else {
            // Nobody asked: read and dropped, so that the next message is found.
            ReadReplyBytes(m_pReceive, Packet::FileInfo::kLength - 1, &ReissueReadCallBack);
        }
        break;
    case kFTP_msgAFile:
        m_bAbortAckPending = 0;
        OnFile();
        break;
    case kFTP_msgAVol:
        m_bAbortAckPending = 0;
        OnVolume();
        break;
    case kFTP_msgAbort: RespondToFTP_msgAbort(); break;
    case kFTP_msgEndData: OnEndData(); break;
    case kFTP_msgResult: RespondToFTP_msgResult(); break;
    default: ShowIllegalMessage(); break;
    }
}

bool TVantryGuestSession::WaitsForFileInfo() const
{
    switch (m_nPhase) {
    case kPhaseInfoAfterUpload:
    case kPhaseFolderInfoInCopy:
    case kPhaseWindowSize:
    case kPhaseDownloadInfo:
    case kPhaseFolderInfoAgain: return true;
    default: return m_pWindow && m_pWindow->WaitingForSize();
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
    const bool bListing = m_nPhase == kPhaseListFiles;
    if (bListing)
        m_nPaneResult = kFTP_resFailure;
    if (m_pWindow) {
        m_pWindow->SetWaitCursor(false);
        m_pWindow->ReportTransfer({ETransferEventKind::Failed, ETransferCause::HostCannotRead,
                                   bListing ? m_sListingPath : std::string(), true, {}},
                                  FixedText::kDiskUnreadable, FixedText::kApplicationTitle,
                                  MessageBoxStyle::kTaskModal | MessageBoxStyle::kIconStop);
    }
    IssueCodeRead();
    if (m_pWindow)
        m_pWindow->RestorePreviousRemoteDrive();
}

void TVantryGuestSession::SkipForkDataLength()
{
    ReadReplyBytes(m_pReceive, Packet::ForkData::kHeader - 1,
                   [](HConnection, void* pSession, HStream, std::int32_t nStatus) -> std::uint32_t {
                       return RunCompletion(pSession, nStatus, &TVantryGuestSession::SkipForkData, kStopConnectionFailed);
                   });
}

void TVantryGuestSession::SkipForkData()
{
    const std::uint16_t nLength = static_cast<std::uint16_t>((m_pReceive[0] << 8) | m_pReceive[1]);
    VCheck(nLength <= Packet::kMaxIncomingData);
    if (nLength == 0) {
        IssueCodeRead();
        return;
    }
    ReadReplyBytes(m_pReceive, nLength, &ReissueReadCallBack);
}

void TVantryGuestSession::RespondToFTP_msgResult()
{
    switch (m_nPhase) {
    case kPhaseListFiles:
        if (m_bAbortAckPending) {
            m_bAbortAckPending = 0;
            ReadResultInto(&m_nWindowResult, &ReissueReadCallBack);
        } else {
            // The listing ends with the result; it is finished once the value is in.
            ReadResultInto(&m_nPaneResult,
                           [](HConnection, void* pSession, HStream, std::int32_t nStatus) -> std::uint32_t {
                               return RunCompletion(pSession, nStatus, &TVantryGuestSession::EndFileList,
                                                    kStopConnectionFailed);
                           });
        }
        break;
    case kPhaseCreate: m_nRoute = kRouteCreateResult; ReadResultInto(m_pOperationResult, &RoutingCallBack); break;
    case kPhaseRemoveForReplace:
        m_nRoute = kRouteReplaceRemoveResult;
        ReadResultInto(m_pOperationResult, &RoutingCallBack);
        break;
    case kPhaseCreateAgain: m_nRoute = kRouteSetInfo; ReadResultInto(m_pOperationResult, &RoutingCallBack); break;
    case kPhaseSetInfo: m_nRoute = kRouteSetInfoResult; ReadResultInto(m_pOperationResult, &RoutingCallBack); break;
    case kPhaseEndData: m_nRoute = kRouteEndDataResult; ReadResultInto(m_pOperationResult, &RoutingCallBack); break;
    case kPhaseAbortUpload: m_nRoute = kRouteUploadAborted; ReadResultInto(m_pOperationResult, &RoutingCallBack); break;
    case kPhaseRemove: m_nRoute = kRouteRemoveNext; ReadResultInto(m_pOperationResult, &RoutingCallBack); break;
    case kPhaseNewFolder: m_nRoute = kRouteNewFolderDone; ReadResultInto(&m_nNewFolderResult, &RoutingCallBack); break;
    case kPhaseFolderMadeInCopy:
        m_nRoute = kRouteEnterMadeFolder;
        ReadResultInto(&m_nWindowResult, &RoutingCallBack);
        break;
    case kPhaseRemoveForFolder:
        m_nRoute = kRouteMakeFolderAfterRemove;
        ReadResultInto(&m_nWindowResult, &RoutingCallBack);
        break;
    case kPhaseDownload: ReadResultInto(&m_nWindowResult, &FromRemoteRespondToResult); break;
    default:
        // A result nobody waits for: read and dropped, so that the next message is found.
        ReadResultInto(&m_nOperationResult, &ReissueReadCallBack);
        break;
    }
}

void TVantryGuestSession::RespondToFTP_msgAbort()
{
    if (m_nPhase == kPhaseDownload && m_pEngine) {
        m_pEngine->RespondToAbort();
        return;
    }
    PostStopMessage(kStopConnectionFailed);
}

void TVantryGuestSession::OnEndData()
{
    switch (m_nPhase) {
    case kPhaseDownload: Engine().ForkEnded(); break;
    case kPhaseListVols: EndVolumeList(); break;
    default: EndFileList(); break;
    }
}

IGuestTransferEngine& TVantryGuestSession::Engine()
{
    // Transfer steps need the window's copy state; without it the session cannot go on.
    if (!m_pEngine || !m_pWindow) {
        PostStopMessage(kStopConnectionFailed);
        throw CMemoryException();
    }
    return *m_pEngine;
}

std::uint32_t TVantryGuestSession::RoutingCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::RunRoute, kStopSystemError);
}

void TVantryGuestSession::RunRoute()
{
    switch (m_nRoute) {
    case kRouteVolumeRecord: OnVolumeRecord(); break;
    case kRouteVolumeNameLength: OnVolumeNameLength(); break;
    case kRouteVolumeName: OnVolumeName(); break;
    case kRouteFileRecord: OnFileRecord(); break;
    case kRouteFileNameLength: OnFileNameLength(); break;
    case kRouteFileName: OnFileName(); break;
    case kRouteFileTime: OnFileTime(); break;
    case kRouteFileInfo: TakeFileInfoByPhase(); break;
    case kRouteRemoveNext: RemoveRemoteSelItems(); break;
    case kRouteNewFolderDone: FinishNewFolder(); break;
    case kRouteSetInfo:
    case kRouteUploadAborted:
    case kRouteMakeFolderAfterRemove:
    case kRouteCreateResult:
    case kRouteReplaceRemoveResult:
    case kRouteSetInfoResult:
    case kRouteEndDataResult:
    case kRouteEnterMadeFolder: Engine().RunRoute(m_nRoute); break;
    default: PostStopMessage(kStopSystemError); break;
    }
}

void TVantryGuestSession::TakeFileInfoByPhase()
{
    const std::int16_t nResult = static_cast<std::int16_t>((m_pReceive[0] << 8) | m_pReceive[1]);
    const std::uint8_t* pRecord = m_pReceive + (Packet::FileInfo::kRecord - 1);
    switch (m_nPhase) {
    case kPhaseInfoAfterUpload:
    case kPhaseFolderInfoInCopy:
    case kPhaseDownloadInfo:
    case kPhaseFolderInfoAgain: Engine().TakeFileInfo(m_nPhase, nResult, pRecord); return;
    case kPhaseWindowSize:
        if (m_pWindow) {
            m_pWindow->TakeRemoteItemInfo(nResult, pRecord);
            return;
        }
        break;
    default:
        if (m_pWindow && m_pWindow->WaitingForSize()) {
            m_pWindow->TakeRemoteItemInfo(nResult, pRecord);
            return;
        }
        break;
    }
    PostStopMessage(kStopSystemError);
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

void TVantryGuestSession::DecideToContinue() { Engine().DecideToContinue(); }
void TVantryGuestSession::RespondToDownloadResult() { Engine().FromRemoteRespondToResult(); }
void TVantryGuestSession::ReadForkSize() { Engine().ReadForkSize(); }
void TVantryGuestSession::ProcessForkData() { Engine().ProcessForkData(); }

std::uint32_t TVantryGuestSession::DecideToContinueCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::DecideToContinue, kStopSystemError);
}

std::uint32_t TVantryGuestSession::FromRemoteRespondToResult(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::RespondToDownloadResult, kStopSystemError);
}

std::uint32_t TVantryGuestSession::CopyFromRemoteReadForkSize(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::ReadForkSize, kStopSystemError);
}

std::uint32_t TVantryGuestSession::CopyFromRemoteProcessForkData(HConnection, void* pSession, HStream,
                                                                 std::int32_t nStatus)
{
    return RunCompletion(pSession, nStatus, &TVantryGuestSession::ProcessForkData, kStopSystemError);
}
