// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <vector>

// Where the state of each identifier lives in a caller's array: a flat table looked up for
// every frame. Keys are identifiers with the format in the top bit (key()); indexes are the
// order keys were added in, 0, 1, 2, ... The table stays at most half full and takes 8 bytes a
// slot, so 10,000 identifiers fit in a fast cache and a lookup is one probe or two.
class KeyIndex final
{
public:
    static constexpr quint32 ExtendedKey = 0x80000000u;
    static quint32 key(quint32 id, bool extended) { return id | (extended ? ExtendedKey : 0); }

    KeyIndex();

    // The index of `key`, -1 when it has none.
    qint32 find(quint32 key) const
    {
        for (quint32 at = spread(key) >> shift;; at = (at + 1) & mask) {
            const Slot &s = table[at];
            if (s.index < 0 || s.key == key)
                return s.index;
        }
    }
    // Asks for the slot of `key` now, so that a find() a few frames later finds it in the cache.
    void prefetch(quint32 key) const { __builtin_prefetch(&table[spread(key) >> shift]); }
    // Asks now for every cache line of the state of `key` in `states` (one per key, in the order
    // keys were added), for a frame taken a few frames later; nothing when the key is new.
    // Returns the key's index, -1 when it has none yet.
    template<typename States> qint32 prefetch(quint32 key, const States &states) const
    {
        const qint32 index = find(key);
        if (index < 0)
            return index;
        const char *state = reinterpret_cast<const char *>(&states[size_t(index)]);
        constexpr size_t Size = sizeof(typename States::value_type);
        for (size_t line = 0; line < Size; line += 64)
            __builtin_prefetch(state + line, 1);
        __builtin_prefetch(state + Size - 1, 1);
        return index;
    }
    // The index of `key`, the next one when it is new.
    qint32 add(quint32 key);
    int size() const { return int(keys.size()); }
    const std::vector<quint32> &addedKeys() const { return keys; }
    void clear();

private:
    struct Slot
    {
        quint32 key;
        qint32 index; // -1 free
    };

    // Fibonacci hashing: neighbouring identifiers spread apart in the product's top bits.
    static quint32 spread(quint32 key) { return key * 0x9E3779B1u; }
    void grow();
    void place(quint32 key, qint32 index);

    std::vector<Slot> table;
    std::vector<quint32> keys;
    quint32 mask = 0;
    int shift = 0; // the hash's top bits index the table
};
