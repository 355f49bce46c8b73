// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitflipcounter.h"

#include "link/canpacket.h"
#include "link/timedpacket.h"
#include "log/logrecord.h"
#include "log/rowsnapshot.h"

#include <QtEndian>
#include <algorithm>

namespace {

constexpr int DataBytes = 8;

quint64 lengthMask(int length)
{
    return length >= DataBytes ? ~quint64(0) : (quint64(1) << (length * 8)) - 1;
}

} // namespace

BitFlipCounter::BitFlipCounter()
{
    clear();
}

void BitFlipCounter::clear()
{
    hot.clear();
    activities.clear();
    ids.clear();
    lastKey = AnyKey;
    lastIndex = -1;
}

size_t BitFlipCounter::slot(quint32 key)
{
    if (key != lastKey) {
        lastIndex = ids.add(key);
        lastKey = key;
        if (size_t(lastIndex) == hot.size()) {
            hot.emplace_back();
            activities.emplace_back();
        }
    }
    return size_t(lastIndex);
}

void BitFlipCounter::flipped(size_t index, quint64 bits, qint64 time)
{
    Hot &h = hot[index];
    h.changed |= bits;
    for (quint64 &older : h.recent)
        older &= ~bits;
    h.newest = (h.newest + 1) % Hot::Recent;
    // The oldest flips leave for the bits' own times, out of the frame's way.
    for (quint64 left = h.recent[size_t(h.newest)]; left; left &= left - 1)
        activities[index].lastFlip[size_t(qCountTrailingZeroBits(left))] =
            h.recentTime[size_t(h.newest)];
    h.recent[size_t(h.newest)] = bits;
    h.recentTime[size_t(h.newest)] = time;
    quint64 carry = bits;
    for (size_t plane = 0; carry && plane < h.pending.size(); ++plane) {
        const quint64 next = h.pending[plane] & carry;
        h.pending[plane] ^= carry;
        carry = next;
    }
    if (h.pending.back()) // a count reached 128: it would overflow 127 flips later
        settle(index);
}

// The activity as the frames so far make it.
void BitFlipCounter::settle(size_t index) const
{
    Hot &h = hot[index];
    BitActivity &a = activities[index];
    quint64 any = 0;
    for (quint64 plane : h.pending)
        any |= plane;
    for (; any; any &= any - 1) {
        const int bit = qCountTrailingZeroBits(any);
        quint32 count = 0;
        for (size_t plane = 0; plane < h.pending.size(); ++plane)
            count |= quint32((h.pending[plane] >> bit) & 1) << plane;
        a.flips[size_t(bit)] += count;
    }
    h.pending.fill(0);
    for (size_t level = 0; level < h.recent.size(); ++level) {
        for (quint64 bits = h.recent[level]; bits; bits &= bits - 1)
            a.lastFlip[size_t(qCountTrailingZeroBits(bits))] = h.recentTime[level];
    }
    a.frames = h.frames;
    a.word = h.word;
    a.length = h.length;
    a.lastTime = h.lastTime;
    a.changed = h.changed;
}

void BitFlipCounter::add(quint32 key, const quint8 *data, int length, qint64 time)
{
    length = std::clamp(length, 0, DataBytes);
    const size_t index = slot(key);
    const quint64 word = qFromLittleEndian<quint64>(data) & lengthMask(length);
    Hot &h = hot[index];
    if (h.frames > 0) {
        const quint64 bits = (word ^ h.word) & lengthMask(std::min(length, h.length));
        if (bits)
            flipped(index, bits, time);
    }
    h.word = word;
    h.length = length;
    h.lastTime = time;
    ++h.frames;
}

void BitFlipCounter::add(const TimedPacket &frame)
{
    if (!frame.packet.isRemote())
        add(key(frame.packet.id, frame.packet.isExtended()), frame.packet.data,
            frame.packet.length(), frame.time);
}

void BitFlipCounter::add(const LogRecord &record)
{
    if (record.rtl & 0xF0)
        return;
    add(key(record.id, record.frame & CanPacket::Extended), record.data, record.rtl & 0x0F,
        record.time);
}

bool BitFlipCounter::addRows(const RowSnapshot &rows, qint64 first, qint64 end, quint32 onlyKey,
                             const std::atomic_bool *cancel, std::atomic<qint64> *done)
{
    end = std::min(end, rows.size());
    LogRecord record;
    for (qint64 row = std::max<qint64>(first, 0); row < end; ++row) {
        if ((row - first) % CancelCheckRows == 0) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
            if (done)
                done->store(row - first, std::memory_order_relaxed);
        }
        if (!rows.read(row, &record))
            return false;
        if (onlyKey == AnyKey || key(record.id, record.frame & CanPacket::Extended) == onlyKey)
            add(record);
    }
    if (done)
        done->store(std::max<qint64>(end - first, 0), std::memory_order_relaxed);
    return true;
}

qint64 BitFlipCounter::firstRowAt(const RowSnapshot &rows, qint64 time)
{
    qint64 low = 0;
    qint64 high = rows.size();
    LogRecord record;
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        if (rows.read(middle, &record) && record.time < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

const BitActivity *BitFlipCounter::activity(quint32 key) const
{
    const qint32 at = ids.find(key);
    if (at < 0)
        return nullptr;
    settle(size_t(at));
    return &activities[size_t(at)];
}
