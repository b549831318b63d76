// The name-munging library: fits a file name to the rules of a destination volume.
#pragma once

#include "WinTypes.h"

#include <cstdint>

// File-system codes of this library.
inline constexpr WORD kMFNFileSystemShort = 0; // 8.3 names
inline constexpr WORD kMFNFileSystemLong = 1;  // long names, this machine's volumes
inline constexpr WORD kMFNFileSystemMac = 2;   // 31-character names, no ':'

// Results of MFN_Initialize and MFN_Munge.
inline constexpr int kMFNOk = 0;
inline constexpr int kMFNBadArgument = 1;
inline constexpr int kMFNNoUniqueName = 2;

// The size of MFN_Munge's out buffer.
inline constexpr std::size_t kMFNOutSize = MAX_PATH;

struct TMFNContext;
using HMFN = TMFNContext*;

// Answers nonzero when the candidate name may be used. The context is the caller's value
// (wide enough to carry a pointer, such as a folder path).
using TMFNUniqueProc = BOOL (*)(std::uintptr_t nContext, const char* pszCandidate);

// Makes a context for the given rules. The lengths count bytes; the extension length includes
// its dot. The language code and mode flag are kept in the context and change nothing.
int MFN_Initialize(HMFN* phContext, WORD nFileSystem, WORD nLanguage, WORD nMaxTotal, WORD nMaxName,
                   WORD nMaxExtension, DWORD dwMode);

// Writes into pszOut (kMFNOutSize bytes) a name that obeys the context's rules: characters the
// target does not accept are replaced, the name and extension are cut on character boundaries,
// and the extension is kept where it can be. When the callback refuses a candidate, "~1", "~2"
// ... are tried before the extension; kMFNNoUniqueName when every try is refused (pszOut then
// holds the first candidate).
int MFN_Munge(HMFN hContext, const char* pszSource, char* pszOut, TMFNUniqueProc pfnUnique, std::uintptr_t nContext);

// Releases the context and clears the handle; a null handle is ignored.
void MFN_Terminate(HMFN* phContext);

// This machine's volumes: long names (1), language 0. Nonzero on success.
int MFN_GetFileSystemAndLanguage(WORD* pFileSystem, WORD* pLanguage);
