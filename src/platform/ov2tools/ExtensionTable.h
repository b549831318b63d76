// The built-in table of extensions and their type and creator codes.
#pragma once

#include "WinTypes.h"

#include <span>

struct TExtensionMapping {
    const char* pszExtension; // lower case, without the dot
    DWORD type;
    DWORD creator;
};

// Rows in order of preference: where several extensions share a type and creator, the first
// one is the extension given to a file of that kind.
std::span<const TExtensionMapping> ExtensionTable();
