#include "PaneRules.h"

#include "MessageBoxes.h"
#include "StringTable.h"
#include "TreeListFlags.h"

namespace {
constexpr int kMaxConfirmNames = 25;
constexpr QChar kSeparator = QLatin1Char('\\');
} // namespace

unsigned TPaneView::ListingFlags() const
{
    if (mode == EViewMode::List)
        return kTreeSortName | kTreeKeepParentRow;
    static constexpr unsigned kKeys[] = {kTreeSortName, kTreeSortSize, kTreeSortTime};
    const unsigned key = sortKey >= 0 && sortKey < 3 ? kKeys[sortKey] : kTreeSortName;
    return key | kTreeKeepParentRow | (ascending ? 0u : kTreeDescending);
}

void TPaneView::Sort(int key)
{
    if (key == sortKey) {
        ascending = !ascending;
        return;
    }
    sortKey = key;
    ascending = true;
}

int TPaneView::HeaderState(int key) const
{
    if (key != sortKey)
        return 0;
    return ascending ? 1 : 2;
}

QString ParentFolder(const QString& folder)
{
    const int cut = folder.lastIndexOf(kSeparator, folder.endsWith(kSeparator) ? folder.size() - 2 : -1);
    if (cut < 0)
        return folder;
    if (cut > 0 && folder.at(cut - 1) == QLatin1Char(':'))
        return folder.left(cut + 1);
    return folder.left(cut);
}

bool IsFolderRoot(const QString& folder)
{
    if (folder.isEmpty() || folder == QStringLiteral("Desktop"))
        return true;
    // "X:", "X:\" and the local desktop volume's "Desktop:\".
    return folder.endsWith(QLatin1Char(':')) || folder.endsWith(QStringLiteral(":\\"));
}

bool TColumnBounds::MoveNameSize(int x, int width)
{
    if (!(19 < x && x < width - 10))
        return false;
    nameSize = x;
    if (sizeModified <= x)
        sizeModified = (width + x) / 2;
    return true;
}

bool TColumnBounds::MoveSizeModified(int x, int width)
{
    if (!(49 < x && x < width - 20))
        return false;
    sizeModified = x;
    if (nameSize >= x)
        nameSize = x / 2;
    return true;
}

TPaneLayout LayOutPanes(QSize client, int margin, int firstPaneWidth)
{
    const int width = client.width() - 2 * margin;
    const int height = (client.height() - 14 - 5 * margin) / 2;
    if (width < firstPaneWidth)
        return {};
    return {QRect(margin, margin, width, height), QRect(margin, 2 * margin + height, width, height)};
}

QString ConfirmNames(const QStringList& names, const QString& separator)
{
    QString text;
    for (int i = 0; i < names.size(); ++i) {
        if (i == kMaxConfirmNames) {
            text += QStringLiteral(" ...");
            break;
        }
        text += names.at(i) + separator;
    }
    return text;
}

QString CopyConfirmCaption(bool fromLocal)
{
    return TableString(fromLocal ? IDS_CONFIRM_LOCAL_TO_REMOTE : IDS_CONFIRM_REMOTE_TO_LOCAL);
}

QString CopyConfirmText(bool fromLocal, const QStringList& names, const QString& destination)
{
    return TableString(IDS_CONFIRM_COPY_TEXT) + QStringLiteral("\n\n") +
           TableString(fromLocal ? IDS_FROM_LOCAL : IDS_FROM_REMOTE) + ConfirmNames(names, QStringLiteral(" ")) +
           QStringLiteral("\n\n") + TableString(fromLocal ? IDS_TO_REMOTE_FOLDER : IDS_TO_LOCAL_FOLDER) +
           QStringLiteral(" ") + destination;
}

QString RemoveConfirmCaption(bool local)
{
    return TableString(local ? IDS_CONFIRM_LOCAL_REMOVE : IDS_CONFIRM_REMOTE_REMOVE);
}

QString RemoveConfirmText(bool local, const QStringList& names)
{
    return TableString(local ? IDS_CONFIRM_LOCAL_REMOVE_TEXT : IDS_CONFIRM_REMOTE_REMOVE_TEXT) +
           ConfirmNames(names, QStringLiteral("  "));
}
