// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitflipcounter.h"

#include "log/logrecord.h"
#include "log/rowsnapshot.h"
#include "link/canpacket.h"
#include "link/timedpacket.h"

#include <QtEndian>
#include <algorithm>

namespace {

constexpr int DataBytes = 8;
constexpr int InitialBits = 6;
constexpr quint32 InitialTable = 1u << InitialBits;

quint64 lengthMask(int length)
{
    return length >= DataBytes ? ~quint64(0) : (quint64(1) << (length * 8)) - 1;
}

quint32 spread(quint32 key)
{
    // Fibonacci hashing: neighbouring identifiers spread apart in the product's top bits.
    return key * 0x9E3779B1u;
}

} // namespace

BitFlipCounter::BitFlipCounter()
{
    clear();
}

void BitFlipCounter::clear()
{
    activities.clear();
    slotKeys.clear();
    table.assign(InitialTable, Slot{0, -1});
    tableMask = InitialTable - 1;
    tableShift = 32 - InitialBits;
    lastKey = AnyKey;
    lastIndex = -1;
}

qint32 BitFlipCounter::find(quint32 key) const
{
    for (quint32 at = spread(key) >> tableShift;; at = (at + 1) & tableMask) {
        const Slot &s = table[at];
        if (s.index < 0 || s.key == key)
            return s.index;
    }
}

void BitFlipCounter::grow()
{
    table.assign(table.size() * 2, Slot{0, -1});
    tableMask = quint32(table.size()) - 1;
    --tableShift;
    for (size_t i = 0; i < slotKeys.size(); ++i)
        place(slotKeys[i], qint32(i));
}

void BitFlipCounter::place(quint32 key, qint32 index)
{
    quint32 at = spread(key) >> tableShift;
    while (table[at].index >= 0)
        at = (at + 1) & tableMask;
    table[at] = Slot{key, index};
}

BitActivity &BitFlipCounter::slot(quint32 key)
{
    if (key == lastKey)
        return activities[size_t(lastIndex)];
    qint32 index = find(key);
    if (index < 0) {
        if ((slotKeys.size() + 1) * 2 > table.size())
            grow();
        index = qint32(activities.size());
        activities.emplace_back();
        slotKeys.push_back(key);
        place(key, index);
    }
    lastKey = key;
    lastIndex = index;
    return activities[size_t(index)];
}

void BitFlipCounter::flipped(BitActivity &a, quint64 bits, qint64 time)
{
    a.changed |= bits;
    do {
        const int bit = qCountTrailingZeroBits(bits);
        ++a.flips[size_t(bit)];
        a.lastFlip[size_t(bit)] = time;
        bits &= bits - 1;
    } while (bits);
}

void BitFlipCounter::add(quint32 key, const quint8 *data, int length, qint64 time)
{
    length = std::clamp(length, 0, DataBytes);
    BitActivity &a = slot(key);
    const quint64 word = qFromLittleEndian<quint64>(data) & lengthMask(length);
    if (a.frames > 0) {
        const quint64 bits = (word ^ a.word) & lengthMask(std::min(length, a.length));
        if (bits)
            flipped(a, bits, time);
    }
    a.word = word;
    a.length = length;
    a.lastTime = time;
    ++a.frames;
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
    const qint32 index = find(key);
    return index < 0 ? nullptr : &activities[size_t(index)];
}
