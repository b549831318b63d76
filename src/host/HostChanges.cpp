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
    if (!MayWrite())
        return WriteResult(kFTP_resOK);
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
    if (!FormPath(BlockVolume(GetInfo::kVolume), m_pszDir, m_pszName))
        return WriteResult(kFTP_resFailure);
    if (!MayRemove())
        return WriteResult(kFTP_resAccessDenied);
    // An empty name names the folder of the request, not an item in it; a drive root is
    // refused the same way.
    if (m_pszName[0] == '\0' || IsDriveRoot(m_szPath))
        return WriteResult(static_cast<std::int16_t>(kTreeNotAFolder));
    switch (LFN_IsDirectory(m_szPath)) {
    case -1: return WriteResult(kFTP_resFailure);
    case 1: return WriteResult(static_cast<std::int16_t>(DeleteTree(m_szPath)));
    default: break;
    }
    BYTE nAttributes = 0;
    if (!LFN_GetFileAttributes(m_szPath, &nAttributes))
        return false;
    // Read-only and system files are kept, and the guest is told; a hidden name is no protection.
    if (nAttributes & (kOVF_attrReadOnly | kOVF_attrSystem))
        return WriteResult(kFTP_resFileLocked);
    return WriteResult(static_cast<std::int16_t>(DeleteLocalFile(m_szPath)));
}

bool TVantryHostSession::ServeMakeFolder()
{
    using namespace Packet;
    if (!FormPath(BlockVolume(GetInfo::kVolume), m_pszDir, m_pszName) || !MayWrite())
        return WriteResult(kFTP_resFailure);
    if (LFN_mkdir(m_szPath, FALSE) == 0)
        return WriteResult(kFTP_resOK);
    return WriteResult(LFN_FileExists(m_szPath) ? kFTP_resDuplicate : kFTP_resFailure);
}
