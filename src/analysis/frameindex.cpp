// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frameindex.h"

#include "formats/captureformat.h"
#include "formats/capturereader.h"
#include "link/timedpacket.h"
#include "log/logrecord.h"
#include "log/rowsnapshot.h"

#include <QCoreApplication>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>

int FrameIndex::Series::frameAt(qint64 time) const
{
    return int(std::upper_bound(times.begin(), times.end(), time) - times.begin()) - 1;
}

qint64 FrameIndex::Series::cycle() const
{
    constexpr int Samples = 1024;
    const int n = size();
    if (n < 2)
        return 0;
    const int count = std::min(n - 1, Samples);
    std::vector<qint64> gaps(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        const int i = 1 + int(qint64(k) * (n - 1) / count);
        gaps[size_t(k)] = times[size_t(i)] - times[size_t(i - 1)];
    }
    std::nth_element(gaps.begin(), gaps.begin() + count / 2, gaps.end());
    return gaps[size_t(count / 2)];
}

int FrameIndex::Series::frameNear(qint64 time, qint64 cycle) const
{
    const int i = frameAt(time);
    if (size() < 2) // no cycle to judge by: the frame before is the value
        return i;
    const qint64 reach = 3 * std::max<qint64>(cycle, 1);
    if (i >= 0 && time - times[size_t(i)] <= reach)
        return i;
    if (i + 1 < size() && times[size_t(i + 1)] - time <= reach)
        return i + 1;
    return -1;
}

std::pair<int, int> FrameIndex::Series::span(qint64 first, qint64 last) const
{
    const auto begin = std::lower_bound(times.begin(), times.end(), first);
    const auto end = std::upper_bound(begin, times.end(), last);
    return {int(begin - times.begin()), int(end - times.begin())};
}

void FrameIndex::add(quint32 id, bool extended, qint64 time, const quint8 *data, int length)
{
    const quint64 k = key(id, extended);
    if (k != lastKey) {
        auto found = byKey.find(k);
        if (found == byKey.end()) {
            found = byKey.insert(k, int(series.size()));
            series.emplace_back();
            series.back().id = id;
            series.back().extended = extended;
        }
        lastKey = k;
        lastSeries = found.value();
    }
    length = qBound(0, length, MaxBytes);
    quint8 bytes[8] = {};
    std::memcpy(bytes, data, size_t(std::min(length, 8)));
    quint64 word = 0;
    for (int b = 7; b >= 0; --b)
        word = (word << 8) | bytes[b];
    Series &s = series[size_t(lastSeries)];
    if (Q_UNLIKELY(length > 8 || s.tailWords > 0))
        addTail(s, data, length);
    if (!s.words.empty())
        s.flipped |= word ^ s.words.back();
    s.times.push_back(time);
    s.words.push_back(word);
    s.minLength = std::min(s.minLength, length);
    s.maxLength = std::max(s.maxLength, length);
    if (frameCount++ == 0)
        first = time;
    first = std::min(first, time);
    last = std::max(last, time);
}

// Called before the frame's first word is added. A series that meets a longer frame than any
// before lays its frames out again with room for the new words, zero in the frames before.
void FrameIndex::addTail(Series &s, const quint8 *data, int length)
{
    const int words = std::max(s.tailWords, (length + 7) / 8 - 1);
    const size_t frames = s.words.size();
    if (words > s.tailWords) {
        std::vector<quint64> wider(frames * size_t(words), 0);
        for (size_t i = 0; i < frames; ++i)
            std::copy_n(s.tail.begin() + std::ptrdiff_t(i * size_t(s.tailWords)), s.tailWords,
                        wider.begin() + std::ptrdiff_t(i * size_t(words)));
        s.tail = std::move(wider);
        s.tailWords = words;
        s.tailFlipped.resize(size_t(words), 0);
    }
    for (int w = 1; w <= words; ++w) {
        quint8 bytes[8] = {};
        const int carried = std::clamp(length - 8 * w, 0, 8);
        std::memcpy(bytes, data + 8 * w, size_t(carried));
        const quint64 word = qFromLittleEndian<quint64>(bytes);
        if (frames > 0)
            s.tailFlipped[size_t(w - 1)] |= word ^ s.word(int(frames) - 1, w);
        s.tail.push_back(word);
    }
}

quint64 FrameIndex::Series::flippedWindow(int base) const
{
    auto flippedWord = [this](int w) {
        return w == 0 ? flipped : w <= tailWords ? tailFlipped[size_t(w - 1)] : 0;
    };
    const int shift = 8 * (base % 8);
    const quint64 low = flippedWord(base / 8);
    return shift == 0 ? low : (low >> shift) | (flippedWord(base / 8 + 1) << (64 - shift));
}

void FrameIndex::add(const TimedPacket &frame)
{
    const CanPacket &p = frame.packet;
    if (p.isRemote())
        return;
    add(p.id, p.isExtended(), frame.time, p.data, p.dataLength());
}

bool FrameIndex::addRows(const RowSnapshot &rows, qint64 firstRow, qint64 end)
{
    end = std::min(end, rows.size());
    TimedPacket frame;
    for (qint64 row = std::max<qint64>(0, firstRow); row < end; ++row) {
        if (!rows.readFrame(row, &frame))
            return false;
        add(frame);
    }
    return true;
}

double FrameIndex::seconds() const
{
    return frameCount < 2 ? 0.0 : double(last - first) / 1e6;
}

bool FrameIndex::addFile(const QString &path, QString *error)
{
    const auto format = CaptureFormats::fromFile(path);
    QFile file(path);
    if (!format) {
        *error =
            QCoreApplication::translate("FrameIndex", "Неизвестный формат файла: %1").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QCoreApplication::translate("FrameIndex", "Не удалось открыть %1: %2")
                     .arg(path, file.errorString());
        return false;
    }
    const auto reader = CaptureFormats::createReader(*format, &file);
    TimedPacket frame;
    while (reader->next(frame))
        add(frame);
    *error = reader->errorString();
    return error->isEmpty();
}
