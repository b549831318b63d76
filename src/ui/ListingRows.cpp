#include "ListingRows.h"

#include "IconIds.h"
#include "TreeListFlags.h"

#include <utility>

int IconForName(const QString& name, bool folder)
{
    if (folder)
        return name == QStringLiteral("..") ? kIconParentFolder : kIconFolder;
    static const std::pair<const char*, int> kEndings[] = {
        {".exe", kIconProgram},  {".com", kIconProgram},   {".ini", kIconSettings},  {".inf", kIconSettings},
        {".dll", kIconLibrary},  {".sys", kIconLibrary},   {".txt", kIconText},      {".grp", kIconGroup},
        {".bat", kIconBatch},    {".bmp", kIconBitmap},    {".gif", kIconGif},       {".wri", kIconWrite},
        {".hlp", kIconHelp},     {".wav", kIconSound},     {".htm", kIconWebPage},   {".html", kIconWebPage},
        {".ttf", kIconTrueType}, {".fon", kIconFont},      {".reg", kIconRegistry},
    };
    for (const auto& [ending, icon] : kEndings)
        if (name.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return icon;
    return kIconDocument;
}

std::optional<TTreeRow> ListingRow(const TListingEntry& entry, unsigned attributeMask, unsigned flags)
{
    if (entry.name == QStringLiteral("."))
        return std::nullopt;
    const bool parent = entry.name == QStringLiteral("..");
    if (parent && !(flags & kTreeKeepParentRow))
        return std::nullopt;
    if (entry.attributes & (kAttrHidden | kAttrSystem))
        return std::nullopt;
    const bool plainFile = (entry.attributes & ~(kAttrReadOnly | kAttrArchive | kAttrNormal)) == 0;
    if (!(entry.attributes & attributeMask) && !plainFile)
        return std::nullopt;

    TTreeRow row;
    row.text = entry.name;
    if (entry.attributes & kAttrDirectory) {
        row.type = kRowFolder;
        row.icon = IconForName(entry.name, true);
        return row;
    }
    row.type = kRowFile;
    row.icon = IconForName(entry.name, false);
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
