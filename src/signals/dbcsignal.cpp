// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcsignal.h"

#include <algorithm>

namespace {

constexpr int BitsPerByte = 8;
constexpr int WordBits = DbcSignal::MaxLength;
constexpr int WordBytes = WordBits / BitsPerByte;

// Position of a sawtooth bit number when the frame is read as one big-endian word, counting
// from the most significant bit of byte 0.
int bigEndianPosition(int sawtoothBit)
{
    return sawtoothBit / BitsPerByte * BitsPerByte + (BitsPerByte - 1 - sawtoothBit % BitsPerByte);
}

} // namespace

void DbcSignal::plan()
{
    bytesNeeded = MaxFrameBytes + 1; // never present unless the layout fits an FD frame
    wordAt = 0;
    shift = 0;
    mask = 0;
    signBit = 0;
    spill = false;
    bigEndian = byteOrder == ByteOrder::Motorola;
    if (length < 1 || length > MaxLength || startBit < 0 || startBit >= MaxFrameBytes * BitsPerByte)
        return;
    // The bits in the chosen numbering: Intel from bit 0 of byte 0 up, Motorola from bit 7 of
    // byte 0 down.
    const int first = bigEndian ? bigEndianPosition(startBit) : startBit;
    const int end = first + length; // one past the last bit
    if (end > MaxFrameBytes * BitsPerByte)
        return;
    const int firstByte = first / BitsPerByte;
    const int lastByte = (end - 1) / BitsPerByte;
    bytesNeeded = lastByte + 1;
    // Eight bytes are read, ending with the signal's last byte (from byte 0 while they fit a
    // classic frame); a signal over nine bytes reads from its first and takes the ninth apart.
    spill = lastByte - firstByte >= WordBytes;
    wordAt = spill ? firstByte : std::max(0, lastByte - (WordBytes - 1));
    const int windowStart = wordAt * BitsPerByte;
    shift = bigEndian ? windowStart + WordBits - end : first - windowStart;
    mask = length == WordBits ? ~uint64_t(0) : (uint64_t(1) << length) - 1;
    signBit = uint64_t(1) << (length - 1);
}

uint64_t DbcSignal::spilledBits(const uint8_t *at, uint64_t word) const
{
    const uint64_t ninth = at[WordBytes];
    if (bigEndian) {
        // Nine bytes big-endian: the signal ends `-shift` bits into the ninth byte.
        const int into = -shift;
        return ((word << into) | (ninth >> (BitsPerByte - into))) & mask;
    }
    return ((word >> shift) | (ninth << (WordBits - shift))) & mask;
}

bool DbcSignal::selectedBy(qint64 switchValue) const
{
    for (const Range &range : muxRanges) {
        if (switchValue >= range.low && switchValue <= range.high)
            return true;
    }
    return false;
}
