// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/busload.h"

#include "analysis/framebits.h"
#include "link/canpacket.h"
#include "link/tarvixprotocol.h"
#include "link/timedpacket.h"

namespace {
constexpr double FullLoad = 100.0;
constexpr double UsPerSecond = 1e6;
} // namespace

int BusLoad::bitRateForSpeedCode(int code)
{
    const TarvixProtocol::Speed *speed = TarvixProtocol::speedOf(code);
    return speed ? speed->bitRate : 0;
}

int BusLoad::directionOf(const CanPacket &packet)
{
    if (packet.direct != CanPacket::Received)
        return NoDirection;
    const int route = packet.frame & (CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0);
    if (route == CanPacket::Can0ToCan1)
        return Can0ToCan1;
    if (route == CanPacket::Can1ToCan0)
        return Can1ToCan0;
    return NoDirection;
}

void BusLoad::add(const CanPacket &packet, qint64 time)
{
    if (directionOf(packet) != NoDirection)
        add(packet, time, FrameBits::count(packet));
}

void BusLoad::add(const CanPacket &packet, qint64 time, int bits)
{
    const int direction = directionOf(packet);
    if (direction == NoDirection || time == TimedPacket::NoTime || bits <= 0)
        return;
    window.add(direction, quint32(bits), time);
}

double BusLoad::percent(int direction, qint64 now) const
{
    if (bitRate <= 0 || direction < 0 || direction >= DirectionCount)
        return 0.0;
    const double bitsPerWindow =
        double(bitRate) * double(SlidingSum<DirectionCount>::WindowUs) / UsPerSecond;
    return qBound(0.0, window.sum(direction, now) * FullLoad / bitsPerWindow, FullLoad);
}
