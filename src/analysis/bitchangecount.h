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
    // Adds the changed bits of words 0 .. count - 1, given by changed(k). The lanes are held in
    // locals meanwhile, where the compiler keeps them in registers.
    template<typename Changed> void addEach(int count, Changed changed)
    {
        std::array<quint64, 8> local = lanes;
        for (int k = 0; k < count; ++k) {
            addTo(local, changed(k));
            if (++pending == MaxPending) {
                addLanes(local, counted);
                local.fill(0);
                pending = 0;
            }
        }
        lanes = local;
    }
    // The count of each bit (8 * byte + bit).
    std::array<int, 64> counts() const;

private:
    static constexpr quint64 EveryByte = 0x0101010101010101ull;
    static constexpr int MaxPending = 255; // what a byte of a lane holds
    static void addTo(std::array<quint64, 8> &to, quint64 changed)
    {
#pragma GCC unroll 8
        for (size_t j = 0; j < to.size(); ++j)
            to[j] += (changed >> j) & EveryByte;
    }
    static void addLanes(const std::array<quint64, 8> &lanes, std::array<int, 64> &to);

    std::array<quint64, 8> lanes{}; // byte k of lane j: changes of bit 8 * k + j not yet counted
    int pending = 0;
    std::array<int, 64> counted{};
};
