// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/rowsearch.h"

#include <QWidget>
#include <atomic>
#include <thread>

class CanDataModel;
class LogPager;

namespace Ui {
class FindBar;
}

// The log's find bar: an identifier (hex) and/or data bytes with wildcards ("11 ?? 3F", see
// FrameQuery). Enter / "Найти далее" jumps to the next matching row after the current one,
// Shift+Enter / "Найти ранее" to the previous one, going on from the other end of the log when
// nothing follows (the bar says so); F3 repeats the last search (Shift+F3 the other
// way), Ctrl+F opens the bar, Esc closes it. The search reads the log's store on a thread of its
// own, so the port is served meanwhile; a new search drops the running one.
class FindBar final : public QWidget
{
    Q_OBJECT

public:
    explicit FindBar(QWidget *parent = nullptr);
    ~FindBar() override;

    // The log searched and its pager, which shows the row found; the shortcuts go to `window`.
    void attach(CanDataModel *log, LogPager *pager, QWidget *window);

    void open();
    void findNext() { find(true); }
    void findPrevious() { find(false); }
    // The last search again, in its direction or (`reverse`) the other way.
    void repeat(bool reverse = false);
    bool searching() const { return busy; }
    QString statusText() const;

signals:
    void rowFound(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void find(bool forward);
    void stopSearch();
    void onFinished(quint64 search, const RowSearch::Found &found);
    void setStatus(const QString &text);

    Ui::FindBar *ui;
    CanDataModel *log = nullptr;
    LogPager *pager = nullptr;
    std::thread worker;
    std::atomic_bool cancel{false};
    quint64 searches = 0; // the number of the latest search: older results are dropped
    bool lastForward = true;
    bool busy = false;
};
