// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>
#include <cstdint>

class QByteArray;

// One CAN frame, classic or CAN FD. The first fourteen bytes carry what the module's 14-byte line
// record carries (identifier in host order); the record is packed so that `id` directly follows
// `frame`. An FD frame has `Fd` set in `frame` and its data length code in the low nibble of
// `rtl`; the module's records are always classic.
#pragma pack(push, 1)
struct CanPacket
{
    enum : uint8_t {
        Extended = 0x01,      // bit 0 of `frame`: 29-bit identifier
        Fd = 0x02,            // a CAN FD frame: up to 64 data bytes
        BitRateSwitch = 0x04, // FD: the data phase ran at the data bit rate
        ErrorState = 0x08,    // FD: the sender was error passive
        FdFlags = Fd | BitRateSwitch | ErrorState,
        Can0ToCan1 = 0x10,
        Can1ToCan0 = 0x20,
    };
    static constexpr int MaxClassicBytes = 8;
    static constexpr int MaxFdBytes = 64;

    enum : int32_t {
        Received = 64,
        Transmitted = 128,
    };

    uint8_t frame = 0;
    uint32_t id = 0;
    uint8_t rtl = 0;               // high nibble: remote request; low nibble: length 0..15
    uint8_t data[MaxFdBytes] = {}; // a classic frame uses the first eight
    uint32_t delay = 1;            // ms: write wait and pause after the frame in a transmit run
    int32_t direct = Received;

    bool isExtended() const { return frame & Extended; }
    bool isRemote() const { return (rtl & 0xF0) != 0; }
    bool isFd() const { return frame & Fd; }
    // The length as shown: the code 0..15 of a classic frame (9..15 still carry eight bytes),
    // the byte count 0..64 of an FD frame.
    int length() const { return isFd() ? fdLength(rtl & 0x0F) : rtl & 0x0F; }
    // The data bytes the frame carries.
    int dataLength() const { return isFd() ? length() : qMin(length(), MaxClassicBytes); }
    // Makes the frame an FD frame of `bytes` bytes, rounded up to the next FD length.
    void setFdLength(int bytes);

    static int fdLength(int code);
    // The smallest code whose length holds `bytes`.
    static int fdCode(int bytes);
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
// With only the first `byteCount` data bytes (0..64): those the frame carries, say.
QString frameText(const CanPacket &packet, int byteCount);
QString byteListText(const QByteArray &bytes);
QString printableText(const QByteArray &bytes);
