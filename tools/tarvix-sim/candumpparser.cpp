// SPDX-License-Identifier: GPL-3.0-or-later
#include "candumpparser.h"

#include "link/tarvixprotocol.h"

#include <QList>

namespace {
constexpr uint32_t MaxStandardId = 0x7FF;
constexpr uint32_t MaxExtendedId = 0x1FFFFFFF;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool allDecimal(const QByteArray &text)
{
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return !text.isEmpty();
}
} // namespace

CandumpParser::Result CandumpParser::parse(const QByteArray &line, Entry &entry)
{
    const QByteArray text = line.simplified();
    if (text.isEmpty())
        return Result::Blank;
    const QList<QByteArray> fields = text.split(' ');
    if (fields.size() != 3)
        return Result::Bad;
    Entry parsed;
    if (!parseTime(fields[0], parsed.timeUs) || !parseFrame(fields[2], parsed.packet))
        return Result::Bad;
    parsed.packet.frame |= routeOf(fields[1]);
    entry = parsed;
    return Result::Frame;
}

bool CandumpParser::parseTime(const QByteArray &field, qint64 &timeUs)
{
    if (field.size() < 4 || !field.startsWith('(') || !field.endsWith(')'))
        return false;
    const QByteArray inner = field.mid(1, field.size() - 2);
    const int dot = inner.indexOf('.');
    if (dot < 0)
        return false;
    const QByteArray seconds = inner.left(dot);
    QByteArray fraction = inner.mid(dot + 1);
    // Twelve digits of seconds reach past year 30000 and still leave room in 64 bits.
    if (!allDecimal(seconds) || seconds.size() > 12 || !allDecimal(fraction) || fraction.size() > 9)
        return false;
    fraction = fraction.leftJustified(6, '0', true);
    timeUs = seconds.toLongLong() * 1000000 + fraction.toLongLong();
    return true;
}

uint8_t CandumpParser::routeOf(const QByteArray &iface)
{
    return iface.endsWith('1') ? CanPacket::Can1ToCan0 : CanPacket::Can0ToCan1;
}

bool CandumpParser::parseFrame(const QByteArray &field, CanPacket &packet)
{
    const int hash = field.indexOf('#');
    if (hash < 0 || !parseId(field.left(hash), packet))
        return false;
    const QByteArray rest = field.mid(hash + 1);
    if (rest.startsWith('R') || rest.startsWith('r'))
        return parseRemote(rest.mid(1), packet);
    return parsePayload(rest, packet); // a CAN FD "##" line fails here on its second '#'
}

bool CandumpParser::parseId(const QByteArray &digits, CanPacket &packet)
{
    if (digits.size() != 3 && digits.size() != 8)
        return false;
    uint32_t id = 0;
    for (char c : digits) {
        const int v = hexValue(c);
        if (v < 0)
            return false;
        id = (id << 4) | uint32_t(v);
    }
    const bool extended = digits.size() == 8;
    if (id > (extended ? MaxExtendedId : MaxStandardId))
        return false;
    packet.id = id;
    packet.frame = extended ? CanPacket::Extended : 0;
    return true;
}

bool CandumpParser::parsePayload(const QByteArray &text, CanPacket &packet)
{
    if (text.size() % 2 != 0 || text.size() > 16)
        return false;
    for (int i = 0; i < text.size(); i += 2) {
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        packet.data[i / 2] = uint8_t((high << 4) | low);
    }
    packet.rtl = uint8_t(text.size() / 2);
    return true;
}

bool CandumpParser::parseRemote(const QByteArray &text, CanPacket &packet)
{
    int length = 0;
    if (!text.isEmpty()) {
        if (text.size() != 1 || text[0] < '0' || text[0] > '8')
            return false;
        length = text[0] - '0';
    }
    packet.rtl = uint8_t(TarvixProtocol::RemoteFlag | length);
    return true;
}
