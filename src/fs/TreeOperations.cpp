#include "TreeOperations.h"

#include "LFN.h"
#include "OVFile32.h"

#include <cstring>
#include <deque>
#include <exception>
#include <string>
#include <vector>

namespace {

// Read-only, hidden and system entries are listed as well as folders.
constexpr DWORD kListEverything = 0x17;
constexpr DWORD kFolderAttribute = 0x10;

struct TreeItem {
    std::string strPath;
    bool bFolder;
};

std::string ChildPath(const std::string& strFolder, const char* pszName)
{
    std::string path = strFolder;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    return path + pszName;
}

// Lists one folder, handing each entry to fnEntry; false when the folder cannot be listed.
template <typename TFn>
bool ListFolder(const std::string& strFolder, TFn fnEntry)
{
    struct TContext {
        TFn* pfn;
    } context{&fnEntry};
    WIN32_FIND_DATA data{};
    const auto callback = [](WIN32_FIND_DATA* pData, void* pContext) -> BOOL {
        (*static_cast<TContext*>(pContext)->pfn)(*pData);
        return 1;
    };
    return LFN_Dir(callback, strFolder.c_str(), "*.*", kListEverything, &data, &context) != 0;
}

} // namespace

int CountTree(const char* pszPath, DWORD* pnFiles, DWORD* pnBytes)
{
    *pnFiles = 0;
    *pnBytes = 0;
    try {
        // A search finds no entry for a drive root, which is a folder all the same.
        WIN32_FIND_DATA data{};
        if (IsDriveRoot(pszPath))
            data.dwFileAttributes = kFolderAttribute;
        else if (!LFN_GetStatus(pszPath, &data))
            return kTreeNotFound;
        if (!(data.dwFileAttributes & kFolderAttribute)) {
            *pnFiles = 1;
            *pnBytes = data.nFileSizeLow;
            return kTreeOk;
        }
        std::deque<std::string> folders{pszPath};
        while (!folders.empty()) {
            const std::string folder = std::move(folders.front());
            folders.pop_front();
            const bool bListed = ListFolder(folder, [&](const WIN32_FIND_DATA& entry) {
                if (entry.dwFileAttributes & kFolderAttribute) {
                    folders.push_back(ChildPath(folder, entry.cFileName));
                } else {
                    ++*pnFiles;
                    *pnBytes += entry.nFileSizeLow;
                }
            });
            if (!bListed)
                return kTreeListingFailed;
        }
        return kTreeOk;
    } catch (const std::exception&) {
        return kTreeListingFailed;
    }
}

int DeleteLocalFile(const char* pszPath, BOOL)
{
    BYTE nAttributes = 0;
    if (!LFN_GetFileAttributes(pszPath, &nAttributes))
        return kTreeOk;
    if (nAttributes & kFolderAttribute)
        return kTreeNotAFolder;
    // The file's own mode and attributes stay as they are: another name may lead to it.
    DWORD nOsError = 0;
    RemoveName32(pszPath, &nOsError);
    return kTreeOk;
}

int DeleteTree(const char* pszPath)
{
    int nFailure = kTreeListingFailed;
    try {
        // Leave the tree so that none of its folders is the current one.
        char szDrive[kOVF_maxDrive] = {};
        LFN_splitpath(pszPath, szDrive, nullptr, nullptr, nullptr);
        LFN_chdir((std::string(szDrive) + "\\").c_str());

        BYTE nAttributes = 0;
        if (!LFN_GetFileAttributes(pszPath, &nAttributes))
            return kTreeOk;
        if (!(nAttributes & kFolderAttribute))
            return kTreeNotAFolder;

        std::deque<TreeItem> work{{pszPath, true}};
        std::vector<std::string> listedFolders;
        while (!work.empty()) {
            const TreeItem item = std::move(work.front());
            work.pop_front();
            if (!item.bFolder) {
                if (const int nResult = DeleteLocalFile(item.strPath.c_str()); nResult != kTreeOk)
                    return nResult;
                continue;
            }
            const bool bListed = ListFolder(item.strPath, [&](const WIN32_FIND_DATA& entry) {
                work.push_back({ChildPath(item.strPath, entry.cFileName), (entry.dwFileAttributes & kFolderAttribute) != 0});
            });
            if (!bListed)
                return kTreeListingFailed;
            listedFolders.push_back(item.strPath);
        }
        // The deepest folders were listed last; each goes before the folder that holds it.
        nFailure = kTreeFolderRemains;
        for (auto it = listedFolders.rbegin(); it != listedFolders.rend(); ++it)
            if (LFN_rmdir(it->c_str(), FALSE) != 0)
                return kTreeFolderRemains;
        return kTreeOk;
    } catch (const std::exception&) {
        return nFailure;
    }
}

bool MakeWayForFile(const char* pszPath)
{
    // One status read answers both what is there and what it holds.
    CFileStatus status;
    if (!TFile::GetStatus(pszPath, status))
        return true;
    // A file there is replaced by the rename as it is: its own attributes are no obstacle, and
    // changing them would change every other name of it.
    if (status.m_attribute & CFile::directory)
        return DeleteTree(pszPath) == kTreeOk;
    return true;
}
