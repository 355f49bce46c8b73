// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ascreader.h"

#include "formats/ascdate.h"
#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/linetokens.h"
#include "formats/textscan.h"
#include "link/timedpacket.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

using Line = TextCaptureReader::Line;

constexpr int TimeFractionDigits = 6;
constexpr int MaxDlc = 15;
constexpr uint32_t MaxByte = 0xFF;
// Bits of a CANFD line's flags field.
constexpr uint32_t FdFlagRemote = 0x10;
constexpr uint32_t FdFlagEdl = 0x1000; // extended data length: a CAN FD frame

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
    // "CANFD channel Rx|Tx id ..." beside the classic "channel id Rx|Tx ...".
    const bool fd = is(t, 1, "canfd");
    qint64 channel = 0;
    // Error frames, statistics and events all start with a time: records not taken.
    if (t.count() < 5 + int(fd) ||
        !TextScan::parseDec(t.begin(1 + fd), t.end(1 + fd), channel, 3) ||
        !(is(t, 3, "rx") || is(t, 3, "tx")))
        return Line::Skipped;
    frame.packet.direct = is(t, 3, "tx") ? CanPacket::Transmitted : CanPacket::Received;
    const Line kind = fd ? parseFdFrame(t, frame.packet) : parseFrame(t, frame.packet);
    if (kind != Line::Frame)
        return kind;
    frame.packet.frame |= FrameRoute::routeOfChannel(channel);
    setChannelNumber(channel);
    frame.time = CivilTime::add(relative ? previous : reference, offset);
    previous = frame.time;
    framesSeen = true;
    return Line::Frame;
}

// "id" or "idx" (extended).
bool AscReader::parseId(const LineTokens &t, int i, CanPacket &packet) const
{
    const char *idEnd = t.end(i);
    const bool extended = idEnd[-1] == 'x' || idEnd[-1] == 'X';
    uint32_t id = 0; // the packed record's id cannot be bound to a reference
    if (!parseNumber(t.begin(i), idEnd - extended, id, 8) || !FrameRoute::validId(id, extended))
        return false;
    packet.id = id;
    packet.frame = extended ? CanPacket::Extended : 0;
    return true;
}

// `count` data bytes from field `first` on.
bool AscReader::parseBytes(const LineTokens &t, int first, int count, uint8_t *data) const
{
    if (t.count() < first + count)
        return false;
    for (int i = 0; i < count; ++i) {
        uint32_t byte = 0;
        if (!parseNumber(t.begin(first + i), t.end(first + i), byte, 2) || byte > MaxByte)
            return false;
        data[i] = uint8_t(byte);
    }
    return true;
}

TextCaptureReader::Line AscReader::parseFrame(const LineTokens &t, CanPacket &packet)
{
    if (!parseId(t, 2, packet))
        return Line::Broken;
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
    return parseBytes(t, 6, length, packet.data) ? Line::Frame : Line::Broken;
}

// "CANFD channel Rx|Tx id [name] brs esi dlc length bytes... [duration bits flags crc ...]". The
// flags tell a classic frame on an FD channel (no EDL) and its remote request; a line without
// them is CAN FD.
TextCaptureReader::Line AscReader::parseFdFrame(const LineTokens &t, CanPacket &packet)
{
    if (is(t, 4, "errorframe"))
        return Line::Skipped;
    if (!parseId(t, 4, packet))
        return Line::Broken;
    const int first = fdFieldsAt(t, 5) ? 5 : fdFieldsAt(t, 6) ? 6 : -1; // after a symbolic name
    if (first < 0)
        return Line::Broken;
    uint32_t dlc = 0;
    qint64 length = 0;
    parseNumber(t.begin(first + 2), t.end(first + 2), dlc, 1);
    TextScan::parseDec(t.begin(first + 3), t.end(first + 3), length, 2);
    const int data = first + 4;
    if (length > CanPacket::MaxFdBytes || !parseBytes(t, data, int(length), packet.data))
        return Line::Broken;
    uint32_t flags = FdFlagEdl;
    const int flagsField = data + int(length) + 2;
    if (flagsField < t.count() &&
        !TextScan::parseHex(t.begin(flagsField), t.end(flagsField), flags))
        return Line::Broken;
    if (!(flags & FdFlagEdl))
        return classicOnFd(int(dlc), int(length), flags & FdFlagRemote, packet);
    packet.setFdLength(int(length));
    packet.frame |= (is(t, first, "1") ? CanPacket::BitRateSwitch : 0) |
                    (is(t, first + 1, "1") ? CanPacket::ErrorState : 0);
    return Line::Frame;
}

// BRS and ESI ("0" or "1"), a DLC and a data length at field `i`.
bool AscReader::fdFieldsAt(const LineTokens &t, int i) const
{
    uint32_t dlc = 0;
    qint64 length = 0;
    return t.count() >= i + 4 && (is(t, i, "0") || is(t, i, "1")) &&
           (is(t, i + 1, "0") || is(t, i + 1, "1")) &&
           parseNumber(t.begin(i + 2), t.end(i + 2), dlc, 1) && dlc <= MaxDlc &&
           TextScan::parseDec(t.begin(i + 3), t.end(i + 3), length, 2);
}

// A classic frame written as a CANFD line: its DLC 0..15, no more than eight bytes.
TextCaptureReader::Line AscReader::classicOnFd(int dlc, int length, bool remote, CanPacket &packet)
{
    if (length > qMin(dlc, FrameRoute::MaxClassicLength))
        return Line::Broken;
    packet.rtl = uint8_t((remote ? FrameRoute::RemoteFlag : 0) | dlc);
    if (remote)
        std::fill(packet.data, packet.data + length, uint8_t(0));
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
