// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitactivity.h"

namespace {

constexpr int BitsPerByte = 8;

// Within a quarter, give or take a flip: counters jitter where the log starts and ends.
bool about(double value, double expected)
{
    return value >= expected * 0.75 - 1 && value <= expected * 1.25 + 1;
}

} // namespace

BitActivity::Behaviour BitActivity::behaviour(int byteIndex) const
{
    const int first = byteIndex * BitsPerByte;
    if (((changed >> first) & 0xFF) == 0)
        return Behaviour::Constant;
    int low = first;
    while (flips[size_t(low)] == 0)
        ++low;
    const double comparisons = double(frames > 0 ? frames - 1 : 0);
    if (!about(flips[size_t(low)], comparisons))
        return Behaviour::Changing;
    int bit = low + 1;
    for (; bit < first + BitsPerByte && flips[size_t(bit)] > 0; ++bit) {
        if (!about(flips[size_t(bit)], flips[size_t(bit - 1)] / 2.0))
            return Behaviour::Changing;
    }
    // A counter's bits run without a gap: one that moves above a still bit is something else.
    for (; bit < first + BitsPerByte; ++bit) {
        if (flips[size_t(bit)] > 0)
            return Behaviour::Changing;
    }
    return Behaviour::Counter;
}
