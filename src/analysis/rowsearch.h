// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <atomic>

class FrameQuery;
class RowSnapshot;

// Finds the next or previous log row whose frame matches a FrameQuery, reading the rows of a
// RowSnapshot (paged-out rows included), so it can run on a thread of its own while the log
// goes on growing.
class RowSearch final
{
public:
    static constexpr qint64 NotFound = -1;
    // How many rows are read between looks at the cancel flag.
    static constexpr qint64 CancelCheckRows = 1 << 16;

    // Rows `from` + 1 .. `end` - 1 (forward) or `from` - 1 .. 0 (backward) are searched, at most
    // the rows the snapshot holds; `from` may be -1 (forward from the first row) or `end`
    // (backward from the last). NotFound when no row matches, a row cannot be read back or
    // `cancel` (if given) turns true.
    static qint64 find(const RowSnapshot &rows, qint64 end, const FrameQuery &query, qint64 from,
                       bool forward, const std::atomic_bool *cancel = nullptr);

    struct Found
    {
        qint64 row = NotFound;
        bool wrapped = false; // found only after going on from the other end
    };
    // As find(), then, as find bars do, on from the other end of the log up to `from` itself
    // (forward: rows 0 .. `from`; backward: rows `end` - 1 .. `from`).
    static Found findAround(const RowSnapshot &rows, qint64 end, const FrameQuery &query,
                            qint64 from, bool forward, const std::atomic_bool *cancel = nullptr);

private:
    // Rows `first`, `first` + `step`, ... up to but not including `stop`.
    static qint64 scan(const RowSnapshot &rows, qint64 first, qint64 stop, qint64 step,
                       const FrameQuery &query, const std::atomic_bool *cancel);
};
