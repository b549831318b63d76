// The rules of a file pane that need no widget: listing flags from the view and sort state,
// folder paths, the column boundaries a user drags, the window's pane layout, the selection
// a list remembers across focus changes, and the confirmation texts of the window's commands.
#pragma once

#include "NewFolderChecks.h"

#include <QRect>
#include <QString>
#include <QStringList>

enum class EViewMode { List, Details };

// View and sort state of one pane. A new pane starts in details mode, sorted by name ascending.
struct TPaneView {
    static constexpr int kSortName = 0;
    static constexpr int kSortSize = 1;
    static constexpr int kSortModified = 2;

    EViewMode mode = EViewMode::Details;
    int sortKey = kSortName;
    bool ascending = true;

    // The flags a listing asks for: 0x101 in list view; 0x101, 0x201 or 0x401 after the key in
    // details view, plus 0x1000 descending.
    unsigned ListingFlags() const;
    // Sorting by the current key flips the direction; another key starts ascending.
    void Sort(int key);
    // What a header button shows: 0 not the sort key, 1 ascending, 2 descending.
    int HeaderState(int key) const;
};

// Folder paths of the panes: "X:\" at a drive's root, "X:\dir" below it ("Desktop\dir" on a
// remote desktop volume); JoinFolder (NewFolderChecks.h) adds a name.
// Cuts the path at its last "\", keeping the "\" of a drive root.
QString ParentFolder(const QString& folder);
bool IsFolderRoot(const QString& folder);

// The Name/Size and Size/Modified boundaries of a details list `width` pixels wide.
struct TColumnBounds {
    int nameSize = 0;
    int sizeModified = 0;
    // Each returns false (and changes nothing) for a position outside the boundary's limits;
    // a boundary pushed past the other moves that one out of the way.
    bool MoveNameSize(int x, int width);
    bool MoveSizeModified(int x, int width);
};

// Where the window puts its panes in a client area, each keeping the left margin m of its
// frame; the panes grow with the window only once it is wider than their first width.
struct TPaneLayout {
    QRect local;
    QRect remote;
};
TPaneLayout LayOutPanes(QSize client, int margin, int firstPaneWidth);

// The rows a list had selected when it lost the focus, taken back when it gets it again.
class TSelectionMemory {
public:
    void Remember(const QStringList& texts) { m_texts = texts; }
    const QStringList& Texts() const { return m_texts; }
    void Clear() { m_texts.clear(); }

private:
    QStringList m_texts;
};

// The names of a confirmation: each followed by `separator`, at most 25, then " ...".
QString ConfirmNames(const QStringList& names, const QString& separator);
// The copy confirmation's caption and text.
QString CopyConfirmCaption(bool fromLocal);
QString CopyConfirmText(bool fromLocal, const QStringList& names, const QString& destination);
QString RemoveConfirmCaption(bool local);
QString RemoveConfirmText(bool local, const QStringList& names);
