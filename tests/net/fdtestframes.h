// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"
#include "support/testpackets.h"

#include <QByteArray>
#include <cstring>

// Bytes 0, 1, 2, ... of `size`, from `seed` on.
inline QByteArray countingBytes(int size, int seed = 0)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(seed + i);
    return bytes;
}
