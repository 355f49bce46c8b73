// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <cstdint>

// Parsing of text fields given as [begin, end) character ranges: the text readers work on the
// bytes of their input buffer, never on copies.
namespace TextScan {

// Character classes by table: the parsers look at every byte of big files.
struct CharTable
{
    signed char hex[256];
    bool space[256];
};

constexpr CharTable makeCharTable()
{
    CharTable table{};
    for (int c = 0; c < 256; ++c) {
        table.hex[c] = c >= '0' && c <= '9'   ? char(c - '0')
                       : c >= 'A' && c <= 'F' ? char(c - 'A' + 10)
                       : c >= 'a' && c <= 'f' ? char(c - 'a' + 10)
                                              : -1;
        table.space[c] = c == ' ' || c == '\t' || c == '\r';
    }
    return table;
}

inline constexpr CharTable Chars = makeCharTable();

inline bool isSpace(char c)
{
    return Chars.space[static_cast<unsigned char>(c)];
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// 0..15, or -1 for a character that is not a hex digit.
inline int hexValue(char c)
{
    return Chars.hex[static_cast<unsigned char>(c)];
}

inline char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// The whole range is `word` (ASCII), in any case.
inline bool equalsNoCase(const char *begin, const char *end, const char *word)
{
    for (; begin != end; ++begin, ++word) {
        if (*word == '\0' || lower(*begin) != lower(*word))
            return false;
    }
    return *word == '\0';
}

// The whole range is 1..maxDigits hex digits.
inline bool parseHex(const char *begin, const char *end, uint32_t &value, int maxDigits = 8)
{
    if (begin == end || end - begin > maxDigits)
        return false;
    uint32_t v = 0;
    for (; begin != end; ++begin) {
        const int digit = hexValue(*begin);
        if (digit < 0)
            return false;
        v = (v << 4) | uint32_t(digit);
    }
    value = v;
    return true;
}

// The whole range is 1..maxDigits decimal digits (at most 18, so the value fits).
inline bool parseDec(const char *begin, const char *end, qint64 &value, int maxDigits = 18)
{
    if (begin == end || end - begin > maxDigits)
        return false;
    qint64 v = 0;
    for (; begin != end; ++begin) {
        if (!isDigit(*begin))
            return false;
        v = v * 10 + (*begin - '0');
    }
    value = v;
    return true;
}

// A decimal number "int[.fraction]" scaled by 10^scaleDigits and rounded half up: with
// scaleDigits 6, seconds become microseconds. An optional leading '-' when `allowSign`. The
// integer part has at most 12 digits, so the result always fits.
inline bool parseScaled(const char *begin, const char *end, int scaleDigits, qint64 &value,
                        bool allowSign = false)
{
    constexpr int MaxIntegerDigits = 12;
    const bool negative = allowSign && begin != end && *begin == '-';
    begin += negative;
    const char *dot = begin;
    while (dot != end && isDigit(*dot))
        ++dot;
    qint64 whole = 0;
    if (!parseDec(begin, dot, whole, MaxIntegerDigits))
        return false;
    qint64 fraction = 0;
    int digits = 0;
    bool roundUp = false;
    if (dot != end) {
        if (*dot != '.')
            return false;
        for (const char *p = dot + 1; p != end; ++p, ++digits) {
            if (!isDigit(*p))
                return false;
            if (digits < scaleDigits)
                fraction = fraction * 10 + (*p - '0');
            else if (digits == scaleDigits)
                roundUp = *p >= '5';
        }
    }
    for (int i = digits; i < scaleDigits; ++i)
        fraction *= 10;
    qint64 scale = 1;
    for (int i = 0; i < scaleDigits; ++i)
        scale *= 10;
    const qint64 v = whole * scale + fraction + (roundUp ? 1 : 0);
    value = negative ? -v : v;
    return true;
}

} // namespace TextScan
