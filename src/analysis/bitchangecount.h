// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <array>

// How often each of the 64 bits of a frame's data word changed, counted for all bits at once:
// bit b of plane p is bit p of bit b's count, so adding a set of changed bits is a few word
// operations instead of one per bit.
class BitChangeCount final
{
public:
    void add(quint64 changed)
    {
        for (int p = 0; p < Planes && changed; ++p) {
            const quint64 carry = planes[size_t(p)] & changed;
            planes[size_t(p)] ^= changed;
            changed = carry;
        }
    }
    // The count of each bit (8 * byte + bit).
    std::array<int, 64> counts() const;

private:
    static constexpr int Planes = 31;
    std::array<quint64, Planes> planes{};
};
