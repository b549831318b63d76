#include "LocalCopyFiles.h"

#include "Exceptions.h"
#include "LFN.h"
#include "OVFUploads.h"
#include "TreeOperations.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kWriteTestTries = 5;
constexpr std::size_t kLineFeedScan = 64 * 1024;
constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr std::uint8_t kLineFeed = 0x0A;

std::uint32_t TickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool IsFolderEntry(const WIN32_FIND_DATA& data) { return (data.dwFileAttributes & kOVF_attrDirectory) != 0; }

constexpr DWORD kEveryEntry = kOVF_attrDirectory | kOVF_attrHidden | kOVF_attrSystem | kOVF_attrReadOnly;

struct TTreeCount {
    std::uint64_t nFiles = 0;
    std::uint64_t nBytes = 0;
    TLocalSizedListings* pKeep = nullptr;
};

int CollectEntry(WIN32_FIND_DATA* pData, void* pContext)
{
    const bool bFolder = IsFolderEntry(*pData);
    auto& items = *static_cast<std::vector<TCopyItem>*>(pContext);
    items.push_back({pData->cFileName, bFolder});
    if (!bFolder)
        items.back().nSize = FindDataSize(*pData);
    return 1;
}

bool ListFolder(const std::string& sFolder, std::vector<TCopyItem>* pItems)
{
    WIN32_FIND_DATA data;
    // An empty folder lists "." and ".." at least; a search that finds nothing cannot list it.
    return LFN_Dir(&CollectEntry, sFolder.c_str(), "*.*", kEveryEntry, &data, pItems) != 0;
}

bool CountFolder(const std::string& sFolder, TTreeCount& count)
{
    std::vector<TCopyItem> items;
    if (!ListFolder(sFolder, &items))
        return false;
    for (const TCopyItem& item : items) {
        if (item.bFolder) {
            if (!CountFolder(JoinLocalPath(sFolder, item.sName), count))
                return false;
        } else {
            ++count.nFiles;
            count.nBytes += item.nSize.value_or(0);
        }
    }
    if (count.pKeep)
        count.pKeep->Keep(sFolder, std::move(items));
    return true;
}
} // namespace

std::string JoinLocalPath(const std::string& sFolder, const std::string& sName)
{
    if (sFolder.empty() || sFolder.back() == '\\')
        return sFolder + sName;
    return sFolder + '\\' + sName;
}

bool IsFolderWritable(const std::string& sFolder)
{
    for (int nTry = 0; nTry < kWriteTestTries; ++nTry) {
        char szDigits[16];
        std::snprintf(szDigits, sizeof szDigits, "%u", static_cast<unsigned>(TickCount() | TickCount()));
        szDigits[5] = '\0';
        const std::string sTest = JoinLocalPath(sFolder, std::string("TMP") + szDigits + ".TMP");
        if (LFN_FileExists(sTest.c_str()))
            continue;
        TFile file;
        if (!file.TryOpen(sTest.c_str(), CFile::modeCreate | CFile::modeWrite))
            return false;
        file.TryClose();
        TFile::TryRemove(sTest.c_str());
        return true;
    }
    return true;
}

bool LocalFileSize(const std::string& sPath, std::uint64_t* pnBytes)
{
    WIN32_FIND_DATA data;
    if (!LFN_GetStatus(sPath.c_str(), &data) || IsFolderEntry(data))
        return false;
    *pnBytes = FindDataSize(data);
    return true;
}

bool CountLocalTree(const std::string& sPath, std::uint64_t* pnFiles, std::uint64_t* pnBytes, TLocalSizedListings* pKeep)
{
    const int nKind = LFN_IsDirectory(sPath.c_str());
    if (nKind < 0)
        return false;
    if (nKind == 0) {
        std::uint64_t nBytes = 0;
        if (!LocalFileSize(sPath, &nBytes))
            return false;
        *pnFiles += 1;
        *pnBytes += nBytes;
        return true;
    }
    TTreeCount count;
    count.pKeep = pKeep;
    if (!CountFolder(sPath, count))
        return false;
    *pnFiles += count.nFiles;
    *pnBytes += count.nBytes;
    return true;
}

bool LocalFolderItems(const std::string& sFolder, TLocalSizedListings* pSized, std::vector<TCopyItem>* pItems,
                      std::vector<TOVFLeftOut>* pLeftOut)
{
    pItems->clear();
    pLeftOut->clear();
    if (!pSized || !pSized->Take(sFolder, pItems)) {
        if (LFN_IsDirectory(sFolder.c_str()) != 1)
            return false;
        ListFolder(sFolder, pItems);
    }
    OVF_ListLeftOut(sFolder.c_str(), *pLeftOut);
    // A special file is listed like a file, but holds no data to send.
    std::erase_if(*pItems, [pLeftOut](const TCopyItem& item) {
        return std::any_of(pLeftOut->begin(), pLeftOut->end(), [&item](const TOVFLeftOut& left) {
            return left.kind == OVFLeftOutKind::special && left.strName == item.sName;
        });
    });
    return true;
}

std::size_t AddLineFeeds(const std::uint8_t* pData, std::size_t nLength, std::uint8_t* pOut, bool& bAfterReturn)
{
    std::size_t nOut = 0;
    for (std::size_t i = 0; i < nLength; ++i) {
        // A return gets its line feed at once; one that came with it is then the same line end.
        if (pData[i] != kLineFeed || !bAfterReturn)
            pOut[nOut++] = pData[i];
        if (pData[i] == kCarriageReturn)
            pOut[nOut++] = kLineFeed;
        bAfterReturn = pData[i] == kCarriageReturn;
    }
    return nOut;
}

std::size_t RemoveLineFeeds(std::uint8_t* pData, std::size_t nLength)
{
    std::uint8_t* pEnd = pData;
    for (std::size_t i = 0; i < nLength; ++i) {
        if (pData[i] != kLineFeed)
            *pEnd++ = pData[i];
    }
    return static_cast<std::size_t>(pEnd - pData);
}

std::uint64_t CountLineFeeds(TFile& file)
{
    std::vector<std::uint8_t> buffer(kLineFeedScan);
    std::uint64_t nCount = 0;
    for (;;) {
        const UINT nRead = file.Read(buffer.data(), static_cast<UINT>(buffer.size()));
        if (nRead == 0)
            break;
        for (UINT i = 0; i < nRead; ++i)
            nCount += buffer[i] == kLineFeed;
    }
    file.Seek(0, CFile::begin);
    return nCount;
}

bool TReceivedFile::Open(const std::string& sFinalPath, bool bReplacing)
{
    Discard();
    DWORD nOsError = 0;
    std::string strToken;
    const DWORD hFile = OVF_OpenUploadTemp(sFinalPath.c_str(), &strToken, &nOsError);
    if (hFile == kOVF_invalid)
        return false;
    m_file.m_hFile32 = hFile;
    m_file.m_strName = sFinalPath;
    m_strToken = std::move(strToken);
    m_strFinalPath = sFinalPath;
    m_bReplacing = bReplacing;
    return true;
}

void TReceivedFile::Write(const void* pData, std::size_t nLength)
{
    if (!IsOpen())
        throw CFileException();
    m_file.Write(pData, static_cast<UINT>(nLength));
}

bool TReceivedFile::Stamp(DWORD dwMacTime, BYTE bAttributes)
{
    return IsOpen() && LFN_SetOpenFileTimeAndAttributes(m_file.m_hFile32, dwMacTime, bAttributes) != 0;
}

TReceivedFile::ECommit TReceivedFile::Commit()
{
    if (!IsOpen())
        return ECommit::Failed;
    bool bDone = false;
    try {
        m_file.Close();
        bDone = true;
    } catch (const CFileException& error) {
        // The last data reaches the disk only here.
        if (error.m_cause == CFileException::diskFull) {
            Discard();
            return ECommit::DiskFull;
        }
    } catch (const std::exception&) {
    }
    // A folder of the name gives way to the file, now that the file is whole.
    bDone = bDone && (!m_bReplacing || MakeWayForFile(m_strFinalPath.c_str()));
    DWORD nOsError = 0;
    bDone = bDone && OVF_CommitUploadTemp(m_strToken, m_strFinalPath.c_str(), &nOsError);
    if (!bDone) {
        Discard();
        return ECommit::Failed;
    }
    m_strToken.clear();
    return ECommit::Done;
}

void TReceivedFile::Discard()
{
    if (!IsOpen())
        return;
    m_file.TryAbort();
    m_file.m_hFile32 = TFile::kNoFile;
    OVF_DiscardUploadTemp(m_strToken);
    m_strToken.clear();
}
