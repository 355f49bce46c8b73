// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/candumpscreenline.h"
#include "formats/textcapturereader.h"

// Reads a candump log: "(seconds.fraction) IFACE ID#DATA" lines, or "ID##FDATA" for CAN FD (F: one
// hex digit of flags), with an optional " R" / " T" direction mark. "cantx" and "canrx" name
// transmitted and received frames without a line; otherwise an interface whose name ends in 0 is
// CAN0, in 1 is CAN1, anything else no line. Error frames and classic data over 8 bytes are
// skipped.
//
// What candump prints on the screen is read as well, line by line beside the log's lines (see
// CandumpScreenLine); its relative times count from the base date.
class CandumpReader final : public TextCaptureReader
{
public:
    // How much of the input is looked at first to tell the kind of relative screen times.
    static constexpr qint64 JudgedBytes = 64 * 1024;

    explicit CandumpReader(QIODevice *device);

    void setBaseDate(const QDate &date) override;
    // Whether the head of a file reads as candump's log or screen output: a frame, and at least
    // as many frames as lines that were not.
    static bool looksLike(const QByteArray &head);

protected:
    Line parseLine(const char *begin, const char *end, TimedPacket &frame) override;

private:
    Line parseScreenLine(const char *begin, const char *end, TimedPacket &frame);

    CandumpScreenLine screen;
};
