#pragma once

#include "formats/capturewriter.h"

// Writes a candump log as can-utils writes it, "(seconds.micro) IFACE ID#DATA", with Quorvex's
// interface names: received frames of CAN0 and CAN1 on "can0" and "can1", received frames
// without a line on "canrx", transmitted frames on "cantx" (their line is not kept). No direction
// mark is written: Wireshark's reader refuses it.
class CandumpWriter final : public CaptureWriter
{
public:
    // The longest line appendLine writes.
    static constexpr int MaxLineSize = 64;

    explicit CandumpWriter(QIODevice *device) : CaptureWriter(device) {}

    bool write(const TimedPacket &frame) override;
    bool finish() override { return flushAll(); }

    // Appends one line for `frame` to `out`: the live recorder formats its lines with it. A frame
    // without a time, or before the epoch, is written at 0.
    static void appendLine(QByteArray &out, const TimedPacket &frame);
};
