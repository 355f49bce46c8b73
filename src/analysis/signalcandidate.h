// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtEndian>
#include <QtGlobal>

// One place a signal might lie in the frames of one identifier: a run of bits of a frame's
// data read Intel (little-endian) or Motorola (big-endian), unsigned or signed. Kept small,
// since the first step of a search weighs millions of them.
//
// `shift` is where the value's least significant bit sits in eight bytes of the frame's data read
// as one word: little-endian for Intel, big-endian for Motorola. The eight bytes are those from
// byte `base` on: 0 for a classic frame, any of 0..56 in the long frames of CAN FD ("the window").
struct SignalCandidate
{
    enum Flag : quint8 { Motorola = 1, Signed = 2 };

    quint32 series = 0; // in the FrameIndex
    quint8 shift = 0;
    quint8 length = 1; // 1 .. 64
    quint8 flags = 0;
    quint8 base = 0;

    bool motorola() const { return flags & Motorola; }
    bool isSigned() const { return flags & Signed; }
    quint64 valueMask() const { return length >= 64 ? ~quint64(0) : (quint64(1) << length) - 1; }

    // The value from a word already in the candidate's byte order, with its shift, mask and
    // sign worked out once, for the values of one candidate read by the thousand.
    struct Field
    {
        int shift;
        quint64 mask;
        quint64 sign;
        // Signed, the sign bit is extended without a branch: values read by the million follow
        // no pattern.
        qint64 operator()(quint64 word) const
        {
            return qint64((((word >> shift) & mask) ^ sign) - sign);
        }
    };
    // The same from the window's little-endian data word, as raw() reads it.
    struct Reader
    {
        bool motorola;
        Field field;
        qint64 operator()(quint64 word) const { return field(motorola ? qbswap(word) : word); }
    };
    Field field() const
    {
        return {shift, valueMask(), isSigned() && length < 64 ? quint64(1) << (length - 1) : 0};
    }
    Reader reader() const { return {motorola(), field()}; }
    // The value as an integer from the window's little-endian data word.
    qint64 raw(quint64 word) const { return reader()(word); }
    // The candidate's bits in the window's little-endian data word (bit 8 * byte + bit, as DBC
    // files number them, from byte `base`).
    quint64 frameBits() const
    {
        const quint64 bits = valueMask() << shift;
        return motorola() ? qbswap(bits) : bits;
    }
    // The start bit as a DBC file writes it: the least significant bit for Intel, the most
    // significant for Motorola.
    int startBit() const
    {
        if (!motorola())
            return 8 * base + shift;
        const int msb = shift + length - 1; // in the big-endian word
        return 8 * base + (7 - msb / 8) * 8 + msb % 8;
    }
    // Bits of the window from byte `from` as the window from byte `to` holds them; those outside
    // it are lost.
    static quint64 moveWindow(quint64 bits, int from, int to)
    {
        const int by = 8 * (from - to);
        if (by == 0)
            return bits;
        if (by >= 64 || by <= -64)
            return 0;
        return by > 0 ? bits << by : bits >> -by;
    }
};

static_assert(sizeof(SignalCandidate) == 8, "candidates are counted in millions");
