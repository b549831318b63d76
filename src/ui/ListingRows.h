// Which entries of a local folder a tree list shows, and the row each one becomes.
#pragma once

#include "TreeRow.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Platform attribute bits of a folder entry.
inline constexpr unsigned kAttrReadOnly = 0x01;
inline constexpr unsigned kAttrHidden = 0x02;
inline constexpr unsigned kAttrSystem = 0x04;
inline constexpr unsigned kAttrDirectory = 0x10;
inline constexpr unsigned kAttrArchive = 0x20;
inline constexpr unsigned kAttrNormal = 0x80;

struct TListingEntry {
    QString name;
    unsigned attributes = 0;
    qint64 size = 0;
    std::uint64_t fileTime = 0;
};

// The icon of a file by the end of its name (ignoring case), or of a folder.
int IconForName(const QString& name, bool folder);

// The row for an entry under the listing's attribute mask and flags, or none when it is skipped:
// ".", ".." unless kept, hidden and system entries, entries outside the mask that are not plain.
std::optional<TTreeRow> ListingRow(const TListingEntry& entry, unsigned attributeMask, unsigned flags);

// Reads the entries of a folder ("*.*" in it); an empty folder path means the current folder.
// False when the folder does not exist or cannot be entered.
using TFolderReader = std::function<bool(const QString& folder, std::vector<TListingEntry>& entries)>;

// The folder a listing reads: "X:\folder\" loses its trailing "\"; "\" alone means the
// current folder (empty).
QString ListingFolder(const QString& folder);
