// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitchangecount.h"

std::array<int, 64> BitChangeCount::counts() const
{
    std::array<int, 64> out = counted;
    addLanes(lanes, out);
    return out;
}

void BitChangeCount::addLanes(const std::array<quint64, 8> &lanes, std::array<int, 64> &to)
{
    for (size_t j = 0; j < lanes.size(); ++j) {
        for (size_t k = 0; k < 8; ++k)
            to[8 * k + j] += int((lanes[j] >> (8 * k)) & 0xFF);
    }
}
