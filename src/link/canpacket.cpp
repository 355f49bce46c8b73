// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/canpacket.h"

#include <QByteArray>

namespace {
// Zero-filled upper-case hex without prefix; the caller adds what it needs.
void appendHex(QString &out, uint value, int width)
{
    static const char digits[] = "0123456789ABCDEF";
    char buf[8];
    int n = 0;
    do {
        buf[n++] = digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    for (int i = n; i < width; ++i)
        out += QLatin1Char('0');
    while (n > 0)
        out += QLatin1Char(buf[--n]);
}
} // namespace

QString PacketKey::data(int index)
{
    return QStringLiteral("data") + QString::number(index);
}

int CanPacket::fdLength(int code)
{
    static const uint8_t lengths[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};
    return lengths[code & 0x0F];
}

int CanPacket::fdCode(int bytes)
{
    int code = 0;
    while (code < 15 && fdLength(code) < bytes)
        ++code;
    return code;
}

void CanPacket::setFdLength(int bytes)
{
    frame |= Fd;
    rtl = uint8_t((rtl & 0xF0) | fdCode(bytes));
}

QString hexText(uint value, int width)
{
    QString out;
    out.reserve(2 + qMax(width, 8));
    out += QLatin1String("0x");
    appendHex(out, value, width);
    return out;
}

QString hexByteText(uint value)
{
    return hexText(value & 0xFF, 2);
}

QString frameText(const CanPacket &packet)
{
    return frameText(packet, packet.isFd() ? packet.dataLength() : CanPacket::MaxClassicBytes);
}

QString frameText(const CanPacket &packet, int byteCount)
{
    QString out;
    out.reserve(40 + 3 * byteCount);
    if (packet.direct == CanPacket::Received)
        out += QLatin1String("[RX] ");
    else if (packet.direct == CanPacket::Transmitted)
        out += QLatin1String("[TX] ");
    out += QLatin1String("F: ");
    appendHex(out, packet.frame, 2);
    out += QLatin1String(" ID: ");
    appendHex(out, packet.id, 8);
    out += QLatin1String(" RTL: ");
    appendHex(out, packet.rtl, 2);
    out += QLatin1String(" DATA:");
    for (int i = 0; i < byteCount && i < int(sizeof packet.data); ++i) {
        out += QLatin1Char(' ');
        appendHex(out, packet.data[i], 2);
    }
    return out;
}

QString byteListText(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size() * 5);
    for (char byte : bytes) {
        out += QLatin1String(" 0x");
        appendHex(out, static_cast<uint8_t>(byte), 2);
    }
    return out;
}

QString printableText(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char byte : bytes) {
        const auto code = static_cast<uint8_t>(byte);
        out += (code >= 0x20 && code <= 0x7F) ? QChar(code) : QLatin1Char('*');
    }
    return out;
}
