// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/localclock.h"
#include "formats/textcapturereader.h"

#include <QByteArray>

class LineTokens;
struct CanPacket;

// Reads a PEAK trace, versions 1.0 to 1.3 and 2.0 / 2.1: the ";$FILEVERSION" and ";$STARTTIME"
// headers (days since 1899-12-30, local time) and the column layout of the version, or of
// ";$COLUMNS". Data and remote frames are taken, and in 2.x the CAN FD types (FD, FB, FE, BI);
// error, status and event records are skipped. Bus 1 is CAN0, 2 is CAN1. Without a start time,
// times count from the epoch.
class TrcReader final : public TextCaptureReader
{
public:
    explicit TrcReader(QIODevice *device);

protected:
    Line parseLine(const char *begin, const char *end, TimedPacket &frame) override;

private:
    Line parseHeader(const char *begin, const char *end);
    Line parseRecord(const LineTokens &tokens, TimedPacket &frame);
    // One column of a record; `k` is the token it starts at, moved past what it used.
    Line parseColumn(char column, const LineTokens &tokens, int &k, TimedPacket &frame);
    static Line parseId(const char *begin, const char *end, CanPacket &packet);
    Line parseType(const char *begin, const char *end, CanPacket &packet) const;
    static bool parseFdType(const char *begin, const char *end, CanPacket &packet);
    Line parseData(const LineTokens &tokens, int &k, CanPacket &packet) const;
    int applyLength(CanPacket &packet) const;
    void setVersion(const char *begin, const char *end);

    LocalClock clock;
    QByteArray columns; // one letter a column, as in ";$COLUMNS"
    qint64 start = 0;   // UTC moment the offsets count from
    int major = 1;
    int lengthField = 0;       // the record's length column, as written
    bool lengthIsCode = false; // it was 'L', the data length code
};
