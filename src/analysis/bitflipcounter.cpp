// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitflipcounter.h"

#include "link/canpacket.h"
#include "link/timedpacket.h"
#include "log/logrecord.h"
#include "log/rowsnapshot.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

constexpr int DataBytes = BitFlipCounter::BlockBytes;

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
    wideBlocks.clear();
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

void BitFlipCounter::flipped(Hot &h, BitActivity &a, quint64 bits, qint64 time)
{
    h.changed |= bits;
    for (quint64 &older : h.recent)
        older &= ~bits;
    h.newest = (h.newest + 1) % Hot::Recent;
    // The oldest flips leave for the bits' own times, out of the frame's way.
    for (quint64 left = h.recent[size_t(h.newest)]; left; left &= left - 1)
        a.lastFlip[size_t(qCountTrailingZeroBits(left))] = h.recentTime[size_t(h.newest)];
    h.recent[size_t(h.newest)] = bits;
    h.recentTime[size_t(h.newest)] = time;
    quint64 carry = bits;
    for (size_t plane = 0; carry && plane < h.pending.size(); ++plane) {
        const quint64 next = h.pending[plane] & carry;
        h.pending[plane] ^= carry;
        carry = next;
    }
    if (h.pending.back()) // a count reached 128: it would overflow 127 flips later
        settle(h, a);
}

// The activity as the frames so far make it.
void BitFlipCounter::settle(Hot &h, BitActivity &a)
{
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

// Inlined: it is the whole cost of a classic frame.
Q_ALWAYS_INLINE void BitFlipCounter::addBlock(Hot &h, BitActivity &a, const quint8 *data,
                                              int length, qint64 time)
{
    const quint64 word = qFromLittleEndian<quint64>(data) & lengthMask(length);
    if (h.frames > 0) {
        const quint64 bits = (word ^ h.word) & lengthMask(std::min(length, h.length));
        if (bits)
            flipped(h, a, bits, time);
    }
    h.word = word;
    h.length = length;
    h.lastTime = time;
    ++h.frames;
}

void BitFlipCounter::add(quint32 key, const quint8 *data, int length, qint64 time)
{
    length = std::clamp(length, 0, DataBytes);
    const size_t index = slot(key);
    // Among long FD frames of the identifier too: addWide() sees it came.
    addBlock(hot[index], activities[index], data, length, time);
}

void BitFlipCounter::addFd(quint32 key, const quint8 *data, int length, qint64 time)
{
    length = std::clamp(length, 0, MaxBlocks * DataBytes);
    const size_t index = slot(key);
    if (length > DataBytes || hot[index].wide >= 0)
        addWide(index, data, length, time);
    else
        addBlock(hot[index], activities[index], data, length, time);
}

// Every block the identifier has takes the frame, those past its length as empty: their bytes
// then neither flip nor show, as bytes beyond a frame's length do.
void BitFlipCounter::addWide(size_t index, const quint8 *data, int length, qint64 time)
{
    Hot &first = hot[index];
    if (first.wide < 0) {
        first.wide = qint32(wideBlocks.size());
        wideBlocks.emplace_back();
        wideBlocks.back().seen = first.frames;
    }
    Wide &w = wideBlocks[size_t(first.wide)];
    if (w.seen != first.frames) { // classic frames came since, carrying none of these bytes
        for (Hot &h : w.hot)
            h.length = 0;
    }
    w.maxLength = std::max(w.maxLength, length);
    const size_t needed = size_t((length + DataBytes - 1) / DataBytes);
    if (needed > w.hot.size() + 1) {
        w.hot.resize(needed - 1);
        w.activities.resize(needed - 1);
    }
    addBlock(first, activities[index], data, std::min(length, DataBytes), time);
    for (size_t b = 0; b < w.hot.size(); ++b) {
        const int offset = int(b + 1) * DataBytes;
        const int carried = std::clamp(length - offset, 0, DataBytes);
        quint8 bytes[DataBytes] = {};
        std::memcpy(bytes, data + offset, size_t(carried));
        addBlock(w.hot[b], w.activities[b], bytes, carried, time);
    }
    w.seen = first.frames;
}

// The index goes into the memo slot() keeps of the last identifier, so the frame's own path,
// remote frames and long FD frames included, finds it there without a lookup.
void BitFlipCounter::add(const TimedPacket &frame, qint32 stateIndex)
{
    if (stateIndex >= 0) {
        lastKey = key(frame.packet.id, frame.packet.isExtended());
        lastIndex = stateIndex;
    }
    add(frame);
}

// A flip moves the bits of the oldest of the recent flips out to their times in the activity:
// a byte's eight times span a cache line or two that, with thousands of identifiers, are seldom
// in the cache.
void BitFlipCounter::prefetchFlipTimes(qint32 stateIndex) const
{
    if (stateIndex < 0)
        return;
    const Hot &h = hot[size_t(stateIndex)];
    const char *times =
        reinterpret_cast<const char *>(activities[size_t(stateIndex)].lastFlip.data());
    quint64 leaving = h.recent[size_t((h.newest + 1) % Hot::Recent)];
    while (leaving) {
        const int byte = qCountTrailingZeroBits(leaving) / 8;
        __builtin_prefetch(times + 64 * byte, 1);
        __builtin_prefetch(times + 64 * byte + 63, 1);
        leaving &= ~(quint64(0xFF) << (8 * byte));
    }
}

void BitFlipCounter::add(const TimedPacket &frame)
{
    const CanPacket &p = frame.packet;
    if (p.isRemote())
        return;
    if (p.isFd())
        addFd(key(p.id, p.isExtended()), p.data, p.dataLength(), frame.time);
    else
        add(key(p.id, p.isExtended()), p.data, p.length(), frame.time);
}

void BitFlipCounter::add(const LogRecord &record)
{
    if (record.rtl & 0xF0)
        return;
    const quint32 k = key(record.id, record.frame & CanPacket::Extended);
    if (record.frame & CanPacket::Fd)
        addFd(k, record.data, std::min(record.length(), DataBytes), record.time);
    else
        add(k, record.data, record.rtl & 0x0F, record.time);
}

bool BitFlipCounter::addRows(const RowSnapshot &rows, qint64 first, qint64 end, quint32 onlyKey,
                             const std::atomic_bool *cancel, std::atomic<qint64> *done)
{
    end = std::min(end, rows.size());
    for (qint64 row = std::max<qint64>(first, 0); row < end; ++row) {
        if ((row - first) % CancelCheckRows == 0) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
            if (done)
                done->store(row - first, std::memory_order_relaxed);
        }
        if (!addRow(rows, row, onlyKey))
            return false;
    }
    if (done)
        done->store(std::max<qint64>(end - first, 0), std::memory_order_relaxed);
    return true;
}

bool BitFlipCounter::addRow(const RowSnapshot &rows, qint64 row, quint32 onlyKey)
{
    LogRecord record;
    if (!rows.read(row, &record))
        return false;
    if (onlyKey != AnyKey && key(record.id, record.frame & CanPacket::Extended) != onlyKey)
        return true;
    if (!record.hasTail()) {
        add(record);
        return true;
    }
    TimedPacket frame;
    if (!rows.readFrame(row, &frame))
        return false;
    add(frame);
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
    settle(hot[size_t(at)], activities[size_t(at)]);
    return &activities[size_t(at)];
}

const BitFlipCounter::Wide *BitFlipCounter::wideOf(quint32 key) const
{
    const qint32 at = ids.find(key);
    return at < 0 || hot[size_t(at)].wide < 0 ? nullptr : &wideBlocks[size_t(hot[size_t(at)].wide)];
}

const BitActivity *BitFlipCounter::activity(quint32 key, int block) const
{
    if (block == 0)
        return activity(key);
    const Wide *w = wideOf(key);
    if (!w || block < 1 || size_t(block) > w->hot.size())
        return nullptr;
    settle(w->hot[size_t(block - 1)], w->activities[size_t(block - 1)]);
    return &w->activities[size_t(block - 1)];
}

int BitFlipCounter::blocks(quint32 key) const
{
    const Wide *w = wideOf(key);
    return w ? int(w->hot.size()) + 1 : ids.find(key) >= 0 ? 1 : 0;
}

int BitFlipCounter::bytes(quint32 key) const
{
    const Wide *w = wideOf(key);
    return w ? std::max(w->maxLength, DataBytes) : DataBytes;
}
