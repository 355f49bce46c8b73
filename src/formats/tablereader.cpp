// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/tablereader.h"

#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/linetokens.h"
#include "formats/textscan.h"
#include "link/timedpacket.h"

#include <QCoreApplication>
#include <cstring>

namespace {

using Line = TextCaptureReader::Line;

constexpr int FieldCount = 14; // ID FF RTR LEN D0..D7 DIR TIME
constexpr int FirstData = 4;
constexpr int DirField = 12;
constexpr int TimeField = 13;
constexpr int MaxNibble = 15;
constexpr qint64 HalfDayMs = 12 * 3600 * 1000;

struct Field
{
    const char *begin;
    const char *end;
    bool is(const char *text) const
    {
        const size_t length = std::strlen(text);
        return size_t(end - begin) == length && std::memcmp(begin, text, length) == 0;
    }
};

// The next field, which ends with ';'; false at the end of the row.
bool nextField(const char *&p, const char *end, Field &field)
{
    const char *semicolon = static_cast<const char *>(std::memchr(p, ';', size_t(end - p)));
    if (semicolon == nullptr)
        return false;
    field = {p, semicolon};
    p = semicolon + 1;
    return true;
}

// The fields of a classic row: every one ends with ';'. `p` is left after the last, where a
// CAN FD row goes on.
bool splitRow(const char *&p, const char *end, Field (&fields)[FieldCount])
{
    for (Field &field : fields) {
        if (!nextField(p, end, field))
            return false;
    }
    return true;
}

bool atEnd(const char *p, const char *end)
{
    while (p != end && TextScan::isSpace(*p))
        ++p;
    return p == end;
}

bool parseHexField(const Field &field, uint32_t &value, int maxDigits)
{
    const char *p = field.begin;
    if (field.end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        p += 2;
    return TextScan::parseHex(p, field.end, value, maxDigits);
}

bool parseDirection(const Field &field, CanPacket &packet)
{
    if (field.is("TX"))
        packet.direct = CanPacket::Transmitted;
    else if (field.is("RX (CAN0->CAN1)"))
        packet.frame |= CanPacket::Can0ToCan1;
    else if (field.is("RX (CAN1->CAN0)"))
        packet.frame |= CanPacket::Can1ToCan0;
    else if (!field.is("RX"))
        return false;
    return true;
}

// "hh:mm:ss:zzz" as milliseconds of the day.
bool parseClock(const Field &f, uint &ms)
{
    qint64 parts[4] = {};
    const int starts[4] = {0, 3, 6, 9};
    const int widths[4] = {2, 2, 2, 3};
    const qint64 limits[4] = {23, 59, 59, 999};
    if (f.end - f.begin != 12 || f.begin[2] != ':' || f.begin[5] != ':' || f.begin[8] != ':')
        return false;
    for (int i = 0; i < 4; ++i) {
        const char *p = f.begin + starts[i];
        if (!TextScan::parseDec(p, p + widths[i], parts[i]) || parts[i] > limits[i])
            return false;
    }
    ms = uint(((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000 + parts[3]);
    return true;
}

// The fields every row has; `length` is the length field (a CAN FD row's byte count).
bool parsePacket(const Field (&f)[FieldCount], bool fd, CanPacket &packet, qint64 &length)
{
    uint32_t id = 0; // the packed record's id cannot be bound to a reference
    if (!parseHexField(f[0], id, 8) || !(f[1].is("EFF") || f[1].is("SFF")) ||
        !(f[2].is("0") || f[2].is("1")) || !TextScan::parseDec(f[3].begin, f[3].end, length, 2) ||
        length > (fd ? CanPacket::MaxFdBytes : MaxNibble) || !parseDirection(f[DirField], packet))
        return false;
    packet.id = id;
    if (f[1].is("EFF"))
        packet.frame |= CanPacket::Extended;
    if (fd && f[2].is("1"))
        return false; // CAN FD has no remote frames
    packet.rtl = uint8_t((f[2].is("1") ? FrameRoute::RemoteFlag : 0) | (fd ? 0 : length));
    const int carried = packet.isRemote() ? 0 : qMin(int(length), FrameRoute::MaxClassicLength);
    for (int i = 0; i < FrameRoute::MaxClassicLength; ++i) {
        uint32_t byte = 0;
        if (!parseHexField(f[FirstData + i], byte, 2))
            return false;
        packet.data[i] = i < carried ? uint8_t(byte) : 0;
    }
    return FrameRoute::validId(packet.id, packet.isExtended());
}

// What follows the time of a CAN FD row of `length` bytes: "FD", " BRS", " ESI", then the bytes
// past the eighth, one field each.
bool parseFdTail(const char *p, const char *end, int length, CanPacket &packet)
{
    Field flags{};
    if (!nextField(p, end, flags))
        return false;
    const LineTokens words(flags.begin, flags.end);
    if (words.count() == 0 || !Field{words.begin(0), words.end(0)}.is("FD"))
        return false;
    for (int i = 1; i < words.count(); ++i) {
        if (TextScan::equalsNoCase(words.begin(i), words.end(i), "BRS"))
            packet.frame |= CanPacket::BitRateSwitch;
        else if (TextScan::equalsNoCase(words.begin(i), words.end(i), "ESI"))
            packet.frame |= CanPacket::ErrorState;
        else
            return false;
    }
    for (int i = FrameRoute::MaxClassicLength; i < length; ++i) {
        Field field{};
        uint32_t byte = 0;
        if (!nextField(p, end, field) || !parseHexField(field, byte, 2))
            return false;
        packet.data[i] = uint8_t(byte);
    }
    packet.setFdLength(length); // a length between FD lengths is padded
    return atEnd(p, end);
}

} // namespace

TableReader::TableReader(QIODevice *device)
    : TextCaptureReader(device, QCoreApplication::translate("TableReader", "таблицу Quorvex"))
{
}

void TableReader::setBaseDate(const QDate &date)
{
    if (!date.isValid())
        return;
    dayWall = CivilTime::daysFromCivil(date.year(), date.month(), date.day()) * CivilTime::UsPerDay;
    lastMs = -1;
}

TextCaptureReader::Line TableReader::parseLine(const char *begin, const char *end,
                                               TimedPacket &frame)
{
    while (begin != end && TextScan::isSpace(*begin))
        ++begin;
    if (begin == end)
        return Line::Blank;
    if (*begin == '[')
        return Line::Header;
    Field fields[FieldCount];
    uint ms = 0;
    const Field &time = fields[TimeField];
    const char *rest = begin;
    if (!splitRow(rest, end, fields) || (time.begin != time.end && !parseClock(time, ms)))
        return Line::Broken;
    const bool fd = !atEnd(rest, end);
    qint64 length = 0;
    if (!parsePacket(fields, fd, frame.packet, length) ||
        (fd && !parseFdTail(rest, end, int(length), frame.packet)))
        return Line::Broken;
    frame.time = time.begin == time.end ? TimedPacket::NoTime : timeOfRow(ms);
    return Line::Frame;
}

qint64 TableReader::timeOfRow(uint ms)
{
    if (lastMs >= 0 && qint64(ms) + HalfDayMs < lastMs)
        dayWall += CivilTime::UsPerDay;
    lastMs = ms;
    return clock.utcFromWall(dayWall + qint64(ms) * CivilTime::UsPerMs);
}
