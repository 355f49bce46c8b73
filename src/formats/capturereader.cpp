// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/capturereader.h"

void CaptureReader::noteDamage(CaptureDamage damage)
{
    // Stretches are said in file order, each once: what an earlier one told is not told again.
    const qint64 told = damagedCount > 0 ? lastDamage.offset + lastDamage.length : 0;
    if (damage.offset < told) {
        damage.length = qMax<qint64>(0, damage.offset + damage.length - told);
        damage.offset = told;
    }
    const bool continues = damagedCount > 0 && damage.lines > 0 && lastDamage.lines > 0 &&
                           damage.what == lastDamage.what &&
                           damage.offset == lastDamage.offset + lastDamage.length;
    if (continues) {
        lastDamage.length += damage.length;
        lastDamage.lines += damage.lines;
        if (quint64(notes.size()) == damagedCount)
            notes.last() = lastDamage;
        return;
    }
    lastDamage = damage;
    ++damagedCount;
    if (notes.size() < MaxDamageNotes)
        notes.append(damage);
}
