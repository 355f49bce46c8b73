// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/keyindex.h"

namespace {

constexpr int InitialBits = 6;

} // namespace

KeyIndex::KeyIndex()
{
    clear();
}

void KeyIndex::clear()
{
    keys.clear();
    table.assign(size_t(1) << InitialBits, Slot{0, -1});
    mask = quint32(table.size()) - 1;
    shift = 32 - InitialBits;
}

qint32 KeyIndex::add(quint32 key)
{
    const qint32 known = find(key);
    if (known >= 0)
        return known;
    if ((keys.size() + 1) * 2 > table.size())
        grow();
    const qint32 index = qint32(keys.size());
    keys.push_back(key);
    place(key, index);
    return index;
}

void KeyIndex::grow()
{
    table.assign(table.size() * 2, Slot{0, -1});
    mask = quint32(table.size()) - 1;
    --shift;
    for (size_t i = 0; i < keys.size(); ++i)
        place(keys[i], qint32(i));
}

void KeyIndex::place(quint32 key, qint32 index)
{
    quint32 at = spread(key) >> shift;
    while (table[at].index >= 0)
        at = (at + 1) & mask;
    table[at] = Slot{key, index};
}
