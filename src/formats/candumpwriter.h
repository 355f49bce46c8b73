// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturewriter.h"

// Writes a candump log as can-utils writes it, "(seconds.micro) IFACE ID#DATA", and CAN FD frames
// as "ID##FDATA" (F: the flags digit, 1 bit rate switch, 2 error state). The module's own
// recordings use Quorvex's interface names: received frames of CAN0 and CAN1 on "can0" and
// "can1", received frames without a line on "canrx", transmitted frames on "cantx". A converted
// capture names each frame's interface as its source does (setInterface()).
//
// Plain candump carries no direction; the trailing " T" (transmitted) / " R" (received) marks that
// python-can and can-utils read are written only when asked for: Wireshark's reader refuses them.
class CandumpWriter final : public CaptureWriter
{
public:
    // The longest line appendLine writes, the interface name aside: 64 FD bytes.
    static constexpr int MaxLineSize = 192;

    explicit CandumpWriter(QIODevice *device) : CaptureWriter(device) {}

    bool write(const TimedPacket &frame) override;
    bool finish() override { return flushAll(); }

    // The interface of the frames written next; empty for Quorvex's own names.
    void setInterface(const QByteArray &name) { interfaceName = name; }
    void setDirectionMarks(bool on) { directionMarks = on; }

    // Appends one line for `frame` to `out`: the live recorder formats its lines with it. A frame
    // without a time, or before the epoch, is written at 0.
    static void appendLine(QByteArray &out, const TimedPacket &frame,
                           const QByteArray &interfaceName = QByteArray(), bool mark = false);

private:
    QByteArray interfaceName;
    bool directionMarks = false;
};
