// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/frameindex.h"
#include "analysis/framemask.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

// Finds the checksum in one identifier's frames, trying in turn:
//   a byte that is the XOR or the sum modulo 256 of the other bytes, with or without the
//   identifier's bytes;
//   a nibble that is the sum of the frame's other nibbles modulo 16, or a byte that is the sum
//   of the other bytes' nibbles modulo 256: with or without the identifier's nibbles, a constant
//   added, or subtracted from a constant (the frame's nibbles then add up to a constant, which
//   makes any nibble look like the checksum: the last one that changes is taken);
//   a byte that is a CRC-8 of the other bytes, most significant bit first, with the polynomial,
//   the initial value and the final XOR found from the frames (four different frames at least).
// A checksum must match this share of the frames: a frame garbled in logging does not hide it.
class ChecksumFinder final
{
public:
    static constexpr double Share = 0.9;
    // Frames looked at before the rest are.
    static constexpr int Glance = 64;

    struct Found
    {
        int startBit = 0; // the field's least significant bit, 8 * byte + bit
        int length = 8;
        QString detail; // "XOR", "сумма полубайтов", "CRC-8, полином 0x1D, ..."
        double share = 0;
    };

    // Frames begin .. end - 1 of the series, `bytes` long at least; bits of `covered` are
    // taken by other marks, and only fields whose bits changed (`flipped`) are looked at.
    ChecksumFinder(const FrameIndex::Series &series, int begin, int end, int bytes,
                   const FrameMask &covered, const FrameMask &flipped);

    std::optional<Found> find() const;

    // CRC-8, most significant bit first, of `bytes` bytes of `word` (little-endian data word)
    // leaving out byte `skip`.
    static quint8 crc8(quint8 polynomial, quint8 initial, quint64 word, int bytes, int skip);
    // The same of `bytes` bytes from `data`.
    static quint8 crc8(quint8 polynomial, quint8 initial, const quint8 *data, int bytes, int skip);
    // crc8(polynomial, 0, data, bytes, k) for every k < `bytes` at once.
    static std::array<quint8, FrameIndex::MaxBytes> crc8Without(quint8 polynomial,
                                                                const quint8 *data, int bytes);

private:
    std::optional<Found> byteChecksum() const;
    std::optional<Found> nibbleSum() const;
    std::optional<Found> crc() const;
    bool crcAt(int byte, Found *found) const;
    double crcShare(quint8 polynomial, quint8 initial, int byte, quint8 finalXor) const;
    bool free(int firstBit, int length) const;
    int glanced() const;
    // The data bytes of frame `i` into `data` (64 of them).
    void load(int i, quint8 *data) const { s.load(i, data); }
    // Whether frames `i` and `j` differ in any byte but `skip`.
    bool differ(int i, int j, int skip = -1) const;
    template<typename Counts> static bool promising(const Counts &counts, int frames);
    const std::vector<std::array<quint8, FrameIndex::MaxBytes>> &
    pairCrcs(int first, int other, const quint8 *change) const;

    // crc8Without() of one pair of frames' change, by odd polynomial p >= 3 (index p / 2).
    struct PairCrcs
    {
        int first = -1;
        int other = -1;
        std::vector<std::array<quint8, FrameIndex::MaxBytes>> byPolynomial;
    };
    mutable std::array<PairCrcs, 2> pairs; // from the first frame, and from the middle one

    const FrameIndex::Series &s;
    int begin;
    int end;
    int bytes;
    FrameMask covered;
    FrameMask flipped;
};
