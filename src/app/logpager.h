// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QVector>

class CanDataModel;
class LogPageModel;
class QKeyEvent;
class QScrollBar;
class QTableView;
class QWidget;

// Lets a table view page through a log of any length: the view shows a LogPageModel window of
// the rows that fit, and a scroll bar of its own walks the whole log. While the bar is at the
// bottom the view follows the newest row; scrolled away, it stays where the user left it.
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
    // The log rows selected in the view, ascending.
    QVector<qint64> selectedRows() const;
    // Scrolls the log row into sight and makes it the current one.
    void showRow(int row);

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
    void updateRange();
    void onBarMoved(int value);
    void markCurrent();
    bool onKey(QKeyEvent *event);
    void onCurrentChanged(int pageRow);

    QTableView *view;
    QWidget *viewport; // kept: events still come while the view is being destroyed
    QScrollBar *bar;
    LogPageModel *model;
    int current = -1;
    bool follow = true;
    bool moving = false; // the page itself is moving: the current index follows the log row
};
