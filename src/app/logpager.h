// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/rowselection.h"

#include <QObject>
#include <QVector>

class CanDataModel;
class LogPageModel;
class QItemSelection;
class QKeyEvent;
class QMouseEvent;
class QScrollBar;
class QTableView;
class QWidget;

// Lets a table view page through a log of any length: the view shows a LogPageModel window of
// the rows that fit, and a scroll bar of its own walks the whole log. While the bar is at the
// bottom the view follows the newest row; scrolled away, it stays where the user left it.
//
// The selection is of log rows, not of the page's: a click, Shift+click on another page,
// Shift+arrows, Shift+PgUp/PgDn, Shift+Home/End, a drag, Ctrl+click and Ctrl+A pick rows of the
// whole log, and the view shows those of them that are on its page.
class LogPager final : public QObject
{
    Q_OBJECT

public:
    LogPager(QTableView *view, QScrollBar *bar, CanDataModel *log, QObject *parent = nullptr);

    LogPageModel *page() const { return model; }
    // After rows were published: follow them when at the bottom.
    void onRowsAdded();
    bool following() const { return follow; }
    // The log row of the view's current index, -1 for none.
    int currentRow() const { return current; }
    const RowSelection &selection() const { return picked; }
    // The log rows selected, ascending, every one of them (for selections known to be small).
    QVector<qint64> selectedRows() const { return picked.rows(); }
    // Scrolls the log row into sight and makes it the current and only selected one.
    void showRow(int row);
    // Selects every row of the log (Ctrl+A).
    void selectAll();

signals:
    // The user made another log row the current one.
    void currentRowChanged(int row);
    // The user selected other rows.
    void selectedRowsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int visibleCount() const;
    int lastFirst() const;
    int rowCount() const;
    void updateRange();
    void onBarMoved(int value);
    void scrollTo(int row);
    void markCurrent();
    void mirror();
    void pick(const RowSelection &rows);
    void moveTo(int row, bool extend);
    bool onKey(QKeyEvent *event);
    bool onMouse(QMouseEvent *event);
    int rowAt(int y);
    void onCurrentChanged(int pageRow);
    void onViewSelection(const QItemSelection &selected, const QItemSelection &deselected);

    QTableView *view;
    QWidget *viewport; // kept: events still come while the view is being destroyed
    QScrollBar *bar;
    LogPageModel *model;
    RowSelection picked;
    RowSelection dragBase; // kept under a Ctrl+drag
    int current = -1;
    int anchor = -1; // where Shift extends from
    bool follow = true;
    bool moving = false;    // the page itself is moving: the current index follows the log row
    bool mirroring = false; // the view's selection is being set from the log's
    bool dragging = false;
};
