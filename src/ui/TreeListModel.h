// The rows of a tree list: encoded row strings with their item data, kept in a list model.
#pragma once

#include "TreeRow.h"

#include <QAbstractListModel>

#include <vector>

class TTreeListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { EncodedRole = Qt::UserRole + 1, ItemDataRole };

    explicit TTreeListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Listing state: the flags and base folder of the last listing.
    unsigned Flags() const { return m_flags; }
    void SetFlags(unsigned flags) { m_flags = flags; }
    const QString& BaseFolder() const { return m_baseFolder; }
    void SetBaseFolder(const QString& folder) { m_baseFolder = folder; }

    // Appends or inserts an encoded row; returns its index.
    int AddRow(const TTreeRow& row, quintptr itemData = 0);
    int InsertRow(int index, const TTreeRow& row, quintptr itemData = 0);
    // Inserts in the position the listing flags give: after rows that compare equal.
    int InsertSorted(const TTreeRow& row, unsigned flags, quintptr itemData = 0);
    void RemoveRow(int index);
    void Clear();

    // Rewrites a row's string; its item data stays.
    void SetRow(int index, const TTreeRow& row);

    // Row facts; an index outside the list gives the defaults (type -1).
    TTreeRow Row(int index) const;
    QString RowString(int index) const;
    QString RowText(int index) const { return Row(index).text; }
    int RowType(int index) const { return Row(index).type; }
    int RowLevel(int index) const { return Row(index).level; }
    int RowIcon(int index) const { return Row(index).icon; }
    qint64 RowSize(int index) const { return Row(index).size; }
    std::uint64_t RowTime(int index) const { return Row(index).Time(); }
    quintptr RowItemData(int index) const;

    // The row's full path: its ancestors' names in tree mode, else the base folder and its name.
    QString RowFullPath(int index) const;

    // Index of the first row whose visible text equals `text` (case-insensitively), or -1.
    int FindRow(const QString& text) const;

private:
    struct Entry {
        QString encoded;
        quintptr itemData = 0;
    };
    bool IsValid(int index) const { return index >= 0 && index < static_cast<int>(m_rows.size()); }

    std::vector<Entry> m_rows;
    unsigned m_flags = 0;
    QString m_baseFolder;
};
