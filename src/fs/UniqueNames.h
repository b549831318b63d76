// Uniqueness callbacks of the name-fitting library, exported for the host application.
#pragma once

#include "WinTypes.h"

#include <cstdint>

// nFolder points to a terminated folder path. IsUniqueFile answers nonzero when nothing exists
// at that folder and the candidate name; IsNotUniqueFile answers 1 for every name.
BOOL IsUniqueFile(std::uintptr_t nFolder, const char* pszCandidate);
BOOL IsNotUniqueFile(std::uintptr_t nFolder, const char* pszCandidate);
