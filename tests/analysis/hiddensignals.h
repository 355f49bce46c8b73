// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <QtEndian>
#include <cmath>
#include <random>
#include <vector>

// A capture with known signals hidden among noise, for the search, marking and comparison tests.
// Every identifier sends every 20 ms for `Frames` rounds; round i is over at moment(i).
namespace HiddenSignals {

constexpr int Frames = 1000;
constexpr qint64 Start = 1700000000000000;
constexpr int NoiseIds = 30;

// 0x100: a 12-bit Motorola ramp, most significant bit at byte 1 bit 3 (DBC start bit 11).
constexpr quint32 RampId = 0x100;
inline int ramp(int i)
{
    return std::min(4000, 50 + 4 * i);
}
// 0x2A0: a signed 16-bit Intel value at start bit 16.
constexpr quint32 SineId = 0x2A0;
inline int sine(int i)
{
    return int(std::lround(30000 * std::sin(i / 50.0)));
}
// 0x3C5: a 4-bit counter in byte 0's low nibble (high nibble 0xA), flags in byte 5 (0x40,
// bit 3 toggled when `flag` is on), byte 6 constant, an XOR of bytes 0..6 in byte 7.
constexpr quint32 CounterId = 0x3C5;
constexpr int FlagByte = 5;
constexpr int FlagBit = 3;
// 0x18FF1234 (29-bit): a CRC-8 over bytes 0..6 in byte 7, polynomial 0x2F, initial 0xFF.
constexpr quint32 CrcId = 0x18FF1234;
constexpr quint8 CrcPolynomial = 0x2F;
constexpr quint8 CrcInitial = 0xFF;

inline qint64 moment(int i)
{
    return Start + qint64(i) * 20000 + 10000;
}

inline TimedPacket frame(quint32 id, bool extended, qint64 time, const quint8 *data)
{
    TimedPacket f;
    f.time = time;
    f.packet.id = id;
    f.packet.frame = extended ? CanPacket::Extended : 0;
    f.packet.rtl = 8;
    std::copy(data, data + 8, f.packet.data);
    return f;
}

// Most significant bit first, no final XOR.
inline quint8 crc8(const quint8 *data, int count)
{
    quint8 crc = CrcInitial;
    for (int k = 0; k < count; ++k) {
        crc ^= data[k];
        for (int bit = 0; bit < 8; ++bit)
            crc = quint8((crc & 0x80) ? (crc << 1) ^ CrcPolynomial : crc << 1);
    }
    return crc;
}

inline std::vector<TimedPacket> capture(unsigned seed, bool flag)
{
    std::mt19937 random(seed);
    auto noise = [&random]() { return quint8(random() & 0xFF); };
    std::vector<TimedPacket> frames;
    for (int i = 0; i < Frames; ++i) {
        const qint64 t = Start + qint64(i) * 20000;
        quint8 d[8];
        for (quint8 &b : d)
            b = noise();
        const int r = ramp(i);
        d[1] = quint8((d[1] & 0xF0) | (r >> 8));
        d[2] = quint8(r);
        frames.push_back(frame(RampId, false, t + 100, d));

        for (quint8 &b : d)
            b = noise();
        qToLittleEndian<qint16>(qint16(sine(i)), d + 2);
        frames.push_back(frame(SineId, false, t + 200, d));

        for (quint8 &b : d)
            b = noise();
        d[0] = quint8(0xA0 | (i & 15));
        d[5] = quint8(0x40 | (flag && (i / 97) % 2 ? 1 << FlagBit : 0));
        d[6] = 0x5A;
        d[7] = 0;
        for (int k = 0; k < 7; ++k)
            d[7] ^= d[k];
        frames.push_back(frame(CounterId, false, t + 300, d));

        for (quint8 &b : d)
            b = noise();
        d[0] = quint8(i);
        d[7] = crc8(d, 7);
        frames.push_back(frame(CrcId, true, t + 400, d));

        for (int n = 0; n < NoiseIds; ++n) {
            for (quint8 &b : d)
                b = noise();
            frames.push_back(frame(0x400 + quint32(n), false, t + 500 + n * 100, d));
        }
    }
    return frames;
}

} // namespace HiddenSignals
