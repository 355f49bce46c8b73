// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// A stretch of a capture file that reading stepped over because it could not be read: a damaged
// block or container, lines that are no records, a zeroed tail, a record cut off by the end.
struct CaptureDamage
{
    qint64 offset = 0; // where it begins, in bytes from the start of the input
    qint64 length = 0; // bytes stepped over
    quint64 line = 0;  // text formats: its first line, counted from 1; 0 in binary formats
    quint64 lines = 0; // text formats: how many lines
    QString what;      // what was there, in words for the user
};
