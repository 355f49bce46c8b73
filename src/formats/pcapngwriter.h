// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturewriter.h"

// Writes a pcapng capture for Wireshark, link type 227 (SocketCAN): a section header naming the
// program, one interface per channel, described when its first frame comes and named as the
// candump recordings name them ("can0", "can1", "canrx" for received frames without a line,
// "cantx" for transmitted ones without a line), nanosecond times, and the direction of each frame
// in its packet flags (inbound received, outbound transmitted). Classic frames are 16-byte
// can_frame records (lengths 9..15 written as 8), CAN FD frames 72-byte canfd_frame records.
class PcapngWriter final : public CaptureWriter
{
public:
    explicit PcapngWriter(QIODevice *device) : CaptureWriter(device) {}

    bool write(const TimedPacket &frame) override;
    bool finish() override;

private:
    // The interface a frame is written on: 0 can0, 1 can1, 2 canrx, 3 cantx.
    static int interfaceOf(const TimedPacket &frame);

    static constexpr int InterfaceCount = 4;

    void begin();
    void describeInterface(int interface);

    int interfaceIds[InterfaceCount] = {-1, -1, -1, -1};
    int described = 0;
    bool started = false;
};
