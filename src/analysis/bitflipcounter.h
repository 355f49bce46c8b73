// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/bitactivity.h"
#include "analysis/hugepageallocator.h"
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
//
// The bits are counted in blocks of eight bytes. Every identifier has block 0; one whose CAN FD
// frames carry more than eight bytes gets the blocks of its further bytes with its first such
// frame, in a table of their own, so that classic identifiers cost no more for them.
class BitFlipCounter final
{
public:
    static constexpr quint32 ExtendedKey = KeyIndex::ExtendedKey;
    static constexpr qint64 CancelCheckRows = 1 << 16;
    static constexpr int BlockBytes = 8;
    static constexpr int MaxBlocks = 8; // 64 bytes

    static quint32 key(quint32 id, bool extended) { return KeyIndex::key(id, extended); }

    BitFlipCounter();

    // One classic data frame: its first eight bytes at most (a length code of 9..15 carries
    // eight); remote frames carry no bits and are left out by the caller.
    void add(quint32 key, const quint8 *data, int length, qint64 time);
    // One CAN FD frame of `length` data bytes (0..64).
    void addFd(quint32 key, const quint8 *data, int length, qint64 time);
    // A row as the log keeps it: an FD row over eight bytes holds its first eight only, so
    // addRows() reads those whole.
    void add(const LogRecord &record);
    // A frame as it came; remote frames are left out.
    void add(const TimedPacket &frame);
    // The same, `stateIndex` being what prefetchState() returned for the frame's key: the frame
    // then costs no second lookup. -1 looks the identifier up.
    void add(const TimedPacket &frame, qint32 stateIndex);
    // Rows `first` .. `end` - 1 of the snapshot; only those of `onlyKey` unless it is AnyKey.
    // `done` (if given) counts the rows read. False when cancelled or a row cannot be read.
    static constexpr quint32 AnyKey = 0xFFFFFFFFu;
    // Row `row` of the snapshot, an FD row with all its bytes, when it is of `onlyKey` (or that
    // is AnyKey); false when it cannot be read.
    bool addRow(const RowSnapshot &rows, qint64 row, quint32 onlyKey = AnyKey);
    bool addRows(const RowSnapshot &rows, qint64 first, qint64 end, quint32 onlyKey = AnyKey,
                 const std::atomic_bool *cancel = nullptr, std::atomic<qint64> *done = nullptr);
    // The first row at or after `time` (microseconds), for "the last N seconds": rows are in
    // the order they came, so their times rise.
    static qint64 firstRowAt(const RowSnapshot &rows, qint64 time);

    // Bytes 0..7 of the identifier's frames.
    const BitActivity *activity(quint32 key) const;
    // Bytes 8 × block .. 8 × block + 7; null when no frame of the identifier reached them.
    const BitActivity *activity(quint32 key, int block) const;
    // The blocks the identifier's frames reached: 1 for classic frames, up to 8.
    int blocks(quint32 key) const;
    // The data bytes of the identifier's longest frame, eight at least (a classic grid).
    int bytes(quint32 key) const;
    std::vector<quint32> keys() const { return ids.addedKeys(); }
    void clear();

    // Fetching ahead for a frame of `key` counted a few frames later: the identifier's slot
    // first; once the slot is near, its state, whose index prefetchState() returns (-1 for an
    // identifier not seen yet); once the state is near, the times of the bits whose last flip
    // the frame may write out (prefetchFlipTimes() with that index).
    void prefetchSlot(quint32 key) const { ids.prefetch(key); }
    qint32 prefetchState(quint32 key) const { return ids.prefetch(key, hot); }
    void prefetchFlipTimes(qint32 stateIndex) const;

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
        qint32 wide = -1;                     // block 0: its further blocks in `wideBlocks`
        std::array<quint64, 8> pending{};     // plane i: bit i of each bit's count not counted yet
        std::array<quint64, Recent> recent{}; // disjoint: the bits whose last flip was at
        std::array<qint64, Recent> recentTime{};
    };
    static_assert(sizeof(Hot) == 192, "a frame touches three cache lines");

    // The blocks past the first of an identifier with long FD frames.
    struct Wide
    {
        quint64 seen = 0; // frames of block 0 when the blocks last took one
        int maxLength = 0;
        mutable std::vector<Hot> hot; // block b at b - 1
        mutable std::vector<BitActivity> activities;
    };

    static void addBlock(Hot &h, BitActivity &a, const quint8 *data, int length, qint64 time);
    static void flipped(Hot &h, BitActivity &a, quint64 bits, qint64 time);
    static void settle(Hot &h, BitActivity &a);
    void addWide(size_t index, const quint8 *data, int length, qint64 time);
    const Wide *wideOf(quint32 key) const;

    mutable std::vector<Hot, HugePageAllocator<Hot>> hot;
    // Brought up to date as they are handed out.
    mutable std::vector<BitActivity, HugePageAllocator<BitActivity>> activities;
    std::vector<Wide> wideBlocks;
    KeyIndex ids;
    quint32 lastKey = AnyKey;
    qint32 lastIndex = -1;

    size_t slot(quint32 key);
};
