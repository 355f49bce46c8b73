// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/checksumfinder.h"

#include "link/canpacket.h"

#include <QCoreApplication>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <bitset>
#include <mutex>
#include <vector>

namespace {

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

int nibblesOf(const quint8 *data, int bytes)
{
    int sum = 0;
    for (int k = 0; k < bytes; ++k)
        sum += (data[k] >> 4) + (data[k] & 0x0F);
    return sum;
}

constexpr int MaxBytes = FrameIndex::MaxBytes;

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

// What byte x becomes, as a CRC from a zero start, once d zero bytes follow it: [d][x], for
// d < MaxBytes. Made for a polynomial when it is first asked for.
const std::vector<std::array<quint8, 256>> &crcShifted(quint8 polynomial)
{
    static std::array<std::once_flag, 256> made;
    static std::array<std::vector<std::array<quint8, 256>>, 256> tables;
    std::vector<std::array<quint8, 256>> &shifted = tables[polynomial];
    std::call_once(made[polynomial], [&] {
        const std::array<quint8, 256> &table = crcTable(polynomial);
        shifted.resize(MaxBytes);
        shifted[0] = table;
        for (size_t d = 1; d < size_t(MaxBytes); ++d) {
            for (size_t x = 0; x < 256; ++x)
                shifted[d][x] = table[shifted[d - 1][x]];
        }
    });
    return shifted;
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
                               const FrameMask &covered, const FrameMask &flipped)
    : s(series), begin(begin), end(end), bytes(std::min(bytes, MaxBytes)), covered(covered),
      flipped(flipped)
{
}

quint8 ChecksumFinder::crc8(quint8 polynomial, quint8 initial, quint64 word, int bytes, int skip)
{
    quint8 data[8];
    qToLittleEndian(word, data);
    return crc8(polynomial, initial, data, std::min(bytes, 8), skip);
}

std::array<quint8, MaxBytes> ChecksumFinder::crc8Without(quint8 polynomial, const quint8 *data,
                                                         int bytes)
{
    const std::vector<std::array<quint8, 256>> &shifted = crcShifted(polynomial);
    std::array<quint8, MaxBytes> out{};
    quint8 before = 0; // bytes 0 .. k - 1, each with one byte fewer after it than in `data`
    for (int k = 0; k < bytes; ++k) {
        out[size_t(k)] = before;
        if (k + 2 <= bytes)
            before ^= shifted[size_t(bytes - 2 - k)][data[k]];
    }
    quint8 after = 0; // bytes k + 1 .. bytes - 1
    for (int k = bytes - 1; k >= 0; --k) {
        out[size_t(k)] ^= after;
        after ^= shifted[size_t(bytes - 1 - k)][data[k]];
    }
    return out;
}

quint8 ChecksumFinder::crc8(quint8 polynomial, quint8 initial, const quint8 *data, int bytes,
                            int skip)
{
    const std::array<quint8, 256> &table = crcTable(polynomial);
    quint8 crc = initial;
    for (int k = 0; k < bytes; ++k) {
        if (k != skip)
            crc = table[quint8(crc ^ data[k])];
    }
    return crc;
}

// Every word compared, bytes past `bytes` too: frames of other lengths differ there.
bool ChecksumFinder::differ(int i, int j, int skip) const
{
    for (int w = 0; w <= s.tailWords; ++w) {
        quint64 diff = s.word(i, w) ^ s.word(j, w);
        if (skip >= 0 && skip / 8 == w)
            diff &= ~(quint64(0xFF) << (8 * (skip % 8)));
        if (diff)
            return true;
    }
    return false;
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
    const FrameMask bits = FrameMask::run(firstBit, length);
    return !covered.intersects(bits) && flipped.intersects(bits);
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
    std::vector<std::array<int, 4>> matches(static_cast<size_t>(bytes));
    const quint8 x = idXor(s.id);
    const quint8 a = idSum(s.id);
    quint8 w[MaxBytes];
    for (int i = begin; i < end; ++i) {
        if (i == glanced() && !promising(matches, i - begin))
            return std::nullopt;
        load(i, w);
        int all = 0;
        int sum = 0;
        for (int k = 0; k < bytes; ++k) {
            all ^= w[k];
            sum += w[k];
        }
        for (int k = 0; k < bytes; ++k) {
            const int c = w[k];
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
    std::vector<SumCounts<16>> nibbles(static_cast<size_t>(2 * bytes));
    std::vector<SumCounts<256>> wide(static_cast<size_t>(bytes));
    quint8 w[MaxBytes];
    for (int i = begin; i < end; ++i) {
        if (i == glanced() && !promising(nibbles, i - begin) && !promising(wide, i - begin))
            return std::nullopt;
        load(i, w);
        const int total = nibblesOf(w, bytes);
        for (int p = 0; p < 2 * bytes; ++p) {
            const int nibble = (w[p / 2] >> (4 * (p % 2))) & 0x0F;
            nibbles[size_t(p)].add(nibble, total - nibble);
        }
        for (int k = 0; k < bytes; ++k) {
            const int byte = w[k];
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
    std::vector<int> distinct;
    for (int i = begin; i < end && distinct.size() < 4; ++i) {
        if (std::all_of(distinct.begin(), distinct.end(), [&](int j) { return differ(i, j); }))
            distinct.push_back(i);
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
    quint8 w[MaxBytes];
    for (int i = begin; i < end && misses <= allowed; ++i) {
        // A polynomial that one pair of frames happened to fit misses most of the first ones.
        if (i == glanced() && 2 * misses > i - begin)
            return 0.0;
        load(i, w);
        misses += quint8(crc8(polynomial, initial, w, bytes, byte) ^ finalXor) != w[byte];
    }
    return misses > allowed ? 0.0 : 1.0 - double(misses) / frames;
}

// The CRC of the change between frames `first` and `other` without each byte in turn, by odd
// polynomial from 0x03: the same pair serves the byte positions tried one after another.
const std::vector<std::array<quint8, MaxBytes>> &
ChecksumFinder::pairCrcs(int first, int other, const quint8 *change) const
{
    PairCrcs &pair = pairs[first == begin ? 0 : 1];
    if (pair.first != first || pair.other != other) {
        pair.first = first;
        pair.other = other;
        pair.byPolynomial.resize(128);
        for (int p = 3; p < 256; p += 2)
            pair.byPolynomial[size_t(p / 2)] = crc8Without(quint8(p), change, bytes);
    }
    return pair.byPolynomial;
}

// CRC is affine in the data: crc(a) ^ crc(b) = crc0(a ^ b) with a zero start, whatever the
// initial value and the final XOR, so a pair of differing frames picks the polynomial and one
// frame the start. Two pairs are tried, in case one frame was garbled.
bool ChecksumFinder::crcAt(int k, Found *found) const
{
    quint8 w0[MaxBytes];
    quint8 w1[MaxBytes];
    quint8 change[MaxBytes];
    for (int first : {begin, begin + (end - begin) / 2}) {
        int other = first + 1;
        while (other < end && !differ(other, first, k))
            ++other;
        if (other >= end)
            continue;
        load(first, w0);
        load(other, w1);
        for (int b = 0; b < bytes; ++b)
            change[b] = w0[b] ^ w1[b];
        const int target = change[k];
        const std::vector<std::array<quint8, MaxBytes>> &crcs = pairCrcs(first, other, change);
        // Polynomial 0x01 is the XOR of the bytes, which the simple checksums already name.
        for (int p = 3; p < 256; p += 2) {
            if (crcs[size_t(p / 2)][size_t(k)] != target)
                continue;
            // Of the starts and final XORs that are the same CRC, the plainest.
            for (const auto &form : {std::make_pair(0xFF, 0x00), std::make_pair(0x00, 0x00),
                                     std::make_pair(0xFF, 0xFF), std::make_pair(0x00, 0xFF),
                                     std::make_pair(0x00, -1)}) {
                const quint8 initial = quint8(form.first);
                const quint8 fin = form.second >= 0
                                       ? quint8(form.second)
                                       : quint8(crc8(quint8(p), initial, w0, bytes, k) ^ w0[k]);
                if (quint8(crc8(quint8(p), initial, w0, bytes, k) ^ fin) != w0[k])
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
