// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/fieldmark.h"

#include <vector>

class FrameIndex;

// Says what every field of every identifier is over a span of time: constant bytes, counters
// (2, 4 or 8 bits stepping by a fixed amount modulo their range), checksums (see
// ChecksumFinder), single-bit flags and continuous values. Counters and checksums carry the share
// of steps or frames that match.
class FieldMarker final
{
public:
    // A counter must have wrapped, and this share of its steps must be the fixed step. A frame
    // the logger lost leaves a gap of k cycles, which counts as k steps.
    static constexpr double CounterShare = 0.9;
    // Fewer frames than this tell too little for counters, checksums and values.
    static constexpr int MinFrames = 8;

    static std::vector<FieldMark> mark(const FrameIndex &index, qint64 first, qint64 last);
    // Frames begin .. end - 1 of one identifier.
    static std::vector<FieldMark> markSeries(const FrameIndex &index, int series, int begin,
                                             int end);
};
