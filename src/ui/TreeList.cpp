#include "TreeList.h"

#include "IconIds.h"
#include "LocalFolders.h"
#include "TreeListDelegate.h"
#include "TreeListFlags.h"

#include <QApplication>
#include <QDataStream>
#include <QDrag>
#include <QFile>
#include <QDragEnterEvent>
#include <QIODevice>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QSet>
#include <QUrl>

#include <algorithm>

namespace {

// Live tree lists, so that a drop can find the list its rows came from.
QSet<const TTreeList*>& LiveLists()
{
    static QSet<const TTreeList*> lists;
    return lists;
}

}  // namespace

QIcon TreeIcon(int id)
{
    static std::map<int, QIcon> cache;
    auto found = cache.find(id);
    if (found == cache.end()) {
        const QString path = QStringLiteral(":/vantry/icons/%1.png").arg(id);
        found = cache.emplace(id, QFile::exists(path) ? QIcon(path) : QIcon()).first;
    }
    return found->second;
}

TTreeList::TTreeList(QWidget* parent)
    : QListView(parent), m_model(new TTreeListModel(this)), m_readFolder(ReadLocalFolder)
{
    LiveLists().insert(this);
    setModel(m_model);
    setItemDelegate(new TTreeListDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The folder rows that every list shows are loaded up front.
    for (const int id : {kIconFolder, kIconOpenFolder, kIconParentFolder, kIconFixedDrive, kIconRemovableDrive})
        TreeIcon(id);
}

TTreeList::~TTreeList() { LiveLists().remove(this); }

void TTreeList::SetFlags(unsigned flags)
{
    m_model->SetFlags(flags);
    doItemsLayout();
    viewport()->update();
}

void TTreeList::SetColumns(int sizeX, int modifiedX)
{
    m_sizeX = sizeX;
    m_modifiedX = modifiedX;
    viewport()->update();
}

int TTreeList::ListFolder(unsigned attributeMask, const QString& pattern, unsigned flags, const QString& baseFolder)
{
    m_model->SetBaseFolder(baseFolder);
    SetFlags(flags);
    if (flags & kTreeOwnEnumeration)
        return ListOwnRows(attributeMask, pattern);

    const QString folder = ListingFolder(baseFolder);
    std::vector<TListingEntry> entries;
    if (!m_readFolder || !m_readFolder(folder, entries))
        return -1;

    if (flags & kTreePathMode) {
        int level = 0;
        for (const QString& part : baseFolder.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
            TTreeRow row;
            row.text = part;
            row.type = kRowFolder;
            row.level = level++;
            row.icon = kIconOpenFolder;
            m_model->AddRow(row);
        }
    }
    const bool tree = flags & kTreeModeFlag;
    for (const TListingEntry& entry : entries) {
        const std::optional<TTreeRow> row = ListingRow(entry, attributeMask, flags);
        if (!row)
            continue;
        if (tree)
            m_model->AddRow(*row);
        else
            m_model->InsertSorted(*row, flags);
    }
    return 0;
}

void TTreeList::EnableDrag(bool enable, const std::vector<QWidget*>& targets)
{
    m_dragEnabled = enable;
    m_targets.clear();
    for (QWidget* target : targets)
        if (m_targets.size() < kMaxDropTargets)
            m_targets.emplace_back(target);
    setDragEnabled(enable);
    setDragDropMode(enable || m_acceptsDrops ? QAbstractItemView::DragDrop : QAbstractItemView::NoDragDrop);
}

bool TTreeList::AllowsTarget(const QWidget* target) const
{
    if (!m_dragEnabled)
        return false;
    if (m_targets.empty())
        return true;
    return std::any_of(m_targets.begin(), m_targets.end(), [target](const QPointer<QWidget>& t) { return t == target; });
}

void TTreeList::AcceptDrops(bool accept)
{
    m_acceptsDrops = accept;
    setAcceptDrops(accept);
    viewport()->setAcceptDrops(accept);
    setWindowTitle(accept ? QString::fromLatin1(kDropTargetMarker) : QString());
    setDragDropMode(accept || m_dragEnabled ? QAbstractItemView::DragDrop : QAbstractItemView::NoDragDrop);
}

std::vector<int> TTreeList::SelectedRows() const
{
    std::vector<int> rows;
    const QModelIndexList selected = selectionModel()->selectedRows();
    for (const QModelIndex& index : selected)
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QMimeData* TTreeList::DragMimeData() const
{
    QStringList paths;
    QList<QUrl> urls;
    for (const int row : SelectedRows()) {
        if (m_model->RowText(row) == QStringLiteral(".."))
            continue;
        const QString path = m_model->RowFullPath(row);
        paths << path;
        if (m_posixPath) {
            const QString posix = m_posixPath(path);
            if (!posix.isEmpty())
                urls << QUrl::fromLocalFile(posix);
        }
    }
    if (paths.isEmpty())
        return nullptr;
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << QCoreApplication::applicationPid() << quint64(reinterpret_cast<quintptr>(this)) << paths;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kTreeRowsMimeType), payload);
    if (!urls.isEmpty())
        mime->setUrls(urls);
    return mime;
}

TTreeList* TTreeList::DragSource(const QMimeData* mime)
{
    if (!mime || !mime->hasFormat(QString::fromLatin1(kTreeRowsMimeType)))
        return nullptr;
    QDataStream in(mime->data(QString::fromLatin1(kTreeRowsMimeType)));
    qint64 pid = 0;
    quint64 source = 0;
    in >> pid >> source;
    if (in.status() != QDataStream::Ok || pid != QCoreApplication::applicationPid())
        return nullptr;
    const auto* list = reinterpret_cast<const TTreeList*>(static_cast<quintptr>(source));
    return LiveLists().contains(list) ? const_cast<TTreeList*>(list) : nullptr;
}

void TTreeList::startDrag(Qt::DropActions)
{
    if (!m_dragEnabled)
        return;
    QMimeData* mime = DragMimeData();
    if (!mime)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QPixmap noDrop = TreeIcon(kCursorNoDrop).pixmap(32);
    const QPixmap drop = TreeIcon(kCursorDrop).pixmap(32);
    if (!drop.isNull())
        drag->setDragCursor(drop, Qt::CopyAction);
    if (!noDrop.isNull())
        drag->setDragCursor(noDrop, Qt::IgnoreAction);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

bool TTreeList::CanReceive(const QMimeData* mime) const
{
    if (!m_acceptsDrops)
        return false;
    const TTreeList* source = DragSource(mime);
    if (!source)
        return !DroppedFiles(mime).isEmpty();
    return source != this && source->AllowsTarget(this);
}

QStringList TTreeList::DroppedFiles(const QMimeData* mime) const
{
    if (!m_acceptsFiles || !mime || !mime->hasUrls())
        return {};
    QStringList paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}

void TTreeList::SetDragOverRow(int row)
{
    if (row == m_dragOverRow)
        return;
    m_dragOverRow = row;
    viewport()->update();
}

void TTreeList::dragEnterEvent(QDragEnterEvent* event)
{
    if (!CanReceive(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TTreeList::dragMoveEvent(QDragMoveEvent* event)
{
    if (!CanReceive(event->mimeData())) {
        event->ignore();
        return;
    }
    SetDragOverRow(indexAt(event->position().toPoint()).row());
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TTreeList::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetDragOverRow(-1);
    event->accept();
}

void TTreeList::dropEvent(QDropEvent* event)
{
    SetDragOverRow(-1);
    if (!CanReceive(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    const int row = indexAt(event->position().toPoint()).row();
    if (TTreeList* source = DragSource(event->mimeData()))
        emit rowsDropped(row, this, source);
    else
        emit filesDropped(row, DroppedFiles(event->mimeData()));
}

void TTreeList::keyPressEvent(QKeyEvent* event)
{
    if (m_deleteNotify && event->key() == Qt::Key_Delete) {
        const bool single = selectionMode() == QAbstractItemView::SingleSelection;
        const bool anySelected = single ? currentIndex().row() > 0 : !SelectedRows().empty();
        if (anySelected)
            emit deletePressed();
    }
    QListView::keyPressEvent(event);
}

void TTreeList::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex current = currentIndex();
    if (current.isValid() && visualRect(current).contains(event->position().toPoint()))
        emit rowDoubleClicked(this);
    QListView::mouseDoubleClickEvent(event);
}

void TTreeList::resizeEvent(QResizeEvent* event)
{
    QListView::resizeEvent(event);
    // Rows with columns span the width of the list.
    if (m_model->Flags() & (kTreeShowSize | kTreeShowModified))
        doItemsLayout();
}

int TTreeList::HorizontalExtent() const
{
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int row = 0; row < m_model->rowCount(); ++row)
        widest = std::max(widest, TTreeListDelegate::RowWidth(*this, metrics, row));
    return widest >= viewport()->width() ? widest : 0;
}
