// Uploads: kFTP_msgCreate, kFTP_msgOpenFork, incoming kFTP_msgForkData and kFTP_msgEndData.
// The data goes into a temporary file beside the destination, which takes the destination's
// name only at kFTP_msgEndData; an abort or a stop removes it, so a half-received file never
// survives and no earlier file is lost to a failed upload.
#include "VantryHostSession.h"

#include "Exceptions.h"
#include "OV2Tools.h"
#include "OpenBlocks.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "TreeOperations.h"

#include <cstdio>
#include <exception>
#include <strings.h>

TVantryHostSession::EStep TVantryHostSession::ServeCreate()
{
    using namespace Packet;
    const bool bFormed = FormPath(BlockVolume(Create::kVolume), Dir(), Name());
    const std::int16_t nResult = bFormed ? m_creations.Create(m_szPath) : std::int16_t{kFTP_resCannotCreate};
    // A name in use is no refusal: the guest goes on to replace it, and that is judged then.
    if (nResult == kFTP_resCannotCreate)
        Report(OperationOutcome(EHostOperation::Upload, bFormed ? EHostOutcome::Failed : EHostOutcome::Refused,
                                RequestPath(Create::kVolume), bFormed ? "the file could not be created" : kCauseNoPath, nResult));
    return WriteResult(nResult);
}

TVantryHostSession::EStep TVantryHostSession::ServeOpenFork()
{
    using namespace Packet;
    const bool bDataFork = Block()[InBlock(ReqFork::kFork)] == 0;
    // A new open settles the one before it as an abort would: one upload at a time.
    if (m_upload.Receiving())
        ReportUploadEnd(EHostOutcome::Aborted, "another file was opened before the end of its data");
    DiscardIncomingFile();
    if (!bDataFork) {
        m_upload.BeginDropping(); // resource fork data is read and dropped
        return EStep::Served;
    }
    // Nothing tells the guest of a refusal now: its data is dropped and kFTP_msgEndData answers
    // the failure.
    const auto refuse = [&](std::int16_t nResult, EHostOutcome eOutcome, std::string_view strCause) {
        Report(OperationOutcome(EHostOperation::Upload, eOutcome, RequestPath(ReqFork::kVolume), strCause, nResult));
        m_upload.Fail(nResult);
        return EStep::Served;
    };
    if (!FormPath(BlockVolume(ReqFork::kVolume), Dir(), Name()))
        return refuse(kFTP_resCannotCreate, EHostOutcome::Refused, kCauseNoPath);
    // An empty file this session created is taken while it holds the name; anything else at
    // the name is a replacement. A pipelining session refuses a name lost meanwhile, and the
    // refusal is answered at the end of the data whenever it is seen: the commit alone checks.
    const std::optional<OVFFileIdentity> placeholder = m_creations.Created(m_szPath);
    THostUpload::EBegin eBegun =
        placeholder ? m_upload.Begin(m_szPath, placeholder,
                                     m_bPipelining ? OVFHoldCheck::AtCommit : OVFHoldCheck::AtOpenAndCommit)
                    : THostUpload::EBegin::NotHeld;
    if (eBegun == THostUpload::EBegin::NotHeld) {
        if (OnlyOurOwnFile(m_szPath))
            return refuse(kFTP_resDuplicate, EHostOutcome::Refused, kCauseTakenMeanwhile);
        // Replacing anything but an empty file this session created takes the remove privilege.
        if (!MayReplace(m_szPath)) {
            Notice(std::string("refused to replace ") + m_szPath + " without the remove privilege");
            return refuse(kFTP_resCannotCreate, EHostOutcome::Refused, kCauseNoReplace);
        }
        eBegun = m_upload.Begin(m_szPath, std::nullopt);
    }
    if (eBegun != THostUpload::EBegin::Begun)
        return refuse(kFTP_resCannotCreate, EHostOutcome::Failed, "the temporary file could not be made");
    return EStep::Served;
}

TVantryHostSession::EStep TVantryHostSession::ServeForkData()
{
    // Data with no fork open is dropped, and its end of data does not answer it as stored.
    if (m_upload.State() == THostUpload::EState::Idle)
        m_upload.Fail(kFTP_resCannotCreate);
    if (m_upload.Receiving() && !m_request.body.empty()) {
        try {
            m_upload.Write(m_request.body.data(), static_cast<UINT>(m_request.body.size()));
        } catch (const CFileException& error) {
            // A full disk is the guest's to hear of at the end of its data; the session goes on.
            if (error.m_cause == CFileException::diskFull) {
                FailUpload(kFTP_resDiskFull, "the disk is full");
            } else {
                DiscardIncomingFile();
                PostStopMessage(0);
            }
        } catch (const std::exception&) {
            DiscardIncomingFile();
            PostStopMessage(0);
        }
    }
    if (m_nVersion < kFTP_versionLong)
        return WriteCode(kFTP_msgNoOp);
    return EStep::Served;
}

TVantryHostSession::EStep TVantryHostSession::ServeEndData()
{
    std::int16_t nResult = kFTP_resOK;
    switch (m_upload.State()) {
    case THostUpload::EState::Receiving: nResult = CompleteUpload(); break;
    case THostUpload::EState::Failed: nResult = m_upload.Failure(); break;
    case THostUpload::EState::Idle:
    case THostUpload::EState::Dropping: break;
    }
    m_upload.Reset();
    return WriteResult(nResult);
}

std::int16_t TVantryHostSession::CompleteUpload()
{
    const std::string strFinal = m_upload.FinalPath();
    // In OEM-name mode the file ends under the extension of its type.
    std::string strRenamed = strFinal;
    if (m_bOEMNames) {
        char szRenamed[MAX_PATH];
        std::snprintf(szRenamed, sizeof szRenamed, "%s", strFinal.c_str());
        SetFileNameExtension(szRenamed, m_info.nType, m_info.nCreator);
        if (strcasecmp(szRenamed, strFinal.c_str()) != 0)
            strRenamed = szRenamed;
    }
    // The time and the attributes go onto the received file before it takes its name, which
    // keeps them. An old guest's attributes are not the file's: it keeps its own, and a new
    // file's own are the archive bit alone.
    constexpr BYTE kKept = kOVF_attrReadOnly | kOVF_attrHidden | kOVF_attrSystem;
    BYTE nSet = m_bOEMNames ? 0 : static_cast<BYTE>(m_info.nAttributes & kKept);
    if (m_info.bLocked)
        nSet |= kOVF_attrReadOnly;
    LFN_SetOpenFileTimeAndAttributes(m_upload.Handle(), m_info.nModTime, static_cast<BYTE>(nSet | kOVF_attrArchive));
    const std::uint64_t nBytes = m_upload.BytesReceived();
    const auto fail = [&](std::int16_t nResult, EHostOutcome eOutcome, std::string_view strCause) {
        Report(OperationOutcome(EHostOperation::Upload, eOutcome, strFinal, strCause, nResult, nBytes));
        DiscardIncomingFile();
        return nResult;
    };
    if (const std::int16_t nClosed = m_upload.Close(); nClosed != kFTP_resOK) {
        if (nClosed == kFTP_resDiskFull)
            Notice("upload to " + strFinal + " failed: the disk is full");
        return fail(nClosed, EHostOutcome::Failed, nClosed == kFTP_resDiskFull ? "the disk is full" : "the file could not be written");
    }
    // Every name the file takes over is a replacement, with the rule of a plain one; an empty
    // file this session created is taken only while it is still there unchanged (the commit
    // checks), and anything else at the name gives way first.
    for (const std::string& strName : {strFinal, strRenamed}) {
        if (!(strName == strFinal && m_upload.HasPlaceholder()) && !MayReplace(strName)) {
            Notice("refused to replace " + strName + " without the remove privilege");
            return fail(kFTP_resCannotCreate, EHostOutcome::Refused, kCauseNoReplace);
        }
    }
    const bool bReplaced = (!m_upload.HasPlaceholder() && LFN_FileExists(strFinal.c_str())) ||
                           (strRenamed != strFinal && LFN_FileExists(strRenamed.c_str()));
    if (!m_upload.HasPlaceholder() && !MakeWayForFile(strFinal.c_str()))
        return fail(kFTP_resCannotCreate, EHostOutcome::Failed, "the file in the way could not be removed");
    if (!m_upload.Commit()) {
        if (m_upload.HasPlaceholder())
            return fail(kFTP_resDuplicate, EHostOutcome::Refused, kCauseTakenMeanwhile);
        return fail(kFTP_resCannotCreate, EHostOutcome::Failed, "the file could not take its name");
    }
    m_creations.Forget(strFinal, false);
    if (strRenamed != strFinal) {
        TFile::TryRemove(strRenamed.c_str());
        TFile::TryRename(strFinal.c_str(), strRenamed.c_str());
    }
    Report(OperationDone(EHostOperation::Upload, strRenamed, nBytes, bReplaced));
    return kFTP_resOK;
}

void TVantryHostSession::FailUpload(std::int16_t nResult, const std::string& strWhy)
{
    Notice("upload to " + m_upload.FinalPath() + " failed: " + strWhy);
    ReportUploadEnd(EHostOutcome::Failed, strWhy, nResult);
    DiscardIncomingFile();
    m_upload.Fail(nResult);
}

bool TVantryHostSession::OnlyOurOwnFile(const std::string& strPath)
{
    return m_bPipelining && (m_request.bPipelined || m_creations.Remembers(strPath));
}

bool TVantryHostSession::MayReplace(const std::string& strPath)
{
    return May(kPrivilegeBitRemove) || !LFN_FileExists(strPath.c_str()) || m_creations.Ours(strPath);
}

void TVantryHostSession::Notice(const std::string& strText) const
{
    if (m_fnNotice)
        m_fnNotice(strText);
}

void TVantryHostSession::ReportUploadEnd(EHostOutcome eOutcome, std::string_view strCause, std::int16_t nResult)
{
    Report(OperationOutcome(EHostOperation::Upload, eOutcome, m_upload.FinalPath(), strCause, nResult, m_upload.BytesReceived()));
}

void TVantryHostSession::DiscardIncomingFile()
{
    if (!m_upload.Receiving())
        return;
    // A new file whose data never completed does not survive either.
    m_creations.Forget(m_upload.FinalPath(), true);
    m_upload.Reset();
}
