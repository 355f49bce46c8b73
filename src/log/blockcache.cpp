// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/blockcache.h"

#include "log/rowblock.h"
#include "log/storefile.h"

BlockCache &BlockCache::operator=(const BlockCache &other)
{
    capacity = other.capacity;
    clear();
    return *this;
}

const LogRecord *BlockCache::rows(const StoreFile &file, qint64 block)
{
    for (const Entry &entry : entries) {
        if (entry.block == block)
            return entry.rows.get();
    }
    if (int(entries.size()) < capacity) {
        entries.push_back({-1, std::make_unique<LogRecord[]>(RowBlock::Rows)});
        nextVictim = entries.size() - 1;
    }
    Entry &entry = entries[nextVictim];
    nextVictim = (nextVictim + 1) % entries.size();
    entry.block = -1;
    if (!file.readAt(block * RowBlock::Bytes, entry.rows.get(), RowBlock::Bytes))
        return nullptr;
    entry.block = block;
    return entry.rows.get();
}
