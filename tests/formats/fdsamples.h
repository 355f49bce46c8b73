// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <QString>
#include <QStringList>
#include <QVector>

// CAN FD frames for the binary format tests, and a description that shows all of an FD frame.
namespace FdSamples {

// An FD frame of `bytes` bytes (rounded up to an FD length), its data 0x00, 0x11, 0x22, ...
// plus `seed`. Channel 1 = CAN0, 2 = CAN1, 0 none.
inline TimedPacket fdFrame(qint64 time, uint32_t id, bool extended, int channel, bool tx, int bytes,
                           bool brs, bool esi, int seed = 0)
{
    TimedPacket f;
    f.time = time;
    f.packet.id = id;
    f.packet.frame =
        uint8_t((extended ? CanPacket::Extended : 0) | (channel == 1 ? CanPacket::Can0ToCan1 : 0) |
                (channel == 2 ? CanPacket::Can1ToCan0 : 0) | (brs ? CanPacket::BitRateSwitch : 0) |
                (esi ? CanPacket::ErrorState : 0));
    f.packet.setFdLength(bytes);
    for (int i = 0; i < f.packet.dataLength(); ++i)
        f.packet.data[i] = uint8_t(i * 0x11 + seed);
    f.packet.direct = tx ? CanPacket::Transmitted : CanPacket::Received;
    return f;
}

// Every FD length 0..64, each of the four BRS/ESI combinations, both identifier kinds, both
// lines and none, both directions; classic frames between them (a remote one too).
inline QVector<TimedPacket> fdSampleFrames()
{
    QVector<TimedPacket> frames;
    qint64 t = 1700000000LL * 1000000;
    for (int code = 0; code < 16; ++code) {
        const int bytes = CanPacket::fdLength(code);
        const bool extended = code % 2 == 1;
        frames.append(fdFrame(t, extended ? 0x18DA00F1u + uint32_t(code) : 0x100u + uint32_t(code),
                              extended, code % 3, code % 4 == 3, bytes, code & 2, code & 4, code));
        t += 1000 + code * 37;
    }
    TimedPacket classic;
    classic.time = t;
    classic.packet.id = 0x7FF;
    classic.packet.frame = CanPacket::Can0ToCan1;
    classic.packet.rtl = 8;
    for (int i = 0; i < 8; ++i)
        classic.packet.data[i] = uint8_t(0xA0 + i);
    frames.insert(3, classic);
    classic.time = t + 1;
    classic.packet.frame = CanPacket::Extended | CanPacket::Can1ToCan0;
    classic.packet.id = 0x1FFFFFFF;
    classic.packet.rtl = 0x13; // remote, length 3
    std::fill(classic.packet.data, classic.packet.data + 8, 0);
    frames.insert(9, classic);
    frames.append(fdFrame(t + 2, 0x1FFFFFFF, true, 1, false, 64, true, true, 0x5A));
    frames.append(fdFrame(t + 3, 0x7FF, false, 2, true, 64, false, false, 0xFF));
    return frames;
}

// "time id x/s fd[b][e]/cc/r length data dir channel"; all the data bytes a frame carries.
inline QString describeFd(const TimedPacket &f, bool withTime = true)
{
    const CanPacket &p = f.packet;
    QString kind = p.isFd() ? QStringLiteral("fd") : p.isRemote() ? QStringLiteral("r") : "cc";
    if (p.frame & CanPacket::BitRateSwitch)
        kind += 'b';
    if (p.frame & CanPacket::ErrorState)
        kind += 'e';
    const int carried = p.isRemote() ? 0 : p.dataLength();
    const QByteArray data = QByteArray(reinterpret_cast<const char *>(p.data), carried).toHex();
    const int channel = (p.frame & CanPacket::Can0ToCan1)   ? 1
                        : (p.frame & CanPacket::Can1ToCan0) ? 2
                                                            : 3;
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 ch%8")
        .arg(withTime ? QString::number(f.time) : QString(), QString::number(p.id, 16),
             p.isExtended() ? "x" : "s", kind, QString::number(p.length()),
             data.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(data),
             p.direct == CanPacket::Received ? "rx" : "tx")
        .arg(channel);
}

inline QStringList describeAllFd(const QVector<TimedPacket> &frames, bool withTime = true)
{
    QStringList lines;
    for (const TimedPacket &f : frames)
        lines.append(describeFd(f, withTime));
    return lines;
}

} // namespace FdSamples
