// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/logrecord.h"

#include <atomic>

// A block of consecutive log rows: the unit the row store keeps in memory and writes to its file.
struct RowBlock
{
    static constexpr int Shift = 13;
    static constexpr int Rows = 1 << Shift; // 8192 rows, 256 KiB
    static constexpr int Mask = Rows - 1;
    static constexpr qint64 Bytes = qint64(Rows) * qint64(sizeof(LogRecord));

    LogRecord rows[Rows];
    // Set by the writer thread once the block is safely in the file: memory may then go.
    std::atomic<bool> written{false};
};
