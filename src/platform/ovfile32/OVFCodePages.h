// Character sets of the file library.
//
// "ANSI" is the code page of every name that crosses this library's interface; it is UTF-8 by
// default (the code page of a Linux system) and may be set to a single-byte page such as CP1252
// for peers that use one. File names on disk are taken to be UTF-8. "OEM" is CP437 by default
// (CP850 and others may be set). The Mac character set is Mac Roman; text is put into composed
// form before it is converted to a single-byte page.
//
// CP437, CP850, Mac Roman ("MACINTOSH") and CP1252 are built in; any other single-byte page
// that iconv knows may be named.
#pragma once

#include <cstddef>

enum class OVFCharSet { ansi, oem, mac, utf8 };

// Selects the ANSI or OEM code page by its iconv name ("UTF-8", "CP1252", "CP437", "CP850" ...).
// Returns 0, or EINVAL when the page is unknown or not a single-byte page (UTF-8 is accepted for
// ANSI only). Changing the ANSI page drops the folder indexes.
int OVF_SetAnsiCodePage(const char* pszName);
int OVF_SetOemCodePage(const char* pszName);

// Converts the terminated string pszSource from one character set into another, into pDest of
// nDestSize bytes (terminator included). pDest may be pszSource (conversion in place). A
// character without an equivalent becomes chReplacement. The result is cut on a character
// boundary so that it always fits. Returns true when every character was converted and nothing
// was cut; *pnLength (optional) receives the length written.
bool OVF_ConvertString(OVFCharSet from, OVFCharSet to, const char* pszSource, char* pDest,
                       std::size_t nDestSize, char chReplacement = '_', std::size_t* pnLength = nullptr);
