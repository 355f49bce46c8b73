// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/candumpreader.h"

#include "formats/candumptext.h"
#include "formats/frameroute.h"
#include "formats/linetokens.h"
#include "formats/textscan.h"
#include "link/timedpacket.h"

#include <QBuffer>
#include <QCoreApplication>
#include <cstring>

namespace {

using Line = TextCaptureReader::Line;

using CandumpText::ErrorFrameFlag;
using CandumpText::ExtendedIdDigits;
using CandumpText::StandardIdDigits;
constexpr uint32_t NonIdBits = 0xC0000000;

bool parseTime(const char *begin, const char *end, qint64 &us)
{
    if (end - begin < 3 || *begin != '(' || end[-1] != ')')
        return false;
    return TextScan::parseScaled(begin + 1, end - 1, CandumpText::FractionDigits, us);
}

bool parseId(const char *begin, const char *end, CanPacket &packet)
{
    const int digits = int(end - begin);
    if (digits != StandardIdDigits && digits != ExtendedIdDigits)
        return false;
    uint32_t id = 0; // the packed record's id cannot be bound to a reference
    if (!TextScan::parseHex(begin, end, id))
        return false;
    packet.id = id;
    if (digits == ExtendedIdDigits)
        packet.frame |= CanPacket::Extended;
    return digits == ExtendedIdDigits || packet.id <= FrameRoute::MaxStandardId;
}

// "R" or "R0".."R8" after the '#'.
Line parseRemote(const char *p, const char *end, CanPacket &packet)
{
    int length = 0;
    if (end - p == 1) {
        if (!TextScan::isDigit(*p) || *p > '8')
            return Line::Broken;
        length = *p - '0';
    } else if (p != end) {
        return Line::Broken;
    }
    packet.rtl = uint8_t(FrameRoute::RemoteFlag | length);
    return Line::Frame;
}

constexpr int BadBytes = -1;
constexpr int TooManyBytes = -2;

// Hex byte pairs into `data` up to the end or a '_': their count; BadBytes for an odd digit or
// no hex, TooManyBytes for a good pair past `max`.
int parseBytes(const char *&p, const char *end, uint8_t *data, int max)
{
    int count = 0;
    for (; p != end && *p != '_'; p += 2, ++count) {
        const int high = TextScan::hexValue(*p);
        const int low = p + 1 != end ? TextScan::hexValue(p[1]) : -1;
        if (high < 0 || low < 0)
            return BadBytes;
        if (count == max)
            return TooManyBytes;
        data[count] = uint8_t(high << 4 | low);
    }
    return count;
}

// Hex byte pairs, and after eight bytes an optional "_X": a classic length code 9..F.
Line parseData(const char *p, const char *end, CanPacket &packet)
{
    const int count = parseBytes(p, end, packet.data, FrameRoute::MaxClassicLength);
    if (count == TooManyBytes)
        return Line::Skipped; // more than a classic frame carries
    if (count == BadBytes)
        return Line::Broken;
    if (p != end && (count != FrameRoute::MaxClassicLength || end - p != 2 ||
                     TextScan::hexValue(p[1]) < FrameRoute::MaxClassicLength + 1))
        return Line::Broken;
    packet.rtl = uint8_t(count);
    return Line::Frame;
}

// After "##": one hex digit of flags (bit 0 bit rate switch, bit 1 error state; newer can-utils
// add bit 2 for the FD format itself), then up to 64 bytes. A length between FD lengths, as
// can-utils takes it, is padded up.
Line parseFdData(const char *p, const char *end, CanPacket &packet)
{
    const int flags = p != end ? TextScan::hexValue(*p++) : -1;
    const int count = flags < 0 ? BadBytes : parseBytes(p, end, packet.data, CanPacket::MaxFdBytes);
    if (count < 0 || p != end)
        return Line::Broken;
    packet.setFdLength(count);
    packet.frame |=
        ((flags & 1) ? CanPacket::BitRateSwitch : 0) | ((flags & 2) ? CanPacket::ErrorState : 0);
    return Line::Frame;
}

Line parseFrame(const char *begin, const char *end, CanPacket &packet)
{
    const char *hash = static_cast<const char *>(std::memchr(begin, '#', size_t(end - begin)));
    if (hash == nullptr || !parseId(begin, hash, packet))
        return Line::Broken;
    if (packet.id & NonIdBits)
        return Line::Broken;
    if (packet.id & ErrorFrameFlag)
        return Line::Skipped;
    const char *p = hash + 1;
    if (p != end && *p == '#')
        return parseFdData(p + 1, end, packet);
    if (p != end && (*p == 'R' || *p == 'r'))
        return parseRemote(p + 1, end, packet);
    return parseData(p, end, packet);
}

bool applyInterface(const LineTokens &t, CanPacket &packet)
{
    packet.frame |= CandumpText::route(t.begin(1), t.end(1));
    packet.direct = CandumpText::isTransmit(t.begin(1), t.end(1)) ? CanPacket::Transmitted
                                                                  : CanPacket::Received;
    if (t.count() < 4)
        return true;
    if (t.size(3) != 1 || (t.at(3, 0) != 'R' && t.at(3, 0) != 'T'))
        return false;
    packet.direct = t.at(3, 0) == 'T' ? CanPacket::Transmitted : CanPacket::Received;
    return true;
}

} // namespace

CandumpReader::CandumpReader(QIODevice *device)
    : TextCaptureReader(device, QCoreApplication::translate("CandumpReader", "журнал candump"))
{
    // Whether relative screen times are gaps shows only over several lines.
    const QByteArray head = device->peek(JudgedBytes);
    screen.judge(head.constData(), head.constData() + head.size());
}

void CandumpReader::setBaseDate(const QDate &date)
{
    screen.setBaseDate(date);
}

bool CandumpReader::looksLike(const QByteArray &head)
{
    QBuffer buffer;
    buffer.setData(head.left(head.lastIndexOf('\n') + 1));
    buffer.open(QIODevice::ReadOnly);
    CandumpReader reader(&buffer);
    TimedPacket frame;
    quint64 frames = 0;
    while (reader.next(frame))
        ++frames;
    return frames > 0 && frames >= reader.skipped();
}

TextCaptureReader::Line CandumpReader::parseLine(const char *begin, const char *end,
                                                 TimedPacket &frame)
{
    const LineTokens t(begin, end);
    if (t.count() == 0)
        return Line::Blank;
    // A log line's third field is "ID#DATA"; a screen line has no '#' at all.
    if (t.count() < 3 || !std::memchr(t.begin(2), '#', size_t(t.size(2))))
        return parseScreenLine(begin, end, frame);
    if (t.count() > 4 || !parseTime(t.begin(0), t.end(0), frame.time))
        return Line::Broken;
    const Line kind = parseFrame(t.begin(2), t.end(2), frame.packet);
    if (kind != Line::Frame)
        return kind;
    if (!applyInterface(t, frame.packet))
        return Line::Broken;
    setChannelName(t.begin(1), t.end(1));
    return Line::Frame;
}

TextCaptureReader::Line CandumpReader::parseScreenLine(const char *begin, const char *end,
                                                       TimedPacket &frame)
{
    switch (screen.parse(begin, end, frame)) {
    case CandumpScreenLine::Result::Frame:
        setChannelName(screen.interfaceBegin(), screen.interfaceEnd());
        return Line::Frame;
    case CandumpScreenLine::Result::Note:
        return Line::Header;
    case CandumpScreenLine::Result::Blank:
        return Line::Blank;
    case CandumpScreenLine::Result::Skipped:
        return Line::Skipped;
    case CandumpScreenLine::Result::Broken:
        break;
    }
    return Line::Broken;
}
