// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

class QString;
class QWidget;

// Keeps count of the log's rows that are in no file: logged live while nothing recorded them, and
// not saved since. Before such rows are dropped (clearing, opening a capture, closing the window)
// the user is asked, with their number.
class UnsavedRowsGuard final
{
public:
    explicit UnsavedRowsGuard(QWidget *window) : window(window) {}

    // A live row was logged; `recorded`: a recording holds its frame.
    void logged(bool recorded)
    {
        if (!recorded)
            ++rows;
    }
    // A save of the first `savedRows` of `logRows` rows succeeded: only rows logged since remain.
    void saved(qint64 savedRows, qint64 logRows)
    {
        rows = qBound<qint64>(0, logRows - savedRows, rows);
    }
    // The rows are gone.
    void dropped() { rows = 0; }
    qint64 count() const { return rows; }

    // True when nothing is lost by `action` ("Очистить журнал"): no such rows, or the user agrees.
    bool mayDrop(const QString &action) const;

private:
    QWidget *window;
    qint64 rows = 0;
};
