// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/fieldmark.h"

#include <vector>

class FrameIndex;

// Says what every field of every identifier is over a span of time: constant bytes, counters
// (2, 4 or 8 bits stepping by a fixed amount modulo their range), checksums (XOR or sum modulo
// 256 of the other bytes, with or without the identifier, or a CRC-8 whose polynomial and initial
// value it finds), single-bit flags and continuous values.
class FieldMarker final
{
public:
    // A counter must have wrapped, and this share of its steps must be the fixed step (a frame
    // lost now and then breaks one step).
    static constexpr double CounterShare = 0.98;
    // Fewer frames than this tell too little for counters, checksums and values.
    static constexpr int MinFrames = 8;

    static std::vector<FieldMark> mark(const FrameIndex &index, qint64 first, qint64 last);
    // Frames begin .. end - 1 of one identifier.
    static std::vector<FieldMark> markSeries(const FrameIndex &index, int series, int begin,
                                             int end);

    // CRC-8, most significant bit first, of `bytes` bytes of `word` (little-endian data word)
    // leaving out byte `skip`.
    static quint8 crc8(quint8 polynomial, quint8 initial, quint64 word, int bytes, int skip);
};
