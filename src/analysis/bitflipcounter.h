// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/bitactivity.h"
#include "analysis/keyindex.h"

#include <QtGlobal>
#include <array>
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
    static constexpr quint32 ExtendedKey = KeyIndex::ExtendedKey;
    static constexpr qint64 CancelCheckRows = 1 << 16;

    static quint32 key(quint32 id, bool extended) { return KeyIndex::key(id, extended); }

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
    std::vector<quint32> keys() const { return ids.addedKeys(); }
    void clear();

private:
    // What a frame touches: three cache lines of one identifier, kept apart from the counts and
    // times of its 64 bits, so that the cost of a frame is the same for ten identifiers and ten
    // thousand. Flips are counted bit-sliced and reach the activity's counts every 128 frames
    // or so; a bit's last flip stays here while it is one of the last Recent flips.
    struct alignas(64) Hot
    {
        static constexpr int Recent = 4;
        quint64 frames = 0;
        quint64 word = 0;
        qint64 lastTime = BitActivity::NoTime;
        quint64 changed = 0;
        int length = 0;
        int newest = 0;                       // the latest of `recent`
        std::array<quint64, 8> pending{};     // plane i: bit i of each bit's count not counted yet
        std::array<quint64, Recent> recent{}; // disjoint: the bits whose last flip was at
        std::array<qint64, Recent> recentTime{};
    };

    void flipped(size_t index, quint64 bits, qint64 time);
    void settle(size_t index) const;

    mutable std::vector<Hot> hot;
    mutable std::vector<BitActivity> activities; // brought up to date as they are handed out
    KeyIndex ids;
    quint32 lastKey = AnyKey;
    qint32 lastIndex = -1;

    size_t slot(quint32 key);
};
