// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/rowselection.h"

#include <algorithm>

qint64 RowSelection::count() const
{
    qint64 total = 0;
    for (const Range &r : runs)
        total += r.size();
    return total;
}

bool RowSelection::contains(qint64 row) const
{
    const auto after =
        std::upper_bound(runs.begin(), runs.end(), row,
                         [](qint64 r, const Range &range) { return r < range.first; });
    return after != runs.begin() && row < (after - 1)->end;
}

void RowSelection::set(qint64 from, qint64 to)
{
    runs.clear();
    add(from, to);
}

void RowSelection::add(qint64 from, qint64 to)
{
    Range added{std::min(from, to), std::max(from, to) + 1};
    if (added.first < 0)
        added.first = 0;
    if (added.end <= added.first)
        return;
    QVector<Range> merged;
    merged.reserve(runs.size() + 1);
    bool placed = false;
    for (const Range &r : qAsConst(runs)) {
        if (r.end < added.first) {
            merged.append(r);
        } else if (added.end < r.first) {
            if (!placed)
                merged.append(added);
            placed = true;
            merged.append(r);
        } else { // touching or overlapping: one run
            added.first = std::min(added.first, r.first);
            added.end = std::max(added.end, r.end);
        }
    }
    if (!placed)
        merged.append(added);
    runs = merged;
}

void RowSelection::remove(qint64 from, qint64 to)
{
    const qint64 first = std::min(from, to);
    const qint64 end = std::max(from, to) + 1;
    QVector<Range> kept;
    for (const Range &r : qAsConst(runs)) {
        if (r.first < first)
            kept.append(Range{r.first, std::min(r.end, first)});
        if (r.end > end)
            kept.append(Range{std::max(r.first, end), r.end});
    }
    runs = kept;
}

void RowSelection::toggle(qint64 row)
{
    if (contains(row))
        remove(row, row);
    else
        add(row, row);
}

QVector<RowSelection::Range> RowSelection::within(qint64 first, qint64 end) const
{
    QVector<Range> cut;
    for (const Range &r : runs) {
        const Range part{std::max(r.first, first), std::min(r.end, end)};
        if (part.first < part.end)
            cut.append(part);
    }
    return cut;
}

QVector<qint64> RowSelection::rows() const
{
    QVector<qint64> all;
    all.reserve(int(std::min<qint64>(count(), 1 << 24)));
    for (const Range &r : runs) {
        for (qint64 row = r.first; row < r.end; ++row)
            all.append(row);
    }
    return all;
}
