// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QtGlobal>

class BitFlipCounter;
struct BitActivity;

// The bits that were already moving when the user pressed "Запомнить фон", per identifier.
// From then on only flips outside it count as new: the way to see which bits answer a button.
class BitBackground final
{
public:
    // Takes every bit that flipped in the counter's span as background.
    void remember(const BitFlipCounter &counter);
    void forget();
    bool isSet() const { return set; }
    // Of the block of eight bytes (BitFlipCounter::activity(key, block)).
    quint64 mask(quint32 key, int block = 0) const { return masks.value(slot(key, block)); }
    // The bits of `activity` that flipped outside the background; none while it is not set.
    quint64 newBits(quint32 key, const BitActivity &activity, int block = 0) const;
    // Whether any bit of the identifier flipped outside the background.
    bool hasNewBits(quint32 key, const BitFlipCounter &counter) const;

private:
    static quint64 slot(quint32 key, int block) { return quint64(block) << 32 | key; }

    QHash<quint64, quint64> masks;
    bool set = false;
};
