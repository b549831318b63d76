#include "NameRules.h"

#include "NameMap.h"

#include <string>
#include <cstring>
#include <string_view>

namespace {
// Destinations are checked for clashes by the copy itself, which asks before replacing.
BOOL AnyNameIsUnique(std::uintptr_t, const char*) { return 1; }
} // namespace

void GetLocalNameRules(NameRules* pRules) { *pRules = NameRules{1, 0, 256, 256, 256}; }

void MungeName(const char* pszName, char* pszOut, const NameRules& rules, DWORD dwMode)
{
    HMFN hContext = nullptr;
    if (MFN_Initialize(&hContext, rules.nFileSystem, rules.nLanguage, rules.nMaxTotal, rules.nMaxName,
                       rules.nMaxExtension, dwMode) != kMFNOk) {
        pszOut[0] = '\0';
        return;
    }
    MFN_Munge(hContext, pszName, pszOut, AnyNameIsUnique, 0);
    MFN_Terminate(&hContext);
}

BOOL MungeLocalPath(const char* pszPath, char* pszOut)
{
    const std::string_view path(pszPath);
    const std::size_t nSlash = path.rfind('\\');
    const std::string_view folder = nSlash == std::string_view::npos ? std::string_view() : path.substr(0, nSlash + 1);
    const std::string leaf(path.substr(folder.size()));

    NameRules rules{};
    GetLocalNameRules(&rules);
    char szLeaf[MAX_PATH];
    MungeName(leaf.c_str(), szLeaf, rules, kMungeForLocal);
    const std::size_t nLeaf = std::strlen(szLeaf);
    if (folder.size() + nLeaf >= MAX_PATH) {
        pszOut[0] = '\0';
        return FALSE;
    }
    folder.copy(pszOut, folder.size()); // (no folder: an empty view whose data() may be null)
    std::memcpy(pszOut + folder.size(), szLeaf, nLeaf + 1);
    return 1;
}
