// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcgroupindex.h"

#include "diagnostics/j1939id.h"
#include "signals/dbcmessage.h"

void DbcGroupIndex::add(const DbcMessage &message, int value)
{
    if (!message.j1939 || !message.extended)
        return;
    const J1939Id j = J1939Id::of(message.id);
    if (!byKey.contains(keyOf(j.pgn)))
        byKey.insert(keyOf(j.pgn), value);
    if (J1939Id::isPdu1(j.pgn) && !byKey.contains(keyOf(j.pgn, j.destination)))
        byKey.insert(keyOf(j.pgn, j.destination), value);
}

int DbcGroupIndex::find(uint32_t id) const
{
    const J1939Id j = J1939Id::of(id);
    if (J1939Id::isPdu1(j.pgn)) {
        const auto own = byKey.constFind(keyOf(j.pgn, j.destination));
        if (own != byKey.constEnd())
            return *own;
    }
    return byKey.value(keyOf(j.pgn), None);
}
