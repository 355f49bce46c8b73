// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logpager.h"

#include "log/candatamodel.h"
#include "log/logpagemodel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
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
            &LogPager::selectedRowsChanged);
    connect(log, &QAbstractItemModel::modelReset, this, [this] {
        current = -1;
        follow = true;
        updateRange();
    });
}

int LogPager::visibleCount() const
{
    const int rowHeight = qMax(1, view->verticalHeader()->defaultSectionSize());
    return qMax(1, viewport->height() / rowHeight);
}

int LogPager::lastFirst() const
{
    return qMax(0, model->source()->rowCount() - visibleCount());
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
}

void LogPager::onRowsAdded()
{
    model->refresh();
    updateRange();
    if (follow)
        showRow(model->source()->rowCount() - 1);
}

void LogPager::onBarMoved(int value)
{
    moving = true;
    model->setPage(value, visibleCount() + 1);
    follow = value == bar->maximum();
    markCurrent();
    moving = false;
}

// The current row is a log row: when the page moves, its mark moves with it.
void LogPager::markCurrent()
{
    const int row = current - model->first();
    if (row >= 0 && row < model->rowCount())
        view->selectionModel()->setCurrentIndex(
            model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        view->selectionModel()->clear();
}

void LogPager::onCurrentChanged(int pageRow)
{
    if (moving || pageRow < 0)
        return;
    current = model->sourceRow(pageRow);
    emit currentRowChanged(current);
}

QVector<qint64> LogPager::selectedRows() const
{
    QVector<qint64> rows;
    const QModelIndexList picked = view->selectionModel()->selectedRows();
    for (const QModelIndex &index : picked)
        rows.append(model->sourceRow(index.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void LogPager::showRow(int row)
{
    const int total = model->source()->rowCount();
    if (total == 0)
        return;
    current = qBound(0, row, total - 1);
    const int first = model->first();
    if (current < first)
        bar->setValue(current);
    else if (current >= first + visibleCount())
        bar->setValue(current - visibleCount() + 1);
    moving = true;
    markCurrent();
    moving = false;
}

bool LogPager::onKey(QKeyEvent *event)
{
    const int page = visibleCount();
    const int from = current < 0 ? model->first() : current;
    switch (event->key()) {
    case Qt::Key_Up:
        showRow(from - 1);
        return true;
    case Qt::Key_Down:
        showRow(from + 1);
        return true;
    case Qt::Key_PageUp:
        showRow(from - page);
        return true;
    case Qt::Key_PageDown:
        showRow(from + page);
        return true;
    case Qt::Key_Home:
        showRow(0);
        return true;
    case Qt::Key_End:
        showRow(model->source()->rowCount() - 1);
        return true;
    default:
        return false;
    }
}

bool LogPager::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view && event->type() == QEvent::KeyPress)
        return onKey(static_cast<QKeyEvent *>(event));
    if (watched != viewport)
        return false;
    if (event->type() == QEvent::Wheel) {
        const int notches = static_cast<QWheelEvent *>(event)->angleDelta().y() / WheelStep;
        bar->setValue(bar->value() - notches * QApplication::wheelScrollLines());
        return true;
    }
    if (event->type() == QEvent::Resize)
        updateRange();
    return false;
}
