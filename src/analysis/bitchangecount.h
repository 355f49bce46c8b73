// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <array>

// How often each of the 64 bits of a frame's data word changed, counted for all bits at once:
// bit j of every byte is added to that byte of a lane word, eight lanes for the eight bits of a
// byte, so adding a set of changed bits is a few word operations instead of one per bit. The
// lanes' bytes go to the counts before they can overflow.
class BitChangeCount final
{
public:
    void add(quint64 changed)
    {
        for (size_t j = 0; j < lanes.size(); ++j)
            lanes[j] += (changed >> j) & EveryByte;
        if (++pending == MaxPending)
            flush();
    }
    // The count of each bit (8 * byte + bit).
    std::array<int, 64> counts() const;

private:
    static constexpr quint64 EveryByte = 0x0101010101010101ull;
    static constexpr int MaxPending = 255; // what a byte of a lane holds
    void flush();
    static void addLanes(const std::array<quint64, 8> &lanes, std::array<int, 64> &to);

    std::array<quint64, 8> lanes{}; // byte k of lane j: changes of bit 8 * k + j not yet counted
    int pending = 0;
    std::array<int, 64> counted{};
};
