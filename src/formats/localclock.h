// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <limits>

// Converts between UTC and local wall-clock time, both as microseconds since 1970-01-01 00:00
// (the wall-clock value counts local time as if it were UTC). Capture headers give their start
// in local time; frames carry UTC. The zone offset is looked up once per second of input (zone
// changes fall on whole seconds), so converting a row per frame stays cheap.
class LocalClock final
{
public:
    qint64 utcFromWall(qint64 wallUsec);
    qint64 wallFromUtc(qint64 utcUsec);

private:
    static constexpr qint64 Unknown = std::numeric_limits<qint64>::min();

    qint64 wallSecond = Unknown; // the second wallOffsetUs belongs to
    qint64 wallOffsetUs = 0;
    qint64 utcSecond = Unknown;
    qint64 utcOffsetUs = 0;
};
