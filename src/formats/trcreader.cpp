// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/trcreader.h"

#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/linetokens.h"
#include "formats/textscan.h"
#include "link/timedpacket.h"

#include <QCoreApplication>
#include <cstring>

namespace {

using Line = TextCaptureReader::Line;

// Days from 1899-12-30, where PEAK's (and Delphi's) day count starts, to 1970-01-01.
constexpr qint64 EpochDays = 25569;
constexpr int OffsetFractionDigits = 3; // offsets are milliseconds
constexpr int StandardIdDigits = 4;
constexpr int MaxDayFractionDigits = 18;
constexpr uint32_t MaxByte = 0xFF;
constexpr int MaxDlc = 15;

// Column layouts of versions without ";$COLUMNS". In 1.x, 'T' is the message type, which is
// the direction for frames ("Rx", "Tx") or "Warng" / "Error".
const char *defaultColumns(int major, int minor)
{
    if (major >= 2)
        return minor == 0 ? "NOTIdlD" : "NOTBIdRLD";
    static const char *const layouts[] = {"NOILD", "NOTILD", "NOBTILD", "NOBTIRLD"};
    return layouts[qBound(0, minor, 3)];
}

bool startsWith(const char *begin, const char *end, const char *prefix)
{
    const size_t length = std::strlen(prefix);
    return size_t(end - begin) >= length && std::memcmp(begin, prefix, length) == 0;
}

bool is(const LineTokens &t, int i, const char *word)
{
    return i < t.count() && TextScan::equalsNoCase(t.begin(i), t.end(i), word);
}

// "45244.925834722222": days and their fraction, as a wall-clock time.
bool parseDays(const char *begin, const char *end, qint64 &wallUsec)
{
    constexpr int MaxDayDigits = 7;
    const char *dot = static_cast<const char *>(std::memchr(begin, '.', size_t(end - begin)));
    qint64 days = 0;
    if (!TextScan::parseDec(begin, dot != nullptr ? dot : end, days, MaxDayDigits))
        return false;
    long double fraction = 0;
    if (dot != nullptr) {
        const char *fractionEnd = qMin(end, dot + 1 + MaxDayFractionDigits);
        qint64 digits = 0;
        if (fractionEnd > dot + 1 && !TextScan::parseDec(dot + 1, fractionEnd, digits))
            return false;
        long double scale = 1;
        for (const char *p = dot + 1; p != fractionEnd; ++p)
            scale *= 10;
        fraction = (long double)digits / scale;
    }
    wallUsec =
        (days - EpochDays) * CivilTime::UsPerDay + qint64(fraction * CivilTime::UsPerDay + 0.5L);
    return true;
}

} // namespace

TrcReader::TrcReader(QIODevice *device)
    : TextCaptureReader(device, QCoreApplication::translate("TrcReader", "трассу PEAK")),
      columns(defaultColumns(1, 0))
{
}

TextCaptureReader::Line TrcReader::parseLine(const char *begin, const char *end, TimedPacket &frame)
{
    const char *p = begin;
    while (p != end && TextScan::isSpace(*p))
        ++p;
    if (p == end)
        return Line::Blank;
    if (*p == ';')
        return parseHeader(p + 1, end);
    return parseRecord(LineTokens(p, end), frame);
}

TextCaptureReader::Line TrcReader::parseHeader(const char *begin, const char *end)
{
    if (startsWith(begin, end, "$FILEVERSION=")) {
        setVersion(begin + std::strlen("$FILEVERSION="), end);
    } else if (startsWith(begin, end, "$STARTTIME=")) {
        qint64 wall = 0;
        const char *value = begin + std::strlen("$STARTTIME=");
        while (end != value && TextScan::isSpace(end[-1]))
            --end;
        if (parseDays(value, end, wall))
            start = clock.utcFromWall(wall);
    } else if (startsWith(begin, end, "$COLUMNS=")) {
        columns.clear();
        for (const char *p = begin + std::strlen("$COLUMNS="); p != end; ++p) {
            if (*p != ',' && !TextScan::isSpace(*p))
                columns += *p;
        }
    }
    return Line::Header;
}

void TrcReader::setVersion(const char *begin, const char *end)
{
    const char *dot = static_cast<const char *>(std::memchr(begin, '.', size_t(end - begin)));
    qint64 high = 0;
    qint64 low = 0;
    if (dot == nullptr || !TextScan::parseDec(begin, dot, high, 2) ||
        !TextScan::parseDec(dot + 1, dot + 2, low, 1))
        return;
    major = int(high);
    columns = defaultColumns(major, int(low));
}

TextCaptureReader::Line TrcReader::parseRecord(const LineTokens &t, TimedPacket &frame)
{
    frame.time = start;
    setChannelNumber(0); // unless a bus column names one
    lengthField = 0;
    lengthIsCode = false;
    int k = 0;
    for (const char column : columns) {
        const Line kind = parseColumn(column, t, k, frame);
        if (kind != Line::Frame)
            return kind;
    }
    // Without a data column the length still has to fit the frame.
    return columns.contains('D') || applyLength(frame.packet) >= 0 ? Line::Frame : Line::Broken;
}

// The length column once the type is known: a classic frame's length (9..15 carry 8 bytes); a
// CAN FD frame's code ('L') or byte count ('l', padded up to an FD length). The data bytes the
// line holds, or -1 for a length the frame cannot have.
int TrcReader::applyLength(CanPacket &packet) const
{
    if (!packet.isFd()) {
        if (lengthField > MaxDlc)
            return -1;
        packet.rtl = uint8_t((packet.rtl & 0xF0) | qMin(lengthField, FrameRoute::MaxClassicLength));
        return packet.isRemote() ? 0 : packet.length();
    }
    if (lengthIsCode) {
        packet.rtl = uint8_t(lengthField);
        return packet.length();
    }
    if (lengthField > CanPacket::MaxFdBytes)
        return -1;
    packet.setFdLength(lengthField);
    return lengthField;
}

TextCaptureReader::Line TrcReader::parseColumn(char column, const LineTokens &t, int &k,
                                               TimedPacket &frame)
{
    CanPacket &packet = frame.packet;
    if (column == 'D')
        return parseData(t, k, packet);
    if (k >= t.count())
        return Line::Broken;
    const char *begin = t.begin(k);
    const char *end = t.end(k++);
    qint64 number = 0;
    switch (column) {
    case 'O':
        if (!TextScan::parseScaled(begin, end, OffsetFractionDigits, number, true))
            return Line::Broken;
        frame.time = CivilTime::add(start, number);
        return Line::Frame;
    case 'T':
        return parseType(begin, end, packet);
    case 'B':
        if (TextScan::parseDec(begin, end, number, 2)) {
            packet.frame |= FrameRoute::routeOfChannel(number);
            setChannelNumber(number);
        }
        return Line::Frame;
    case 'I':
        return parseId(begin, end, packet);
    case 'd':
        if (!is(t, k - 1, "rx") && !is(t, k - 1, "tx"))
            return Line::Broken;
        packet.direct = is(t, k - 1, "tx") ? CanPacket::Transmitted : CanPacket::Received;
        return Line::Frame;
    case 'L':
    case 'l':
        // A DLC 0..15 ('L'), or the data length: 0..15 in 1.x and 2.0, up to 64 for CAN FD.
        if (!TextScan::parseDec(begin, end, number, 2) ||
            number > (column == 'L' ? MaxDlc : CanPacket::MaxFdBytes))
            return Line::Broken;
        lengthField = int(number);
        lengthIsCode = column == 'L';
        return Line::Frame;
    default: // number, reserved and columns not used here
        return Line::Frame;
    }
}

TextCaptureReader::Line TrcReader::parseId(const char *begin, const char *end, CanPacket &packet)
{
    uint32_t id = 0; // the packed record's id cannot be bound to a reference
    const bool extended = end - begin > StandardIdDigits;
    if (!TextScan::parseHex(begin, end, id) || !FrameRoute::validId(id, extended))
        return Line::Broken;
    packet.id = id;
    packet.frame |= extended ? CanPacket::Extended : 0;
    return Line::Frame;
}

TextCaptureReader::Line TrcReader::parseType(const char *begin, const char *end,
                                             CanPacket &packet) const
{
    if (major >= 2) {
        if (TextScan::equalsNoCase(begin, end, "RR"))
            packet.rtl |= FrameRoute::RemoteFlag;
        else if (!TextScan::equalsNoCase(begin, end, "DT") && !parseFdType(begin, end, packet))
            return Line::Skipped; // errors, status, events
        return Line::Frame;
    }
    const bool tx = TextScan::equalsNoCase(begin, end, "Tx");
    if (!tx && !TextScan::equalsNoCase(begin, end, "Rx"))
        return Line::Skipped; // "Warng", "Error"
    packet.direct = tx ? CanPacket::Transmitted : CanPacket::Received;
    return Line::Frame;
}

// The CAN FD types of 2.x: FD, FB (bit rate switch), FE (error state), BI (both).
bool TrcReader::parseFdType(const char *begin, const char *end, CanPacket &packet)
{
    static const struct
    {
        const char *name;
        uint8_t flags;
    } types[] = {{"FD", 0},
                 {"FB", CanPacket::BitRateSwitch},
                 {"FE", CanPacket::ErrorState},
                 {"BI", CanPacket::BitRateSwitch | CanPacket::ErrorState}};
    for (const auto &type : types) {
        if (TextScan::equalsNoCase(begin, end, type.name)) {
            packet.frame |= CanPacket::Fd | type.flags;
            return true;
        }
    }
    return false;
}

TextCaptureReader::Line TrcReader::parseData(const LineTokens &t, int &k, CanPacket &packet) const
{
    if (major < 2 && is(t, k, "RTR")) {
        packet.rtl |= FrameRoute::RemoteFlag;
        ++k;
    }
    const int length = applyLength(packet);
    if (length < 0)
        return Line::Broken;
    if (t.count() - k < length)
        return Line::Broken;
    for (int i = 0; i < length; ++i, ++k) {
        uint32_t byte = 0;
        if (!TextScan::parseHex(t.begin(k), t.end(k), byte, 2) || byte > MaxByte)
            return Line::Broken;
        packet.data[i] = uint8_t(byte);
    }
    return Line::Frame;
}
