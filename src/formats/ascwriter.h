// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturewriter.h"
#include "formats/localclock.h"

// Writes a Vector ASC log: the header with the date of the first frame (local time, to the
// millisecond), one trigger block, frame lines with absolute times counted from that date; CAN FD
// frames on CANFD lines. A frame earlier than the first is written at offset 0. Channel 1 is CAN0,
// 2 is CAN1, 3 a frame without a line; classic lengths 9..15 are written as 8.
class AscWriter final : public CaptureWriter
{
public:
    explicit AscWriter(QIODevice *device) : CaptureWriter(device) {}

    bool write(const TimedPacket &frame) override;
    bool finish() override;

private:
    void writeHeader(qint64 firstTime);

    LocalClock clock;
    qint64 reference = 0; // UTC moment of the date line
    bool started = false;
};
