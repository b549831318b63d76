// kFTP_msgSetInfo, kFTP_msgRemove and kFTP_msgMakeFolder.
#include "VantryHostSession.h"

#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "TreeOperations.h"

#include <cstring>

bool TVantryHostSession::ServeSetInfo()
{
    using namespace Packet;
    // A guest stops dead on any answer but 0, so a refusal stores nothing and still answers 0.
    if (!MayWrite()) {
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::SetInfo, EHostOutcome::Refused, std::string(m_pszDir) + m_pszName, "no write privilege"));
        return WriteResult(kFTP_resOK);
    }
    const TPacketReader block(m_pReceive, kBufferSize);
    m_bStoredLocked = block.Byte(InBlock(SetInfo::kLocked));
    m_nStoredAttributes = static_cast<BYTE>(block.WordLE(InBlock(SetInfo::kAttributes)));
    m_nStoredType = block.DWordBE(InBlock(SetInfo::kType));
    m_nStoredCreator = block.DWordBE(InBlock(SetInfo::kCreator));
    std::memcpy(&m_nStoredModTime, m_pReceive + InBlock(SetInfo::kModTime), sizeof m_nStoredModTime); // wire order
    // An empty file gets no kFTP_msgEndData: it takes its time now. A file with data takes it
    // when the data is complete.
    if (!m_bReceiving && !m_strCreatedPath.empty() && m_strCreatedName == m_pszName &&
        block.DWordBE(InBlock(SetInfo::kDataLength)) == 0) {
        DWORD nSize = 0;
        if (LFN_GetFileSize(m_strCreatedPath.c_str(), &nSize) && nSize == 0)
            LFN_SetFileTimeWithMacTime(m_strCreatedPath.c_str(), m_nStoredModTime);
    }
    // A folder named here takes the time now: our guest describes a folder once its contents
    // are written, as nothing else keeps its time.
    if (!m_bReceiving && FormPath(BlockVolume(SetInfo::kVolume), m_pszDir, m_pszName) && LFN_IsDirectory(m_szPath) == 1)
        LFN_SetFileTimeWithMacTime(m_szPath, m_nStoredModTime);
    return WriteResult(kFTP_resOK);
}

bool TVantryHostSession::ServeRemove()
{
    using namespace Packet;
    const bool bFormed = FormPath(BlockVolume(GetInfo::kVolume), m_pszDir, m_pszName);
    const auto answer = [&](std::int16_t nResult, EHostOutcome eOutcome, std::string_view strCause, bool bTree = false) {
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Remove, eOutcome, bFormed ? std::string(m_szPath) : std::string(m_pszDir) + m_pszName, strCause, nResult, 0, bTree));
        return WriteResult(nResult);
    };
    const auto refuse = [&](std::int16_t nResult, std::string_view strCause) { return answer(nResult, EHostOutcome::Refused, strCause); };
    const auto removed = [&](int nResult, bool bTree) {
        return answer(static_cast<std::int16_t>(nResult), nResult == kTreeOk ? EHostOutcome::Done : EHostOutcome::Failed, nResult == kTreeOk ? "" : "not everything could be removed", bTree);
    };
    if (!bFormed)
        return refuse(kFTP_resFailure, "no such volume, or the path is too long");
    if (!MayRemove())
        return refuse(kFTP_resAccessDenied, "no remove privilege");
    // An empty name names the folder of the request, not an item in it; a drive root is
    // refused the same way.
    if (m_pszName[0] == '\0' || IsDriveRoot(m_szPath))
        return refuse(static_cast<std::int16_t>(kTreeNotAFolder), "an empty name or a drive root");
    switch (LFN_IsDirectory(m_szPath)) {
    case -1: return refuse(kFTP_resFailure, "no such file or folder");
    case 1: return removed(DeleteTree(m_szPath), true);
    default: break;
    }
    BYTE nAttributes = 0;
    if (!LFN_GetFileAttributes(m_szPath, &nAttributes))
        return false;
    // Read-only and system files are kept, and the guest is told; a hidden name is no protection.
    if (nAttributes & (kOVF_attrReadOnly | kOVF_attrSystem))
        return refuse(kFTP_resFileLocked, "a read-only or system file");
    return removed(DeleteLocalFile(m_szPath), false);
}

bool TVantryHostSession::ServeMakeFolder()
{
    using namespace Packet;
    const bool bFormed = FormPath(BlockVolume(GetInfo::kVolume), m_pszDir, m_pszName);
    const auto answer = [&](std::int16_t nResult, EHostOutcome eOutcome, std::string_view strCause) {
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::MakeFolder, eOutcome, bFormed ? std::string(m_szPath) : std::string(m_pszDir) + m_pszName, strCause, nResult));
        return WriteResult(nResult);
    };
    if (!bFormed || !MayWrite())
        return answer(kFTP_resFailure, EHostOutcome::Refused, bFormed ? "no write privilege" : "no such volume, or the path is too long");
    if (LFN_mkdir(m_szPath, FALSE) == 0)
        return answer(kFTP_resOK, EHostOutcome::Done, "");
    if (LFN_FileExists(m_szPath))
        return answer(kFTP_resDuplicate, EHostOutcome::Refused, "the name is in use");
    return answer(kFTP_resFailure, EHostOutcome::Failed, "the folder could not be made");
}
