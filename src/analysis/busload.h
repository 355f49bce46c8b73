// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/slidingsum.h"

#include <QtGlobal>

struct CanPacket;

// Load of each direction of the bus over the last second, as a percentage of the bit rate.
//
// Only received frames with exactly one route bit count: CAN0->CAN1 (Can0ToCan1) or CAN1->CAN0
// (Can1ToCan0). Transmitted frames, frames with no route bit and frames with both are left out, as
// their line is not known. Each frame counts with its exact bit length (FrameBits), intermission
// included, at the time it was seen; the window is that of SlidingSum. A bit rate of 0 (unknown
// speed) reads 0 %. Figures are clamped to 0..100 %: frames stamped in bursts by the host can
// otherwise crowd more bits into a second than the bus can carry.
class BusLoad final
{
public:
    enum Direction { Can0ToCan1, Can1ToCan0, DirectionCount };
    static constexpr int NoDirection = -1;

    // The bit rate of the module's CAN speed code, 0 for a code it does not have.
    static int bitRateForSpeedCode(int code);
    // The direction a frame counts for, NoDirection when it does not count.
    static int directionOf(const CanPacket &packet);

    void add(const CanPacket &packet, qint64 time);
    // Same, with the frame's bit count already known.
    void add(const CanPacket &packet, qint64 time, int bits);
    double percent(int direction, qint64 now) const;

    void setBitRate(int bitsPerSecond) { bitRate = qMax(0, bitsPerSecond); }
    int bitsPerSecond() const { return bitRate; }
    void clear() { window.clear(); }

private:
    SlidingSum<DirectionCount> window;
    int bitRate = 0;
};
