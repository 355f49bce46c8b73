// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <utility>
#include <vector>

// Texts for raw values of a signal (VAL_ or VAL_TABLE_). Kept sorted so a lookup is a binary
// search that never allocates.
class DbcValueTable final
{
public:
    using Entry = std::pair<qint64, QString>;

    // Replaces the table; of two texts for one value the later wins.
    void assign(std::vector<Entry> entries);
    // The text for `raw`, or null.
    const QString *text(qint64 raw) const;
    bool isEmpty() const { return sorted.empty(); }
    const std::vector<Entry> &entries() const { return sorted; }

private:
    std::vector<Entry> sorted;
};
