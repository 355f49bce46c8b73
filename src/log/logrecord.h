// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <cstring>

// One logged frame as the row store keeps it: fixed size, so row n sits at byte n * 32 of the
// store's file and a day of traffic costs no heap. An FD frame longer than eight bytes keeps the
// rest of its data in the store's tail rows; `tail` says where.
struct LogRecord
{
    qint64 time; // microseconds since the epoch, TimedPacket::NoTime when unknown
    quint32 id;
    qint32 number; // the log's running number ("idrow")
    quint8 frame;  // CanPacket::frame
    quint8 rtl;    // CanPacket::rtl
    quint8 data[8];
    quint8 direct;  // CanPacket::Received or CanPacket::Transmitted
    quint8 tail[5]; // FD frames over eight bytes: the first of their two tail rows (40 bits)

    // Tail rows a frame needs for its bytes past the eighth.
    static constexpr int TailRows = 2;

    static LogRecord fromFrame(const TimedPacket &frame, qint32 number)
    {
        LogRecord record{};
        record.time = frame.time;
        record.id = frame.packet.id;
        record.number = number;
        record.frame = frame.packet.frame;
        record.rtl = frame.packet.rtl;
        std::memcpy(record.data, frame.packet.data, sizeof record.data);
        record.direct = quint8(frame.packet.direct == CanPacket::Received ? CanPacket::Received
                                                                          : CanPacket::Transmitted);
        return record;
    }

    TimedPacket toFrame() const
    {
        TimedPacket frame;
        frame.time = time;
        frame.packet.id = id;
        frame.packet.frame = this->frame;
        frame.packet.rtl = rtl;
        std::memcpy(frame.packet.data, data, sizeof data);
        frame.packet.direct = direct;
        return frame;
    }

    bool isTransmitted() const { return direct != CanPacket::Received; }
    // As CanPacket::length(): the classic code 0..15 or the FD byte count 0..64.
    int length() const { return (frame & CanPacket::Fd) ? CanPacket::fdLength(rtl) : rtl & 0x0F; }
    bool hasTail() const
    {
        return (frame & CanPacket::Fd) && length() > CanPacket::MaxClassicBytes;
    }
    qint64 tailRow() const
    {
        qint64 row = 0;
        for (int i = 4; i >= 0; --i)
            row = row << 8 | tail[i];
        return row;
    }
    void setTailRow(qint64 row)
    {
        for (quint8 &byte : tail) {
            byte = quint8(row);
            row >>= 8;
        }
    }
};

static_assert(sizeof(LogRecord) == 32, "a stored row must stay 32 bytes");
