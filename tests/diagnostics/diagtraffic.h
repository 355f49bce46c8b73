// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <QByteArray>
#include <QVector>

// Diagnostic traffic built frame by frame for the tests: ISO-TP segmentation as a sender does
// it, over classic CAN and CAN FD, J1939 transport sessions, and the candump text of the whole.
namespace DiagTraffic {

struct Options
{
    bool padded = true;
    int address = -1;    // extended or mixed addressing: the first data byte
    bool escape = false; // first frame with the 32-bit length
    int frameBytes = 8;  // TX_DL: over 8, CAN FD frames
};

// CAN FD has lengths 0..8, 12, 16, 20, 24, 32, 48 and 64: a frame is filled up to the next one
// with 0xCC, as ISO 15765-2 suggests.
inline QByteArray fdPadded(QByteArray f)
{
    for (int length : {8, 12, 16, 20, 24, 32, 48, 64}) {
        if (f.size() <= length)
            return f.size() <= 8 ? f : f + QByteArray(length - f.size(), char(0xCC));
    }
    return f;
}

// ISO-TP over CAN FD: a single frame of up to seven bytes keeps the classic form, a longer one the
// escape form (0x00, then the length); first and consecutive frames fill TX_DL bytes.
inline QVector<QByteArray> isoTpFdFrames(const QByteArray &payload, const Options &o)
{
    const QByteArray prefix = o.address >= 0 ? QByteArray(1, char(o.address)) : QByteArray();
    const int room = o.frameBytes - prefix.size();
    QVector<QByteArray> frames;
    if (!o.escape && payload.size() <= 7 - prefix.size()) {
        frames.append(prefix + char(payload.size()) + payload);
        return frames;
    }
    if (!o.escape && payload.size() <= room - 2) {
        frames.append(fdPadded(prefix + '\0' + char(payload.size()) + payload));
        return frames;
    }
    QByteArray first = prefix;
    const quint32 n = quint32(payload.size());
    if (o.escape || n > 0xFFF)
        first +=
            QByteArray::fromHex("1000") + char(n >> 24) + char(n >> 16) + char(n >> 8) + char(n);
    else
        first += char(0x10 | (n >> 8)) + QByteArray(1, char(n & 0xFF));
    int at = o.frameBytes - first.size();
    frames.append(first + payload.left(at));
    for (int sn = 1; at < payload.size(); ++sn, at += room - 1)
        frames.append(fdPadded(prefix + char(0x20 | (sn & 0x0F)) + payload.mid(at, room - 1)));
    return frames;
}

// The data of each frame that carries `payload` (single frame, or first and consecutive).
inline QVector<QByteArray> isoTpFrames(const QByteArray &payload, const Options &o = {})
{
    if (o.frameBytes > 8)
        return isoTpFdFrames(payload, o);
    const QByteArray prefix = o.address >= 0 ? QByteArray(1, char(o.address)) : QByteArray();
    const int room = 8 - prefix.size();
    QVector<QByteArray> frames;
    auto pad = [&](QByteArray f) {
        if (o.padded)
            f.append(QByteArray(8 - f.size(), char(0xAA)));
        return f;
    };
    if (payload.size() <= room - 1 && !o.escape) {
        frames.append(pad(prefix + char(payload.size()) + payload));
        return frames;
    }
    QByteArray first = prefix;
    if (o.escape) {
        const quint32 n = quint32(payload.size());
        first +=
            QByteArray::fromHex("1000") + char(n >> 24) + char(n >> 16) + char(n >> 8) + char(n);
    } else {
        first += char(0x10 | (payload.size() >> 8)) + QByteArray(1, char(payload.size() & 0xFF));
    }
    int at = 8 - first.size();
    frames.append(first + payload.left(at));
    for (int sn = 1; at < payload.size(); ++sn, at += room - 1)
        frames.append(pad(prefix + char(0x20 | (sn & 0x0F)) + payload.mid(at, room - 1)));
    return frames;
}

inline QByteArray pattern(int size, int seed = 0)
{
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF);
    return bytes;
}

class Stream
{
public:
    explicit Stream(qint64 start = 1700000000LL * 1000000) : now(start) {}

    // One frame `gap` µs after the previous one.
    void add(uint32_t id, bool extended, const QByteArray &data, qint64 gap = 1000, int channel = 0)
    {
        now += gap;
        TimedPacket f;
        f.time = now;
        f.packet.id = id;
        f.packet.frame = uint8_t((extended ? CanPacket::Extended : 0) |
                                 (channel == 0 ? CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0));
        f.packet.rtl = uint8_t(data.size());
        for (int i = 0; i < data.size() && i < 8; ++i)
            f.packet.data[i] = uint8_t(data[i]);
        frames.append(f);
    }
    // A CAN FD frame with the bit rate switch, of a CAN FD length.
    void addFd(uint32_t id, bool extended, const QByteArray &data, qint64 gap = 1000)
    {
        add(id, extended, QByteArray(), gap);
        CanPacket &p = frames.last().packet;
        p.frame |= CanPacket::Fd | CanPacket::BitRateSwitch;
        p.setFdLength(data.size());
        for (int i = 0; i < data.size() && i < CanPacket::MaxFdBytes; ++i)
            p.data[i] = uint8_t(data[i]);
    }
    void addAll(uint32_t id, bool extended, const QVector<QByteArray> &data, qint64 gap = 1000,
                bool fd = false)
    {
        for (const QByteArray &d : data)
            fd ? addFd(id, extended, d, gap) : add(id, extended, d, gap);
    }
    // A flow control frame: continue to send, no block limit, no separation time.
    void flowControl(uint32_t id, bool extended, int address = -1)
    {
        add(id, extended,
            (address >= 0 ? QByteArray(1, char(address)) : QByteArray()) +
                QByteArray::fromHex("3000000000000000").left(address >= 0 ? 7 : 8));
    }
    // A J1939 BAM (destination 0xFF) or RTS/CTS session of `payload` for `pgn`.
    void j1939(uint8_t source, uint8_t destination, uint32_t pgn, const QByteArray &payload,
               int skipPacket = 0)
    {
        const bool bam = destination == 0xFF;
        const int packets = (payload.size() + 6) / 7;
        const QByteArray pgnBytes = QByteArray(1, char(pgn)) + char(pgn >> 8) + char(pgn >> 16);
        QByteArray announce = QByteArray(1, char(bam ? 32 : 16)) + char(payload.size()) +
                              char(payload.size() >> 8) + char(packets) +
                              char(bam ? 0xFF : packets) + pgnBytes;
        add(cm(source, destination), true, announce, 50000);
        if (!bam)
            add(cm(destination, source), true,
                QByteArray::fromHex("11") + char(packets) + QByteArray::fromHex("01FFFF") +
                    pgnBytes);
        for (int n = 1; n <= packets; ++n) {
            if (n == skipPacket)
                continue;
            QByteArray d = QByteArray(1, char(n)) + payload.mid((n - 1) * 7, 7);
            d.append(QByteArray(8 - d.size(), char(0xFF)));
            add(dt(source, destination), true, d, 50000);
        }
        if (!bam && !skipPacket)
            add(cm(destination, source), true,
                QByteArray::fromHex("13") + char(payload.size()) + char(payload.size() >> 8) +
                    char(packets) + char(0xFF) + pgnBytes);
    }
    static uint32_t cm(uint8_t source, uint8_t destination)
    {
        return 0x18EC0000u | uint32_t(destination) << 8 | source;
    }
    static uint32_t dt(uint8_t source, uint8_t destination)
    {
        return 0x18EB0000u | uint32_t(destination) << 8 | source;
    }

    // As candump -l writes it.
    QByteArray candump() const
    {
        QByteArray text;
        for (const TimedPacket &f : frames) {
            const CanPacket &p = f.packet;
            text += "(" + QByteArray::number(f.time / 1000000) + "." +
                    QByteArray::number(f.time % 1000000).rightJustified(6, '0') + ") ";
            text += (p.frame & CanPacket::Can1ToCan0) ? "can1 " : "can0 ";
            text +=
                QByteArray::number(p.id, 16).toUpper().rightJustified(p.isExtended() ? 8 : 3, '0');
            const QByteArray flags =
                (p.frame & CanPacket::BitRateSwitch) ? QByteArray("1") : QByteArray("0");
            text += (p.isFd() ? "##" + flags : QByteArray("#")) +
                    QByteArray(reinterpret_cast<const char *>(p.data), p.dataLength())
                        .toHex()
                        .toUpper() +
                    "\n";
        }
        return text;
    }

    QVector<TimedPacket> frames;
    qint64 now;
};

} // namespace DiagTraffic
