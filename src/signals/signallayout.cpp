// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/signallayout.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int BitsPerByte = 8;
constexpr int MaxBits = SignalLayout::MaxBytes * BitsPerByte;

// Position in reading order: byte 0 bit 7 first, as the grid shows it. Its own inverse.
int readingPosition(int bit)
{
    return bit / BitsPerByte * BitsPerByte + (BitsPerByte - 1 - bit % BitsPerByte);
}

} // namespace

QVector<int> SignalLayout::bits(int startBit, int length, DbcSignal::ByteOrder order)
{
    QVector<int> result;
    if (length < 1 || length > DbcSignal::MaxLength || startBit < 0 || startBit >= MaxBits)
        return result;
    const bool intel = order == DbcSignal::ByteOrder::Intel;
    const int first = intel ? startBit : readingPosition(startBit);
    if (first + length > MaxBits)
        return result;
    result.reserve(length);
    // Motorola runs in reading order from the most significant bit: walk it backwards.
    for (int i = 0; i < length; ++i)
        result << (intel ? first + i : readingPosition(first + length - 1 - i));
    return result;
}

bool SignalLayout::fits(int startBit, int length, DbcSignal::ByteOrder order, int messageBytes)
{
    const QVector<int> all = bits(startBit, length, order);
    return !all.isEmpty() && std::all_of(all.begin(), all.end(),
                                         [&](int bit) { return bit < messageBytes * BitsPerByte; });
}

void SignalLayout::fromSelection(int fromBit, int toBit, DbcSignal::ByteOrder order, int *startBit,
                                 int *length)
{
    if (order == DbcSignal::ByteOrder::Intel) {
        *startBit = std::min(fromBit, toBit);
        *length = std::abs(fromBit - toBit) + 1;
        return;
    }
    const int a = readingPosition(fromBit);
    const int b = readingPosition(toBit);
    *startBit = readingPosition(std::min(a, b));
    *length = std::abs(a - b) + 1;
}

void SignalLayout::fromDrag(int fromBit, int toBit, int *startBit, int *length,
                            DbcSignal::ByteOrder *order)
{
    // The end in the earlier byte and the end in the later one.
    const bool fromFirst = fromBit / BitsPerByte <= toBit / BitsPerByte;
    const int early = fromFirst ? fromBit : toBit;
    const int late = fromFirst ? toBit : fromBit;
    const bool motorola =
        early / BitsPerByte != late / BitsPerByte && early % BitsPerByte > late % BitsPerByte;
    *order = motorola ? DbcSignal::ByteOrder::Motorola : DbcSignal::ByteOrder::Intel;
    fromSelection(fromBit, toBit, *order, startBit, length);
}

int SignalLayout::otherOrderStart(int startBit, int length, DbcSignal::ByteOrder order)
{
    const QVector<int> all = bits(startBit, length, order);
    if (all.isEmpty())
        return startBit;
    const int lowest = *std::min_element(all.begin(), all.end());
    const int highest = *std::max_element(all.begin(), all.end());
    const bool intel = order == DbcSignal::ByteOrder::Intel;
    if (lowest / BitsPerByte == highest / BitsPerByte) // one byte: the same bits
        return intel ? highest : lowest;
    // Intel takes bits s .. 7 of its first byte, Motorola bits 0 .. s: as many of the other.
    const int first = lowest / BitsPerByte;
    return first * BitsPerByte + (BitsPerByte - 1 - startBit % BitsPerByte);
}
