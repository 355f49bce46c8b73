// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

class LineTokens;

// The date of ASC "date" and "Begin TriggerBlock" lines, "Tue Nov 14 10:13:20.123 pm 2023":
// local wall-clock time (see LocalClock), milliseconds and am/pm optional, English or German
// month names.
namespace AscDate {

// Reads the date from token `first` on; false when the tokens are not such a date.
bool parse(const LineTokens &tokens, int first, qint64 &wallUsec);
// Writes the date of `wallUsec` to the millisecond; returns the end of the text.
char *print(char *out, qint64 wallUsec);
// The longest text print writes.
constexpr int MaxText = 40;

} // namespace AscDate
