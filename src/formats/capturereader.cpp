// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/capturereader.h"

void CaptureReader::noteDamage(const CaptureDamage &damage)
{
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
