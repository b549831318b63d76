#include "OVFLeftOut.h"

#include "CodePages.h"
#include "FolderIndex.h"
#include "LibraryState.h"
#include "Resolver.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ovf;

bool OVF_ListLeftOut(const char* pszFolder, std::vector<TOVFLeftOut>& entries)
{
    TLock lock;
    entries.clear();
    TTarget target;
    if (ResolveExisting(pszFolder, target) != 0 || !S_ISDIR(target.st.st_mode))
        return false;
    TSharedFd folder;
    TFd child;
    if (target.bRoot)
        folder = std::move(target.dir);
    else if (OpenChildFolder(target.dir.Get(), target.strReal, child) == 0)
        folder = TSharedFd(std::move(child));
    else
        return false;
    const int fd = openat(folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR* pDir = fdopendir(fd);
    if (pDir == nullptr) {
        close(fd);
        return false;
    }
    while (const dirent* pEntry = readdir(pDir)) {
        const std::string strName = pEntry->d_name;
        if (strName == "." || strName == "..")
            continue;
        std::string strAnsi;
        const bool bNamed = IsAddressableName(strName) && DiskToAnsi(strName, strAnsi);
        // Most file systems give the kind with the name; only where they do not is the entry read.
        if (bNamed && (pEntry->d_type == DT_REG || pEntry->d_type == DT_DIR))
            continue;
        struct stat st {};
        if (fstatat(dirfd(pDir), strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(st.st_mode))
            entries.push_back({bNamed ? strAnsi : strName, OVFLeftOutKind::link});
        else if (!bNamed)
            entries.push_back({strName, OVFLeftOutKind::name});
        else if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            entries.push_back({strAnsi, OVFLeftOutKind::special});
    }
    closedir(pDir);
    return true;
}
