// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/blockcache.h"
#include "log/logrecord.h"

#include <memory>
#include <vector>

class StoreFile;
struct RowBlock;

// The rows a row store held at one moment, readable from any one thread while the store goes on
// growing or is cleared: rows never change once stored, and the snapshot keeps the blocks and the
// file it needs alive.
class RowSnapshot final
{
public:
    RowSnapshot() = default;
    RowSnapshot(const RowSnapshot &other);
    RowSnapshot &operator=(const RowSnapshot &other);
    RowSnapshot(RowSnapshot &&) = default;
    RowSnapshot &operator=(RowSnapshot &&) = default;
    ~RowSnapshot();

    qint64 size() const { return rows; }
    // The first `count` rows only.
    RowSnapshot head(qint64 count) const
    {
        RowSnapshot cut = *this;
        cut.rows = qBound<qint64>(0, count, rows);
        return cut;
    }
    // False when a paged-out row could not be read back.
    bool read(qint64 row, LogRecord *record) const;
    // The row with all its data bytes (an FD frame's tail included).
    bool readFrame(qint64 row, TimedPacket *frame) const;

private:
    friend class RowStore;

    std::shared_ptr<const StoreFile> file;
    std::vector<std::shared_ptr<const RowBlock>> blocks; // null: only in the file
    qint64 rows = 0;
    mutable BlockCache cache{1};        // snapshots are read in order
    std::unique_ptr<RowSnapshot> tails; // the FD bytes past the eighth, when there are any
};
