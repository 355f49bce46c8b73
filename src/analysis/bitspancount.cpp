// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitspancount.h"

#include "log/logrecord.h"

#include <algorithm>
#include <cmath>

BitSpanCount BitSpanCount::lastSeconds(RowSnapshot rows, double seconds)
{
    BitSpanCount span;
    span.rows = std::move(rows);
    span.seconds = std::max(0.0, seconds);
    return span;
}

BitSpanCount BitSpanCount::picked(RowSnapshot rows, QVector<qint64> picked)
{
    BitSpanCount span;
    span.rows = std::move(rows);
    std::sort(picked.begin(), picked.end());
    picked.erase(std::unique(picked.begin(), picked.end()), picked.end());
    for (const qint64 row : picked) {
        if (row < 0 || row >= span.rows.size())
            continue;
        if (!span.ranges.isEmpty() && span.ranges.last().end == row)
            ++span.ranges.last().end;
        else
            span.ranges.append(Range{row, row + 1});
    }
    return span;
}

BitSpanCount BitSpanCount::picked(RowSnapshot rows, const RowSelection &picked)
{
    BitSpanCount span;
    span.rows = std::move(rows);
    for (const RowSelection::Range &r : picked.within(0, span.rows.size()))
        span.ranges.append(Range{r.first, r.end});
    return span;
}

qint64 BitSpanCount::rowCount() const
{
    qint64 total = 0;
    for (const Range &range : ranges)
        total += range.end - range.first;
    return total;
}

// The seconds count back from the newest row, not from the clock: a loaded log and a live one
// whose bus went quiet both show their last moments.
void BitSpanCount::findLastSeconds()
{
    ranges.clear();
    LogRecord newest;
    if (rows.size() == 0 || !rows.read(rows.size() - 1, &newest) ||
        newest.time == TimedPacket::NoTime)
        return;
    const qint64 from = newest.time - qint64(std::llround(seconds * 1e6));
    ranges.append(Range{BitFlipCounter::firstRowAt(rows, from), rows.size()});
}

bool BitSpanCount::run(const std::atomic_bool *cancel, const Progress &progress)
{
    flips.clear();
    if (seconds >= 0)
        findLastSeconds();
    return count(cancel, progress);
}

bool BitSpanCount::count(const std::atomic_bool *cancel, const Progress &progress)
{
    const qint64 total = rowCount();
    qint64 done = 0;
    for (const Range &range : ranges) {
        for (qint64 row = range.first; row < range.end; ++row, ++done) {
            if (done % BitFlipCounter::CancelCheckRows == 0) {
                if (cancel && cancel->load(std::memory_order_relaxed))
                    return false;
                if (progress)
                    progress(done, total);
            }
            if (!flips.addRow(rows, row))
                return false;
        }
    }
    if (progress)
        progress(total, total);
    return true;
}
