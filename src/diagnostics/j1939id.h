// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The fields of a 29-bit J1939 identifier. PDU1 (PDU format below 240) carries a destination
// address in the PDU specific byte; PDU2 carries a group extension and goes to everyone.
struct J1939Id
{
    static constexpr uint8_t Global = 0xFF;

    uint8_t priority = 0;
    uint32_t pgn = 0;
    uint8_t source = 0;
    uint8_t destination = Global;

    static J1939Id of(uint32_t id)
    {
        J1939Id j;
        j.priority = uint8_t((id >> 26) & 0x7);
        j.source = uint8_t(id);
        const uint32_t format = (id >> 16) & 0xFF;
        const uint32_t page = (id >> 24) & 0x3; // extended data page, data page
        if (format < 240) {
            j.destination = uint8_t(id >> 8);
            j.pgn = page << 16 | format << 8;
        } else {
            j.pgn = page << 16 | format << 8 | ((id >> 8) & 0xFF);
        }
        return j;
    }
    static bool isPdu1(uint32_t pgn) { return ((pgn >> 8) & 0xFF) < 240; }
};
