#include "RowListView.h"

#include <QEvent>
#include <QHeaderView>
#include <algorithm>

RowListView::RowListView(QWidget* parent) : QTableView(parent) {
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setSelectionBehavior(SelectRows);
    setEditTriggers(NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* captions = horizontalHeader();
    captions->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    captions->setHighlightSections(false);
    captions->setSectionsClickable(false); // views that sort by a column turn it on
    captions->setStretchLastSection(true);
    fitRowHeight();
}

QModelIndex RowListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if ((action != MoveHome && action != MoveEnd) || !model() || model()->rowCount() == 0)
        return QTableView::moveCursor(action, modifiers);
    const int row = action == MoveHome ? 0 : model()->rowCount() - 1;
    return model()->index(row, std::max(0, currentIndex().column()));
}

void RowListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitRowHeight();
    QTableView::changeEvent(event);
}

// A line of text or a small icon, whichever is taller, and the item's margins.
void RowListView::fitRowHeight() {
    const int icon =
        iconSize().isValid() ? iconSize().height() : style()->pixelMetric(QStyle::PM_SmallIconSize);
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height(), icon) + 4);
}
