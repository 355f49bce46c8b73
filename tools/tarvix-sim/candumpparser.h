// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QByteArray>

// One line of a can-utils candump log, "(seconds.micro) iface ID#DATA", turned into a frame.
// Works on text alone: no file, no state, so any input is safe to feed it.
class CandumpParser final
{
public:
    enum class Result { Frame, Blank, Bad };

    struct Entry
    {
        qint64 timeUs = 0; // the line's timestamp in microseconds
        CanPacket packet;  // `frame` carries the route bit and, for 29-bit ids, the extended bit
    };

    // Blank for an empty or all-space line; Bad for anything that is not a classic CAN frame
    // (CAN FD "##" lines included). `entry` is only written for Frame.
    static Result parse(const QByteArray &line, Entry &entry);
    // The line an interface stands for: CAN1 for a name ending in 1, else CAN0.
    static uint8_t routeOf(const QByteArray &iface);

private:
    static bool parseTime(const QByteArray &field, qint64 &timeUs);
    static bool parseFrame(const QByteArray &field, CanPacket &packet);
    static bool parseId(const QByteArray &digits, CanPacket &packet);
    static bool parsePayload(const QByteArray &text, CanPacket &packet);
    static bool parseRemote(const QByteArray &text, CanPacket &packet);
};
