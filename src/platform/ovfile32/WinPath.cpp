#include "WinPath.h"

#include "LibraryState.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <strings.h>

namespace ovf {

int ParseWinPath(const char* pszPath, TWinPath& path)
{
    path = TWinPath{};
    if (pszPath == nullptr || *pszPath == '\0')
        return ENOENT;
    const TLibraryState& state = State();
    if (std::strlen(pszPath) >= state.nPathLimit)
        return ENAMETOOLONG;
    const char* p = pszPath;
    const std::size_t nDesktopName = sizeof kDesktopVolumeName - 1;
    if (strncasecmp(p, kDesktopVolumeName, nDesktopName) == 0) {
        path.nDrive = kDesktopDrive;
        p += nDesktopName;
    } else if (std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
        path.nDrive = std::toupper(static_cast<unsigned char>(p[0])) - 'A';
        p += 2;                                   // "X:name" counts from the drive's root
    } else {
        if (!state.bHasCwd)
            return ENOENT;
        path.nDrive = state.cwd.nDrive;
        if (*p != '\\')
            path.parts = state.cwd.parts;         // relative to the current directory
    }
    while (*p != '\0') {
        while (*p == '\\')
            ++p;
        const char* pStart = p;
        while (*p != '\0' && *p != '\\')
            ++p;
        std::string strPart(pStart, p);
        if (strPart.empty() || strPart == ".")
            continue;
        if (strPart == "..") {
            if (!path.parts.empty())
                path.parts.pop_back();            // stops at the drive's root
            continue;
        }
        if (strPart.find_first_of("/:") != std::string::npos)
            return EINVAL;
        if (strPart.size() >= MAX_ELEMENT)
            return ENAMETOOLONG;
        path.parts.push_back(std::move(strPart));
    }
    return FormatWinPath(path).size() >= state.nPathLimit ? ENAMETOOLONG : 0;
}

std::string FormatWinPath(const TWinPath& path)
{
    std::string str;
    if (path.nDrive == kDesktopDrive)
        str = kDesktopVolumeName;
    else
        str = {static_cast<char>('A' + path.nDrive), ':'};
    str += '\\';
    for (std::size_t i = 0; i < path.parts.size(); ++i) {
        if (i)
            str.push_back('\\');
        str += path.parts[i];
    }
    return str;
}

std::string FaultKey(const TWinPath& path)
{
    std::string str = FormatWinPath(path);
    for (char& ch : str)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return str;
}

} // namespace ovf
