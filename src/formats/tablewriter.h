// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturewriter.h"
#include "link/timeofday.h"

// Writes Quorvex's semicolon table, byte for byte what the log export writes: a header line, then
// per frame the identifier, format, remote flag, length nibble, eight data bytes, direction and
// local time of day ("hh:mm:ss:zzz", empty for a frame without a time), each followed by ";".
class TableWriter final : public CaptureWriter
{
public:
    explicit TableWriter(QIODevice *device);

    bool write(const TimedPacket &frame) override;
    bool finish() override { return flushAll(); }

private:
    TimeOfDay clock;
};
