#include "LocalIcons.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace {

constexpr WORD kFolderIcon = 20100;
constexpr WORD kFileIcon = 20101;
constexpr WORD kParentFolderIcon = 20103;

struct TIconByExtension {
    std::string_view extension;
    WORD nIconId;
};

constexpr TIconByExtension kIcons[] = {
    {".exe", 20110}, {".com", 20110}, {".ini", 20113}, {".inf", 20113}, {".dll", 20114},
    {".sys", 20114}, {".txt", 20115}, {".grp", 20116}, {".bat", 20117}, {".bmp", 20118},
    {".gif", 20119}, {".wri", 20120}, {".hlp", 20121}, {".wav", 20122}, {".htm", 20123},
    {".html", 20123}, {".ttf", 20124}, {".fon", 20125}, {".reg", 20126},
};

// The last nCount characters, lower-cased; empty when the name is shorter.
std::string LowerTail(std::string_view name, std::size_t nCount)
{
    if (name.size() < nCount)
        return {};
    std::string tail(name.substr(name.size() - nCount));
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return tail;
}

} // namespace

WORD GetLocalIconId(const char* pszName, BOOL bFolder)
{
    const std::string_view name(pszName);
    if (bFolder)
        return name == ".." ? kParentFolderIcon : kFolderIcon;
    const std::string tail4 = LowerTail(name, 4);
    const std::string tail5 = LowerTail(name, 5);
    for (const TIconByExtension& icon : kIcons)
        if (icon.extension == (icon.extension.size() == 5 ? tail5 : tail4))
            return icon.nIconId;
    return kFileIcon;
}
