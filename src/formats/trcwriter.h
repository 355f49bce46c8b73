// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturewriter.h"
#include "formats/localclock.h"

// Writes a PEAK trace of version 2.1: ";$STARTTIME" is the first frame's moment (local time) and
// each record's offset counts from it in milliseconds to the microsecond. Bus 1 is CAN0, 2 is
// CAN1, 3 a frame without a line. A frame earlier than the first is written at offset 0; classic
// lengths 9..15 are written as 8. CAN FD frames are records of the FD types (FD, FB, FE, BI) with
// their data length code; a classic capture's file is as before.
class TrcWriter final : public CaptureWriter
{
public:
    explicit TrcWriter(QIODevice *device) : CaptureWriter(device) {}

    bool write(const TimedPacket &frame) override;
    bool finish() override;

private:
    void writeHeader(qint64 firstTime);

    LocalClock clock;
    qint64 start = 0;
    quint64 number = 0;
    bool started = false;
};
