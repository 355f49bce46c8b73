// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logpager.h"

#include "log/candatamodel.h"
#include "log/logpagemodel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <QWheelEvent>
#include <algorithm>

namespace {
constexpr int WheelStep = 120; // one notch of a mouse wheel
}

LogPager::LogPager(QTableView *view, QScrollBar *bar, CanDataModel *log, QObject *parent)
    : QObject(parent), view(view), viewport(view->viewport()), bar(bar),
      model(new LogPageModel(log, this))
{
    view->setModel(model);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->installEventFilter(this);
    viewport->installEventFilter(this);
    bar->setRange(0, 0);
    connect(bar, &QScrollBar::valueChanged, this, &LogPager::onBarMoved);
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &index) { onCurrentChanged(index.row()); });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LogPager::onViewSelection);
    connect(log, &QAbstractItemModel::modelReset, this, [this] {
        current = -1;
        anchor = -1;
        follow = true;
        const bool had = !picked.isEmpty();
        picked.clear();
        updateRange();
        if (had)
            emit selectedRowsChanged();
    });
}

int LogPager::visibleCount() const
{
    const int rowHeight = qMax(1, view->verticalHeader()->defaultSectionSize());
    return qMax(1, viewport->height() / rowHeight);
}

int LogPager::rowCount() const
{
    return model->source()->rowCount();
}

int LogPager::lastFirst() const
{
    return qMax(0, rowCount() - visibleCount());
}

void LogPager::updateRange()
{
    const bool wasFollowing = follow;
    bar->setRange(0, lastFirst());
    bar->setPageStep(visibleCount());
    if (wasFollowing)
        bar->setValue(bar->maximum());
    model->setPage(bar->value(), visibleCount() + 1); // the last row may show in part
    follow = bar->value() == bar->maximum();
    mirror();
}

void LogPager::onRowsAdded()
{
    model->refresh();
    updateRange();
    if (!follow)
        return;
    // Following the newest row moves the current row with it, but keeps the rows the user
    // picked.
    if (picked.count() <= 1)
        showRow(rowCount() - 1);
    else
        scrollTo(rowCount() - 1);
}

void LogPager::onBarMoved(int value)
{
    moving = true;
    model->setPage(value, visibleCount() + 1);
    follow = value == bar->maximum();
    markCurrent();
    moving = false;
}

void LogPager::scrollTo(int row)
{
    const int first = model->first();
    if (row < first)
        bar->setValue(row);
    else if (row >= first + visibleCount())
        bar->setValue(row - visibleCount() + 1);
}

// The current row is a log row: when the page moves, its mark moves with it.
void LogPager::markCurrent()
{
    mirror();
    const int row = current - model->first();
    const QModelIndex index =
        row >= 0 && row < model->rowCount() ? model->index(row, 0) : QModelIndex();
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

// The view shows the selected log rows that are on its page.
void LogPager::mirror()
{
    mirroring = true;
    QItemSelection shown;
    const qint64 first = model->first();
    const int lastColumn = model->columnCount() - 1;
    for (const RowSelection::Range &r : picked.within(first, first + model->rowCount()))
        shown.select(model->index(int(r.first - first), 0),
                     model->index(int(r.end - 1 - first), lastColumn));
    view->selectionModel()->select(shown, QItemSelectionModel::ClearAndSelect);
    mirroring = false;
}

void LogPager::pick(const RowSelection &rows)
{
    const bool changed = rows != picked;
    picked = rows;
    mirror();
    if (changed)
        emit selectedRowsChanged();
}

// The user moved to another row: alone, or extending the selection from the anchor.
void LogPager::moveTo(int row, bool extend)
{
    const int total = rowCount();
    if (total == 0)
        return;
    current = qBound(0, row, total - 1);
    scrollTo(current);
    RowSelection rows;
    if (!extend || anchor < 0)
        anchor = current;
    rows.set(anchor, current);
    pick(rows);
    moving = true;
    markCurrent();
    moving = false;
    emit currentRowChanged(current);
}

void LogPager::onCurrentChanged(int pageRow)
{
    if (moving || pageRow < 0)
        return;
    current = model->sourceRow(pageRow);
    emit currentRowChanged(current);
}

// Rows the view's own selection took or dropped (its mouse, or a caller) are the log's too.
void LogPager::onViewSelection(const QItemSelection &selected, const QItemSelection &deselected)
{
    if (mirroring)
        return;
    RowSelection rows = picked;
    for (const QItemSelectionRange &r : deselected)
        rows.remove(model->sourceRow(r.top()), model->sourceRow(r.bottom()));
    for (const QItemSelectionRange &r : selected)
        rows.add(model->sourceRow(r.top()), model->sourceRow(r.bottom()));
    if (rows != picked) {
        picked = rows;
        emit selectedRowsChanged();
    }
}

void LogPager::showRow(int row)
{
    const int total = rowCount();
    if (total == 0)
        return;
    current = qBound(0, row, total - 1);
    anchor = current;
    scrollTo(current);
    RowSelection rows;
    rows.set(current, current);
    moving = true;
    pick(rows);
    markCurrent();
    moving = false;
}

void LogPager::selectAll()
{
    if (rowCount() == 0)
        return;
    RowSelection rows;
    rows.set(0, rowCount() - 1);
    pick(rows);
}

bool LogPager::onKey(QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return true;
    }
    const int page = visibleCount();
    const int from = current < 0 ? model->first() : current;
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Up:
        moveTo(from - 1, extend);
        return true;
    case Qt::Key_Down:
        moveTo(from + 1, extend);
        return true;
    case Qt::Key_PageUp:
        moveTo(from - page, extend);
        return true;
    case Qt::Key_PageDown:
        moveTo(from + page, extend);
        return true;
    case Qt::Key_Home:
        moveTo(0, extend);
        return true;
    case Qt::Key_End:
        moveTo(rowCount() - 1, extend);
        return true;
    default:
        return false;
    }
}

// The log row under a point of the viewport: rows above and below the page scroll it a row.
int LogPager::rowAt(int y)
{
    if (y < 0 && model->first() > 0)
        bar->setValue(bar->value() - 1);
    else if (y >= viewport->height())
        bar->setValue(bar->value() + 1);
    const int pageRow = view->rowAt(qBound(0, y, viewport->height() - 1));
    if (pageRow < 0)
        return model->rowCount() > 0 ? model->sourceRow(model->rowCount() - 1) : -1;
    return model->sourceRow(pageRow);
}

bool LogPager::onMouse(QMouseEvent *event)
{
    const bool press =
        event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    if (event->type() == QEvent::MouseButtonRelease) {
        dragging = false;
        return false;
    }
    if (press && event->button() == Qt::LeftButton && view->rowAt(event->pos().y()) < 0) {
        anchor = -1; // below the last row: nothing
        pick(RowSelection());
        return true;
    }
    if (press && event->button() == Qt::LeftButton) {
        const int row = rowAt(event->pos().y());
        const bool shift = event->modifiers() & Qt::ShiftModifier;
        const bool ctrl = event->modifiers() & Qt::ControlModifier;
        view->setFocus(Qt::MouseFocusReason);
        dragBase = ctrl ? picked : RowSelection();
        RowSelection rows = dragBase;
        if (ctrl && !shift)
            rows.toggle(row);
        else
            rows.add(shift && anchor >= 0 ? anchor : row, row);
        if (!shift)
            anchor = row;
        dragging = true;
        current = row;
        pick(rows);
    } else if (event->type() == QEvent::MouseMove && dragging &&
               (event->buttons() & Qt::LeftButton)) {
        const int row = rowAt(event->pos().y());
        if (row == current || row < 0 || anchor < 0)
            return true;
        RowSelection rows = dragBase;
        rows.add(anchor, row);
        current = row;
        pick(rows);
    } else {
        return false;
    }
    moving = true;
    markCurrent();
    moving = false;
    emit currentRowChanged(current);
    return true;
}

bool LogPager::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view && event->type() == QEvent::KeyPress)
        return onKey(static_cast<QKeyEvent *>(event));
    if (watched != viewport)
        return false;
    switch (event->type()) {
    case QEvent::Wheel: {
        const int notches = static_cast<QWheelEvent *>(event)->angleDelta().y() / WheelStep;
        bar->setValue(bar->value() - notches * QApplication::wheelScrollLines());
        return true;
    }
    case QEvent::Resize:
        updateRange();
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
        return onMouse(static_cast<QMouseEvent *>(event));
    default:
        return false;
    }
}
