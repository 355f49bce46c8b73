// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/idfigures.h"

#include "link/canpacket.h"

#include <QtEndian>
#include <cstring>

namespace {
constexpr int BitsPerByte = 8;

// Byte i of the frame lands in bits 8i..8i+7.
quint64 loadBytes(const quint8 *bytes)
{
    return qFromLittleEndian<quint64>(bytes);
}

// The bits of bytes 0..count-1 of a loaded word.
quint64 byteMask(int count)
{
    return count >= IdFigures::DataBytes ? ~quint64(0) : (quint64(1) << (BitsPerByte * count)) - 1;
}

quint64 byteBits(int index)
{
    return quint64(0xFF) << (BitsPerByte * index);
}
} // namespace

void IdFigures::add(const CanPacket &packet, qint64 time)
{
    if (frames == 0)
        first = time;
    else
        addCycle(time);
    last = time;
    ++frames;
    window.add(0, 1, time);
    lastDlc = packet.length();
    lastWasRemote = packet.isRemote();
    std::memcpy(lastBytes, packet.data, DataBytes);
    if (!lastWasRemote)
        trackBytes(packet, time);
}

void IdFigures::addCycle(qint64 time)
{
    const qint64 gap = qMax<qint64>(0, time - last); // clock stepped back: see the class comment
    lastGap = gap;
    minGap = (frames == 1) ? gap : qMin(minGap, gap);
    maxGap = (frames == 1) ? gap : qMax(maxGap, gap);
    gapSum += gap;
}

void IdFigures::trackBytes(const CanPacket &packet, qint64 time)
{
    if (Q_UNLIKELY(packet.isFd()) && (packet.dataLength() > DataBytes || wide.bytes))
        trackWideBytes(packet, time);
    const int length = qMin(packet.length(), DataBytes);
    if (refLength >= 0) {
        quint64 changed = loadBytes(packet.data) ^ loadBytes(refBytes);
        changed |= ~byteMask(refLength); // bytes the previous frame did not have
        changed &= byteMask(length);
        for (int i = 0; changed != 0 && i < length; ++i) {
            if (changed & byteBits(i)) {
                changeAt[i] = time;
                changedMask |= quint8(1u << i);
                changed &= ~byteBits(i);
            }
        }
    }
    std::memcpy(refBytes, packet.data, DataBytes);
    refLength = length;
}

// As trackBytes() does for the first eight, a byte at a time: long frames are few.
void IdFigures::trackWideBytes(const CanPacket &packet, qint64 time)
{
    if (!wide.bytes)
        wide.bytes = std::make_unique<Wide>();
    Wide &w = *wide.bytes;
    const int length = packet.dataLength() - DataBytes; // may be below 0
    const quint8 *bytes = packet.data + DataBytes;
    for (int i = 0; i < length && w.refLength >= 0; ++i) {
        if (i >= w.refLength || bytes[i] != w.refBytes[i]) {
            w.changeAt[i] = time;
            w.changedMask |= quint64(1) << i;
        }
    }
    std::memcpy(w.refBytes, bytes, sizeof w.refBytes);
    w.refLength = qMax(length, 0);
}

std::optional<qint64> IdFigures::cycleValue(qint64 gap) const
{
    if (frames < 2)
        return std::nullopt;
    return gap;
}

std::optional<qint64> IdFigures::averageCycle() const
{
    if (frames < 2)
        return std::nullopt;
    return gapSum / qint64(frames - 1);
}

std::optional<qint64> IdFigures::changeTime(int index) const
{
    if (index >= DataBytes && index < MaxBytes && wide.bytes) {
        const int i = index - DataBytes;
        if (wide.bytes->changedMask & (quint64(1) << i))
            return wide.bytes->changeAt[i];
        return std::nullopt;
    }
    if (index < 0 || index >= DataBytes || !(changedMask & (1u << index)))
        return std::nullopt;
    return changeAt[index];
}

double IdFigures::highlight(int index, qint64 now) const
{
    const std::optional<qint64> changed = changeTime(index);
    if (!changed)
        return 0.0;
    const qint64 age = qMax<qint64>(0, now - *changed);
    return age >= HighlightUs ? 0.0 : 1.0 - double(age) / double(HighlightUs);
}

bool IdFigures::isSilent(qint64 now) const
{
    const std::optional<qint64> average = averageCycle();
    return average && now - last > SilenceCycles * *average;
}
