// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <QtEndian>
#include <cmath>
#include <random>
#include <vector>

// A minute of a drive as a real bus carries it, for the search and marking tests: the car stands
// for 10 s, drives off, its speed rising to 31 s (dipping by two steps once, as real sensors do),
// keeps it, slows to a stop at 45 s and stands again; the wheel turns right, back through the
// middle and left, and straight again; the engine idles noisily. Every identifier sends every
// 20 ms; a twentieth of the frames are lost at random, as by a logger that cannot keep up.
namespace DriveCapture {

constexpr qint64 Start = 1700000000000000;
constexpr qint64 CycleUs = 20000;
constexpr int Rounds = 3000; // 60 s

// 0x1A0: speed, Motorola 16 bits at bytes 0-1 (start bit 7), 0.01 km/h: below 2,048 raw, so
// its top five bits never move. Byte 2 a slow temperature, byte 7 a 2-bit counter (bits 4-5)
// and a 4-bit checksum (bits 0-3): the sum of every other nibble of the frame, modulo 16.
constexpr quint32 SpeedId = 0x1A0;
// 0x1B0: engine speed, Intel 16 bits at bytes 2-3, rpm with noise of a few rpm; byte 7 the sum of
// the other bytes' nibbles, the identifier's nibbles and 5, modulo 256.
constexpr quint32 EngineId = 0x1B0;
// 0x1C0: steering angle, signed Motorola 16 bits at bytes 0-1, 0.1 degree; byte 7 a CRC-8
// (polynomial 0x1D, initial 0xFF, final XOR 0xFF) of bytes 0-6.
constexpr quint32 SteeringId = 0x1C0;
// 0x1D0: the speed again, but the logger kept none of its frames from 20 s to 30 s.
constexpr quint32 GapId = 0x1D0;
constexpr double GapFrom = 20.0;
constexpr double GapTo = 30.0;
constexpr int NoiseIds = 6; // 0x300 .. 0x305: random bytes
constexpr double Pi = 3.14159265358979323846;

inline qint64 at(double seconds)
{
    return Start + qint64(std::llround(seconds * 1e6));
}

inline int speed(double t)
{
    if (t < 10 || t >= 45)
        return 0;
    if (t > 27 && t < 27.1)
        return speed(27) - 2; // the one dip
    if (t < 31)
        return int(std::lround((t - 10) / 21 * 1500));
    if (t < 38)
        return 1500;
    return int(std::lround((45 - t) / 7 * 1500));
}

inline int steering(double t)
{
    if (t < 10 || t >= 45)
        return 0;
    return int(std::lround(3000 * std::sin((t - 10) / 35 * 2 * Pi)));
}

inline int engine(double t, std::mt19937 &random)
{
    const int base = t < 10 || t >= 45 ? 800 : 800 + speed(t) * 2;
    return base + int(random() % 7) - 3;
}

inline quint8 crc8(const quint8 *data, int count)
{
    quint8 crc = 0xFF;
    for (int k = 0; k < count; ++k) {
        crc ^= data[k];
        for (int bit = 0; bit < 8; ++bit)
            crc = quint8((crc & 0x80) ? (crc << 1) ^ 0x1D : crc << 1);
    }
    return quint8(crc ^ 0xFF);
}

inline int nibbleSum(const quint8 *data, int count)
{
    int sum = 0;
    for (int k = 0; k < count; ++k)
        sum += (data[k] >> 4) + (data[k] & 0x0F);
    return sum;
}

inline TimedPacket frame(quint32 id, qint64 time, const quint8 *data)
{
    TimedPacket f;
    f.time = time;
    f.packet.id = id;
    f.packet.rtl = 8;
    std::copy(data, data + 8, f.packet.data);
    return f;
}

inline std::vector<TimedPacket> capture(unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::vector<TimedPacket> frames;
    auto lost = [&random] { return random() % 20 == 0; };
    for (int i = 0; i < Rounds; ++i) {
        const double t = i * (CycleUs / 1e6);
        const qint64 time = Start + qint64(i) * CycleUs;
        quint8 d[8] = {};
        qToBigEndian<quint16>(quint16(speed(t)), d);
        d[2] = quint8(60 + i / 600);
        d[7] = quint8((i & 3) << 4);
        d[7] |= quint8(nibbleSum(d, 7) + (d[7] >> 4)) & 0x0F;
        if (!lost())
            frames.push_back(frame(SpeedId, time + 100, d));
        if (!(t >= GapFrom && t < GapTo) && !lost())
            frames.push_back(frame(GapId, time + 150, d));

        quint8 e[8] = {0x11, 0x22, 0, 0, 0x40, 0, 0, 0};
        qToLittleEndian<quint16>(quint16(engine(t, random)), e + 2);
        e[5] = quint8(random());
        e[7] = quint8(nibbleSum(e, 7) + 0x1 + 0xB + 0x0 + 5);
        if (!lost())
            frames.push_back(frame(EngineId, time + 200, e));

        quint8 s[8] = {};
        qToBigEndian<qint16>(qint16(steering(t)), s);
        s[2] = quint8(i);
        s[7] = crc8(s, 7);
        if (!lost())
            frames.push_back(frame(SteeringId, time + 300, s));

        for (int n = 0; n < NoiseIds; ++n) {
            quint8 x[8];
            for (quint8 &b : x)
                b = quint8(random());
            frames.push_back(frame(0x300 + quint32(n), time + 400 + n * 100, x));
        }
    }
    return frames;
}

} // namespace DriveCapture
