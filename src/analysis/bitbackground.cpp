// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitbackground.h"

#include "analysis/bitflipcounter.h"

void BitBackground::remember(const BitFlipCounter &counter)
{
    masks.clear();
    for (const quint32 key : counter.keys())
        masks.insert(key, counter.activity(key)->changed);
    set = true;
}

void BitBackground::forget()
{
    masks.clear();
    set = false;
}

quint64 BitBackground::newBits(quint32 key, const BitActivity &activity) const
{
    return set ? activity.changed & ~masks.value(key) : 0;
}
