// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/rowsearch.h"

#include "analysis/framequery.h"
#include "link/canpacket.h"
#include "log/rowsnapshot.h"

#include <cstring>

namespace {
// Only what a query looks at: the identifier, the length and remote bits, the data.
bool recordMatches(const LogRecord &record, const FrameQuery &query)
{
    CanPacket packet;
    packet.id = record.id;
    packet.frame = record.frame;
    packet.rtl = record.rtl;
    std::memcpy(packet.data, record.data, sizeof record.data);
    return query.matches(packet);
}

// An FD frame longer than eight bytes is read whole; classic rows cost no more than before.
bool rowMatches(const RowSnapshot &rows, qint64 row, const LogRecord &record,
                const FrameQuery &query)
{
    if (!record.hasTail())
        return recordMatches(record, query);
    TimedPacket frame;
    return rows.readFrame(row, &frame) && query.matches(frame.packet);
}

bool cancelled(const std::atomic_bool *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}
} // namespace

qint64 RowSearch::find(const RowSnapshot &rows, qint64 end, const FrameQuery &query, qint64 from,
                       bool forward, const std::atomic_bool *cancel)
{
    const qint64 limit = qMin(end, rows.size());
    const qint64 start = qBound<qint64>(-1, from, limit);
    return forward ? scan(rows, start + 1, limit, 1, query, cancel)
                   : scan(rows, start - 1, -1, -1, query, cancel);
}

RowSearch::Found RowSearch::findAround(const RowSnapshot &rows, qint64 end, const FrameQuery &query,
                                       qint64 from, bool forward, const std::atomic_bool *cancel)
{
    const qint64 row = find(rows, end, query, from, forward, cancel);
    if (row != NotFound || cancelled(cancel))
        return {row, false};
    const qint64 limit = qMin(end, rows.size());
    const qint64 start = qBound<qint64>(-1, from, limit);
    const qint64 again =
        forward ? scan(rows, 0, qMin(start + 1, limit), 1, query, cancel)
                : scan(rows, limit - 1, qMax<qint64>(start - 1, -1), -1, query, cancel);
    return {again, again != NotFound};
}

qint64 RowSearch::scan(const RowSnapshot &rows, qint64 first, qint64 stop, qint64 step,
                       const FrameQuery &query, const std::atomic_bool *cancel)
{
    LogRecord record;
    qint64 done = 0;
    for (qint64 row = first; (row - stop) * step < 0; row += step, ++done) {
        if (done % CancelCheckRows == 0 && cancelled(cancel))
            return NotFound;
        if (!rows.read(row, &record))
            return NotFound;
        if (rowMatches(rows, row, record, query))
            return row;
    }
    return NotFound;
}
