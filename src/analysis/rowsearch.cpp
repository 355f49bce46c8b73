#include "analysis/rowsearch.h"

#include "analysis/framequery.h"
#include "capture/rowsnapshot.h"
#include "link/canpacket.h"

#include <cstring>

namespace {
// Only what a query looks at: the identifier, the length and remote bits, the data.
bool recordMatches(const LogRecord &record, const FrameQuery &query)
{
    CanPacket packet;
    packet.id = record.id;
    packet.frame = record.frame;
    packet.rtl = record.rtl;
    std::memcpy(packet.data, record.data, sizeof packet.data);
    return query.matches(packet);
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
    const qint64 step = forward ? 1 : -1;
    qint64 row = qBound<qint64>(-1, from, limit) + step;
    LogRecord record;
    for (qint64 done = 0; row >= 0 && row < limit; row += step, ++done) {
        if (done % CancelCheckRows == 0 && cancelled(cancel))
            return NotFound;
        if (!rows.read(row, &record))
            return NotFound;
        if (recordMatches(record, query))
            return row;
    }
    return NotFound;
}
