// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/rowsnapshot.h"

#include "log/rowblock.h"
#include "log/storefile.h"

#include <cstring>

bool RowSnapshot::read(qint64 row, LogRecord *record) const
{
    if (row < 0 || row >= rows)
        return false;
    const qint64 block = row >> RowBlock::Shift;
    const RowBlock *held = blocks[size_t(block)].get();
    const LogRecord *from = held ? held->rows : (file ? cache.rows(*file, block) : nullptr);
    if (!from)
        return false;
    *record = from[row & RowBlock::Mask];
    return true;
}

RowSnapshot::RowSnapshot(const RowSnapshot &other)
    : file(other.file), blocks(other.blocks), rows(other.rows),
      tails(other.tails ? std::make_unique<RowSnapshot>(*other.tails) : nullptr)
{
}

RowSnapshot &RowSnapshot::operator=(const RowSnapshot &other)
{
    if (this != &other)
        *this = RowSnapshot(other);
    return *this;
}

RowSnapshot::~RowSnapshot() = default;

bool RowSnapshot::readFrame(qint64 row, TimedPacket *frame) const
{
    LogRecord record;
    if (!read(row, &record))
        return false;
    *frame = record.toFrame();
    if (!record.hasTail())
        return true;
    for (int i = 0; i < LogRecord::TailRows; ++i) {
        LogRecord part;
        if (!tails || !tails->read(record.tailRow() + i, &part))
            return false;
        std::memcpy(frame->packet.data + i * sizeof part, &part, sizeof part);
    }
    return true;
}
