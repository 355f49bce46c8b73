// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <cstdint>
#include <cstring>

// Hand-made number formatting into a char buffer: the writers format millions of lines, and
// neither QString nor printf is fast enough for that. Each function returns the end of what it
// wrote.
namespace TextPrint {

inline const char *hexDigits()
{
    return "0123456789ABCDEF";
}

inline char *putText(char *p, const char *text, size_t length)
{
    std::memcpy(p, text, length);
    return p + length;
}

template<size_t N> inline char *putText(char *p, const char (&text)[N])
{
    return putText(p, text, N - 1);
}

// Exactly `width` decimal digits, zero-filled (higher digits are dropped).
inline char *putDigits(char *p, quint64 value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        p[i] = char('0' + value % 10);
    return p + width;
}

// Decimal without leading zeros, at least `minWidth` characters wide, right-aligned with spaces.
inline char *putUnsigned(char *p, quint64 value, int minWidth = 0)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = n; i < minWidth; ++i)
        *p++ = ' ';
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

// Exactly `width` upper-case hex digits.
inline char *putHex(char *p, uint32_t value, int width)
{
    for (int i = width - 1; i >= 0; --i, value >>= 4)
        p[i] = hexDigits()[value & 0xF];
    return p + width;
}

// Upper-case hex without leading zeros.
inline char *putHexShort(char *p, uint32_t value)
{
    int width = 1;
    while (width < 8 && (value >> (4 * width)) != 0)
        ++width;
    return putHex(p, value, width);
}

inline char *putHexByte(char *p, uint8_t byte)
{
    p[0] = hexDigits()[byte >> 4];
    p[1] = hexDigits()[byte & 0xF];
    return p + 2;
}

// Each byte as " XX".
inline char *putSpacedHexBytes(char *p, const uint8_t *bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        *p++ = ' ';
        p = putHexByte(p, bytes[i]);
    }
    return p;
}

inline char *fill(char *p, char c, int count)
{
    for (int i = 0; i < count; ++i)
        *p++ = c;
    return p;
}

} // namespace TextPrint
