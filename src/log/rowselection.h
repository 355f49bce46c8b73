// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QVector>
#include <QtGlobal>

// The rows of the log the user picked, any number of them across any pages: kept as sorted,
// separate runs of rows, so that all of a 10,000,000-row log is one run.
class RowSelection final
{
public:
    struct Range
    {
        qint64 first = 0;
        qint64 end = 0; // one past the last row

        qint64 size() const { return end - first; }
        bool operator==(const Range &other) const
        {
            return first == other.first && end == other.end;
        }
    };

    bool isEmpty() const { return runs.isEmpty(); }
    qint64 count() const;
    const QVector<Range> &ranges() const { return runs; }
    bool contains(qint64 row) const;
    // The first and last row picked; -1 when none is.
    qint64 firstRow() const { return runs.isEmpty() ? -1 : runs.first().first; }
    qint64 lastRow() const { return runs.isEmpty() ? -1 : runs.last().end - 1; }

    void clear() { runs.clear(); }
    // Only the rows from `from` to `to`, both included, in either order.
    void set(qint64 from, qint64 to);
    void add(qint64 from, qint64 to);
    void remove(qint64 from, qint64 to);
    void toggle(qint64 row);
    // The runs within rows first .. end - 1, cut to them.
    QVector<Range> within(qint64 first, qint64 end) const;
    // Every row picked, ascending: for a selection known to be small.
    QVector<qint64> rows() const;

    bool operator==(const RowSelection &other) const { return runs == other.runs; }
    bool operator!=(const RowSelection &other) const { return !(*this == other); }

private:
    QVector<Range> runs;
};
