// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/bitactivity.h"

#include <QtGlobal>
#include <atomic>
#include <vector>

class RowSnapshot;
struct LogRecord;
struct TimedPacket;

// Bit flips per identifier over a span of frames: a live capture frame by frame, or rows of the
// log (all, the last seconds, a selection) read on a thread of its own. Adding a frame is a
// lookup in a flat table and a few word operations, so it can run for every received frame.
class BitFlipCounter final
{
public:
    static constexpr quint32 ExtendedKey = 0x80000000u;
    static constexpr qint64 CancelCheckRows = 1 << 16;

    static quint32 key(quint32 id, bool extended) { return id | (extended ? ExtendedKey : 0); }

    BitFlipCounter();

    // One data frame; remote frames carry no bits and are left out by the caller.
    void add(quint32 key, const quint8 *data, int length, qint64 time);
    void add(const LogRecord &record);
    // A frame as it came; remote frames are left out.
    void add(const TimedPacket &frame);
    // Rows `first` .. `end` - 1 of the snapshot; only those of `onlyKey` unless it is AnyKey.
    // `done` (if given) counts the rows read. False when cancelled or a row cannot be read.
    static constexpr quint32 AnyKey = 0xFFFFFFFFu;
    bool addRows(const RowSnapshot &rows, qint64 first, qint64 end, quint32 onlyKey = AnyKey,
                 const std::atomic_bool *cancel = nullptr, std::atomic<qint64> *done = nullptr);
    // The first row at or after `time` (microseconds), for "the last N seconds": rows are in
    // the order they came, so their times rise.
    static qint64 firstRowAt(const RowSnapshot &rows, qint64 time);

    const BitActivity *activity(quint32 key) const;
    std::vector<quint32> keys() const { return slotKeys; }
    void clear();

private:
    std::vector<BitActivity> activities;
    std::vector<quint32> slotKeys;
    struct Slot
    {
        quint32 key;
        qint32 index; // into activities, -1 free
    };
    std::vector<Slot> table; // open addressing
    quint32 tableMask = 0;
    int tableShift = 0; // the hash's top bits index the table
    quint32 lastKey = AnyKey;
    qint32 lastIndex = -1;

    BitActivity &slot(quint32 key);
    qint32 find(quint32 key) const;
    void grow();
    void place(quint32 key, qint32 index);
    static void flipped(BitActivity &a, quint64 bits, qint64 time);
};
