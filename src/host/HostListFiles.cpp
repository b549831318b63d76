// kFTP_msgListFiles: one kFTP_msgAFile write per entry, then kFTP_msgEndData; a drive that
// exists but cannot be entered gives a lone kFTP_msgNewMessages byte first.
#include "VantryHostSession.h"

#include "HostMacTimes.h"
#include "ListingType.h"
#include "OVFCodePages.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"
#include "WireSizes.h"
#include "Volumes.h"

#include <cstring>
#include <string>

namespace {
// A directory string holding "\(" ... ")" is cut around the parentheses.
std::string CutParenthesised(const std::string& strDir)
{
    const std::size_t nOpen = strDir.find("\\(");
    const std::size_t nClose = strDir.rfind(')');
    if (nOpen == std::string::npos || nClose == std::string::npos)
        return strDir;
    const std::size_t nOpenIndex = nOpen + 1; // the index of the "("
    std::string strCut = nOpenIndex > 1 ? strDir.substr(0, nOpenIndex - 1) : std::string();
    return strCut + strDir.substr(nClose);
}

// "C:\dir\" -> "C:\dir"; a root keeps its backslash.
std::string FolderOf(const char* pszPath)
{
    std::string strFolder = pszPath;
    if (strFolder.size() > 3 && strFolder.back() == '\\')
        strFolder.pop_back();
    return strFolder;
}

bool IsDotEntry(const WIN32_FIND_DATA& data)
{
    return (data.dwFileAttributes & kOVF_attrDirectory) &&
           (std::strcmp(data.cAlternateFileName, ".") == 0 || std::strcmp(data.cAlternateFileName, "..") == 0 ||
            std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0);
}
} // namespace

TVantryHostSession::EStep TVantryHostSession::ServeListFiles()
{
    const std::uint16_t nVolume = BlockVolume(Packet::ListFiles::kVolume);
    std::string strDir = Dir();
    // The rewrite is meant for strings that are not real folders; a folder that exists as
    // named keeps its name whatever it holds.
    if (nVolume != 0 && FormPath(nVolume, strDir.c_str(), "") && LFN_IsDirectory(FolderOf(m_szPath).c_str()) != 1)
        strDir = CutParenthesised(strDir);
    if (!FormPath(nVolume, strDir.c_str(), "") || std::strlen(m_szPath) + 3 >= MAX_PATH) {
        Report(OperationOutcome(EHostOperation::List, EHostOutcome::Refused, strDir, kCauseNoPath));
        return WriteCode(kFTP_msgEndData);
    }
    Report(OperationDone(EHostOperation::List, m_szPath));
    const std::string strPattern = std::string(m_szPath) + "*.*";
    if (m_listing.Begin(strPattern.c_str()))
        return SendEntryOrNext();
    // A folder below a root lists "." at least: when the search finds nothing in one that
    // exists, the folder cannot be read, and the guest is told so as of a drive not ready
    // rather than shown an empty folder.
    const std::string strFolder = FolderOf(m_szPath);
    if (strFolder.size() > 3 && LFN_IsDirectory(strFolder.c_str()) == 1)
        return WriteDriveNotReady();

    // Nothing found: an empty folder, unless the drive exists and cannot be entered.
    const char cLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(strPattern[0])));
    const int nIndex = cLetter - 'A';
    if (strPattern[1] != ':' || nIndex < 0 || nIndex > 25 || GetDriveKind(nIndex) == kDriveNone)
        return WriteCode(kFTP_msgEndData);
    const int nFormerDrive = LFN_getdrive();
    char szFolder[MAX_PATH];
    if (LFN_chdrive(nIndex) == 0 && LFN_getdrive() == nIndex + 1 && LFN_getcwd(szFolder, MAX_PATH))
        return WriteCode(kFTP_msgEndData);
    if (nFormerDrive >= 1)
        LFN_chdrive(nFormerDrive - 1);
    return WriteDriveNotReady();
}

TVantryHostSession::EStep TVantryHostSession::WriteDriveNotReady()
{
    m_pSend[Packet::kCode] = CodeByte(kFTP_msgNewMessages);
    return Write(m_pSend, Packet::NewMessagesAnswer::kLengthNotReady, &Completion<&TVantryHostSession::OnDriveNotReadyWritten>);
}

TVantryHostSession::EStep TVantryHostSession::OnDriveNotReadyWritten()
{
    return WriteCode(kFTP_msgEndData);
}

// The completion of each kFTP_msgAFile write.
TVantryHostSession::EStep TVantryHostSession::ListFiles3()
{
    if (!m_listing.Next())
        return WriteCode(kFTP_msgEndData);
    return SendEntryOrNext();
}

TVantryHostSession::EStep TVantryHostSession::SendEntryOrNext()
{
    using namespace Packet;
    for (;;) {
        FillAlternateName(&m_listing.Entry());
        if (!IsDotEntry(m_listing.Entry()))
            break;
        if (!m_listing.Next())
            return WriteCode(kFTP_msgEndData);
    }
    const WIN32_FIND_DATA& entry = m_listing.Entry();
    const bool bFolder = entry.dwFileAttributes & kOVF_attrDirectory;
    TPacketWriter packet(m_pSend, kBufferSize);
    packet.Zero(0, AFile::kName);
    packet.Byte(kCode, CodeByte(kFTP_msgAFile));
    packet.DWordBE(AFile::kRecord + AFile::kIsFolder, bFolder ? 1 : 0);
    packet.DWordBE(AFile::kRecord + AFile::kType, GetListingFileType(entry.cAlternateFileName));
    WriteWireSize(packet, AFile::kRecord + AFile::kSize, AFile::kRecord + AFile::kSizeHigh, FindDataSize(entry), m_bLargeSizes);
    if (!m_bOEMNames) {
        // The search read the entry's attributes already: no second status read per entry.
        const BYTE nAttributes = static_cast<BYTE>(entry.dwFileAttributes);
        const BYTE nKept = kOVF_attrReadOnly | kOVF_attrHidden | kOVF_attrSystem | kOVF_attrDirectory;
        packet.Byte(AFile::kRecord + AFile::kAttributes, static_cast<std::uint8_t>((nAttributes & nKept) | kOVF_attrArchive));
    }
    std::size_t nEnd;
    if (m_nVersion >= kFTP_versionLong) {
        nEnd = packet.Pascal(AFile::kName, entry.cFileName);
        // Already in wire order: copied as it stands.
        const DWORD nMacTime = WireMacTime(entry.ftLastWriteTime);
        packet.Bytes(nEnd, &nMacTime, sizeof nMacTime);
        nEnd += sizeof nMacTime;
    } else {
        char szName[sizeof entry.cAlternateFileName * 4];
        OVF_ConvertString(OVFCharSet::oem, OVFCharSet::ansi, entry.cAlternateFileName, szName, sizeof szName);
        nEnd = packet.Pascal(AFile::kName, szName);
    }
    return Write(m_pSend, static_cast<std::uint16_t>(nEnd), &Completion<&TVantryHostSession::ListFiles3>);
}
