// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitbackground.h"

#include "analysis/bitflipcounter.h"

void BitBackground::remember(const BitFlipCounter &counter)
{
    masks.clear();
    for (const quint32 key : counter.keys()) {
        for (int block = 0; block < counter.blocks(key); ++block)
            masks.insert(slot(key, block), counter.activity(key, block)->changed);
    }
    set = true;
}

void BitBackground::forget()
{
    masks.clear();
    set = false;
}

quint64 BitBackground::newBits(quint32 key, const BitActivity &activity, int block) const
{
    return set ? activity.changed & ~mask(key, block) : 0;
}

bool BitBackground::hasNewBits(quint32 key, const BitFlipCounter &counter) const
{
    for (int block = 0; set && block < counter.blocks(key); ++block) {
        if (newBits(key, *counter.activity(key, block), block))
            return true;
    }
    return false;
}
