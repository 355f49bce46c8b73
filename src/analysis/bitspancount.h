// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/bitflipcounter.h"
#include "log/rowselection.h"
#include "log/rowsnapshot.h"

#include <QVector>
#include <atomic>
#include <functional>

// Bit flips over a span of the log's rows, counted apart from the live counter and off the
// window's thread: the last seconds of the log, or the rows the user picked. It reads only its
// own snapshot, so the log may grow or be cleared meanwhile.
class BitSpanCount final
{
public:
    // Rows read so far and rows of the span; called every few ten thousand rows.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    // The rows no older than `seconds` before the newest row's time.
    static BitSpanCount lastSeconds(RowSnapshot rows, double seconds);
    // The picked rows (any order; duplicates and rows beyond the snapshot are dropped). Flips
    // are counted between one picked frame of an identifier and its next picked frame.
    static BitSpanCount picked(RowSnapshot rows, QVector<qint64> picked);
    // The rows of a selection of the log, however many; rows beyond the snapshot are dropped.
    static BitSpanCount picked(RowSnapshot rows, const RowSelection &picked);

    // False when cancelled or a row cannot be read; the counter then holds a part only.
    bool run(const std::atomic_bool *cancel = nullptr, const Progress &progress = {});

    const BitFlipCounter &counter() const { return flips; }
    BitFlipCounter &counter() { return flips; }
    // The rows of the span; for the last seconds known once run() found where they start.
    qint64 rowCount() const;

private:
    struct Range
    {
        qint64 first;
        qint64 end;
    };

    RowSnapshot rows;
    double seconds = -1; // < 0: the ranges are given
    QVector<Range> ranges;
    BitFlipCounter flips;

    void findLastSeconds();
    bool count(const std::atomic_bool *cancel, const Progress &progress);
};
