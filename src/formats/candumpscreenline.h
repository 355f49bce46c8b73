// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/localclock.h"
#include "link/timedpacket.h"

class LineTokens;
class QDate;

// The lines candump prints on the screen, "  can0  18FCF200   [8]  E1 FF FF FF FF FF FF FF", read
// one at a time: the times of -t a ("(1714557072.123456)"), -t A ("(2024-05-01
// 10:11:12.123456)", local time), -t d and -t z ("(000.005001)", between frames and since the
// first), the direction and flag columns of -x ("RX B -"), remote frames ("[2]  remote request"),
// CAN FD frames ("[12]", two digits; bit rate switch and error state only from -x's flags), and
// error frames with the explanation lines that follow them. What comes after the data bytes
// (-a's characters, "ERRORFRAME") is not read.
//
// Relative times count from local midnight of the base day (1970-01-01 unless set), so the
// file's first frame falls on its start. Whether they are gaps (-t d) or times since the first
// frame (-t z) cannot be told from one line, both starting at 0: judge() decides it from the
// first lines of the file, gaps once any time is less than the one before it.
//
// Works on text alone, with no file: the candump reader uses it, and so does the virtual
// module's replay.
class CandumpScreenLine final
{
public:
    enum class Result {
        Frame,   // `frame` filled in
        Note,    // the explanation of an error frame, on the lines after it
        Blank,   // nothing but spaces
        Skipped, // an error frame
        Broken,  // not a line of candump
    };

    CandumpScreenLine();

    void setBaseDate(const QDate &date);
    // Looks at the lines of [begin, end), the head of a file, for relative times that go back.
    void judge(const char *begin, const char *end);
    bool relativeTimesAreGaps() const { return gaps; }

    // One line without its line end; `frame` is reset first. A line without a time gives a frame
    // with none (TimedPacket::NoTime).
    Result parse(const char *begin, const char *end, TimedPacket &frame);
    // The interface of the last frame: a range into its line.
    const char *interfaceBegin() const { return nameBegin; }
    const char *interfaceEnd() const { return nameEnd; }

private:
    enum class Clock { None, Absolute, Relative };

    // The time fields from the first field; the index of the field after them, or -1.
    int readTime(const LineTokens &t, Clock &clock, qint64 &us);
    // The interface and -x's columns from field `field`; the index of the field after them.
    int readInterface(const LineTokens &t, int field, CanPacket &packet);
    Result readFrame(const LineTokens &t, int field, CanPacket &packet);
    qint64 relativeTime(qint64 us);

    LocalClock local;
    qint64 originUs = 0;    // UTC of the zero of relative times
    qint64 sinceOrigin = 0; // the relative time of the last frame
    bool gaps = false;
    bool afterError = false;
    uint8_t fdFlags = 0; // -x's "B" and "E" of the last line
    const char *nameBegin = nullptr;
    const char *nameEnd = nullptr;
};
