// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"
#include "link/tarvixprotocol.h"

#include <algorithm>
#include <cstdint>

// The numbered channels of the ASC, TRC and BLF formats and the classic-CAN view of a frame,
// shared by their readers and writers.
namespace FrameRoute {

constexpr uint8_t RouteBits = CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0;
constexpr int MaxClassicLength = 8;
constexpr uint8_t RemoteFlag = TarvixProtocol::RemoteFlag; // in CanPacket::rtl
constexpr uint32_t MaxStandardId = 0x7FF;
constexpr uint32_t MaxExtendedId = 0x1FFFFFFF;

// Channel 1 is line CAN0, 2 is CAN1, 3 stands for a frame without a line. Bit 4 wins when both
// route bits are set, as in the log.
inline int channelNumber(const CanPacket &packet)
{
    if (packet.frame & CanPacket::Can0ToCan1)
        return 1;
    return (packet.frame & CanPacket::Can1ToCan0) ? 2 : 3;
}

inline uint8_t routeOfChannel(long long channel)
{
    if (channel == 1)
        return CanPacket::Can0ToCan1;
    return channel == 2 ? CanPacket::Can1ToCan0 : 0;
}

// Lengths 9..15 of a classic frame still carry 8 bytes.
inline int classicLength(const CanPacket &packet)
{
    return std::min(packet.length(), MaxClassicLength);
}

inline bool isTransmitted(const CanPacket &packet)
{
    return packet.direct != CanPacket::Received;
}

// Identifier in range for its kind.
inline bool validId(uint32_t id, bool extended)
{
    return id <= (extended ? MaxExtendedId : MaxStandardId);
}

} // namespace FrameRoute
