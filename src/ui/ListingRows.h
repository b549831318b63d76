// Which entries of a local folder a tree list shows, and the row each one becomes.
#pragma once

#include "OVFTypes.h"
#include "TreeRow.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// A folder entry as the file layer reports it (attributes are its kOVF_attr bits).
struct TListingEntry {
    QString name;
    unsigned attributes = 0;
    qint64 size = 0;
    std::uint64_t fileTime = 0;
};

// The row for an entry under the listing's attribute mask and flags, or none when it is skipped:
// ".", ".." unless kept, hidden and system entries, entries outside the mask that are not plain.
// Icons follow the local icon rule of the file layer.
std::optional<TTreeRow> ListingRow(const TListingEntry& entry, unsigned attributeMask, unsigned flags);

// Reads the entries of a folder ("*.*" in it); an empty folder path means the current folder.
// False when the folder does not exist or cannot be entered.
using TFolderReader = std::function<bool(const QString& folder, std::vector<TListingEntry>& entries)>;

// The folder a listing reads: "X:\folder\" loses its trailing "\"; "\" alone means the
// current folder (empty).
QString ListingFolder(const QString& folder);
