// kFTP_msgSetInfo, kFTP_msgRemove and kFTP_msgMakeFolder.
#include "VantryHostSession.h"

#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "TreeOperations.h"

#include <cstring>

TVantryHostSession::EStep TVantryHostSession::ServeSetInfo()
{
    using namespace Packet;
    const TPacketReader block(Block(), m_request.body.size());
    const bool bPath = FormPath(BlockVolume(SetInfo::kVolume), Dir(), Name());
    // Guests that leave the volume out name the file they created by its name alone.
    const std::string strCreated = bPath && m_creations.Remembers(m_szPath) ? std::string(m_szPath) : m_creations.Named(Name());
    const bool bOurs = m_creations.Ours(strCreated) != nullptr;
    // The file this session created at the very name is no folder: one lookup fewer per upload.
    const bool bFolder = bPath && !(bOurs && strCreated == m_szPath) && LFN_IsDirectory(m_szPath) == 1;
    // A folder keeps taking its time; a file that is not ours keeps everything, and the guest
    // hears that the name was taken.
    if (OnlyOurOwnFile(strCreated) && !bOurs && !bFolder) {
        Report(OperationOutcome(EHostOperation::SetInfo, EHostOutcome::Refused, strCreated.empty() ? RequestPath(SetInfo::kVolume) : strCreated,
                                kCauseTakenMeanwhile, kFTP_resDuplicate));
        return WriteResult(kFTP_resDuplicate);
    }
    m_info.bLocked = block.Byte(InBlock(SetInfo::kLocked));
    m_info.nAttributes = static_cast<BYTE>(block.WordLE(InBlock(SetInfo::kAttributes)));
    m_info.nType = block.DWordBE(InBlock(SetInfo::kType));
    m_info.nCreator = block.DWordBE(InBlock(SetInfo::kCreator));
    std::memcpy(&m_info.nModTime, Block() + InBlock(SetInfo::kModTime), sizeof m_info.nModTime); // wire order
    // An empty file gets no kFTP_msgEndData: it takes its time now, and is complete as it is.
    // A file with data takes it when the data is complete.
    if (!m_upload.Receiving() && block.DWordBE(InBlock(SetInfo::kDataLength)) == 0 && bOurs) {
        LFN_SetFileTimeWithMacTime(strCreated.c_str(), m_info.nModTime);
        m_creations.Complete(strCreated);
    }
    // A folder named here takes the time now: our guest describes a folder once its contents
    // are written, as nothing else keeps its time.
    if (bFolder && !m_upload.Receiving())
        LFN_SetFileTimeWithMacTime(m_szPath, m_info.nModTime);
    return WriteResult(kFTP_resOK);
}

TVantryHostSession::EStep TVantryHostSession::ServeRemove()
{
    using namespace Packet;
    const bool bFormed = FormPath(BlockVolume(GetInfo::kVolume), Dir(), Name());
    const auto answer = [&](std::int16_t nResult, EHostOutcome eOutcome, std::string_view strCause, bool bTree = false) {
        Report(OperationOutcome(EHostOperation::Remove, eOutcome, bFormed ? std::string(m_szPath) : RequestPath(GetInfo::kVolume),
                                strCause, nResult, 0, bTree));
        return WriteResult(nResult);
    };
    const auto removed = [&](int nResult, bool bTree) {
        const bool bDone = nResult == kTreeOk;
        return answer(static_cast<std::int16_t>(nResult), bDone ? EHostOutcome::Done : EHostOutcome::Failed,
                      bDone ? "" : "not everything could be removed", bTree);
    };
    if (!bFormed)
        return answer(kFTP_resFailure, EHostOutcome::Refused, kCauseNoPath);
    // An empty name names the folder of the request, not an item in it; a drive root is
    // refused the same way.
    if (Name()[0] == '\0' || IsDriveRoot(m_szPath))
        return answer(static_cast<std::int16_t>(kTreeNotAFolder), EHostOutcome::Refused, "an empty name or a drive root");
    switch (LFN_IsDirectory(m_szPath)) {
    case -1: return answer(kFTP_resFailure, EHostOutcome::Refused, "no such file or folder");
    case 1: return removed(DeleteTree(m_szPath), true);
    default: break;
    }
    BYTE nAttributes = 0;
    if (!LFN_GetFileAttributes(m_szPath, &nAttributes))
        return EStep::Stop;
    // Read-only and system files are kept, and the guest is told; a hidden name is no protection.
    if (nAttributes & (kOVF_attrReadOnly | kOVF_attrSystem))
        return answer(kFTP_resFileLocked, EHostOutcome::Refused, "a read-only or system file");
    return removed(DeleteLocalFile(m_szPath), false);
}

TVantryHostSession::EStep TVantryHostSession::ServeMakeFolder()
{
    using namespace Packet;
    const bool bFormed = FormPath(BlockVolume(GetInfo::kVolume), Dir(), Name());
    const auto answer = [&](std::int16_t nResult, EHostOutcome eOutcome, std::string_view strCause) {
        Report(OperationOutcome(EHostOperation::MakeFolder, eOutcome, bFormed ? std::string(m_szPath) : RequestPath(GetInfo::kVolume),
                                strCause, nResult));
        return WriteResult(nResult);
    };
    if (!bFormed)
        return answer(kFTP_resFailure, EHostOutcome::Refused, kCauseNoPath);
    if (LFN_mkdir(m_szPath, FALSE) == 0)
        return answer(kFTP_resOK, EHostOutcome::Done, "");
    if (LFN_FileExists(m_szPath))
        return answer(kFTP_resDuplicate, EHostOutcome::Refused, "the name is in use");
    return answer(kFTP_resFailure, EHostOutcome::Failed, "the folder could not be made");
}
