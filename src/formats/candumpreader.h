// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/textcapturereader.h"

// Reads a candump log: "(seconds.fraction) IFACE ID#DATA" lines with an optional " R" / " T"
// direction mark. "cantx" and "canrx" name transmitted and received frames without a line;
// otherwise an interface whose name ends in 0 is CAN0, in 1 is CAN1, anything else no line. CAN FD
// frames, error frames and data over 8 bytes are skipped.
class CandumpReader final : public TextCaptureReader
{
public:
    explicit CandumpReader(QIODevice *device);

protected:
    Line parseLine(const char *begin, const char *end, TimedPacket &frame) override;
};
