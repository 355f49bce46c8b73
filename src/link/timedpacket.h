// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QtGlobal>
#include <limits>

// A frame with the moment it was seen: what captures on disk and the log rows carry.
//
// `time` is microseconds since the Unix epoch (UTC). The line a frame belongs to travels in the
// route bits of `packet.frame` (Can0ToCan1 for CAN0->CAN1, Can1ToCan0 for CAN1->CAN0, neither when
// the module gave none); the direction in `packet.direct` (Received or Transmitted).
struct TimedPacket
{
    // A frame whose moment is not known (a table row without a time, say).
    static constexpr qint64 NoTime = std::numeric_limits<qint64>::min();

    qint64 time = 0;
    CanPacket packet;
};
