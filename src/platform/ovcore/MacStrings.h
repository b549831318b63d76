// Names between the ANSI code page and the Mac character set (Mac Roman).
#pragma once

#include "WinTypes.h"

#include <cstddef>

// Convert the terminated string pszSource into pDest; pDest may be pszSource (in place).
// nDestSize is the size of pDest with its terminator; 0 means the source's own length + 1, which
// is always enough from ANSI to Mac and may cut a name going the other way (a Mac character can
// take up to three bytes in UTF-8). A character without an equivalent becomes chReplacement;
// the result is cut on a character boundary so that it always fits. TRUE when every character
// was converted and nothing was cut.
BOOL OVAnsiToMacStr(const char* pszSource, char* pDest, std::size_t nDestSize, char chReplacement);
BOOL OVMacToAnsiStr(const char* pszSource, char* pDest, std::size_t nDestSize, char chReplacement);
