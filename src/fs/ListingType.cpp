#include "ListingType.h"

#include "OV2Tools.h"

#include <string_view>

DWORD GetListingFileType(const char* pszShortName)
{
    const std::string_view name(pszShortName);
    if (name.size() <= 3)
        return kTypeUnknown;
    const std::string_view tail = name.substr(name.size() - 3);
    return tail == "EXE" || tail == "COM" || tail == "BAT" ? kTypeApplication : kTypeUnknown;
}
