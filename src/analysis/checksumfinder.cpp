// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/checksumfinder.h"

#include "link/canpacket.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <bitset>
#include <vector>

namespace {

int byteOf(quint64 word, int index)
{
    return int((word >> (8 * index)) & 0xFF);
}

QString text(const char *source)
{
    return QCoreApplication::translate("FieldMarker", source);
}

quint8 idXor(quint32 id)
{
    return quint8(id ^ (id >> 8) ^ (id >> 16) ^ (id >> 24));
}

quint8 idSum(quint32 id)
{
    return quint8(id + (id >> 8) + (id >> 16) + (id >> 24));
}

int nibblesOf(quint64 word)
{
    int sum = 0;
    for (; word; word >>= 4)
        sum += int(word & 0x0F);
    return sum;
}

// A CRC-8 table per polynomial, most significant bit first.
const std::array<quint8, 256> &crcTable(quint8 polynomial)
{
    static const auto tables = [] {
        std::vector<std::array<quint8, 256>> all(256);
        for (int p = 0; p < 256; ++p) {
            for (int byte = 0; byte < 256; ++byte) {
                quint8 crc = quint8(byte);
                for (int bit = 0; bit < 8; ++bit)
                    crc = quint8(crc & 0x80 ? (crc << 1) ^ p : crc << 1);
                all[size_t(p)][size_t(byte)] = crc;
            }
        }
        return all;
    }();
    return tables[polynomial];
}

// The name of a sum of nibbles whose best constant is `c` (modulo `modulus`): the checksum is the
// sum plus c, or, `minus`, c minus the sum. The identifier's nibbles are a constant too, so a
// constant may be that of a sum with them: both are said.
QString sumName(bool minus, int c, int idNibbles, int modulus)
{
    const QString base = minus ? text(QT_TRANSLATE_NOOP("FieldMarker", "минус сумма полубайтов"))
                               : text(QT_TRANSLATE_NOOP("FieldMarker", "сумма полубайтов"));
    const QString withId = text(QT_TRANSLATE_NOOP("FieldMarker", "%1 с идентификатором"));
    if (c == 0)
        return base;
    const int id = ((minus ? -idNibbles : idNibbles) % modulus + modulus) % modulus;
    const int rest = ((c - id) % modulus + modulus) % modulus;
    if (rest == 0)
        return withId.arg(base);
    return text(QT_TRANSLATE_NOOP("FieldMarker", "%1 + %2 (с идентификатором: + %3)"))
        .arg(base, hexByteText(c), hexByteText(rest));
}

// Counts of the constants that make a field the sum of nibbles, and the values the field took.
template<int Modulus> struct SumCounts
{
    std::array<int, Modulus> plus{};
    std::array<int, Modulus> minus{};
    std::bitset<Modulus> seen;

    int most() const
    {
        return std::max(*std::max_element(plus.begin(), plus.end()),
                        *std::max_element(minus.begin(), minus.end()));
    }
    void add(int field, int others)
    {
        ++plus[size_t(((field - others) % Modulus + Modulus) % Modulus)];
        ++minus[size_t((field + others) % Modulus)];
        seen.set(size_t(field));
    }
    // The better of the two forms: whether it is "minus", its constant and its frames.
    std::tuple<bool, int, int> best() const
    {
        const auto p = std::max_element(plus.begin(), plus.end());
        const auto m = std::max_element(minus.begin(), minus.end());
        if (*p >= *m)
            return {false, int(p - plus.begin()), *p};
        return {true, int(m - minus.begin()), *m};
    }
};

int bestOf(const std::array<int, 4> &matches)
{
    return *std::max_element(matches.begin(), matches.end());
}

template<int Modulus> int bestOf(const SumCounts<Modulus> &counts)
{
    return counts.most();
}

} // namespace

ChecksumFinder::ChecksumFinder(const FrameIndex::Series &series, int begin, int end, int bytes,
                               quint64 covered, quint64 flipped)
    : s(series), begin(begin), end(end), bytes(bytes), covered(covered), flipped(flipped)
{
}

quint8 ChecksumFinder::crc8(quint8 polynomial, quint8 initial, quint64 word, int bytes, int skip)
{
    const std::array<quint8, 256> &table = crcTable(polynomial);
    quint8 crc = initial;
    for (int k = 0; k < bytes; ++k) {
        if (k != skip)
            crc = table[quint8(crc ^ quint8(word >> (8 * k)))];
    }
    return crc;
}

// Most identifiers have no checksum, which their first frames show: a checksum matches nearly
// every frame, and a garbled one now and then.
int ChecksumFinder::glanced() const
{
    return end - begin > 4 * Glance ? begin + Glance : end;
}

template<typename Counts> bool ChecksumFinder::promising(const Counts &counts, int frames)
{
    for (const auto &c : counts) {
        if (bestOf(c) * 2 >= frames)
            return true;
    }
    return false;
}

// A field that changed and no other mark took.
bool ChecksumFinder::free(int firstBit, int length) const
{
    const quint64 bits = ((quint64(1) << length) - 1) << firstBit;
    return !(covered & bits) && (flipped & bits);
}

std::optional<ChecksumFinder::Found> ChecksumFinder::find() const
{
    if (bytes < 2 || end - begin < 2)
        return std::nullopt;
    if (auto found = byteChecksum())
        return found;
    if (auto found = nibbleSum())
        return found;
    return crc();
}

std::optional<ChecksumFinder::Found> ChecksumFinder::byteChecksum() const
{
    static const char *const names[] = {
        QT_TRANSLATE_NOOP("FieldMarker", "XOR"),
        QT_TRANSLATE_NOOP("FieldMarker", "XOR с идентификатором"),
        QT_TRANSLATE_NOOP("FieldMarker", "сумма"),
        QT_TRANSLATE_NOOP("FieldMarker", "сумма с идентификатором")};
    std::array<std::array<int, 4>, 8> matches{};
    const quint8 x = idXor(s.id);
    const quint8 a = idSum(s.id);
    for (int i = begin; i < end; ++i) {
        if (i == glanced() && !promising(matches, i - begin))
            return std::nullopt;
        const quint64 w = s.words[size_t(i)];
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
            matches[size_t(k)][0] += others == c;
            matches[size_t(k)][1] += quint8(others ^ x) == c;
            matches[size_t(k)][2] += total == c;
            matches[size_t(k)][3] += quint8(total + a) == c;
        }
    }
    // When the XOR of all bytes is zero every byte is the XOR of the others: the last one is
    // taken, as frames usually end with their checksum.
    for (int k = bytes - 1; k >= 0; --k) {
        const auto &m = matches[size_t(k)];
        const auto best = std::max_element(m.begin(), m.end());
        const double share = double(*best) / (end - begin);
        if (free(8 * k, 8) && share >= Share)
            return Found{8 * k, 8, text(names[best - m.begin()]), share};
    }
    return std::nullopt;
}

std::optional<ChecksumFinder::Found> ChecksumFinder::nibbleSum() const
{
    std::array<SumCounts<16>, 16> nibbles;
    std::array<SumCounts<256>, 8> wide;
    const quint64 mask = bytes >= 8 ? ~quint64(0) : (quint64(1) << (8 * bytes)) - 1;
    for (int i = begin; i < end; ++i) {
        if (i == glanced() && !promising(nibbles, i - begin) && !promising(wide, i - begin))
            return std::nullopt;
        const quint64 w = s.words[size_t(i)] & mask;
        const int total = nibblesOf(w);
        for (int p = 0; p < 2 * bytes; ++p) {
            const int nibble = int((w >> (4 * p)) & 0x0F);
            nibbles[size_t(p)].add(nibble, total - nibble);
        }
        for (int k = 0; k < bytes; ++k) {
            const int byte = byteOf(w, k);
            wide[size_t(k)].add(byte, total - (byte >> 4) - (byte & 0x0F));
        }
    }
    const int id = nibblesOf(s.id);
    const int frames = end - begin;
    auto take = [&](const auto &counts, int firstBit, int length, int modulus) {
        const auto [minus, c, matched] = counts.best();
        if (!free(firstBit, length) || counts.seen.count() < 4 || double(matched) / frames < Share)
            return std::optional<Found>();
        return std::optional<Found>(
            Found{firstBit, length, sumName(minus, c, id, modulus), double(matched) / frames});
    };
    for (int k = bytes - 1; k >= 0; --k) {
        if (auto found = take(wide[size_t(k)], 8 * k, 8, 256))
            return found;
    }
    // From the last nibble of the frame as it is written: the low one of the last byte.
    for (int k = bytes - 1; k >= 0; --k) {
        for (int p : {2 * k, 2 * k + 1}) {
            if (auto found = take(nibbles[size_t(p)], 4 * p, 4, 16))
                return found;
        }
    }
    return std::nullopt;
}

std::optional<ChecksumFinder::Found> ChecksumFinder::crc() const
{
    // Through two or three different frames some polynomial always runs.
    std::vector<quint64> distinct;
    for (int i = begin; i < end && distinct.size() < 4; ++i) {
        if (std::find(distinct.begin(), distinct.end(), s.words[size_t(i)]) == distinct.end())
            distinct.push_back(s.words[size_t(i)]);
    }
    if (distinct.size() < 4)
        return std::nullopt;
    Found found;
    for (int k = bytes - 1; k >= 0; --k) {
        if (free(8 * k, 8) && crcAt(k, &found))
            return found;
    }
    return std::nullopt;
}

double ChecksumFinder::crcShare(quint8 polynomial, quint8 initial, int byte, quint8 finalXor) const
{
    const int frames = end - begin;
    const int allowed = int(frames * (1 - Share));
    int misses = 0;
    for (int i = begin; i < end && misses <= allowed; ++i) {
        const quint64 w = s.words[size_t(i)];
        misses += quint8(crc8(polynomial, initial, w, bytes, byte) ^ finalXor) != byteOf(w, byte);
    }
    return misses > allowed ? 0.0 : 1.0 - double(misses) / frames;
}

// CRC is affine in the data: crc(a) ^ crc(b) = crc0(a ^ b) with a zero start, whatever the
// initial value and the final XOR, so a pair of differing frames picks the polynomial and one
// frame the start. Two pairs are tried, in case one frame was garbled.
bool ChecksumFinder::crcAt(int k, Found *found) const
{
    const quint64 keep = ~(quint64(0xFF) << (8 * k));
    for (int first : {begin, begin + (end - begin) / 2}) {
        const quint64 w0 = s.words[size_t(first)];
        int other = first + 1;
        while (other < end && !((s.words[size_t(other)] ^ w0) & keep))
            ++other;
        if (other >= end)
            continue;
        const quint64 w1 = s.words[size_t(other)];
        const int target = byteOf(w0, k) ^ byteOf(w1, k);
        // Polynomial 0x01 is the XOR of the bytes, which the simple checksums already name.
        for (int p = 3; p < 256; p += 2) {
            if (crc8(quint8(p), 0, w0 ^ w1, bytes, k) != target)
                continue;
            // Of the starts and final XORs that are the same CRC, the plainest.
            for (const auto &form : {std::make_pair(0xFF, 0x00), std::make_pair(0x00, 0x00),
                                     std::make_pair(0xFF, 0xFF), std::make_pair(0x00, 0xFF),
                                     std::make_pair(0x00, -1)}) {
                const quint8 initial = quint8(form.first);
                const quint8 fin =
                    form.second >= 0
                        ? quint8(form.second)
                        : quint8(crc8(quint8(p), initial, w0, bytes, k) ^ byteOf(w0, k));
                if (quint8(crc8(quint8(p), initial, w0, bytes, k) ^ fin) != byteOf(w0, k))
                    continue;
                const double share = crcShare(quint8(p), initial, k, fin);
                if (share < Share)
                    break;
                const QString head =
                    text(QT_TRANSLATE_NOOP("FieldMarker", "CRC-8, полином %1, начальное %2"))
                        .arg(hexByteText(p), hexByteText(initial));
                *found =
                    Found{8 * k, 8,
                          fin == 0 ? head
                                   : text(QT_TRANSLATE_NOOP("FieldMarker", "%1, конечный XOR %2"))
                                         .arg(head, hexByteText(fin)),
                          share};
                return true;
            }
        }
    }
    return false;
}
