// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/trcwriter.h"

#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/textprint.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"

namespace {

constexpr qint64 EpochDays = 25569;   // 1899-12-30 to 1970-01-01
constexpr int DayFractionDigits = 12; // well under a microsecond
constexpr int MaxLineSize = 320;
constexpr int NumberWidth = 7;
constexpr int OffsetWidth = 13;
constexpr int IdWidth = 8;
constexpr int StandardIdDigits = 4;
constexpr int ExtendedIdDigits = 8;

const char ColumnLegend[] =
    ";-------------------------------------------------------------------------------\n"
    ";   Message   Time    Type    ID     Rx/Tx\n"
    ";   Number    Offset  |  Bus  [hex]  |  Reserved\n"
    ";   |         [ms]    |  |    |      |  |  Data Length Code\n"
    ";   |         |       |  |    |      |  |  |    Data [hex] ...\n"
    ";   |         |       |  |    |      |  |  |    |\n"
    ";---+-- ------+------ +- +- --+----- +- +- +--- +- -- -- -- -- -- -- --\n";

// Days since 1899-12-30 with their fraction, cut (not rounded) after DayFractionDigits digits.
QByteArray dayText(qint64 wallUsec)
{
    const qint64 days = CivilTime::floorDiv(wallUsec, CivilTime::UsPerDay);
    qint64 rest = wallUsec - days * CivilTime::UsPerDay;
    QByteArray text = QByteArray::number(days + EpochDays) + '.';
    for (int i = 0; i < DayFractionDigits; ++i) {
        rest *= 10;
        text += char('0' + rest / CivilTime::UsPerDay);
        rest %= CivilTime::UsPerDay;
    }
    return text;
}

QByteArray clockText(qint64 wallUsec)
{
    const qint64 days = CivilTime::floorDiv(wallUsec, CivilTime::UsPerDay);
    const qint64 us = wallUsec - days * CivilTime::UsPerDay;
    const CivilTime::Date date = CivilTime::civilFromDays(days);
    char text[40];
    char *p = TextPrint::putDigits(text, quint64(qMax<qint64>(date.year, 0)), 4);
    *p++ = '-';
    p = TextPrint::putDigits(p, quint64(date.month), 2);
    *p++ = '-';
    p = TextPrint::putDigits(p, quint64(date.day), 2);
    *p++ = ' ';
    p = TextPrint::putDigits(p, quint64(us / 3600000000LL), 2);
    *p++ = ':';
    p = TextPrint::putDigits(p, quint64(us / 60000000 % 60), 2);
    *p++ = ':';
    p = TextPrint::putDigits(p, quint64(us / CivilTime::UsPerSecond % 60), 2);
    *p++ = '.';
    p = TextPrint::putDigits(p, quint64(us % CivilTime::UsPerSecond), 6);
    return QByteArray(text, int(p - text));
}

char *putOffset(char *p, qint64 us)
{
    char digits[32];
    char *end = TextPrint::putUnsigned(digits, quint64(us / CivilTime::UsPerMs));
    *end++ = '.';
    end = TextPrint::putDigits(end, quint64(us % CivilTime::UsPerMs), 3);
    const int length = int(end - digits);
    p = TextPrint::fill(p, ' ', OffsetWidth - length);
    return TextPrint::putText(p, digits, size_t(length));
}

// The message type: DT, RR, or for CAN FD FD, FB (bit rate switch), FE (error state), BI (both).
const char *typeText(const CanPacket &packet)
{
    if (!packet.isFd())
        return packet.isRemote() ? " RR  " : " DT  ";
    static const char *const fdTypes[] = {" FD  ", " FB  ", " FE  ", " BI  "};
    return fdTypes[((packet.frame & CanPacket::BitRateSwitch) ? 1 : 0) +
                   ((packet.frame & CanPacket::ErrorState) ? 2 : 0)];
}

char *putRecord(char *p, quint64 number, qint64 offset, const CanPacket &packet)
{
    p = TextPrint::putUnsigned(p, number, NumberWidth);
    *p++ = ' ';
    p = putOffset(p, offset);
    p = TextPrint::putText(p, typeText(packet), 5);
    *p++ = char('0' + FrameRoute::channelNumber(packet));
    *p++ = ' ';
    if (packet.isExtended()) {
        p = TextPrint::putHex(p, packet.id & FrameRoute::MaxExtendedId, ExtendedIdDigits);
    } else {
        p = TextPrint::fill(p, ' ', IdWidth - StandardIdDigits);
        p = TextPrint::putHex(p, packet.id & FrameRoute::MaxStandardId, StandardIdDigits);
    }
    p = TextPrint::putText(p, FrameRoute::isTransmitted(packet) ? " Tx - " : " Rx - ");
    // The data length code, right-aligned in two places; CAN FD's carry up to 64 bytes.
    const int length = packet.isFd() ? packet.dataLength() : FrameRoute::classicLength(packet);
    p = TextPrint::putUnsigned(p, uint(packet.isFd() ? packet.rtl & 0x0F : length), 2);
    if ((packet.isFd() || !packet.isRemote()) && length > 0) {
        p = TextPrint::putText(p, "   ");
        p = TextPrint::putSpacedHexBytes(p, packet.data, length);
    }
    *p++ = '\n';
    return p;
}

} // namespace

bool TrcWriter::write(const TimedPacket &frame)
{
    if (!ok())
        return false;
    const qint64 time = timeOf(frame);
    if (!started)
        writeHeader(time);
    char line[MaxLineSize];
    const qint64 offset = qMax<qint64>(0, CivilTime::add(time, -start));
    buffer().append(line, int(putRecord(line, ++number, offset, frame.packet) - line));
    return flushIfFull();
}

void TrcWriter::writeHeader(qint64 firstTime)
{
    started = true;
    start = firstTime;
    const qint64 wall = clock.wallFromUtc(firstTime);
    buffer() += ";$FILEVERSION=2.1\n;$STARTTIME=" + dayText(wall) +
                "\n;$COLUMNS=N,O,T,B,I,d,R,L,D\n;\n;   Start time: " + clockText(wall) +
                "\n;   Generated by Quorvex\n" + ColumnLegend;
}

bool TrcWriter::finish()
{
    if (!started)
        writeHeader(TimeOfDay::nowUsec());
    return flushAll();
}
