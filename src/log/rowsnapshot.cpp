// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/rowsnapshot.h"

#include "log/rowblock.h"
#include "log/storefile.h"

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
