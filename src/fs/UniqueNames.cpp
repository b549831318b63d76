#include "UniqueNames.h"

#include "LFN.h"

#include <string>

BOOL IsUniqueFile(std::uintptr_t nFolder, const char* pszCandidate)
{
    std::string path = reinterpret_cast<const char*>(nFolder);
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    path += pszCandidate;
    return LFN_FileExists(path.c_str()) ? FALSE : 1;
}

BOOL IsNotUniqueFile(std::uintptr_t, const char*) { return 1; }
