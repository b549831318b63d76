#include "Faults.h"

#include "FolderIndex.h"
#include "LibraryState.h"
#include "Resolver.h"
#include "ShortNames.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ovf {

void InjectFaultsFromEnvironment();

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

bool AnyFaults()
{
    static const bool bFromEnvironment = (InjectFaultsFromEnvironment(), true);
    (void)bFromEnvironment;
    return !Faults().empty();
}
} // namespace

int InjectedFault(OVFOp op, const TWinPath& path)
{
    return AnyFaults() ? InjectedFault(op, FaultKey(path)) : 0;
}

int InjectedFault(OVFOp op, const std::string& strKey)
{
    if (!AnyFaults())
        return 0;
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

namespace ovf {
namespace {
constexpr std::pair<const char*, OVFOp> kOpNames[] = {
    {"open", OVFOp::open},         {"openWrite", OVFOp::openWrite}, {"read", OVFOp::read},
    {"write", OVFOp::write},       {"rename", OVFOp::rename},       {"remove", OVFOp::remove},
    {"getStatus", OVFOp::getStatus}, {"setStatus", OVFOp::setStatus}, {"findFirst", OVFOp::findFirst},
    {"findNext", OVFOp::findNext}, {"mkdir", OVFOp::mkdir},         {"rmdir", OVFOp::rmdir},
    {"close", OVFOp::close},
};
} // namespace

// A process started by a test (a host serving a share) takes its faults from
// VANTRY_OVF_FAULTS: "op:path:errno" entries separated by ';', e.g. "open:C:\d\f.txt:13".
void InjectFaultsFromEnvironment()
{
    const char* pszFaults = std::getenv("VANTRY_OVF_FAULTS");
    if (pszFaults == nullptr)
        return;
    std::stringstream list(pszFaults);
    std::string strEntry;
    while (std::getline(list, strEntry, ';')) {
        const std::size_t nFirst = strEntry.find(':');
        const std::size_t nLast = strEntry.rfind(':');
        if (nFirst == std::string::npos || nLast == nFirst)
            continue;
        const std::string strOp = strEntry.substr(0, nFirst);
        for (const auto& [pszName, op] : kOpNames) {
            if (strOp == pszName)
                OVF_InjectFault(op, strEntry.substr(nFirst + 1, nLast - nFirst - 1).c_str(),
                                std::atoi(strEntry.c_str() + nLast + 1));
        }
    }
}
} // namespace ovf

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

void OVF_ForceAttributeReadByPath(bool bForce)
{
    TLock lock;
    State().bAttributesByPath = bForce;
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
