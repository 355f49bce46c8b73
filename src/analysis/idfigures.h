// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/slidingsum.h"

#include <QtGlobal>
#include <memory>
#include <optional>

struct CanPacket;

// Figures of one identifier for the statistics table, updated frame by frame in O(1) without
// allocation. The caller keeps one object per identifier.
//
// Times are microseconds. A cycle is the time from the previous frame of the identifier. When the
// host clock steps back, a frame seems to come before its predecessor; that one cycle is taken as
// 0 rather than negative, so minimum and average stay meaningful, and the average is the sum of
// the cycles over count - 1: (last time - first time) / (count - 1) while the clock runs forward.
//
// Byte changes follow data frames only: a remote frame carries no data, so it neither changes
// bytes nor serves as the reference for the next data frame. A byte changes when its value
// differs from the previous data frame's at that position, or when it appears because the length
// grew; a byte that disappears does not change. The bytes past the eighth of long CAN FD frames
// are followed the same way, in a part of their own made with the first such frame.
class IdFigures final
{
public:
    static constexpr int DataBytes = 8;
    static constexpr int MaxBytes = 64;

    static constexpr int SilenceCycles = 3;        // silent after this many average cycles
    static constexpr qint64 HighlightUs = 2000000; // a changed byte fades out over this time

    void add(const CanPacket &packet, qint64 time);

    quint64 count() const { return frames; }
    qint64 firstTime() const { return first; }
    qint64 lastTime() const { return last; }
    // The length as CanPacket::length() says it: the code 0..15 of a classic frame, the byte
    // count 0..64 of an FD frame.
    int lastLength() const { return lastDlc; }
    bool lastRemote() const { return lastWasRemote; }
    const quint8 *lastData() const { return lastBytes; } // the first eight bytes
    // Bytes 8..63 of the latest long FD frame; none before the first.
    const quint8 *lastWideData() const { return wide.bytes ? wide.bytes->refBytes : nullptr; }

    // No value while fewer than two frames were seen.
    std::optional<qint64> lastCycle() const { return cycleValue(lastGap); }
    std::optional<qint64> minCycle() const { return cycleValue(minGap); }
    std::optional<qint64> maxCycle() const { return cycleValue(maxGap); }
    std::optional<qint64> averageCycle() const;

    // Frames of the last second, read as SlidingSum reads.
    double framesPerSecond(qint64 now) const { return window.sum(0, now); }

    // When byte `index` (0..63) last changed; no value when it never changed since the first
    // frame.
    std::optional<qint64> changeTime(int index) const;
    // 1 just after a change of byte `index`, fading to 0 over HighlightUs; 0 when never changed.
    double highlight(int index, qint64 now) const;

    // No frame for more than SilenceCycles average cycles; false while there is no average.
    bool isSilent(qint64 now) const;

private:
    std::optional<qint64> cycleValue(qint64 gap) const;
    void addCycle(qint64 time);
    void trackBytes(const CanPacket &packet, qint64 time);
    void trackWideBytes(const CanPacket &packet, qint64 time);

    // Bytes 8..63 of long FD frames, as the first eight are kept below.
    struct Wide
    {
        static constexpr int Bytes = MaxBytes - DataBytes;
        qint64 changeAt[Bytes] = {};
        quint64 changedMask = 0;
        quint8 refBytes[Bytes] = {};
        int refLength = -1; // of the previous data frame, bytes past the eighth
    };
    // Copied with the figures.
    struct WidePart
    {
        std::unique_ptr<Wide> bytes;

        WidePart() = default;
        WidePart(const WidePart &other)
            : bytes(other.bytes ? std::make_unique<Wide>(*other.bytes) : nullptr)
        {
        }
        WidePart &operator=(const WidePart &other)
        {
            bytes = other.bytes ? std::make_unique<Wide>(*other.bytes) : nullptr;
            return *this;
        }
        WidePart(WidePart &&) noexcept = default;
        WidePart &operator=(WidePart &&) noexcept = default;
        ~WidePart() = default;
    };

    quint64 frames = 0;
    qint64 first = 0;
    qint64 last = 0;
    qint64 lastGap = 0;
    qint64 minGap = 0;
    qint64 maxGap = 0;
    qint64 gapSum = 0;
    SlidingSum<1> window;
    qint64 changeAt[DataBytes] = {};
    quint8 changedMask = 0; // bit i: byte i changed at changeAt[i]
    quint8 lastBytes[DataBytes] = {};
    quint8 refBytes[DataBytes] = {}; // the previous data frame's bytes
    int lastDlc = 0;
    int refLength = -1; // data bytes of the previous data frame; -1 before the first
    bool lastWasRemote = false;
    WidePart wide;
};
