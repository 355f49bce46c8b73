// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"
#include "link/tarvixprotocol.h"
#include "link/timedpacket.h"

#include <QByteArray>
#include <algorithm>

// Frames for tests. What a helper does not set keeps CanPacket's default: received, delay 1.

// `flags` is the flag byte (CanPacket::Extended, route bits), `rtl` the RTR/length byte; data
// byte 0 is `first`, the others zero. By default a standard frame of 8 bytes, received on
// CAN0->CAN1 as most traffic a module reports.
inline CanPacket testFrame(uint32_t id, uint8_t flags = CanPacket::Can0ToCan1, uint8_t rtl = 8,
                           uint8_t first = 0)
{
    CanPacket p;
    p.id = id;
    p.frame = flags;
    p.rtl = rtl;
    p.data[0] = first;
    return p;
}

// A frame carrying `data`: its size is the length; `remote` adds the RTR bit.
inline CanPacket dataFrame(uint32_t id, const QByteArray &data, uint8_t flags, bool remote = false)
{
    CanPacket p =
        testFrame(id, flags, uint8_t((remote ? TarvixProtocol::RemoteFlag : 0) | data.size()));
    std::copy_n(data.cbegin(), std::min(data.size(), 8), p.data);
    return p;
}

// A CAN FD frame carrying `data`, its length rounded up to the next FD length; `flags` as above
// plus CanPacket::BitRateSwitch or ErrorState.
inline CanPacket fdFrame(uint32_t id, const QByteArray &data, uint8_t flags = 0)
{
    CanPacket p = testFrame(id, flags, 0);
    p.setFdLength(int(data.size()));
    std::copy_n(data.cbegin(), std::min<int>(data.size(), CanPacket::MaxFdBytes), p.data);
    return p;
}

// The data as hex digits, "1122" for two bytes.
inline CanPacket hexFrame(uint32_t id, const char *hex, bool remote = false)
{
    return dataFrame(id, QByteArray::fromHex(hex), 0, remote);
}

// Seen at `time` (microseconds since the epoch), without a route.
inline TimedPacket timedFrame(qint64 time, uint32_t id, bool extended, const QByteArray &data)
{
    return {time, dataFrame(id, data, extended ? CanPacket::Extended : 0)};
}

// Frame `n` of a run received on CAN0->CAN1: identifier n, and eight data bytes that change with
// n, so a lost, repeated or shifted record shows in any field.
inline CanPacket numberedFrame(uint32_t n)
{
    CanPacket p = testFrame(n);
    for (int i = 0; i < 8; ++i)
        p.data[i] = uint8_t(n * 7 + uint32_t(i));
    return p;
}
