// The local machine's folders as tree lists show them: entries read through the file layer,
// and the POSIX path that a local row stands for.
#pragma once

#include "ListingRows.h"

#include <QString>

#include <string>
#include <vector>

// A name or path in the ANSI page of the file layer; false when it cannot be expressed there.
bool ToAnsi(const QString& text, std::string& ansi);
QString FromAnsi(const char* ansi);

// Reads "*.*" in a local folder ("X:\dir", "X:\", or empty for the current folder), "." and ".."
// included where the folder has them. False when the folder does not exist, is not a folder or
// lies on a drive that is not there.
bool ReadLocalFolder(const QString& folder, std::vector<TListingEntry>& entries);

// The POSIX path of a local Windows-style path, or empty when no drive holds it.
QString LocalPosixPath(const QString& path);
