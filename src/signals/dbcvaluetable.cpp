// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcvaluetable.h"

#include <algorithm>

void DbcValueTable::assign(std::vector<Entry> entries)
{
    // Stable sort keeps the file's order among equal values; the last of each run is kept.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.first < b.first; });
    sorted.clear();
    for (Entry &entry : entries) {
        if (!sorted.empty() && sorted.back().first == entry.first)
            sorted.back().second = std::move(entry.second);
        else
            sorted.push_back(std::move(entry));
    }
}

const QString *DbcValueTable::text(qint64 raw) const
{
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), raw,
                                     [](const Entry &e, qint64 value) { return e.first < value; });
    return it != sorted.end() && it->first == raw ? &it->second : nullptr;
}
