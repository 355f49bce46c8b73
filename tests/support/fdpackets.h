// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QByteArray>

// A CAN FD frame of `bytes` data bytes (rounded up to an FD length) whose byte i is `first` + i,
// so a byte shown or matched in the wrong place shows. `flags` adds to CanPacket::Fd (extended,
// bit rate switch, error state).
inline CanPacket countingFdFrame(uint32_t id, int bytes, uint8_t flags = 0, uint8_t first = 0)
{
    CanPacket p;
    p.id = id;
    p.frame = flags;
    p.setFdLength(bytes);
    for (int i = 0; i < CanPacket::MaxFdBytes; ++i)
        p.data[i] = uint8_t(first + i);
    return p;
}

// Bytes `seed`, `seed` + 1, ... of `size`.
inline QByteArray countingBytes(int size, int seed = 0)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i);
    return bytes;
}
