// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QtEndian>
#include <QtGlobal>
#include <vector>

class QString;
class RowSnapshot;
struct TimedPacket;

// The data frames of a log grouped by identifier, in time order, so that what an identifier
// carried at a moment is a binary search away instead of a scan of the log. Each frame's first
// eight data bytes are kept as one little-endian word (bytes beyond the frame's length are
// zero); the further bytes of long CAN FD frames as further words, only in the series of
// identifiers that sent such frames. Remote frames carry no data and are left out.
class FrameIndex final
{
public:
    struct Series
    {
        quint32 id = 0;
        bool extended = false;
        int minLength = MaxBytes; // data bytes every frame of the identifier carries
        int maxLength = 0;
        quint64 flipped = 0;       // bits of bytes 0..7 that changed from one frame to the next
        std::vector<qint64> times; // microseconds, ascending as added
        std::vector<quint64> words;
        // Bytes 8.. of long FD frames: `tailWords` words a frame, word w - 1 of a frame holding
        // bytes 8w .. 8w + 7; and the bits of each that ever changed.
        int tailWords = 0;
        std::vector<quint64> tail;
        std::vector<quint64> tailFlipped;

        int size() const { return int(words.size()); }
        // Word `w` (bytes 8w .. 8w + 7) of frame `i`; zero beyond what the frames carry.
        quint64 word(int i, int w) const
        {
            if (w == 0)
                return words[size_t(i)];
            return w <= tailWords ? tail[size_t(i) * size_t(tailWords) + size_t(w - 1)] : 0;
        }
        // Bytes `base` .. `base` + 7 of frame `i` as one little-endian word.
        quint64 window(int i, int base) const
        {
            if (base == 0)
                return words[size_t(i)];
            return join(word(i, base / 8), word(i, base / 8 + 1), base % 8);
        }
        // Bytes `bytes` .. `bytes` + 7 of two words in a row as one word.
        static quint64 join(quint64 low, quint64 high, int bytes)
        {
            const int shift = 8 * bytes;
            return shift == 0 ? low : (low >> shift) | (high << (64 - shift));
        }
        // The bits of the window from byte `base` that ever changed.
        quint64 flippedWindow(int base) const;
        // The data bytes of frame `i` into `bytes` (room for 64): 8 × (1 + tailWords) of them,
        // zero beyond the frame's length.
        void load(int i, quint8 *bytes) const
        {
            qToLittleEndian(words[size_t(i)], bytes);
            for (int w = 1; w <= tailWords; ++w)
                qToLittleEndian(word(i, w), bytes + 8 * w);
        }
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

    static constexpr int MaxBytes = 64;

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
    static void addTail(Series &s, const quint8 *data, int length);

    std::vector<Series> series;
    QHash<quint64, int> byKey;
    quint64 frameCount = 0;
    qint64 first = 0;
    qint64 last = 0;
    quint64 lastKey = ~quint64(0); // frames of one identifier often come in bursts
    int lastSeries = -1;
};
