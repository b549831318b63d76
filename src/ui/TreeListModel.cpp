#include "TreeListModel.h"

#include "TreeListFlags.h"
#include "TreeRowOrder.h"

#include <QStringList>

#include <algorithm>

TTreeListModel::TTreeListModel(QObject* parent) : QAbstractListModel(parent) {}

int TTreeListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant TTreeListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !IsValid(index.row()))
        return {};
    const Entry& entry = m_rows[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return RowVisibleText(entry.encoded);
    case EncodedRole:
        return entry.encoded;
    case ItemDataRole:
        return QVariant::fromValue(entry.itemData);
    default:
        return {};
    }
}

Qt::ItemFlags TTreeListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

int TTreeListModel::AddRow(const TTreeRow& row, quintptr itemData)
{
    return InsertRow(static_cast<int>(m_rows.size()), row, itemData);
}

int TTreeListModel::InsertRow(int index, const TTreeRow& row, quintptr itemData)
{
    index = std::clamp(index, 0, static_cast<int>(m_rows.size()));
    beginInsertRows(QModelIndex(), index, index);
    m_rows.insert(m_rows.begin() + index, Entry{EncodeRow(row), itemData});
    endInsertRows();
    return index;
}

int TTreeListModel::InsertSorted(const TTreeRow& row, unsigned flags, quintptr itemData)
{
    int low = 0;
    int high = static_cast<int>(m_rows.size());
    while (low < high) {
        const int middle = (low + high) / 2;
        if (CompareRows(row, Row(middle), flags) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return InsertRow(low, row, itemData);
}

void TTreeListModel::RemoveRow(int index)
{
    if (!IsValid(index))
        return;
    beginRemoveRows(QModelIndex(), index, index);
    m_rows.erase(m_rows.begin() + index);
    endRemoveRows();
}

void TTreeListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void TTreeListModel::SetRow(int index, const TTreeRow& row)
{
    if (!IsValid(index))
        return;
    m_rows[static_cast<size_t>(index)].encoded = EncodeRow(row);
    const QModelIndex changed = this->index(index);
    emit dataChanged(changed, changed);
}

TTreeRow TTreeListModel::Row(int index) const
{
    if (!IsValid(index)) {
        TTreeRow none;
        none.type = -1;
        return none;
    }
    return DecodeRow(m_rows[static_cast<size_t>(index)].encoded);
}

QString TTreeListModel::RowString(int index) const
{
    return IsValid(index) ? m_rows[static_cast<size_t>(index)].encoded : QString();
}

quintptr TTreeListModel::RowItemData(int index) const
{
    return IsValid(index) ? m_rows[static_cast<size_t>(index)].itemData : 0;
}

QString TTreeListModel::RowFullPath(int index) const
{
    if (!IsValid(index))
        return {};
    const TTreeRow row = Row(index);
    if (m_flags & kTreeModeFlag) {
        QStringList names{row.text};
        int level = row.level;
        for (int i = index - 1; i >= 0 && level > 0; --i) {
            const TTreeRow above = Row(i);
            if (above.level < level) {
                names.prepend(above.text);
                level = above.level;
            }
        }
        return names.join(QLatin1Char('\\'));
    }
    QString path = m_baseFolder;
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('\\')))
        path += QLatin1Char('\\');
    return path + row.text;
}

int TTreeListModel::FindRow(const QString& text) const
{
    for (int i = 0; i < rowCount(); ++i)
        if (RowText(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
