// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formattestkit.h"
#include "link/timedpacket.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <algorithm>

// CAN FD frames for the format tests, and a description that shows all of an FD frame in the
// form the python-can and tshark sides of the interop tests print.
namespace FdSamples {

inline uint8_t brsEsi(bool brs, bool esi)
{
    return uint8_t((brs ? CanPacket::BitRateSwitch : 0) | (esi ? CanPacket::ErrorState : 0));
}

// An FD frame whose data is 0xB0, 0xB7, 0xBE, ...: the text formats' sample.
inline TimedPacket fdTextFrame(qint64 time, uint32_t id, bool extended, int channel, bool tx,
                               int bytes, uint8_t flags = 0)
{
    return FormatTestKit::fdFrame(time, id, extended, channel, tx, bytes, flags, 0xB0, 7);
}

// An FD frame whose data, padding included, is 0x00, 0x11, 0x22, ... plus `seed`.
inline TimedPacket fdFrame(qint64 time, uint32_t id, bool extended, int channel, bool tx, int bytes,
                           uint8_t flags, int seed = 0)
{
    const int carried = CanPacket::fdLength(CanPacket::fdCode(bytes));
    return FormatTestKit::fdFrame(time, id, extended, channel, tx, carried, flags, seed, 0x11);
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
                              extended, code % 3, code % 4 == 3, bytes, brsEsi(code & 2, code & 4),
                              code));
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
    frames.append(fdFrame(t + 2, 0x1FFFFFFF, true, 1, false, 64, brsEsi(true, true), 0x5A));
    frames.append(fdFrame(t + 3, 0x7FF, false, 2, true, 64, 0, 0xFF));
    return frames;
}

// Every length 0..64 once (so every FD length, and the lengths between them padded up), the four
// flag combinations in turn, 11- and 29-bit identifiers, both directions, channels 1, 2 and none;
// two classic frames among them. The first frame falls on a whole second.
inline QVector<TimedPacket> sampleFdFrames(bool withClassic = true)
{
    const qint64 t0 = 1700000000LL * 1000000;
    static const uint8_t flags[] = {0, CanPacket::BitRateSwitch, CanPacket::ErrorState,
                                    CanPacket::BitRateSwitch | CanPacket::ErrorState};
    QVector<TimedPacket> frames;
    for (int bytes = 0; bytes <= CanPacket::MaxFdBytes; ++bytes) {
        const bool extended = bytes % 3 == 1;
        frames.append(fdTextFrame(t0 + bytes * 10007,
                                  extended ? 0x18DA00F1u + bytes : 0x100u + bytes, extended,
                                  1 + bytes % 3, bytes % 5 == 2, bytes, flags[bytes % 4]));
    }
    if (withClassic) {
        TimedPacket classic = FormatTestKit::frame(t0 + 5, 0x7FF, false, 1, false, 8);
        for (int i = 0; i < 8; ++i)
            classic.packet.data[i] = uint8_t(0x11 * (i + 1));
        frames.insert(1, classic);
        classic.time = t0 + 40 * 10007 + 3;
        classic.packet.rtl = 3;
        classic.packet.frame = CanPacket::Extended | CanPacket::Can1ToCan0;
        classic.packet.id = 0x1FFFFFFF;
        std::fill(classic.packet.data + 3, classic.packet.data + 8, 0);
        frames.insert(42, classic);
    }
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
