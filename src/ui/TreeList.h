// The list control of the file panes: rows carry their kind, level, icon, size and time; names
// are shortened to fit; rows can be dragged to another tree list, and local rows to other programs.
#pragma once

#include "ListingRows.h"
#include "TreeListModel.h"

#include <QIcon>
#include <QListView>
#include <QPointer>

#include <functional>
#include <map>
#include <vector>

class QMimeData;

// The MIME type of rows dragged between tree lists.
inline constexpr char kTreeRowsMimeType[] = "application/x-vantry-tree-rows";
inline constexpr char kDropTargetMarker[] = "IsAtReElIsT";

// The icon of a resource id (cached; a null icon for an unknown id).
QIcon TreeIcon(int id);

class TTreeList : public QListView {
    Q_OBJECT
public:
    static constexpr int kMaxDropTargets = 32;
    static constexpr int kRowHeight = 17;

    explicit TTreeList(QWidget* parent = nullptr);
    ~TTreeList() override;

    TTreeListModel* Model() const { return m_model; }

    // Listing flags and columns.
    unsigned Flags() const { return m_model->Flags(); }
    void SetFlags(unsigned flags);
    void SetColumns(int sizeX, int modifiedX);
    int SizeColumnX() const { return m_sizeX; }
    int ModifiedColumnX() const { return m_modifiedX; }
    int TextMargin() const { return m_margin; }
    int Indent() const { return m_indent; }

    // Lists a local folder: one row per shown entry, in sorted position (path mode first adds a
    // row for each part of the base folder). Rows already in the list stay. Returns 0, or -1
    // when the folder cannot be entered.
    int ListFolder(unsigned attributeMask, const QString& pattern, unsigned flags, const QString& baseFolder);
    // How ListFolder reads folders: through the local file layer unless another reader is set.
    void SetFolderReader(TFolderReader reader) { m_readFolder = std::move(reader); }

    // Dragging rows out: with no targets any window may receive them; at most 32 are kept.
    void EnableDrag(bool enable, const std::vector<QWidget*>& targets = {});
    bool AllowsTarget(const QWidget* target) const;
    // Receiving rows from other tree lists.
    void AcceptDrops(bool accept);
    bool AcceptsDrops() const { return m_acceptsDrops; }
    // Receiving local files from other programs (file:// URIs).
    void AcceptFileDrops(bool accept) { m_acceptsFiles = accept; }
    // Turns a row's full path into the POSIX path it stands for (LocalPosixPath); set on lists
    // of local rows only, whose drags then also offer file:// URIs to other programs.
    void SetPosixPathMapper(std::function<QString(const QString&)> mapper) { m_posixPath = std::move(mapper); }
    // Emit deletePressed for the Delete key with rows selected.
    void SetDeleteNotify(bool notify) { m_deleteNotify = notify; }

    // Selected rows in list order.
    std::vector<int> SelectedRows() const;
    // The data a drag of the selection carries; null when there is nothing to drag.
    QMimeData* DragMimeData() const;
    // The widest row needing horizontal scrolling, or 0 when every row fits.
    int HorizontalExtent() const;
    // The row under a drag, or -1.
    int DragOverRow() const { return m_dragOverRow; }

    // The list a drag's data came from, when it came from a live tree list of this process.
    static TTreeList* DragSource(const QMimeData* mime);

signals:
    // Rows of `source` were dropped on this list at `row` (-1 when not on a row).
    void rowsDropped(int row, TTreeList* target, TTreeList* source);
    void rowDoubleClicked(TTreeList* list);
    // Local files of another program were dropped at `row`: their POSIX paths.
    void filesDropped(int row, const QStringList& paths);
    void deletePressed();

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

protected:
    // Lists the rows itself for the flag kTreeOwnEnumeration; returns as ListFolder.
    virtual int ListOwnRows(unsigned /*attributeMask*/, const QString& /*pattern*/) { return 0; }

private:
    bool CanReceive(const QMimeData* mime) const;
    // The local files a drop from another program carries; empty when it carries anything else.
    QStringList DroppedFiles(const QMimeData* mime) const;
    void SetDragOverRow(int row);

    TTreeListModel* m_model;
    int m_margin = 20;
    int m_indent = 14;
    int m_sizeX = 0;
    int m_modifiedX = 0;
    bool m_dragEnabled = false;
    std::vector<QPointer<QWidget>> m_targets;
    bool m_acceptsDrops = false;
    bool m_acceptsFiles = false;
    bool m_deleteNotify = false;
    int m_dragOverRow = -1;
    std::function<QString(const QString&)> m_posixPath;
    TFolderReader m_readFolder;
};
