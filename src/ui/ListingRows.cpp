#include "ListingRows.h"

#include "LocalIcons.h"
#include "TreeListFlags.h"

namespace {

int LocalIcon(const QString& name, bool folder)
{
    // The rule looks only at ASCII endings, which read the same in UTF-8 as in the ANSI page.
    return GetLocalIconId(name.toUtf8().constData(), folder ? 1 : 0);
}

}  // namespace

std::optional<TTreeRow> ListingRow(const TListingEntry& entry, unsigned attributeMask, unsigned flags)
{
    if (entry.name == QStringLiteral("."))
        return std::nullopt;
    const bool parent = entry.name == QStringLiteral("..");
    if (parent && !(flags & kTreeKeepParentRow))
        return std::nullopt;
    if (entry.attributes & (kOVF_attrHidden | kOVF_attrSystem))
        return std::nullopt;
    const bool plainFile = (entry.attributes & ~(kOVF_attrReadOnly | kOVF_attrArchive | kOVF_attrNormal)) == 0;
    if (!(entry.attributes & attributeMask) && !plainFile)
        return std::nullopt;

    TTreeRow row;
    row.text = entry.name;
    if (entry.attributes & kOVF_attrDirectory) {
        row.type = kRowFolder;
        row.icon = LocalIcon(entry.name, true);
        return row;
    }
    row.type = kRowFile;
    row.icon = LocalIcon(entry.name, false);
    if (flags & kTreeShowSize)
        row.size = entry.size;
    if (flags & kTreeShowModified)
        row.SetTime(entry.fileTime);
    return row;
}

QString ListingFolder(const QString& folder)
{
    if (folder == QStringLiteral("\\"))
        return {};
    if (folder.size() >= 4 && folder.at(1) == QLatin1Char(':') && folder.endsWith(QLatin1Char('\\')))
        return folder.left(folder.size() - 1);
    return folder;
}
