#include "GridView.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tavrin
{
namespace
{

// How near a column's border the pointer takes hold of it, and how narrow a
// column may be dragged.
constexpr int kBorderReach = 3;
constexpr int kNarrowest = 8;

} // namespace

GridView::GridView(QWidget* parent) : QTableView(parent)
{
    viewport()->setMouseTracking(true);
}

int GridView::borderAt(int x) const
{
    const QHeaderView* columns = horizontalHeader();
    int found = -1;
    int nearest = kBorderReach + 1;
    for (int c = 0; c < columns->count(); ++c) {
        if (columns->isSectionHidden(c) || columnWidth(c) == 0)
            continue;
        const int distance = std::abs(columnViewportPosition(c) + columnWidth(c) - x);
        if (distance < nearest) {
            nearest = distance;
            found = c;
        }
    }
    return found;
}

bool GridView::textCutOff(const QModelIndex& index) const
{
    if (!index.isValid())
        return false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    // The width the text needs on one line, with the cell's margins.
    option.features &= ~QStyleOptionViewItem::WrapText;
    const QSize needed = itemDelegateForIndex(index)->sizeHint(option, index);
    return needed.width() > option.rect.width() ||
           index.data().toString().contains(QLatin1Char('\n'));
}

bool GridView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (textCutOff(index)) {
            QToolTip::showText(help->globalPos(), index.data().toString(), viewport(),
                               visualRect(index));
            return true;
        }
    }
    return QTableView::viewportEvent(event);
}

void GridView::mousePressEvent(QMouseEvent* event)
{
    const int x = event->position().toPoint().x();
    const int column = event->button() == Qt::LeftButton ? borderAt(x) : -1;
    if (column < 0) {
        QTableView::mousePressEvent(event);
        return;
    }
    dragged_ = column;
    dragFrom_ = x;
    widthFrom_ = columnWidth(column);
    event->accept();
}

void GridView::mouseMoveEvent(QMouseEvent* event)
{
    const int x = event->position().toPoint().x();
    if (dragged_ >= 0) {
        setColumnWidth(dragged_, std::max(kNarrowest, widthFrom_ + x - dragFrom_));
        event->accept();
        return;
    }
    const bool onBorder = event->buttons() == Qt::NoButton && borderAt(x) >= 0;
    if (onBorder != viewport()->testAttribute(Qt::WA_SetCursor)) {
        if (onBorder)
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
    }
    QTableView::mouseMoveEvent(event);
}

void GridView::mouseReleaseEvent(QMouseEvent* event)
{
    if (dragged_ < 0) {
        QTableView::mouseReleaseEvent(event);
        return;
    }
    const int column = std::exchange(dragged_, -1);
    event->accept();
    emit columnWidened(column, columnWidth(column));
}

// A double click on a border fits the column to its text; elsewhere it is the
// row's double click.
void GridView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int column =
        event->button() == Qt::LeftButton ? borderAt(event->position().toPoint().x()) : -1;
    if (column < 0) {
        QTableView::mouseDoubleClickEvent(event);
        return;
    }
    resizeColumnToContents(column);
    event->accept();
    emit columnWidened(column, columnWidth(column));
}

} // namespace tavrin
