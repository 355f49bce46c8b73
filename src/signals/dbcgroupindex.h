// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <cstdint>

struct DbcMessage;

// Finds the J1939 parameter group (VFrameFormat "J1939PG") a 29-bit frame belongs to when no
// message has its exact identifier: by PGN, whatever the priority and source address. For a
// PDU1 group (one with a destination) a message written for the frame's destination comes
// first, then any of the same PGN; among equals the first one added.
class DbcGroupIndex final
{
public:
    static constexpr int None = -1;

    // Adds `message` under `value` when it is a J1939 parameter group.
    void add(const DbcMessage &message, int value);
    void clear() { byKey.clear(); }
    bool isEmpty() const { return byKey.isEmpty(); }
    // The value of the group that frame identifier `id` (29-bit) belongs to, or None.
    int find(uint32_t id) const;

private:
    static uint32_t keyOf(uint32_t pgn) { return pgn; }
    // PGNs take 18 bits; the destination goes above them, plus one so that 0 stays free.
    static uint32_t keyOf(uint32_t pgn, uint8_t destination)
    {
        return pgn | (uint32_t(destination) + 1) << 18;
    }

    QHash<uint32_t, int> byKey;
};
