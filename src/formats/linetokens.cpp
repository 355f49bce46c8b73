// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/linetokens.h"

#include "formats/textscan.h"

LineTokens::LineTokens(const char *begin, const char *end) : stop(end)
{
    const char *p = begin;
    while (n < MaxTokens) {
        while (p != end && TextScan::isSpace(*p))
            ++p;
        if (p == end)
            break;
        starts[n] = p;
        while (p != end && !TextScan::isSpace(*p))
            ++p;
        ends[n++] = p;
    }
}
