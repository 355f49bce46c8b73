// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/isotpaddressing.h"

#include <QVector>
#include <array>
#include <cstdint>

// Which identifiers carry ISO-TP and how they address, and which request a response answers.
// Built in: 0x7DF, 0x7E0-0x7EF and 29-bit normal fixed addressing (0x18DA/0x18DB target
// source); the user's pairs come on top.
class DiagIdTable
{
public:
    DiagIdTable();

    void setPairs(const QVector<DiagPair> &pairs);
    const QVector<DiagPair> &pairs() const { return userPairs; }

    IsoTpAddressing addressing(uint32_t id, bool extended) const
    {
        if (!extended)
            return IsoTpAddressing(standard[id & 0x7FF]);
        if (isNormalFixed(id))
            return IsoTpAddressing::Normal;
        return extendedPairs ? lookupExtended(id) : IsoTpAddressing::None;
    }
    // Whether a response on `responseId` may answer a request sent on `requestId`.
    bool answers(uint32_t requestId, uint32_t responseId, bool extended) const;
    // Sent to every ECU: 0x7DF, 0x18DB.., or the request of a pair whose response
    // identifier is shared.
    static bool isFunctional(uint32_t id, bool extended);

    static bool isNormalFixed(uint32_t id)
    {
        const uint32_t format = (id >> 16) & 0x3FF; // data page bits and PDU format
        return format == 0xDA || format == 0xDB;
    }

private:
    IsoTpAddressing lookupExtended(uint32_t id) const;

    std::array<uint8_t, 0x800> standard{};
    QVector<DiagPair> userPairs;
    bool extendedPairs = false;
};
