#include "TreeListDelegate.h"

#include "RowTexts.h"
#include "TextShortening.h"
#include "TreeList.h"
#include "TreeListFlags.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int kIconSize = 16;
constexpr int kIconGap = 4;
constexpr int kTimeOffset = 60;
}  // namespace

TTreeListDelegate::TTreeListDelegate(TTreeList* list) : QStyledItemDelegate(list), m_list(list) {}

int TTreeListDelegate::RowWidth(const TTreeList& list, const QFontMetrics& metrics, int row)
{
    const TTreeRow data = list.Model()->Row(row);
    return metrics.horizontalAdvance(data.text) + data.level * list.Indent() + kIconGap + list.TextMargin();
}

QSize TTreeListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const unsigned flags = m_list->Flags();
    const int width = (flags & (kTreeShowSize | kTreeShowModified))
                          ? m_list->viewport()->width()
                          : RowWidth(*m_list, option.fontMetrics, index.row());
    return {width, TTreeList::kRowHeight};
}

void TTreeListDelegate::PaintTreeLines(QPainter* painter, const QRect& rect, int row, int level) const
{
    const TTreeListModel& model = *m_list->Model();
    const int indent = m_list->Indent();
    const int middle = rect.top() + rect.height() / 2;
    // The column of a level's lines runs under the middle of its parent's icon.
    auto column = [&](int ofLevel) { return rect.left() + (ofLevel - 1) * indent + kIconGap + kIconSize / 2; };
    auto hasLaterSibling = [&](int atLevel) {
        for (int next = row + 1; next < model.rowCount(); ++next) {
            const int nextLevel = model.RowLevel(next);
            if (nextLevel < atLevel)
                return false;
            if (nextLevel == atLevel)
                return true;
        }
        return false;
    };
    painter->setPen(m_list->palette().color(QPalette::Dark));
    const int x = column(level);
    painter->drawLine(x, middle, x + indent / 2, middle);
    if (row > 0)
        painter->drawLine(x, rect.top(), x, middle);
    if (hasLaterSibling(level))
        painter->drawLine(x, middle, x, rect.bottom());
    for (int ancestor = level - 1; ancestor >= 1; --ancestor)
        if (hasLaterSibling(ancestor))
            painter->drawLine(column(ancestor), rect.top(), column(ancestor), rect.bottom());
}

void TTreeListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const TTreeRow row = m_list->Model()->Row(index.row());
    const unsigned flags = m_list->Flags();
    const QRect rect = option.rect;
    const QPalette& colours = option.palette;
    painter->save();
    painter->fillRect(rect, colours.color(QPalette::Base));

    const int iconX = rect.left() + row.level * m_list->Indent() + kIconGap;
    const int textX = iconX + m_list->TextMargin();
    if ((flags & kTreeModeFlag) && row.level > 0)
        PaintTreeLines(painter, rect, index.row(), row.level);
    if (row.icon != 0)
        TreeIcon(row.icon).paint(painter, QRect(iconX, rect.top() + (rect.height() - kIconSize) / 2, kIconSize,
                                                kIconSize));

    int clipX = rect.right() + 1;
    if (flags & kTreeShowSize)
        clipX = rect.left() + m_list->SizeColumnX();
    else if (flags & kTreeShowModified)
        clipX = rect.left() + m_list->ModifiedColumnX();
    const QFontMetrics& metrics = option.fontMetrics;
    const QString name = ShortenToWidth(row.text, clipX - textX - 2,
                                        [&metrics](const QString& t) { return metrics.horizontalAdvance(t); });
    const QRect nameRect(textX, rect.top(), metrics.horizontalAdvance(name) + 4, rect.height());
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(nameRect, colours.color(QPalette::Highlight));
    painter->setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(nameRect.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, name);

    painter->setPen(colours.color(QPalette::Text));
    if ((flags & kTreeShowSize) && row.type == kRowFile && row.size >= 0) {
        const QRect sizeRect(rect.left() + m_list->SizeColumnX(), rect.top(),
                             m_list->ModifiedColumnX() - m_list->SizeColumnX(), rect.height());
        painter->drawText(sizeRect, Qt::AlignVCenter | Qt::AlignRight | Qt::TextSingleLine, SizeText(row.size));
    }
    if ((flags & kTreeShowModified) && row.Time() != 0) {
        const int dateX = rect.left() + m_list->ModifiedColumnX();
        const QRect dateRect(dateX, rect.top(), rect.right() - dateX, rect.height());
        const QString date = ModifiedDateText(row.Time());
        painter->drawText(dateRect, Qt::AlignVCenter | Qt::TextSingleLine, date);
        // A long locale date pushes the times along rather than under it, all by the same amount.
        const int timeOffset = std::max(kTimeOffset, WidestDateWidth(metrics) + 6);
        painter->drawText(dateRect.adjusted(timeOffset, 0, 0, 0), Qt::AlignVCenter | Qt::TextSingleLine,
                          ModifiedTimeText(row.Time()));
    }

    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(colours.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }
    if (index.row() == m_list->DragOverRow()) {
        painter->setPen(colours.color(QPalette::Highlight));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}
