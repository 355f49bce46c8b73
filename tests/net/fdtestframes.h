// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <QByteArray>
#include <cstring>

// A CAN FD frame carrying `data` (padded with zeros to the next FD length), with `flags` beside
// the FD flag: route, Extended, BitRateSwitch, ErrorState.
inline CanPacket fdFrame(uint32_t id, const QByteArray &data, uint8_t flags = 0)
{
    CanPacket p;
    p.id = id;
    p.frame = flags;
    p.setFdLength(data.size());
    std::memcpy(p.data, data.constData(), size_t(qMin(data.size(), int(CanPacket::MaxFdBytes))));
    return p;
}

// Bytes 0, 1, 2, ... of `size`, from `seed` on.
inline QByteArray countingBytes(int size, int seed = 0)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i);
    return bytes;
}
