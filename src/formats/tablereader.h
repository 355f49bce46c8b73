// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/localclock.h"
#include "formats/textcapturereader.h"

#include <QDate>

// Reads Quorvex's semicolon table back. The table holds only the local time of day: the frames
// are placed on the base date (local midnight of it, 1970-01-01 unless set) and move to the next
// day whenever the time of day goes back by more than 12 hours. A row without a time has none.
// The length nibble of a classic row is kept as written (0..15); a CAN FD row (see TableWriter)
// gives its byte count, padded up to an FD length.
class TableReader final : public TextCaptureReader
{
public:
    explicit TableReader(QIODevice *device);

    void setBaseDate(const QDate &date) override;

protected:
    Line parseLine(const char *begin, const char *end, TimedPacket &frame) override;

private:
    qint64 timeOfRow(uint msOfDay);

    LocalClock clock;
    qint64 dayWall = 0; // wall-clock microseconds of the current day's midnight
    qint64 lastMs = -1; // time of day of the last row with a time
};
