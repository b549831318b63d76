// Uploads: kFTP_msgCreate, kFTP_msgOpenFork, incoming kFTP_msgForkData and kFTP_msgEndData.
// The data goes into a temporary file beside the destination, which takes the destination's
// name only at kFTP_msgEndData; an abort or a stop removes it, so a half-received file never
// survives and no earlier file is lost to a failed upload.
#include "VantryHostSession.h"

#include "OV2Tools.h"
#include "OVFUploads.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "TreeOperations.h"

#include <cstring>
#include <strings.h>

bool TVantryHostSession::ServeCreate()
{
    using namespace Packet;
    if (!FormPath(BlockVolume(Create::kVolume), m_pszDir, m_pszName) || !MayWrite())
        return WriteResult(kFTP_resCannotCreate);
    if (LFN_FileExists(m_szPath))
        return WriteResult(kFTP_resDuplicate);
    TFile file;
    if (!file.TryOpen(m_szPath, CFile::modeCreate | CFile::modeReadWrite))
        return WriteResult(kFTP_resCannotCreate);
    file.TryClose();
    m_strCreatedPath = m_szPath;
    m_strCreatedName = m_pszName;
    return WriteResult(kFTP_resOK);
}

bool TVantryHostSession::ServeOpenFork()
{
    using namespace Packet;
    const bool bDataFork = m_pReceive[InBlock(ReqFork::kFork)] == 0;
    m_bSending = false;
    m_bReceiving = false;
    m_bUploadRefused = false;
    if (!bDataFork)
        return PostNextMessageRead(); // resource fork data is read and dropped
    bool bAllowed = FormPath(BlockVolume(ReqFork::kVolume), m_pszDir, m_pszName) && MayWrite();
    // Replacing anything but the empty file this upload created takes the remove privilege.
    if (bAllowed && m_strCreatedPath != m_szPath && LFN_FileExists(m_szPath))
        bAllowed = MayRemove();
    if (bAllowed) {
        DWORD nOsError = 0;
        const DWORD hFile = OVF_OpenUploadTemp(m_szPath, &m_strUploadToken, &nOsError);
        if (hFile != kOVF_invalid) {
            m_file.m_hFile32 = hFile;
            m_file.m_strName = m_szPath;
            m_bReceiving = true;
            return PostNextMessageRead();
        }
    }
    // Nothing tells the guest now: its data is dropped and kFTP_msgEndData answers the failure.
    m_bUploadRefused = true;
    return PostNextMessageRead();
}

bool TVantryHostSession::ServeForkDataChunk()
{
    if (!m_bReceiving || m_file.m_hFile32 == TFile::kNoFile || m_nIncomingLength == 0)
        return true;
    if (!m_file.TryWrite(m_pReceive, m_nIncomingLength)) {
        DiscardIncomingFile();
        PostStopMessage(0);
    }
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
    std::int16_t nResult = m_bUploadRefused ? kFTP_resCannotCreate : kFTP_resOK;
    m_bUploadRefused = false;
    if (m_bReceiving && m_file.m_hFile32 != TFile::kNoFile) {
        m_bReceiving = false;
        const std::string strToken = std::move(m_strUploadToken);
        m_strUploadToken.clear();
        // The empty file this upload created is replaced by the rename; anything else that
        // is there gives way first.
        const bool bReplacesOwnFile = m_strCreatedPath == m_szPath;
        m_strCreatedPath.clear();
        // The time and the attributes go onto the received file before it takes its name, which
        // keeps them. An old guest's attributes are not the file's: it keeps its own, and a new
        // file's own are the archive bit alone.
        constexpr BYTE kKept = kOVF_attrReadOnly | kOVF_attrHidden | kOVF_attrSystem;
        BYTE nSet = m_bOEMNames ? 0 : static_cast<BYTE>(m_nStoredAttributes & kKept);
        if (m_bStoredLocked)
            nSet |= kOVF_attrReadOnly;
        LFN_SetOpenFileTimeAndAttributes(m_file.m_hFile32, m_nStoredModTime, static_cast<BYTE>(nSet | kOVF_attrArchive));
        DWORD nOsError = 0;
        bool bDone = m_file.TryClose() && (bReplacesOwnFile || MakeWayForFile(m_szPath));
        bDone = bDone && OVF_CommitUploadTemp(strToken, m_szPath, &nOsError);
        if (!bDone) {
            OVF_DiscardUploadTemp(strToken);
            return WriteResult(kFTP_resCannotCreate);
        }
        if (m_bOEMNames) {
            char szRenamed[MAX_PATH];
            std::strcpy(szRenamed, m_szPath);
            SetFileNameExtension(szRenamed, m_nStoredType, m_nStoredCreator);
            if (strcasecmp(szRenamed, m_szPath) != 0) {
                TFile::TryRemove(szRenamed);
                if (TFile::TryRename(m_szPath, szRenamed))
                    std::strcpy(m_szPath, szRenamed);
            }
        }
    }
    return WriteResult(nResult);
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
    // A new file whose data never completed does not survive either.
    if (!m_strCreatedPath.empty()) {
        DWORD nSize = 0;
        if (LFN_GetFileSize(m_strCreatedPath.c_str(), &nSize) && nSize == 0 && LFN_IsDirectory(m_strCreatedPath.c_str()) == 0)
            TFile::TryRemove(m_strCreatedPath.c_str());
        m_strCreatedPath.clear();
    }
}
