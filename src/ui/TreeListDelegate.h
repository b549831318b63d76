// Paints tree list rows: indent and tree lines, icon, shortened name, size and date columns.
#pragma once

#include <QStyledItemDelegate>

class TTreeList;

class TTreeListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TTreeListDelegate(TTreeList* list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The width a row's full text needs, from the list's left edge.
    static int RowWidth(const TTreeList& list, const QFontMetrics& metrics, int row);

private:
    void PaintTreeLines(QPainter* painter, const QRect& rect, int row, int level) const;

    TTreeList* m_list;
};
