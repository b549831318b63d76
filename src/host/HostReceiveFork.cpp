// Uploads: kFTP_msgCreate, kFTP_msgOpenFork, incoming kFTP_msgForkData and kFTP_msgEndData.
// The data goes into a temporary file beside the destination, which takes the destination's
// name only at kFTP_msgEndData; an abort or a stop removes it, so a half-received file never
// survives and no earlier file is lost to a failed upload.
#include "VantryHostSession.h"

#include "Exceptions.h"
#include "OV2Tools.h"
#include "OVFUploads.h"
#include "OVFile32.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "TreeOperations.h"

#include <cstdio>
#include <exception>
#include <strings.h>
#include <utility>

bool TVantryHostSession::ServeCreate()
{
    using namespace Packet;
    const bool bFormed = FormPath(BlockVolume(Create::kVolume), m_pszDir, m_pszName);
    // A name in use is no refusal: the guest goes on to replace it, and that is judged then.
    const auto refuse = [&](std::string_view strCause) {
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Upload, EHostOutcome::Refused, bFormed ? std::string(m_szPath) : std::string(m_pszDir) + m_pszName, strCause, kFTP_resCannotCreate));
        return WriteResult(kFTP_resCannotCreate);
    };
    if (!bFormed || !MayWrite())
        return refuse(bFormed ? "no write privilege" : "no such volume, or the path is too long");
    if (LFN_FileExists(m_szPath))
        return WriteResult(kFTP_resDuplicate);
    TFile file;
    if (!file.TryOpen(m_szPath, CFile::modeCreate | CFile::modeReadWrite))
        return refuse("the file could not be created");
    file.TryClose();
    m_strCreatedPath = m_szPath;
    m_strCreatedName = m_pszName;
    return WriteResult(kFTP_resOK);
}

bool TVantryHostSession::ServeOpenFork()
{
    using namespace Packet;
    const bool bDataFork = m_pReceive[InBlock(ReqFork::kFork)] == 0;
    // A new open settles the one before it as an abort would: one upload at a time.
    DiscardIncomingFile();
    m_bSending = false;
    m_nUploadFailure = kFTP_resOK;
    if (!bDataFork)
        return PostNextMessageRead(); // resource fork data is read and dropped
    const bool bFormed = FormPath(BlockVolume(ReqFork::kVolume), m_pszDir, m_pszName);
    bool bAllowed = bFormed && MayWrite();
    std::string_view strRefusal = !bFormed ? "no such volume, or the path is too long" : "no write privilege";
    // Replacing anything but the empty file this upload created takes the remove privilege.
    if (bAllowed && !MayReplace(m_szPath, m_strCreatedPath)) {
        bAllowed = false;
        strRefusal = "no remove privilege to replace an existing file";
        Notice(std::string("refused to replace ") + m_szPath + " without the remove privilege");
    }
    if (bAllowed) {
        DWORD nOsError = 0;
        const DWORD hFile = OVF_OpenUploadTemp(m_szPath, &m_strUploadToken, &nOsError);
        if (hFile != kOVF_invalid) {
            m_file.m_hFile32 = hFile;
            m_file.m_strName = m_szPath;
            m_strUploadPath = m_szPath;
            m_bReceiving = true;
            return PostNextMessageRead();
        }
    }
    // Nothing tells the guest now: its data is dropped and kFTP_msgEndData answers the failure.
    m_nUploadFailure = kFTP_resCannotCreate;
    m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Upload, bAllowed ? EHostOutcome::Failed : EHostOutcome::Refused, bFormed ? std::string(m_szPath) : std::string(m_pszDir) + m_pszName, bAllowed ? "the temporary file could not be made" : strRefusal, kFTP_resCannotCreate));
    return PostNextMessageRead();
}

bool TVantryHostSession::ServeForkDataChunk()
{
    if (!m_bReceiving || m_file.m_hFile32 == TFile::kNoFile || m_nIncomingLength == 0)
        return true;
    try {
        m_file.Write(m_pReceive, m_nIncomingLength);
        return true;
    } catch (const CFileException& error) {
        // A full disk is the guest's to hear of at the end of its data; the session goes on.
        if (error.m_cause == CFileException::diskFull) {
            FailUpload(kFTP_resDiskFull, "the disk is full");
            return true;
        }
    } catch (const std::exception&) {
    }
    DiscardIncomingFile();
    PostStopMessage(0);
    return true;
}

bool TVantryHostSession::ServeForkDataEnd()
{
    if (m_nVersion < kFTP_versionLong)
        return WriteCode(kFTP_msgNoOp);
    return PostNextMessageRead();
}

bool TVantryHostSession::ServeEndData()
{
    std::int16_t nResult = m_nUploadFailure;
    m_nUploadFailure = kFTP_resOK;
    if (m_bReceiving && m_file.m_hFile32 != TFile::kNoFile)
        nResult = CompleteUpload();
    return WriteResult(nResult);
}

std::int16_t TVantryHostSession::CompleteUpload()
{
    m_bReceiving = false;
    const std::string strToken = std::exchange(m_strUploadToken, std::string());
    const std::string strFinal = std::exchange(m_strUploadPath, std::string());
    const std::string strCreated = std::exchange(m_strCreatedPath, std::string());
    // In OEM-name mode the file ends under the extension of its type.
    std::string strRenamed = strFinal;
    if (m_bOEMNames) {
        char szRenamed[MAX_PATH];
        std::snprintf(szRenamed, sizeof szRenamed, "%s", strFinal.c_str());
        SetFileNameExtension(szRenamed, m_nStoredType, m_nStoredCreator);
        if (strcasecmp(szRenamed, strFinal.c_str()) != 0)
            strRenamed = szRenamed;
    }
    // The time and the attributes go onto the received file before it takes its name, which
    // keeps them. An old guest's attributes are not the file's: it keeps its own, and a new
    // file's own are the archive bit alone.
    constexpr BYTE kKept = kOVF_attrReadOnly | kOVF_attrHidden | kOVF_attrSystem;
    BYTE nSet = m_bOEMNames ? 0 : static_cast<BYTE>(m_nStoredAttributes & kKept);
    if (m_bStoredLocked)
        nSet |= kOVF_attrReadOnly;
    LFN_SetOpenFileTimeAndAttributes(m_file.m_hFile32, m_nStoredModTime, static_cast<BYTE>(nSet | kOVF_attrArchive));
    const std::uint64_t nBytes = GetPosition64(m_file.m_hFile32);
    const auto fail = [&](std::int16_t nResult, EHostOutcome eOutcome, std::string_view strCause) {
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Upload, eOutcome, strFinal, strCause, nResult, nBytes));
        OVF_DiscardUploadTemp(strToken);
        RemoveCreatedFile(strCreated);
        return nResult;
    };
    if (const std::int16_t nClosed = CloseIncomingFile(); nClosed != kFTP_resOK)
        return fail(nClosed, EHostOutcome::Failed, nClosed == kFTP_resDiskFull ? "the disk is full" : "the file could not be written");
    // Every name the file takes over is a replacement, with the rule of a plain one.
    for (const std::string& strName : {strFinal, strRenamed}) {
        if (!MayReplace(strName, strCreated)) {
            Notice("refused to replace " + strName + " without the remove privilege");
            return fail(kFTP_resCannotCreate, EHostOutcome::Refused, "no remove privilege to replace an existing file");
        }
    }
    const bool bReplaced = (strFinal != strCreated && LFN_FileExists(strFinal.c_str())) ||
                           (strRenamed != strFinal && LFN_FileExists(strRenamed.c_str()));
    // The empty file this upload created is replaced by the rename; anything else that is
    // there gives way first.
    DWORD nOsError = 0;
    const bool bDone = (strCreated == strFinal || MakeWayForFile(strFinal.c_str())) &&
                       OVF_CommitUploadTemp(strToken, strFinal.c_str(), &nOsError);
    if (!bDone)
        return fail(kFTP_resCannotCreate, EHostOutcome::Failed, "the file could not take its name");
    if (strRenamed != strFinal) {
        TFile::TryRemove(strRenamed.c_str());
        TFile::TryRename(strFinal.c_str(), strRenamed.c_str());
    }
    m_pTable->ReportOperation(m_hConnection, OperationDone(EHostOperation::Upload, strRenamed, nBytes, bReplaced));
    return kFTP_resOK;
}

std::int16_t TVantryHostSession::CloseIncomingFile()
{
    std::int16_t nResult = kFTP_resCannotCreate;
    try {
        m_file.Close();
        return kFTP_resOK;
    } catch (const CFileException& error) {
        // The last data reaches the disk only here.
        if (error.m_cause == CFileException::diskFull) {
            nResult = kFTP_resDiskFull;
            Notice("upload to " + m_file.m_strName + " failed: the disk is full");
        }
    } catch (const std::exception&) {
    }
    m_file.TryAbort();
    m_file.m_hFile32 = TFile::kNoFile;
    return nResult;
}

void TVantryHostSession::FailUpload(std::int16_t nResult, const std::string& strWhy)
{
    Notice("upload to " + m_strUploadPath + " failed: " + strWhy);
    m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Upload, EHostOutcome::Failed, m_strUploadPath, strWhy, nResult, GetPosition64(m_file.m_hFile32)));
    DiscardIncomingFile();
    m_nUploadFailure = nResult;
}

bool TVantryHostSession::MayReplace(const std::string& strPath, const std::string& strCreated) const
{
    return strPath == strCreated || MayRemove() || !LFN_FileExists(strPath.c_str());
}

void TVantryHostSession::Notice(const std::string& strText) const
{
    if (m_fnNotice)
        m_fnNotice(strText);
}

void TVantryHostSession::DiscardIncomingFile()
{
    if (!m_bReceiving)
        return;
    m_bReceiving = false;
    m_file.TryAbort();
    m_file.m_hFile32 = TFile::kNoFile;
    OVF_DiscardUploadTemp(m_strUploadToken);
    m_strUploadToken.clear();
    m_strUploadPath.clear();
    RemoveCreatedFile(std::exchange(m_strCreatedPath, std::string()));
}

// A new file whose data never completed does not survive either.
void TVantryHostSession::RemoveCreatedFile(const std::string& strCreated)
{
    DWORD nSize = 0;
    if (!strCreated.empty() && LFN_GetFileSize(strCreated.c_str(), &nSize) && nSize == 0 &&
        LFN_IsDirectory(strCreated.c_str()) == 0)
        TFile::TryRemove(strCreated.c_str());
}
