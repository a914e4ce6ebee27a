#include "textfit.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

namespace qmv {

namespace {

// The item view's margins around a cell's text.
int CellMargin(const QTreeWidget* list) {
    return 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1) + 4;
}

} // namespace

void FitColumns(QTreeWidget* list, const QStringList& samples) {
    QHeaderView* header = list->header();
    for (int c = 0; c < list->columnCount(); ++c) {
        // Public in the base class only.
        const QAbstractItemView* view = list;
        int need = std::max(header->sectionSizeHint(c), view->sizeHintForColumn(c) + 2);
        if (c < samples.size() && !samples[c].isEmpty())
            need = std::max(need,
                            list->fontMetrics().horizontalAdvance(samples[c]) + CellMargin(list));
        if (list->columnWidth(c) < need)
            list->setColumnWidth(c, need);
    }
}

int ColumnsWidth(const QTreeWidget* list) {
    int width = 2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int last = list->columnCount() - 1;
    while (last >= 0 && list->isColumnHidden(last))
        --last;
    for (int c = 0; c <= last; ++c) {
        if (list->isColumnHidden(c))
            continue;
        // A stretched last column fills whatever room it is given: count what it needs.
        if (c == last && list->header()->stretchLastSection()) {
            const QAbstractItemView* view = list;
            width += std::max(list->header()->sectionSizeHint(c), view->sizeHintForColumn(c));
        } else {
            width += list->columnWidth(c);
        }
    }
    return width;
}

int RowsHeight(const QTreeWidget* list, int rows) {
    int row = list->topLevelItemCount() > 0 ? list->sizeHintForRow(0) : 0;
    if (row <= 0)
        row = list->fontMetrics().height() + 4;
    const int header = list->header()->isHidden() ? 0 : list->header()->sizeHint().height();
    return 2 * list->frameWidth() + header + rows * row;
}

} // namespace qmv
