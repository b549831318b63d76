#include "Faults.h"

#include "FolderIndex.h"
#include "LibraryState.h"
#include "Resolver.h"
#include "ShortNames.h"

#include <vector>

namespace ovf {

namespace {

struct TFault {
    OVFOp op;
    std::string strKey;   // "" matches every path
    int nError;
    int nCount;           // -1: until cleared
};

std::vector<TFault>& Faults()
{
    static std::vector<TFault> faults;
    return faults;
}

} // namespace

int InjectedFault(OVFOp op, const std::string& strKey)
{
    for (auto it = Faults().begin(); it != Faults().end(); ++it) {
        if (it->op != op || (!it->strKey.empty() && it->strKey != strKey))
            continue;
        const int nError = it->nError;
        if (it->nCount > 0 && --it->nCount == 0)
            Faults().erase(it);
        return nError;
    }
    return 0;
}

} // namespace ovf

using namespace ovf;

void OVF_InjectFault(OVFOp op, const char* pszPath, int nError, int nCount)
{
    TLock lock;
    std::string strKey;
    if (pszPath != nullptr && *pszPath != '\0') {
        TWinPath path;
        if (ParseWinPath(pszPath, path) == 0)
            strKey = FaultKey(path);
        else
            strKey = UpperAscii(pszPath);
    }
    if (nCount != 0)
        Faults().push_back({op, strKey, nError, nCount});
}

void OVF_ClearFaults()
{
    TLock lock;
    Faults().clear();
}

void OVF_ForceResolveFallback(bool bForce)
{
    TLock lock;
    ForceFallback(bForce);
}

bool OVF_UsingResolveFallback()
{
    TLock lock;
    return UsingFallback();
}

void OVF_DisableAttributeStore(bool bDisable)
{
    TLock lock;
    State().bNoAttributeStore = bDisable;
}

TOVFIndexStats OVF_GetIndexStats()
{
    TLock lock;
    return {IndexCounters().nBuilds, IndexCounters().nInPlaceUpdates};
}

void OVF_SetIndexLimit(unsigned nFolders)
{
    TLock lock;
    SetIndexLimit(nFolders);
}
