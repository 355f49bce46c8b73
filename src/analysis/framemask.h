// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtAlgorithms>
#include <QtGlobal>
#include <array>

// A set of bits of a frame's data, classic or CAN FD (up to 64 bytes), numbered as DBC files
// number them: 8 × byte + bit. Word w holds bytes 8w .. 8w + 7, little-endian, so the bits of a
// classic frame are word 0, as the 64-bit masks of eight-byte frames are.
struct FrameMask
{
    static constexpr int Words = 8;
    static constexpr int Bits = 64 * Words;

    std::array<quint64, Words> words{};

    FrameMask() = default;
    // Bytes 0..7: the mask of a classic frame.
    FrameMask(quint64 low) { words[0] = low; } // NOLINT(google-explicit-constructor)

    // Bits `first` .. `first` + `length` - 1.
    static FrameMask run(int first, int length)
    {
        FrameMask m;
        for (int bit = first; bit < first + length && bit < Bits; ++bit)
            m.set(bit);
        return m;
    }

    bool test(int bit) const { return (words[size_t(bit / 64)] >> (bit % 64)) & 1; }
    void set(int bit) { words[size_t(bit / 64)] |= quint64(1) << (bit % 64); }
    bool any() const
    {
        for (quint64 w : words) {
            if (w)
                return true;
        }
        return false;
    }
    int count() const
    {
        int n = 0;
        for (quint64 w : words)
            n += qPopulationCount(w);
        return n;
    }
    // The 64 bits from byte `base` on (0..56).
    quint64 window(int base) const
    {
        const size_t w = size_t(base / 8);
        const int shift = 8 * (base % 8);
        if (shift == 0)
            return words[w];
        const quint64 above = w + 1 < words.size() ? words[w + 1] : 0;
        return (words[w] >> shift) | (above << (64 - shift));
    }
    // Adds `bits`, the 64 bits from byte `base` on.
    void addWindow(int base, quint64 bits)
    {
        const size_t w = size_t(base / 8);
        const int shift = 8 * (base % 8);
        words[w] |= bits << shift;
        if (shift > 0 && w + 1 < words.size())
            words[w + 1] |= bits >> (64 - shift);
    }

    FrameMask &operator|=(const FrameMask &other)
    {
        for (size_t w = 0; w < words.size(); ++w)
            words[w] |= other.words[w];
        return *this;
    }
    bool intersects(const FrameMask &other) const
    {
        for (size_t w = 0; w < words.size(); ++w) {
            if (words[w] & other.words[w])
                return true;
        }
        return false;
    }
    // The bits of this mask that `other` lacks.
    FrameMask without(const FrameMask &other) const
    {
        FrameMask out;
        for (size_t w = 0; w < words.size(); ++w)
            out.words[w] = words[w] & ~other.words[w];
        return out;
    }
    friend bool operator==(const FrameMask &a, const FrameMask &b) { return a.words == b.words; }
    friend bool operator!=(const FrameMask &a, const FrameMask &b) { return !(a == b); }
};
