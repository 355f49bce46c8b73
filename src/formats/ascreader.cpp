// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ascreader.h"

#include "formats/ascdate.h"
#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/linetokens.h"
#include "formats/textscan.h"
#include "link/timedpacket.h"

#include <QCoreApplication>

namespace {

using Line = TextCaptureReader::Line;

constexpr int TimeFractionDigits = 6;
constexpr int MaxDlc = 15;
constexpr uint32_t MaxByte = 0xFF;

bool is(const LineTokens &t, int i, const char *word)
{
    return i < t.count() && TextScan::equalsNoCase(t.begin(i), t.end(i), word);
}

} // namespace

AscReader::AscReader(QIODevice *device)
    : TextCaptureReader(device, QCoreApplication::translate("AscReader", "журнал ASC"))
{
}

TextCaptureReader::Line AscReader::parseLine(const char *begin, const char *end, TimedPacket &frame)
{
    const LineTokens t(begin, end);
    if (t.count() == 0)
        return Line::Blank;
    if (t.size(0) >= 2 && t.at(0, 0) == '/' && t.at(0, 1) == '/')
        return Line::Header;
    if (TextScan::isDigit(t.at(0, 0)))
        return parseRecord(t, frame);
    return parseKeywordLine(t);
}

TextCaptureReader::Line AscReader::parseKeywordLine(const LineTokens &t)
{
    if (is(t, 0, "date")) {
        setReference(t, 1, false);
    } else if (is(t, 0, "base")) {
        decimal = is(t, 1, "dec");
        relative = is(t, 2, "timestamps") && is(t, 3, "relative");
    } else if (is(t, 0, "begin") && is(t, 1, "triggerblock")) {
        setReference(t, 2, true);
    } else if (!(is(t, 0, "end") && is(t, 1, "triggerblock")) && !is(t, 0, "internal") &&
               !(is(t, 0, "no") && is(t, 1, "internal"))) {
        return Line::Broken;
    }
    return Line::Header;
}

void AscReader::setReference(const LineTokens &t, int first, bool fromBlock)
{
    qint64 wall = 0;
    if (blockDated || framesSeen || !AscDate::parse(t, first, wall))
        return;
    reference = clock.utcFromWall(wall);
    previous = reference;
    blockDated = fromBlock;
}

TextCaptureReader::Line AscReader::parseRecord(const LineTokens &t, TimedPacket &frame)
{
    qint64 offset = 0;
    if (!TextScan::parseScaled(t.begin(0), t.end(0), TimeFractionDigits, offset))
        return Line::Broken;
    qint64 channel = 0;
    // Error frames, statistics, CAN FD and events all start with a time: records not taken.
    if (t.count() < 5 || !TextScan::parseDec(t.begin(1), t.end(1), channel, 3) ||
        !(is(t, 3, "rx") || is(t, 3, "tx")))
        return Line::Skipped;
    const Line kind = parseFrame(t, frame);
    if (kind != Line::Frame)
        return kind;
    frame.packet.frame |= FrameRoute::routeOfChannel(channel);
    setChannelNumber(channel);
    frame.time = CivilTime::add(relative ? previous : reference, offset);
    previous = frame.time;
    framesSeen = true;
    return Line::Frame;
}

TextCaptureReader::Line AscReader::parseFrame(const LineTokens &t, TimedPacket &frame)
{
    CanPacket &packet = frame.packet;
    const char *idEnd = t.end(2);
    const bool extended = idEnd[-1] == 'x' || idEnd[-1] == 'X';
    uint32_t id = 0; // the packed record's id cannot be bound to a reference
    if (!parseNumber(t.begin(2), idEnd - extended, id, 8) || !FrameRoute::validId(id, extended))
        return Line::Broken;
    packet.id = id;
    packet.frame = extended ? CanPacket::Extended : 0;
    packet.direct = is(t, 3, "tx") ? CanPacket::Transmitted : CanPacket::Received;
    const bool remote = is(t, 4, "r");
    if (!remote && !is(t, 4, "d"))
        return Line::Broken;
    uint32_t dlc = 0;
    const bool hasDlc = t.count() > 5 && parseNumber(t.begin(5), t.end(5), dlc, 1);
    if ((!remote && !hasDlc) || dlc > MaxDlc)
        return Line::Broken;
    const int length = qMin(int(dlc), FrameRoute::MaxClassicLength);
    packet.rtl = uint8_t((remote ? FrameRoute::RemoteFlag : 0) | length);
    if (remote)
        return Line::Frame;
    if (t.count() < 6 + length)
        return Line::Broken;
    for (int i = 0; i < length; ++i) {
        uint32_t byte = 0;
        if (!parseNumber(t.begin(6 + i), t.end(6 + i), byte, 2) || byte > MaxByte)
            return Line::Broken;
        packet.data[i] = uint8_t(byte);
    }
    return Line::Frame;
}

// A number in the file's base: hex of at most `maxHex` digits, or decimal.
bool AscReader::parseNumber(const char *begin, const char *end, uint32_t &value, int maxHex) const
{
    if (!decimal)
        return TextScan::parseHex(begin, end, value, maxHex);
    qint64 v = 0;
    if (!TextScan::parseDec(begin, end, v, 10) || v > 0xFFFFFFFFLL)
        return false;
    value = uint32_t(v);
    return true;
}
