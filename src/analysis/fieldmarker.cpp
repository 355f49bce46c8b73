// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fieldmarker.h"

#include "analysis/bitchangecount.h"
#include "analysis/checksumfinder.h"
#include "analysis/frameindex.h"
#include "analysis/framemask.h"
#include "link/canpacket.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <bitset>

QString FieldMark::kindText() const
{
    switch (kind) {
    case Constant:
        return QCoreApplication::translate("FieldMarker", "константа");
    case Counter:
        return QCoreApplication::translate("FieldMarker", "счётчик");
    case Checksum:
        return QCoreApplication::translate("FieldMarker", "контрольная сумма");
    case Flag:
        return QCoreApplication::translate("FieldMarker", "флаг");
    case Value:
        return QCoreApplication::translate("FieldMarker", "значение");
    }
    return QString();
}

namespace {

// The frames of one identifier that one marking looks at.
class SeriesMarker
{
public:
    SeriesMarker(const FrameIndex::Series &s, int begin, int end)
        : s(s), begin(begin), end(end), bytes(s.minLength), cycle(s.cycle())
    {
    }

    std::vector<FieldMark> run();

private:
    int byteAt(int i, int k) const { return int((s.word(i, k / 8) >> (8 * (k % 8))) & 0xFF); }
    // A field within one byte, so within one word.
    int field(int i, int shift, int mask) const
    {
        return int((s.word(i, shift / 64) >> (shift % 64)) & quint64(mask));
    }
    bool bitChanged(int i, int bit) const
    {
        return ((s.word(i, bit / 64) ^ s.word(i - 1, bit / 64)) >> (bit % 64)) & 1;
    }
    int frames() const { return end - begin; }
    void add(FieldMark::Kind kind, int startBit, int length, const QString &detail = QString(),
             bool motorola = false, double share = -1);
    void markConstants();
    void markChecksum();
    void markCounters();
    int stepOf(int shift, int bits) const;
    int valuesSeen(int shift, int bits) const;
    double counterShare(int shift, int bits, int step) const;
    bool carries(int shift, int bits, int step) const;
    void markValues();

    const FrameIndex::Series &s;
    int begin;
    int end;
    int bytes;
    qint64 cycle;
    FrameMask flipped;
    std::array<int, FrameMask::Bits> flips{};
    FrameMask covered;
    std::vector<FieldMark> marks;
};

void SeriesMarker::add(FieldMark::Kind kind, int startBit, int length, const QString &detail,
                       bool motorola, double share)
{
    FieldMark m;
    m.id = s.id;
    m.extended = s.extended;
    m.kind = kind;
    m.startBit = startBit;
    m.length = length;
    m.motorola = motorola;
    m.detail = detail;
    m.share = share;
    marks.push_back(m);
}

std::vector<FieldMark> SeriesMarker::run()
{
    if (frames() <= 0 || bytes == 0)
        return marks;
    for (int w = 0; w < (bytes + 7) / 8; ++w) {
        BitChangeCount changes;
        quint64 ever = 0;
        changes.addEach(std::max(0, end - begin - 1), [&](int k) {
            const quint64 changed = s.word(begin + k + 1, w) ^ s.word(begin + k, w);
            ever |= changed;
            return changed;
        });
        flipped.words[size_t(w)] |= ever;
        const std::array<int, 64> counts = changes.counts();
        std::copy(counts.begin(), counts.end(), flips.begin() + 64 * w);
    }
    markConstants();
    if (frames() >= FieldMarker::MinFrames) {
        markChecksum();
        markCounters();
        markValues();
    }
    std::sort(marks.begin(), marks.end(), [](const FieldMark &a, const FieldMark &b) {
        return a.startBit / 8 != b.startBit / 8 ? a.startBit / 8 < b.startBit / 8
                                                : a.startBit > b.startBit;
    });
    return marks;
}

void SeriesMarker::markConstants()
{
    for (int k = 0; k < bytes; ++k) {
        if (flipped.window(k) & 0xFF)
            continue;
        add(FieldMark::Constant, 8 * k, 8, hexByteText(byteAt(begin, k)), false, 1.0);
        covered.addWindow(k, 0xFF);
    }
}

void SeriesMarker::markChecksum()
{
    const auto found = ChecksumFinder(s, begin, end, bytes, covered, flipped).find();
    if (!found)
        return;
    add(FieldMark::Checksum, found->startBit, found->length, found->detail, false, found->share);
    covered |= FrameMask::run(found->startBit, found->length);
}

// The step a counter makes from one frame to the next: the commonest change between frames
// one cycle apart, among the first few hundred.
int SeriesMarker::stepOf(int shift, int bits) const
{
    constexpr int Looked = 128;
    const int mask = (1 << bits) - 1;
    std::array<int, 256> seen{};
    for (int i = begin + 1; i < std::min(end, begin + 1 + Looked); ++i) {
        const qint64 gap = s.times[size_t(i)] - s.times[size_t(i - 1)];
        if (cycle > 0 && (gap * 2 > cycle * 3 || gap * 2 < cycle))
            continue;
        ++seen[size_t((field(i, shift, mask) - field(i - 1, shift, mask)) & mask)];
    }
    seen[0] = 0;
    return int(std::max_element(seen.begin(), seen.begin() + mask + 1) - seen.begin());
}

int SeriesMarker::valuesSeen(int shift, int bits) const
{
    std::bitset<256> seen;
    for (int i = begin; i < end; ++i)
        seen.set(size_t(field(i, shift, (1 << bits) - 1)));
    return int(seen.count());
}

// The share of steps that are the counter's step, a gap of k cycles counting as k steps. Most
// fields are no counter, which the first few dozen steps show.
double SeriesMarker::counterShare(int shift, int bits, int step) const
{
    const int mask = (1 << bits) - 1;
    int matched = 0;
    const int allowed = int((frames() - 1) * (1 - FieldMarker::CounterShare));
    for (int i = begin + 1; i < end; ++i) {
        if (i - begin == 64 && matched < 48)
            return 0;
        const qint64 gap = s.times[size_t(i)] - s.times[size_t(i - 1)];
        const qint64 steps = cycle > 0 ? std::max<qint64>(1, (gap + cycle / 2) / cycle) : 1;
        const int change = (field(i, shift, mask) - field(i - 1, shift, mask)) & mask;
        matched += change == int((steps * step) & mask);
        if (i - begin - matched > allowed)
            return 0;
    }
    return double(matched) / (frames() - 1);
}

bool SeriesMarker::carries(int shift, int bits, int step) const
{
    // The low part of a wider value wraps like a counter, but the bit above it changes exactly
    // when it wraps: for Intel the next bit up, for Motorola bit 0 of the byte before.
    const int offset = shift % 8;
    const int byte = shift / 8;
    int above[2] = {-1, -1};
    if (offset + bits < 8) {
        above[0] = shift + bits;
    } else {
        above[0] = byte + 1 < bytes ? 8 * (byte + 1) : -1;
        above[1] = byte > 0 ? 8 * (byte - 1) : -1;
    }
    const int mask = (1 << bits) - 1;
    for (int bit : above) {
        if (bit < 0)
            continue;
        bool together = true;
        int wraps = 0;
        for (int i = begin + 1; i < end && together; ++i) {
            // Read from the values, so that a step across lost frames is judged too.
            const int before = field(i - 1, shift, mask);
            const int after = field(i, shift, mask);
            const bool wrapped = step > mask / 2 ? after > before : after < before;
            const bool carried = bitChanged(i, bit);
            wraps += wrapped;
            together = wrapped == carried;
        }
        if (together && wraps > 0)
            return true;
    }
    return false;
}

void SeriesMarker::markCounters()
{
    struct Place
    {
        int offset;
        int bits;
    };
    static const Place places[] = {{0, 8}, {0, 4}, {4, 4}, {0, 2}, {2, 2}, {4, 2}, {6, 2}};
    for (int k = 0; k < bytes; ++k) {
        for (const Place &p : places) {
            const int shift = 8 * k + p.offset;
            const quint64 bits = ((quint64(1) << p.bits) - 1) << p.offset;
            if ((covered.window(k) & bits) || !(flipped.window(k) & bits))
                continue;
            const int step = stepOf(shift, p.bits);
            if (step == 0 || qint64(frames() - 1) * step < (1 << p.bits))
                continue;
            const double share = counterShare(shift, p.bits, step);
            // It must have gone round its range, taking (nearly) all its values: a nibble
            // counter read with a constant nibble above is no 8-bit counter.
            if (share < FieldMarker::CounterShare ||
                valuesSeen(shift, p.bits) < FieldMarker::CounterShare * (1 << p.bits) ||
                carries(shift, p.bits, step))
                continue;
            add(FieldMark::Counter, shift, p.bits,
                QCoreApplication::translate("FieldMarker", "шаг %1").arg(step), false, share);
            covered.addWindow(k, bits);
        }
    }
}

void SeriesMarker::markValues()
{
    // Runs of changing bits within each byte, least significant first.
    struct Run
    {
        int byte;
        int low;
        int high;
    };
    std::vector<Run> runs;
    const FrameMask open = flipped.without(covered);
    for (int k = 0; k < bytes; ++k) {
        for (int b = 0; b < 8; ++b) {
            if (!open.test(8 * k + b))
                continue;
            int top = b;
            while (top < 7 && open.test(8 * k + top + 1))
                ++top;
            runs.push_back({k, b, top});
            b = top;
        }
    }
    auto byteFlips = [this](int k) {
        int n = 0;
        for (int b = 0; b < 8; ++b)
            n += flips[size_t(8 * k + b)];
        return n;
    };
    for (size_t r = 0; r < runs.size(); ++r) {
        Run low = runs[r];
        const bool joins = r + 1 < runs.size() && runs[r + 1].byte == low.byte + 1;
        if (joins && low.high == 7 && runs[r + 1].low == 0 &&
            byteFlips(low.byte) >= byteFlips(low.byte + 1)) {
            // Intel: this byte holds the less significant part.
            const Run &up = runs[r + 1];
            add(FieldMark::Value, 8 * low.byte + low.low, 8 - low.low + up.high + 1);
            ++r;
        } else if (joins && low.low == 0 && runs[r + 1].high == 7) {
            // Motorola: the next byte holds the less significant part.
            const Run &lsb = runs[r + 1];
            add(FieldMark::Value, 8 * low.byte + low.high, low.high + 1 + 8 - lsb.low, QString(),
                true);
            ++r;
        } else if (low.high == low.low) {
            add(FieldMark::Flag, 8 * low.byte + low.low, 1);
        } else {
            add(FieldMark::Value, 8 * low.byte + low.low, low.high - low.low + 1);
        }
    }
}

} // namespace

std::vector<FieldMark> FieldMarker::markSeries(const FrameIndex &index, int series, int begin,
                                               int end)
{
    return SeriesMarker(index.at(series), begin, end).run();
}

std::vector<FieldMark> FieldMarker::mark(const FrameIndex &index, qint64 first, qint64 last)
{
    std::vector<FieldMark> all;
    for (int s = 0; s < index.seriesCount(); ++s) {
        const auto span = index.at(s).span(first, last);
        const std::vector<FieldMark> marks = markSeries(index, s, span.first, span.second);
        all.insert(all.end(), marks.begin(), marks.end());
    }
    return all;
}
