// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/blockcache.h"
#include "log/logrecord.h"

#include <QString>
#include <memory>
#include <vector>

class DiskWriter;
class RowSnapshot;
class StoreFile;
struct RowBlock;

// The capture log's rows, as many as a day brings, in flat memory: the newest rows stay in memory
// and every full block is written by a thread of its own to a private, unnamed file in the cache
// directory, then let go. Older rows are read back on demand. Should the file fail (a full disk),
// rows simply stay in memory. The file goes with clear() and with the store.
class RowStore final
{
public:
    // `directory` holds the private file; empty: the user's cache directory.
    explicit RowStore(const QString &directory = QString());
    ~RowStore();
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;

    void append(const LogRecord &record);
    // The frame as row number `number`; an FD frame's bytes past the eighth go to the tail rows.
    void append(const TimedPacket &frame, qint32 number);
    qint64 size() const { return rows; }
    // Row `row`; an empty record (number 0) when it cannot be read back.
    LogRecord at(qint64 row) const;
    // Row `row` with all its data bytes.
    TimedPacket frame(qint64 row) const;
    void clear();
    RowSnapshot snapshot() const;

    // Why rows are not paged out, empty while they are.
    QString errorString() const;
    // Blocks of rows held in memory now, and returns once every full block handed to the
    // file has been written (for measurements and tests).
    int blocksInMemory() const;
    void waitWritten();

    static QString defaultDirectory();

private:
    struct Paging;

    void pageOut(qint64 block);
    void releaseWritten();

    QString directory;
    std::shared_ptr<Paging> paging;
    std::vector<std::shared_ptr<RowBlock>> blocks; // null: only in the file
    qint64 rows = 0;
    size_t releaseFrom = 0; // blocks before it are known to be in the file or in memory for good
    mutable BlockCache cache;
    std::unique_ptr<DiskWriter> writer;
    std::unique_ptr<RowStore> tails; // made with the first long FD frame
};
