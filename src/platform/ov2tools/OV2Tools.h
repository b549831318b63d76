// The tools library: the two-way table between file-name extensions and the four-character
// type and creator codes that describe a file on the wire.
#pragma once

#include "WinTypes.h"

// A four-character code as one number, first character in the high byte: written with a
// big-endian writer it puts its characters on the wire in their order.
constexpr DWORD MakeFourCC(const char (&sz)[5])
{
    return (DWORD(BYTE(sz[0])) << 24) | (DWORD(BYTE(sz[1])) << 16) | (DWORD(BYTE(sz[2])) << 8) | DWORD(BYTE(sz[3]));
}

inline constexpr DWORD kTypeText = MakeFourCC("TEXT");
inline constexpr DWORD kTypeApplication = MakeFourCC("APPL");
inline constexpr DWORD kTypeUnknown = MakeFourCC("????");
inline constexpr DWORD kCreatorUnknown = MakeFourCC("????");

// Builds the lookup tables; called once at module start. Later calls do nothing, and the other
// calls build the tables themselves when they come first.
void InitFileMapping();

// Fills both codes for any name (a bare name or a whole path): the codes of the name's extension,
// compared without regard to case, or "????" and "????" when the extension is unknown or missing.
void SetTypeCreator(const char* pszFileName, DWORD* pType, DWORD* pCreator);

// Gives the name in pszFileName (a buffer of MAX_PATH bytes) the extension that belongs to the
// type and creator. A name whose extension already stands for that type is kept; otherwise the
// extension is appended, so that no part of the name is lost. An unknown type, or a result that
// would not fit the buffer, leaves the name unchanged.
void SetFileNameExtension(char* pszFileName, DWORD type, DWORD creator);
