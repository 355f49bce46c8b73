// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// How an ISO-TP identifier addresses: normal (the identifier alone), extended (the first data
// byte is the target address) or mixed (the first data byte is an address extension). Normal
// fixed addressing is normal addressing on 29-bit 0x18DA/0x18DB identifiers.
enum class IsoTpAddressing : uint8_t { None, Normal, Extended, Mixed };

// A request/response identifier pair the user declares.
struct DiagPair
{
    uint32_t requestId = 0;
    uint32_t responseId = 0;
    bool extended = false; // 29-bit identifiers
    IsoTpAddressing addressing = IsoTpAddressing::Normal;

    bool operator==(const DiagPair &other) const
    {
        return requestId == other.requestId && responseId == other.responseId &&
               extended == other.extended && addressing == other.addressing;
    }
};
