// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fieldmarker.h"

#include "analysis/frameindex.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>

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

int byteOf(quint64 word, int index)
{
    return int((word >> (8 * index)) & 0xFF);
}

QString hexByte(int value)
{
    return QStringLiteral("0x") +
           QString::number(value, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

quint8 idXor(quint32 id)
{
    return quint8(id ^ (id >> 8) ^ (id >> 16) ^ (id >> 24));
}

quint8 idSum(quint32 id)
{
    return quint8(id + (id >> 8) + (id >> 16) + (id >> 24));
}

quint8 crcStep(quint8 polynomial, quint8 crc, quint8 byte)
{
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = quint8(crc & 0x80 ? (crc << 1) ^ polynomial : crc << 1);
    return crc;
}

// The frames of one identifier that one marking looks at.
class SeriesMarker
{
public:
    SeriesMarker(const FrameIndex::Series &s, int begin, int end)
        : s(s), begin(begin), end(end), bytes(s.minLength)
    {
    }

    std::vector<FieldMark> run();

private:
    quint64 word(int i) const { return s.words[size_t(i)]; }
    int frames() const { return end - begin; }
    void add(FieldMark::Kind kind, int startBit, int length, const QString &detail = QString(),
             bool motorola = false);
    void markConstants();
    void markSimpleChecksums();
    void markCounters();
    bool isCounter(int shift, int bits, int *step) const;
    bool carries(int shift, int bits, int step) const;
    void markCrcs();
    bool findCrc(int k, quint8 *polynomial, quint8 *initial) const;
    void markValues();
    bool free(int byte) const { return !((covered >> (8 * byte)) & 0xFF); }

    const FrameIndex::Series &s;
    int begin;
    int end;
    int bytes;
    quint64 flipped = 0;
    std::array<int, 64> flips{};
    quint64 covered = 0;
    std::vector<FieldMark> marks;
};

void SeriesMarker::add(FieldMark::Kind kind, int startBit, int length, const QString &detail,
                       bool motorola)
{
    FieldMark m;
    m.id = s.id;
    m.extended = s.extended;
    m.kind = kind;
    m.startBit = startBit;
    m.length = length;
    m.motorola = motorola;
    m.detail = detail;
    marks.push_back(m);
}

std::vector<FieldMark> SeriesMarker::run()
{
    if (frames() <= 0 || bytes == 0)
        return marks;
    for (int i = begin + 1; i < end; ++i) {
        quint64 d = word(i) ^ word(i - 1);
        flipped |= d;
        for (; d; d &= d - 1)
            ++flips[size_t(qCountTrailingZeroBits(d))];
    }
    markConstants();
    if (frames() >= FieldMarker::MinFrames) {
        markSimpleChecksums();
        markCounters();
        markCrcs();
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
        if ((flipped >> (8 * k)) & 0xFF)
            continue;
        add(FieldMark::Constant, 8 * k, 8, hexByte(byteOf(word(begin), k)));
        covered |= quint64(0xFF) << (8 * k);
    }
}

void SeriesMarker::markSimpleChecksums()
{
    // Bit 4k + v: byte k may be variant v (XOR, XOR with the identifier, sum, sum with it).
    quint32 alive = 0;
    for (int k = 0; k < bytes; ++k)
        alive |= free(k) && bytes > 1 ? 0xFu << (4 * k) : 0;
    const quint8 x = idXor(s.id);
    const quint8 a = idSum(s.id);
    for (int i = begin; i < end && alive; ++i) {
        const quint64 w = word(i);
        int all = 0;
        int sum = 0;
        for (int k = 0; k < bytes; ++k) {
            all ^= byteOf(w, k);
            sum += byteOf(w, k);
        }
        for (int k = 0; k < bytes; ++k) {
            const int c = byteOf(w, k);
            const quint8 others = quint8(all ^ c);
            const quint8 total = quint8(sum - c);
            const quint32 ok = quint32(others == c) | quint32(quint8(others ^ x) == c) << 1 |
                               quint32(total == c) << 2 | quint32(quint8(total + a) == c) << 3;
            alive &= ~((~ok & 0xFu) << (4 * k));
        }
    }
    static const char *const names[] = {
        QT_TRANSLATE_NOOP("FieldMarker", "XOR"),
        QT_TRANSLATE_NOOP("FieldMarker", "XOR с идентификатором"),
        QT_TRANSLATE_NOOP("FieldMarker", "сумма"),
        QT_TRANSLATE_NOOP("FieldMarker", "сумма с идентификатором")};
    // When the XOR of all bytes is zero every byte is the XOR of the others: the last one is
    // taken, as frames usually end with their checksum.
    quint32 taken = 0;
    for (int k = bytes - 1; k >= 0; --k) {
        const quint32 v = (alive >> (4 * k)) & 0xF & ~taken;
        taken |= v;
        if (!v)
            continue;
        add(FieldMark::Checksum, 8 * k, 8,
            QCoreApplication::translate("FieldMarker", names[qCountTrailingZeroBits(v)]));
        covered |= quint64(0xFF) << (8 * k);
    }
}

bool SeriesMarker::isCounter(int shift, int bits, int *step) const
{
    const int range = 1 << bits;
    const int mask = range - 1;
    auto field = [&](int i) { return int(word(i) >> shift) & mask; };
    *step = (field(begin + 1) - field(begin)) & mask;
    if (*step == 0 || qint64(frames() - 1) * *step < range)
        return false;
    int misses = 0;
    const int allowed = int((frames() - 1) * (1 - FieldMarker::CounterShare));
    for (int i = begin + 1; i < end; ++i) {
        if (((field(i) - field(i - 1)) & mask) != *step && ++misses > allowed)
            return false;
    }
    return !carries(shift, bits, *step);
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
            const int before = int(word(i - 1) >> shift) & mask;
            const bool wrapped = step > mask / 2 ? before < mask + 1 - step : before + step > mask;
            const bool carried = ((word(i) ^ word(i - 1)) >> bit) & 1;
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
            const quint64 bits = ((quint64(1) << p.bits) - 1) << shift;
            int step = 0;
            if ((covered & bits) || !(flipped & bits) || !isCounter(shift, p.bits, &step))
                continue;
            add(FieldMark::Counter, shift, p.bits,
                QCoreApplication::translate("FieldMarker", "шаг %1").arg(step));
            covered |= bits;
        }
    }
}

bool SeriesMarker::findCrc(int k, quint8 *polynomial, quint8 *initial) const
{
    // CRC is affine in the data: crc(a) ^ crc(b) = crc0(a ^ b) with a zero start, whatever the
    // initial value, so a pair of differing frames picks the polynomial and one frame the start.
    const quint64 keep = ~(quint64(0xFF) << (8 * k));
    const quint64 w0 = word(begin);
    int other = begin + 1;
    while (other < end && !((word(other) ^ w0) & keep))
        ++other;
    if (other == end)
        return false;
    const quint64 w1 = word(other);
    const int target = byteOf(w0, k) ^ byteOf(w1, k);
    // Polynomial 0x01 is the XOR of the bytes, which the simple checksums already name.
    for (int p = 3; p < 256; p += 2) {
        if (FieldMarker::crc8(quint8(p), 0, w0 ^ w1, bytes, k) != target)
            continue;
        for (int init = 0; init < 256; ++init) {
            if (FieldMarker::crc8(quint8(p), quint8(init), w0, bytes, k) != byteOf(w0, k))
                continue;
            int i = begin;
            while (i < end && FieldMarker::crc8(quint8(p), quint8(init), word(i), bytes, k) ==
                                  byteOf(word(i), k))
                ++i;
            if (i == end) {
                *polynomial = quint8(p);
                *initial = quint8(init);
                return true;
            }
        }
    }
    return false;
}

void SeriesMarker::markCrcs()
{
    // One checksum per frame: once one is known the other bytes are data.
    for (const FieldMark &m : marks) {
        if (m.kind == FieldMark::Checksum)
            return;
    }
    for (int k = bytes - 1; k >= 0 && bytes > 1; --k) {
        quint8 polynomial = 0;
        quint8 initial = 0;
        if (!free(k) || !findCrc(k, &polynomial, &initial))
            continue;
        add(FieldMark::Checksum, 8 * k, 8,
            QCoreApplication::translate("FieldMarker", "CRC-8, полином %1, начальное %2")
                .arg(hexByte(polynomial), hexByte(initial)));
        covered |= quint64(0xFF) << (8 * k);
        return;
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
    const quint64 open = flipped & ~covered;
    for (int k = 0; k < bytes; ++k) {
        for (int b = 0; b < 8; ++b) {
            if (!((open >> (8 * k + b)) & 1))
                continue;
            int top = b;
            while (top < 7 && ((open >> (8 * k + top + 1)) & 1))
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

quint8 FieldMarker::crc8(quint8 polynomial, quint8 initial, quint64 word, int bytes, int skip)
{
    quint8 crc = initial;
    for (int k = 0; k < bytes; ++k) {
        if (k != skip)
            crc = crcStep(polynomial, crc, quint8(word >> (8 * k)));
    }
    return crc;
}

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
