// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/logrecord.h"

#include <memory>
#include <vector>

class StoreFile;

// The last few blocks read back from the row store's file. Not shared between threads: a copy
// starts empty.
class BlockCache final
{
public:
    static constexpr int DefaultCapacity = 4;

    explicit BlockCache(int capacity = DefaultCapacity) : capacity(capacity) {}
    BlockCache(const BlockCache &other) : capacity(other.capacity) {}
    BlockCache &operator=(const BlockCache &other);

    // The rows of block `block`, read from `file` when not held; null when they cannot be read.
    const LogRecord *rows(const StoreFile &file, qint64 block);
    void clear() { entries.clear(); }

private:
    struct Entry
    {
        qint64 block = -1;
        std::unique_ptr<LogRecord[]> rows;
    };

    int capacity;
    std::vector<Entry> entries;
    size_t nextVictim = 0;
};
