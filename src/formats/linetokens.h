// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The whitespace-separated fields of one text line, as ranges into the line. Fields past
// MaxTokens are dropped, so a long tail costs nothing; the limit holds a CAN FD line's 64 bytes
// with the fields around them.
class LineTokens final
{
public:
    static constexpr int MaxTokens = 96;

    LineTokens(const char *begin, const char *end);

    int count() const { return n; }
    const char *begin(int i) const { return starts[i]; }
    const char *end(int i) const { return ends[i]; }
    int size(int i) const { return int(ends[i] - starts[i]); }
    // One character of a field, '\0' past its end.
    char at(int i, int pos) const { return pos < size(i) ? starts[i][pos] : '\0'; }
    // The end of the line the fields were taken from.
    const char *lineEnd() const { return stop; }

private:
    const char *starts[MaxTokens];
    const char *ends[MaxTokens];
    const char *stop;
    int n = 0;
};
