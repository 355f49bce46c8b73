// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/textscan.h"
#include "link/canpacket.h"

#include <cstring>

// What candump's log and screen lines share: identifiers of 3 or 8 hex digits, error frames by
// their flag, times to the microsecond, and what the interface name says about a frame: "cantx"
// and "canrx" name transmitted and received frames without a line; otherwise a name ending in 0
// is CAN0, in 1 is CAN1, anything else no line.
namespace CandumpText {

constexpr int StandardIdDigits = 3;
constexpr int ExtendedIdDigits = 8;
constexpr uint32_t ErrorFrameFlag = 0x20000000;
constexpr int FractionDigits = 6;

inline bool is(const char *begin, const char *end, const char *word)
{
    const size_t length = std::strlen(word);
    return size_t(end - begin) == length && std::memcmp(begin, word, length) == 0;
}

inline bool isTransmit(const char *begin, const char *end)
{
    return is(begin, end, "cantx");
}

// The route bits of the frame (CanPacket::Can0ToCan1 or Can1ToCan0), or 0.
inline uint8_t route(const char *begin, const char *end)
{
    if (isTransmit(begin, end) || is(begin, end, "canrx"))
        return 0;
    const char *digits = end;
    while (digits != begin && TextScan::isDigit(digits[-1]))
        --digits;
    qint64 number = 0;
    if (!TextScan::parseDec(digits, end, number))
        return 0;
    return number == 0 ? CanPacket::Can0ToCan1 : number == 1 ? CanPacket::Can1ToCan0 : 0;
}

} // namespace CandumpText
