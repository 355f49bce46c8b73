// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <cstdint>

class QByteArray;

// One CAN frame. The first fourteen bytes carry what the module's 14-byte line record carries
// (identifier in host order); the record is packed so that `id` directly follows `frame`.
#pragma pack(push, 1)
struct CanPacket
{
    enum : uint8_t {
        Extended = 0x01, // bit 0 of `frame`: 29-bit identifier
        Can0ToCan1 = 0x10,
        Can1ToCan0 = 0x20,
    };
    enum : int32_t {
        Received = 64,
        Transmitted = 128,
    };

    uint8_t frame = 0;
    uint32_t id = 0;
    uint8_t rtl = 0; // high nibble: remote request; low nibble: length 0..15
    uint8_t data[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint32_t delay = 1; // ms: write wait and pause after the frame in a transmit run
    int32_t direct = Received;

    bool isExtended() const { return frame & Extended; }
    bool isRemote() const { return (rtl & 0xF0) != 0; }
    int length() const { return rtl & 0x0F; }
};
#pragma pack(pop)

Q_DECLARE_METATYPE(CanPacket)

// Field keys of the frame maps used by the capture log and the transmit list file.
namespace PacketKey {
inline const QString Frame = QStringLiteral("pframe");
inline const QString Id = QStringLiteral("pid");
inline const QString Rtl = QStringLiteral("prtl");
inline const QString Rtr = QStringLiteral("prtr");
inline const QString Length = QStringLiteral("plength");
inline const QString Delay = QStringLiteral("pdelay");
inline const QString Direct = QStringLiteral("pdirect");
inline const QString Format = QStringLiteral("pfff");
inline const QString Row = QStringLiteral("idrow");
QString data(int index); // "data0" .. "data7"
} // namespace PacketKey

// Text forms. Hexadecimal digits are upper case behind a lower-case "0x". Values are taken as
// unsigned 32-bit numbers: an identifier with bit 31 set reads 0x80000000, never a negative number.
QString hexText(uint value, int width);
QString hexByteText(uint value);
QString frameText(const CanPacket &packet);
// With only the first `byteCount` data bytes (0..8): those the frame carries, say.
QString frameText(const CanPacket &packet, int byteCount);
QString byteListText(const QByteArray &bytes);
QString printableText(const QByteArray &bytes);
