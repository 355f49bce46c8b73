// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <array>
#include <limits>

// How 64 data bits of one identifier behaved over a span of frames: bytes 0..7, or for the long
// frames of CAN FD a further block of eight bytes. Bits are DBC bit numbers within the block:
// byte × 8 + bit, bit 0 the least significant of its byte. A flip is a bit that differs from the
// frame before; bytes beyond either frame's length do not flip.
struct BitActivity
{
    static constexpr int Bits = 64;
    static constexpr qint64 NoTime = std::numeric_limits<qint64>::min();

    quint64 frames = 0;
    quint64 word = 0; // the newest frame's data, byte 0 in the low bits, zero beyond its length
    int length = 0;   // bytes of the block the newest frame carried, 0..8
    qint64 lastTime = NoTime;
    quint64 changed = 0; // the bits that flipped at least once
    std::array<quint32, Bits> flips{};
    std::array<qint64, Bits> lastFlip{}; // valid where flips > 0

    bool bit(int index) const { return (word >> index) & 1; }
    int byte(int index) const { return int((word >> (index * 8)) & 0xFF); }

    // How a byte behaved: no bit moved; it counts (its lowest moving bit flips about every
    // frame, each bit above about half as often as the one below); or it changes otherwise.
    enum class Behaviour { Constant, Counter, Changing };
    Behaviour behaviour(int byteIndex) const;
};
