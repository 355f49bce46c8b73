// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcsignal.h"

namespace {

constexpr int BitsPerByte = 8;
constexpr int WordBits = DbcSignal::MaxLength;

// Position of a sawtooth bit number when the frame is read as one big-endian word, counting
// from the most significant bit of byte 0.
int bigEndianPosition(int sawtoothBit)
{
    return sawtoothBit / BitsPerByte * BitsPerByte + (BitsPerByte - 1 - sawtoothBit % BitsPerByte);
}

} // namespace

void DbcSignal::plan()
{
    bytesNeeded = FrameBytes + 1; // never present unless the layout fits a classic frame
    shift = 0;
    mask = 0;
    signBit = 0;
    bigEndian = byteOrder == ByteOrder::Motorola;
    if (length < 1 || length > MaxLength || startBit < 0 || startBit >= WordBits * BitsPerByte)
        return;
    const int first = bigEndian ? bigEndianPosition(startBit) : startBit;
    const int end = first + length; // one past the last bit in the chosen numbering
    if (end > WordBits)
        return;
    bytesNeeded = (end - 1) / BitsPerByte + 1;
    shift = bigEndian ? WordBits - end : first;
    mask = length == WordBits ? ~uint64_t(0) : (uint64_t(1) << length) - 1;
    signBit = uint64_t(1) << (length - 1);
}

bool DbcSignal::selectedBy(qint64 switchValue) const
{
    for (const Range &range : muxRanges) {
        if (switchValue >= range.low && switchValue <= range.high)
            return true;
    }
    return false;
}
