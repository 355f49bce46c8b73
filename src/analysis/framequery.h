// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

class QString;
struct CanPacket;

// A search for frames in the log: an identifier and a pattern of data bytes, both optional.
//
// The identifier is hexadecimal with an optional "0x" (at most 8 digits); empty means any. The
// pattern is bytes separated by blanks; a byte is two hex digits ("3F"), one digit ("5" = 05) or
// "0x" and one or two digits, and several bytes may run together ("113F" = 11 3F). "??" (also "?"
// alone, or "xx") stands for any byte, and "?" or "x" in place of one digit for any digit ("1?").
// A frame matches when the identifier is equal and the pattern occurs at some position within the
// data bytes the frame carries (a classic frame's length clamped to 8, an FD frame's up to 64; a
// remote frame carries none), so a pattern longer than the frame never matches. An empty pattern
// matches any frame.
class FrameQuery final
{
public:
    static constexpr int MaxPatternBytes = 8;

    // On bad input leaves the query as it was and gives the reason in `error` (if not null).
    bool parse(const QString &idText, const QString &dataText, QString *error);
    bool matches(const CanPacket &packet) const;

    bool isEmpty() const { return !idGiven && patternBytes == 0; }
    bool hasId() const { return idGiven; }
    quint32 id() const { return wantedId; }
    int patternLength() const { return patternBytes; }
    void clear() { *this = FrameQuery(); }

private:
    bool occursIn(const quint8 *data, int length) const;

    quint64 value = 0; // byte k of the pattern in bits 8k..8k+7, wildcard digits 0
    quint64 mask = 0;  // the bits that must be equal
    int patternBytes = 0;
    quint32 wantedId = 0;
    bool idGiven = false;
};
