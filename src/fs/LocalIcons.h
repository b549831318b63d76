// The icon the local pane shows for an entry, chosen by its kind and extension.
#pragma once

#include "WinTypes.h"

// The icon resource id (20100 to 20126) for an entry: a folder by its name, a file by the end
// of its name, compared without regard to case.
WORD GetLocalIconId(const char* pszName, BOOL bFolder);
