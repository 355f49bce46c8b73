// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QtGlobal>
#include <vector>

class QString;
class RowSnapshot;
struct TimedPacket;

// The data frames of a log grouped by identifier, in time order, so that what an identifier
// carried at a moment is a binary search away instead of a scan of the log. Each frame's eight
// data bytes are kept as one little-endian word (bytes beyond the frame's length are zero).
// Remote frames carry no data and are left out.
class FrameIndex final
{
public:
    struct Series
    {
        quint32 id = 0;
        bool extended = false;
        int minLength = 8; // data bytes every frame of the identifier carries
        int maxLength = 0;
        quint64 flipped = 0;       // bits that changed from one frame to the next, ever
        std::vector<qint64> times; // microseconds, ascending as added
        std::vector<quint64> words;

        int size() const { return int(words.size()); }
        // Index of the last frame at or before `time`; -1 when the identifier had none yet.
        int frameAt(qint64 time) const;
        // The identifier's usual time between frames: the median of up to 1,024 intervals spread
        // over the series, so that a gap left by a logger does not count; 0 with fewer than two.
        qint64 cycle() const;
        // The frame that tells the value at `time`: the last one at or before it when it is at
        // most three cycles old, else the first one after it when at most three cycles ahead;
        // -1 when no frame is that near ("нет кадров рядом"). `cycle` as cycle() returns it.
        int frameNear(qint64 time, qint64 cycle) const;
        // The frames with first <= time <= last: [begin, end).
        std::pair<int, int> span(qint64 first, qint64 last) const;
    };

    static quint64 key(quint32 id, bool extended) { return (quint64(extended) << 32) | id; }

    void add(quint32 id, bool extended, qint64 time, const quint8 *data, int length);
    void add(const TimedPacket &frame);
    // Rows first .. end - 1 of the snapshot; false when a row could not be read back.
    bool addRows(const RowSnapshot &rows, qint64 first, qint64 end);
    // A capture file of any format the program reads, chosen by its suffix; false with the
    // reason in `error` when it cannot be read.
    bool addFile(const QString &path, QString *error);

    int seriesCount() const { return int(series.size()); }
    const Series &at(int index) const { return series[size_t(index)]; }
    // -1 when the identifier never carried data.
    int indexOf(quint32 id, bool extended) const { return byKey.value(key(id, extended), -1); }
    quint64 frames() const { return frameCount; }
    qint64 firstTime() const { return first; }
    qint64 lastTime() const { return last; }
    // Seconds from the first to the last frame; 0 with fewer than two frames.
    double seconds() const;

private:
    std::vector<Series> series;
    QHash<quint64, int> byKey;
    quint64 frameCount = 0;
    qint64 first = 0;
    qint64 last = 0;
    quint64 lastKey = ~quint64(0); // frames of one identifier often come in bursts
    int lastSeries = -1;
};
