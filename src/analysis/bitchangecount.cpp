// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitchangecount.h"

std::array<int, 64> BitChangeCount::counts() const
{
    std::array<int, 64> out{};
    for (int b = 0; b < 64; ++b) {
        for (int p = 0; p < Planes; ++p)
            out[size_t(b)] += int((planes[size_t(p)] >> b) & 1) << p;
    }
    return out;
}
