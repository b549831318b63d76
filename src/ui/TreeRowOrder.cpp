#include "TreeRowOrder.h"

#include "TreeListFlags.h"

namespace {

int Sign(bool less, bool greater) { return less ? -1 : (greater ? 1 : 0); }

QString ExtensionThenName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? QString() : name.mid(dot)) + name;
}

int CompareByKey(const TTreeRow& a, const TTreeRow& b, unsigned flags)
{
    if ((flags & kTreeSortSize) && a.size >= 0 && b.size >= 0 && a.size != b.size)
        return Sign(a.size < b.size, a.size > b.size);
    if ((flags & kTreeSortTime) && a.Time() != 0 && b.Time() != 0 && a.Time() != b.Time())
        return Sign(a.Time() < b.Time(), a.Time() > b.Time());
    if (flags & kTreeSortExtension)
        return ExtensionThenName(a.text).compare(ExtensionThenName(b.text), Qt::CaseInsensitive);
    return a.text.compare(b.text, Qt::CaseInsensitive);
}

}  // namespace

int CompareRows(const TTreeRow& a, const TTreeRow& b, unsigned flags)
{
    const bool aFolder = a.type == kRowFolder;
    const bool bFolder = b.type == kRowFolder;
    if (aFolder != bFolder)
        return aFolder ? -1 : 1;
    const int order = CompareByKey(a, b, flags);
    return (flags & kTreeDescending) ? -order : order;
}
