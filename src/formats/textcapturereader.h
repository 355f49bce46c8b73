// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturereader.h"
#include "formats/linesource.h"

// A reader of a line-based capture: cuts the input into lines and hands each to the format's
// parser. Damaged lines (binary bytes, garbage) are counted as skipped and noted as damage, and
// reading goes on past them; input in which not a single frame was found among broken lines is
// not the format at all.
class TextCaptureReader : public CaptureReader
{
public:
    // What a line of the input was.
    enum class Line {
        Frame,   // `frame` filled in
        Header,  // a header or comment of the format: not counted
        Blank,   // an empty line: not counted
        Skipped, // a record of the format that is not a CAN frame (error frames, events)
        Broken,  // not understood
    };

    bool next(TimedPacket &frame) final;

protected:
    // `formatTitle` names the format in error messages ("журнал candump").
    TextCaptureReader(QIODevice *device, const QString &formatTitle);
    // [begin, end) is one line without its line end. `frame` comes in reset to defaults.
    virtual Line parseLine(const char *begin, const char *end, TimedPacket &frame) = 0;

private:
    bool take(Line kind);
    void notThisFormat();

    LineSource lines;
    QString title;
    quint64 framesTaken = 0;
    quint64 brokenLines = 0;
    quint64 lineNumber = 0;
};
