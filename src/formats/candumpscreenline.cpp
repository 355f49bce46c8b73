// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/candumpscreenline.h"

#include "formats/candumptext.h"
#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/linetokens.h"
#include "formats/textscan.h"

#include <QDate>
#include <cstring>

namespace {

using Result = CandumpScreenLine::Result;

using CandumpText::ErrorFrameFlag;
using CandumpText::ExtendedIdDigits;
using CandumpText::FractionDigits;
using CandumpText::StandardIdDigits;
// candump -t a writes the seconds since the epoch with ten digits; -t d and -t z with three,
// more only after 1000 seconds.
constexpr int AbsoluteSecondDigits = 10;

bool field(const LineTokens &t, int i, const char *word)
{
    return i < t.count() && CandumpText::is(t.begin(i), t.end(i), word);
}

int leadingDigits(const char *begin, const char *end)
{
    const char *p = begin;
    while (p != end && TextScan::isDigit(*p))
        ++p;
    return int(p - begin);
}

// "(seconds.fraction)"; false for anything else.
bool parseNumberTime(const char *begin, const char *end, qint64 &us, int &secondDigits)
{
    if (end - begin < 3 || *begin != '(' || end[-1] != ')')
        return false;
    secondDigits = leadingDigits(begin + 1, end - 1);
    return TextScan::parseScaled(begin + 1, end - 1, FractionDigits, us);
}

// Exactly `digits` decimal digits at `p`.
bool number(const char *p, const char *end, int digits, qint64 &value)
{
    return end - p >= digits && TextScan::parseDec(p, p + digits, value, digits);
}

// "(YYYY-MM-DD" and "hh:mm:ss.ffffff)" as wall-clock microseconds since the epoch.
bool parseDateTime(const LineTokens &t, qint64 &wallUs)
{
    const char *d = t.begin(0);
    const char *h = t.begin(1);
    qint64 year = 0, month = 0, day = 0, hour = 0, minute = 0, secondUs = 0;
    if (t.size(0) != 11 || t.at(0, 5) != '-' || t.at(0, 8) != '-' ||
        !number(d + 1, d + 5, 4, year) || !number(d + 6, d + 8, 2, month) ||
        !number(d + 9, d + 11, 2, day) || !CivilTime::validDate(year, int(month), int(day)))
        return false;
    if (t.size(1) < 9 || t.at(1, 2) != ':' || t.at(1, 5) != ':' || t.at(1, t.size(1) - 1) != ')' ||
        !number(h, h + 2, 2, hour) || !number(h + 3, h + 5, 2, minute) ||
        !TextScan::parseScaled(h + 6, t.end(1) - 1, FractionDigits, secondUs) || hour > 23 ||
        minute > 59 || secondUs >= 61 * CivilTime::UsPerSecond)
        return false;
    wallUs = CivilTime::daysFromCivil(year, int(month), int(day)) * CivilTime::UsPerDay +
             (hour * 3600 + minute * 60) * CivilTime::UsPerSecond + secondUs;
    return true;
}

// "[0]".."[8]": the length of a classic frame; "[00]".."[64]" that of a CAN FD frame (`fd` set);
// -1 for anything else.
int parseLength(const LineTokens &t, int i, bool &fd)
{
    if (i >= t.count() || t.at(i, 0) != '[' || t.at(i, t.size(i) - 1) != ']')
        return -1;
    qint64 length = 0;
    if (!TextScan::parseDec(t.begin(i) + 1, t.end(i) - 1, length, 2))
        return -1;
    fd = t.size(i) == 4;
    const int max = fd ? CanPacket::MaxFdBytes : FrameRoute::MaxClassicLength;
    return (fd || t.size(i) == 3) && length <= max ? int(length) : -1;
}

Result parseBytes(const LineTokens &t, int i, int length, CanPacket &packet)
{
    if (field(t, i, "remote") && field(t, i + 1, "request")) {
        packet.rtl = uint8_t(FrameRoute::RemoteFlag | length);
        return Result::Frame;
    }
    for (int byte = 0; byte < length; ++byte, ++i) {
        uint32_t value = 0;
        if (i >= t.count() || t.size(i) != 2 || !TextScan::parseHex(t.begin(i), t.end(i), value))
            return Result::Broken;
        packet.data[byte] = uint8_t(value);
    }
    packet.rtl = uint8_t(length);
    return Result::Frame;
}

// A CAN FD frame of `length` bytes (padded up to an FD length) with -x's flags.
Result parseFdBytes(const LineTokens &t, int i, int length, uint8_t flags, CanPacket &packet)
{
    if (field(t, i, "remote"))
        return Result::Broken; // CAN FD has no remote frames
    const Result result = parseBytes(t, i, length, packet);
    packet.rtl = 0; // parseBytes put the classic length there
    packet.setFdLength(length);
    packet.frame |= flags;
    return result;
}

} // namespace

CandumpScreenLine::CandumpScreenLine()
{
    setBaseDate(QDate(1970, 1, 1));
}

void CandumpScreenLine::setBaseDate(const QDate &date)
{
    if (!date.isValid())
        return;
    const qint64 days = CivilTime::daysFromCivil(date.year(), date.month(), date.day());
    originUs = local.utcFromWall(days * CivilTime::UsPerDay);
    sinceOrigin = 0;
}

void CandumpScreenLine::judge(const char *begin, const char *end)
{
    qint64 previous = -1;
    while (begin != end) {
        const char *lineEnd =
            static_cast<const char *>(std::memchr(begin, '\n', size_t(end - begin)));
        if (!lineEnd)
            lineEnd = end;
        const LineTokens t(begin, lineEnd);
        qint64 us = 0;
        int digits = 0;
        if (t.count() > 1 && parseNumberTime(t.begin(0), t.end(0), us, digits) &&
            digits < AbsoluteSecondDigits) {
            if (us < previous) {
                gaps = true;
                return;
            }
            previous = us;
        }
        begin = lineEnd == end ? end : lineEnd + 1;
    }
}

CandumpScreenLine::Result CandumpScreenLine::parse(const char *begin, const char *end,
                                                   TimedPacket &frame)
{
    frame = TimedPacket();
    const LineTokens t(begin, end);
    if (t.count() == 0)
        return Result::Blank;
    // candump -e puts what an error frame means on the next lines, each after a tab.
    if (afterError && *begin == '\t')
        return Result::Note;
    afterError = false;
    Clock clock = Clock::None;
    qint64 us = 0;
    const int next = readTime(t, clock, us);
    if (next < 0)
        return Result::Broken;
    // A gap counts whatever its line holds: it is the time since the line before.
    if (clock == Clock::Relative)
        us = relativeTime(us);
    const Result result = readFrame(t, next, frame.packet);
    frame.time = clock == Clock::None ? TimedPacket::NoTime : us;
    return result;
}

int CandumpScreenLine::readTime(const LineTokens &t, Clock &clock, qint64 &us)
{
    if (t.at(0, 0) != '(')
        return 0;
    int digits = 0;
    if (parseNumberTime(t.begin(0), t.end(0), us, digits)) {
        clock = digits >= AbsoluteSecondDigits ? Clock::Absolute : Clock::Relative;
        return 1;
    }
    qint64 wall = 0;
    if (t.count() < 2 || !parseDateTime(t, wall))
        return -1;
    clock = Clock::Absolute;
    us = local.utcFromWall(wall);
    return 2;
}

qint64 CandumpScreenLine::relativeTime(qint64 us)
{
    sinceOrigin = gaps ? CivilTime::add(sinceOrigin, us) : us;
    return CivilTime::add(originUs, sinceOrigin);
}

int CandumpScreenLine::readInterface(const LineTokens &t, int i, CanPacket &packet)
{
    nameBegin = t.begin(i);
    nameEnd = t.end(i);
    packet.frame = CandumpText::route(nameBegin, nameEnd);
    packet.direct =
        CandumpText::isTransmit(nameBegin, nameEnd) ? CanPacket::Transmitted : CanPacket::Received;
    ++i;
    fdFlags = 0;
    // -x: "RX" or "TX", then the CAN FD flags, "-" or "B" and "-" or "E".
    if ((field(t, i, "RX") || field(t, i, "TX")) && i + 2 < t.count() && t.size(i + 1) == 1 &&
        t.size(i + 2) == 1) {
        packet.direct = field(t, i, "TX") ? CanPacket::Transmitted : CanPacket::Received;
        fdFlags = uint8_t((t.at(i + 1, 0) == 'B' ? CanPacket::BitRateSwitch : 0) |
                          (t.at(i + 2, 0) == 'E' ? CanPacket::ErrorState : 0));
        i += 3;
    }
    return i;
}

CandumpScreenLine::Result CandumpScreenLine::readFrame(const LineTokens &t, int i,
                                                       CanPacket &packet)
{
    if (i >= t.count())
        return Result::Broken;
    i = readInterface(t, i, packet);
    uint32_t id = 0;
    const int digits = i < t.count() ? t.size(i) : 0;
    if ((digits != StandardIdDigits && digits != ExtendedIdDigits) ||
        !TextScan::parseHex(t.begin(i), t.end(i), id))
        return Result::Broken;
    if (digits == ExtendedIdDigits && (id & ErrorFrameFlag)) {
        afterError = true;
        return Result::Skipped;
    }
    if (!FrameRoute::validId(id, digits == ExtendedIdDigits))
        return Result::Broken;
    packet.id = id;
    if (digits == ExtendedIdDigits)
        packet.frame |= CanPacket::Extended;
    bool fd = false;
    const int length = parseLength(t, i + 1, fd);
    if (length < 0)
        return Result::Broken;
    return fd ? parseFdBytes(t, i + 2, length, fdFlags, packet)
              : parseBytes(t, i + 2, length, packet);
}
