// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturewriter.h"
#include "link/timeofday.h"

// Writes Quorvex's semicolon table, byte for byte what the log export writes: a header line, then
// per frame the identifier, format, remote flag, length nibble, eight data bytes, direction and
// local time of day ("hh:mm:ss:zzz", empty for a frame without a time), each followed by ";".
//
// A CAN FD row has the same fields, its length the byte count (0..64), and goes on after the time
// with "FD" (" BRS", " ESI" added as set) and the bytes past the eighth, each followed by ";".
// Classic rows and the header stay as they always were, so files written before read the same;
// a reader that knows only classic rows refuses an FD row as a broken line, never misreads it.
class TableWriter final : public CaptureWriter
{
public:
    explicit TableWriter(QIODevice *device);

    bool write(const TimedPacket &frame) override;
    bool finish() override { return flushAll(); }

private:
    TimeOfDay clock;
};
