// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <array>

// Sums of amounts (frames, bits) added over the last second, kept in a ring of 100 ms buckets so
// that adding is O(1) and reading is O(buckets), without allocation. `Channels` independent sums
// share one ring.
//
// The window read at `now` is [now - 1 s, now]: the ten buckets up to the one holding `now` count
// whole, and the bucket before them counts for the part of it still inside the window, as if its
// amount were spread evenly over its 100 ms. Steady traffic thus reads steady, not in steps of one
// bucket.
//
// Times are microseconds. A time before the newest bucket but still inside the ring lands in its
// bucket; one further back means the clock was stepped back, and the ring starts again from it.
template<int Channels> class SlidingSum final
{
public:
    static constexpr qint64 BucketUs = 100000;
    static constexpr qint64 WindowUs = 1000000;
    static constexpr int WindowBuckets = int(WindowUs / BucketUs);
    static constexpr int RingSize = WindowBuckets + 1; // the window plus the partly covered bucket

    void add(int channel, quint32 amount, qint64 time)
    {
        const qint64 slot = slotOf(time);
        placeSlot(slot);
        ring[indexOf(slot)][channel] += amount;
    }

    double sum(int channel, qint64 now) const
    {
        if (empty)
            return 0.0;
        const qint64 nowSlot = slotOf(now);
        const qint64 oldest = nowSlot - WindowBuckets;
        double total = 0.0;
        for (qint64 slot = oldest + 1; slot <= nowSlot; ++slot)
            total += amountAt(slot, channel);
        const double inside = 1.0 - double(now - nowSlot * BucketUs) / double(BucketUs);
        return total + inside * amountAt(oldest, channel);
    }

    void clear()
    {
        empty = true;
        newestSlot = 0;
        ring = {};
    }

private:
    using Bucket = std::array<quint32, Channels>;

    // Floor division, so that times before the epoch fall into the bucket that holds them.
    static qint64 slotOf(qint64 time)
    {
        const qint64 slot = time / BucketUs;
        return (time % BucketUs < 0) ? slot - 1 : slot;
    }
    static int indexOf(qint64 slot)
    {
        const int index = int(slot % RingSize);
        return index < 0 ? index + RingSize : index;
    }
    bool holds(qint64 slot) const
    {
        return !empty && slot <= newestSlot && slot > newestSlot - RingSize;
    }
    double amountAt(qint64 slot, int channel) const
    {
        return holds(slot) ? double(ring[indexOf(slot)][channel]) : 0.0;
    }

    // Makes `slot` a bucket of the ring, emptying the buckets it passes over.
    void placeSlot(qint64 slot)
    {
        if (empty || slot <= newestSlot - RingSize) {
            restartAt(slot);
        } else if (slot > newestSlot) {
            const qint64 steps = qMin<qint64>(slot - newestSlot, RingSize);
            for (qint64 s = slot - steps + 1; s <= slot; ++s)
                ring[indexOf(s)] = Bucket{};
            newestSlot = slot;
        }
    }
    void restartAt(qint64 slot)
    {
        ring = {};
        newestSlot = slot;
        empty = false;
    }

    std::array<Bucket, RingSize> ring{};
    qint64 newestSlot = 0;
    bool empty = true;
};
