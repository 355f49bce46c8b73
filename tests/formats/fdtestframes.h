// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <QVector>
#include <algorithm>

// CAN FD frames for the format tests.
namespace FdTestFrames {

// An FD frame of `bytes` bytes (padded up to an FD length with zeros), data 0xB0 + i ... and
// `flags` of CanPacket::BitRateSwitch / ErrorState; channel 1 = CAN0, 2 = CAN1, 3 = none.
inline TimedPacket fdFrame(qint64 time, uint32_t id, bool extended, int channel, bool tx, int bytes,
                           uint8_t flags = 0)
{
    TimedPacket f;
    f.time = time;
    f.packet.id = id;
    f.packet.frame = uint8_t((extended ? CanPacket::Extended : 0) | (channel == 1   ? 0x10
                                                                     : channel == 2 ? 0x20
                                                                                    : 0));
    f.packet.setFdLength(bytes);
    f.packet.frame |= flags;
    f.packet.direct = tx ? CanPacket::Transmitted : CanPacket::Received;
    for (int i = 0; i < bytes; ++i)
        f.packet.data[i] = uint8_t(0xB0 + i * 7);
    return f;
}

// Every length 0..64 once (so every FD length, and the lengths between them padded up), the four
// flag combinations in turn, 11- and 29-bit identifiers, both directions, channels 1, 2 and none;
// two classic frames among them. The first frame falls on a whole second.
inline QVector<TimedPacket> sampleFdFrames(bool withClassic = true)
{
    const qint64 t0 = 1700000000LL * 1000000;
    static const uint8_t flags[] = {0, CanPacket::BitRateSwitch, CanPacket::ErrorState,
                                    CanPacket::BitRateSwitch | CanPacket::ErrorState};
    QVector<TimedPacket> frames;
    for (int bytes = 0; bytes <= CanPacket::MaxFdBytes; ++bytes) {
        const bool extended = bytes % 3 == 1;
        frames.append(fdFrame(t0 + bytes * 10007, extended ? 0x18DA00F1u + bytes : 0x100u + bytes,
                              extended, 1 + bytes % 3, bytes % 5 == 2, bytes, flags[bytes % 4]));
    }
    if (withClassic) {
        TimedPacket classic = fdFrame(t0 + 5, 0x7FF, false, 1, false, 0);
        classic.packet.frame = CanPacket::Can0ToCan1;
        classic.packet.rtl = 8;
        for (int i = 0; i < 8; ++i)
            classic.packet.data[i] = uint8_t(0x11 * (i + 1));
        frames.insert(1, classic);
        classic.time = t0 + 40 * 10007 + 3;
        classic.packet.rtl = 3;
        classic.packet.frame = CanPacket::Extended | CanPacket::Can1ToCan0;
        classic.packet.id = 0x1FFFFFFF;
        std::fill(classic.packet.data + 3, classic.packet.data + 8, 0);
        frames.insert(42, classic);
    }
    return frames;
}

} // namespace FdTestFrames
