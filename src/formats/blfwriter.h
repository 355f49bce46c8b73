// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturewriter.h"
#include "formats/localclock.h"

#include <memory>

// Writes a Vector binary log: CAN_MESSAGE objects for classic frames and CAN_FD_MESSAGE objects
// for CAN FD ones, with nanosecond timestamps, gathered in zlib-compressed LOG_CONTAINER objects of
// 128 KiB. The header's start time is the first frame's moment (local time) cut to the
// millisecond; a frame earlier than that is written at it. Channel 1 is CAN0, 2 is CAN1, 3 a frame
// without a line; classic lengths 9..15 are written as 8. On a device that can seek, finish()
// fills in the header's sizes, count and stop time; on a pipe they stay 0.
class BlfWriter final : public CaptureWriter
{
public:
    explicit BlfWriter(QIODevice *device);
    ~BlfWriter() override;

    bool write(const TimedPacket &frame) override;
    bool finish() override;

private:
    struct Deflater;

    void begin(qint64 firstTime);
    void appendMessage(qint64 time, const TimedPacket &frame);
    bool closeContainer();
    QByteArray fileHeader() const;
    bool rewriteHeader();

    std::unique_ptr<Deflater> deflater;
    LocalClock clock;
    QByteArray objects; // inner objects of the container being filled
    QByteArray packed;  // compressed container payload
    qint64 headerPos = 0;
    qint64 start = 0;     // UTC moment of the header's start time
    qint64 startWall = 0; // the same as local wall-clock time
    qint64 lastTime = 0;
    quint64 fileSize = 0;
    quint64 uncompressedSize = 0;
    quint32 objectCount = 0;
    bool started = false;
};
