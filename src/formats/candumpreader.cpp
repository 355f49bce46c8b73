// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/candumpreader.h"

#include "formats/frameroute.h"
#include "formats/linetokens.h"
#include "formats/textscan.h"
#include "link/timedpacket.h"

#include <QCoreApplication>
#include <cstring>

namespace {

using Line = TextCaptureReader::Line;

constexpr int StandardIdDigits = 3;
constexpr int ExtendedIdDigits = 8;
constexpr uint32_t ErrorFrameFlag = 0x20000000;
constexpr uint32_t NonIdBits = 0xC0000000;
constexpr int TimeFractionDigits = 6;

bool parseTime(const char *begin, const char *end, qint64 &us)
{
    if (end - begin < 3 || *begin != '(' || end[-1] != ')')
        return false;
    return TextScan::parseScaled(begin + 1, end - 1, TimeFractionDigits, us);
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

// Hex byte pairs, and after eight bytes an optional "_X": a classic length code 9..F.
Line parseData(const char *p, const char *end, CanPacket &packet)
{
    int count = 0;
    for (; p != end && *p != '_'; p += 2, ++count) {
        const int high = TextScan::hexValue(*p);
        const int low = p + 1 != end ? TextScan::hexValue(p[1]) : -1;
        if (high < 0 || low < 0)
            return Line::Broken;
        if (count == FrameRoute::MaxClassicLength)
            return Line::Skipped; // more than a classic frame carries
        packet.data[count] = uint8_t(high << 4 | low);
    }
    if (p != end && (count != FrameRoute::MaxClassicLength || end - p != 2 ||
                     TextScan::hexValue(p[1]) < FrameRoute::MaxClassicLength + 1))
        return Line::Broken;
    packet.rtl = uint8_t(count);
    return Line::Frame;
}

Line parseFrame(const char *begin, const char *end, CanPacket &packet)
{
    const char *hash = static_cast<const char *>(std::memchr(begin, '#', size_t(end - begin)));
    if (hash == nullptr || !parseId(begin, hash, packet))
        return Line::Broken;
    if (packet.id & NonIdBits)
        return Line::Broken;
    const char *p = hash + 1;
    if (p != end && *p == '#')
        return Line::Skipped; // CAN FD
    if (packet.id & ErrorFrameFlag)
        return Line::Skipped;
    if (p != end && (*p == 'R' || *p == 'r'))
        return parseRemote(p + 1, end, packet);
    return parseData(p, end, packet);
}

bool sameText(const char *begin, const char *end, const char *word)
{
    const size_t length = std::strlen(word);
    return size_t(end - begin) == length && std::memcmp(begin, word, length) == 0;
}

// The line from the number the interface name ends with: 0 is CAN0, 1 is CAN1.
uint8_t routeOfInterface(const char *begin, const char *end)
{
    const char *digits = end;
    while (digits != begin && TextScan::isDigit(digits[-1]))
        --digits;
    qint64 number = 0;
    if (!TextScan::parseDec(digits, end, number))
        return 0;
    return number == 0 ? CanPacket::Can0ToCan1 : number == 1 ? CanPacket::Can1ToCan0 : 0;
}

bool applyInterface(const LineTokens &t, CanPacket &packet)
{
    const bool tx = sameText(t.begin(1), t.end(1), "cantx");
    const bool unrouted = tx || sameText(t.begin(1), t.end(1), "canrx");
    if (!unrouted)
        packet.frame |= routeOfInterface(t.begin(1), t.end(1));
    packet.direct = tx ? CanPacket::Transmitted : CanPacket::Received;
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
}

TextCaptureReader::Line CandumpReader::parseLine(const char *begin, const char *end,
                                                 TimedPacket &frame)
{
    const LineTokens t(begin, end);
    if (t.count() == 0)
        return Line::Blank;
    if (t.count() < 3 || t.count() > 4 || !parseTime(t.begin(0), t.end(0), frame.time))
        return Line::Broken;
    const Line kind = parseFrame(t.begin(2), t.end(2), frame.packet);
    if (kind != Line::Frame)
        return kind;
    if (!applyInterface(t, frame.packet))
        return Line::Broken;
    setChannelName(t.begin(1), t.end(1));
    return Line::Frame;
}
