// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <cstdint>

// FLAGS of "< fdframe >" and "< fdsend >", as candump writes them after "##": bit 0 the bit rate
// switch, bit 1 the error state indicator.
namespace SocketcandFlags {

constexpr uint32_t BitRateSwitch = 0x1;
constexpr uint32_t ErrorState = 0x2;

inline uint32_t of(const CanPacket &packet)
{
    return ((packet.frame & CanPacket::BitRateSwitch) ? BitRateSwitch : 0) |
           ((packet.frame & CanPacket::ErrorState) ? ErrorState : 0);
}

// The CanPacket::frame bits the flags stand for.
inline uint8_t frameBits(uint32_t flags)
{
    return uint8_t(((flags & BitRateSwitch) ? CanPacket::BitRateSwitch : 0) |
                   ((flags & ErrorState) ? CanPacket::ErrorState : 0));
}

} // namespace SocketcandFlags
