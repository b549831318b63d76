// The type a folder listing gives each file.
#pragma once

#include "WinTypes.h"

// "APPL" for a short name longer than three characters that ends in "EXE", "COM" or "BAT"
// (upper case only, as short names are), else "????".
DWORD GetListingFileType(const char* pszShortName);
