// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/candidateranking.h"

#include "analysis/bitchangecount.h"
#include "analysis/coreworkers.h"
#include "analysis/frameindex.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <numeric>
#include <tuple>
#include <utility>

using Result = SignalSearch::Result;

namespace {

// Pair k of `pairs` spread evenly over the frames 1 .. n - 1, in fixed point (no division per
// pair).
class Spread
{
public:
    Spread(int n, int pairs) : step(pairs > 0 ? (qint64(n - 1) << 20) / pairs : 0) {}
    size_t at(int k) const { return size_t(1 + ((qint64(k) * step) >> 20)); }

private:
    qint64 step;
};

// The frame bit (8 * byte + bit, in its window) of bit p of a word read in a byte order.
int frameBitAt(bool motorola, int p)
{
    return motorola ? (7 - p / 8) * 8 + p % 8 : p;
}

// The same of a candidate's value bit.
int frameBit(const SignalCandidate &c, int valueBit)
{
    return frameBitAt(c.motorola(), c.shift + valueBit);
}

// How far a value moved from one frame to the next.
quint64 stepBetween(qint64 before, qint64 after)
{
    const quint64 up = quint64(after) - quint64(before);
    return after > before ? up : quint64(0) - up;
}

// A sum of thousands of changes of up to 64 bits each, with no rounding on the way: the same
// whichever pass adds them, and no chain of roundings holds a loop up.
class ExactSum
{
public:
    void add(quint64 step)
    {
        low += step;
        carries += low < step;
    }
    double value() const { return std::ldexp(double(carries), 64) + double(low); }

private:
    quint64 low = 0;
    quint64 carries = 0;
};

// Sizes of the changes of a value, by their bit width: enough to tell where the median lies
// against a power of two, without sorting them.
class StepSizes
{
public:
    void add(quint64 step) // step >= 1
    {
        ++widths[size_t(64 - (step == 1 ? 64 : __builtin_clzll(step - 1)))];
        ++count;
    }
    // Whether the median step is at most `limit`, 0 or a power of two.
    bool medianAtMost(quint64 limit) const
    {
        if (limit == 0)
            return false;
        const int j = 63 - __builtin_clzll(limit);
        const int atMost = std::accumulate(widths.begin(), widths.begin() + j + 1, 0);
        return atMost > count / 2;
    }

private:
    std::array<int, 65> widths{}; // by the bit width of step - 1: step <= 2^j has width <= j
    int count = 0;
};

// Wraps of the parts of a value below its nibble and byte edges that carried nothing into the
// part above, as the parts of one number would: a low byte of one field read with bits of
// another above it wraps alone. Only edges the value usually crosses in small steps tell: the
// low part then jumps across nearly all its range when it wraps.
int cutWraps(const SignalCandidate &c, const std::vector<std::pair<quint64, quint64>> &changes,
             const StepSizes &sizes)
{
    // The edges that tell, each read in the same pass over the changes.
    std::array<int, 16> edges{};
    int count = 0;
    for (int e = 4 - c.shift % 4; e < c.length; e += 4) {
        if (e >= 2 && sizes.medianAtMost((quint64(1) << e) / 8))
            edges[size_t(count++)] = e;
    }
    // The low part below an edge wraps only when its top bit changes: most changes of a smooth
    // value move none of those bits and need no look at the edges.
    quint64 tops = 0;
    for (int k = 0; k < count; ++k)
        tops |= quint64(1) << (edges[size_t(k)] - 1);
    std::array<int, 16> wraps{};
    std::array<int, 16> cut{};
    for (const auto &[before, after] : changes) {
        const quint64 moved = (before ^ after) & c.valueMask();
        if (!(moved & tops))
            continue;
        for (int k = 0; k < count; ++k) {
            const int e = edges[size_t(k)];
            const quint64 low = (quint64(1) << e) - 1;
            const quint64 a = before & low;
            const quint64 b = after & low;
            // Across more than three quarters of the low part's range: it wrapped.
            if ((a > b ? a - b : b - a) <= (low + 1) / 4 * 3)
                continue;
            ++wraps[size_t(k)];
            cut[size_t(k)] += moved >> e == 0;
        }
    }
    int total = 0;
    for (int k = 0; k < count; ++k)
        total += 2 * cut[size_t(k)] > wraps[size_t(k)] ? cut[size_t(k)] : 0;
    return total;
}

// Sorts numbers whose low 32 bits are their index, in ascending order, by their upper 32 bits
// eleven at a time: the thousands of candidates a broad search leaves per identifier sort in
// three passes, and a stable pass keeps equal keys in the order of their indexes.
void sortByKey(std::vector<quint64> &keys)
{
    if (keys.size() < 512) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    constexpr int Digit = 11;
    constexpr size_t Buckets = size_t(1) << Digit;
    const auto digit = [](quint64 k, int pass) {
        return size_t((k >> (32 + Digit * pass)) & (Buckets - 1));
    };
    std::vector<std::array<quint32, Buckets>> start(3);
    for (const quint64 k : keys) {
        for (int pass = 0; pass < 3; ++pass)
            ++start[size_t(pass)][digit(k, pass)];
    }
    // Written before it is read: not cleared first.
    std::unique_ptr<quint64[]> other(new quint64[keys.size()]);
    quint64 *from = keys.data();
    quint64 *to = other.get();
    for (int pass = 0; pass < 3; ++pass) {
        std::array<quint32, Buckets> &at = start[size_t(pass)];
        if (std::find(at.begin(), at.end(), quint32(keys.size())) != at.end())
            continue; // every key has the same digit here
        quint32 sum = 0;
        for (quint32 &b : at)
            sum += std::exchange(b, sum);
        for (size_t i = 0; i < keys.size(); ++i)
            to[at[digit(from[i], pass)]++] = from[i];
        std::swap(from, to);
    }
    if (from != keys.data())
        std::copy(from, from + keys.size(), keys.data());
}

// Pairs of frames read ahead: those spread over a long capture are each a miss of the cache.
constexpr int Ahead = 8;

// Values for the count of distinct ones: every pair's while they are few, else spread.
int valueEvery(int pairs)
{
    return std::max(1, pairs / CandidateRanking::DistinctSamples);
}

// Calls visit(before, after, taken) with a candidate's values in each of up to `sampled` pairs
// of neighbouring frames spread over its identifier's frames; `taken` marks the values kept
// for the count of distinct ones.
template<typename Visit>
void forEachPair(const SignalCandidate &c, const FrameIndex::Series &frames, int sampled,
                 Visit visit)
{
    const int n = frames.size();
    const int pairs = std::min(n - 1, sampled);
    const int every = valueEvery(pairs);
    const SignalCandidate::Reader read = c.reader();
    auto raw = [&](int i) { return read(frames.window(i, c.base)); };
    const Spread spread(n, pairs);
    // Pairs far apart are each a miss of the cache; close together, the frames stream in.
    const int fetchUntil = 2 * pairs < n ? pairs - Ahead : 0;
    qint64 after = 0;
    for (int k = 0, next = 0, last = -1; k < pairs; ++k) {
        const int i = int(spread.at(k));
        if (k < fetchUntil)
            __builtin_prefetch(&frames.words[spread.at(k + Ahead) - 1]);
        // Pairs close together share a frame: read it once.
        const qint64 before = i - 1 == last ? after : raw(i - 1);
        after = raw(i);
        last = i;
        const bool taken = k == next;
        next += taken ? every : 0;
        visit(before, after, taken);
    }
}

// Values seen, each once. A value that rose or fell over the span, as a narrowed search often
// leaves, is in order and counted as it stands; others go through a small hash table, cheaper
// than sorting them for every one of the many rows a broad search leaves.
int countDistinct(const std::vector<qint64> &values)
{
    const auto differ = [](qint64 a, qint64 b) { return a != b; };
    const size_t n = values.size();
    const bool ordered = std::is_sorted(values.begin(), values.end()) ||
                         std::is_sorted(values.begin(), values.end(), std::greater<>());
    if (ordered || n < 2)
        return n == 0 ? 0
                      : 1 + int(std::inner_product(values.begin() + 1, values.end(), values.begin(),
                                                   size_t(0), std::plus<>(), differ));
    int bits = 2;
    while ((size_t(1) << bits) < 2 * n)
        ++bits;
    std::vector<qint64> table(size_t(1) << bits);
    std::vector<quint8> taken(table.size());
    const size_t mask = table.size() - 1;
    int distinct = 0;
    for (const qint64 v : values) {
        size_t at = size_t((quint64(v) * 0x9E3779B97F4A7C15ull) >> (64 - bits));
        while (taken[at] && table[at] != v)
            at = (at + 1) & mask;
        if (!taken[at]) {
            taken[at] = 1;
            table[at] = v;
            ++distinct;
        }
    }
    return distinct;
}

double spanOf(const std::vector<qint64> &values)
{
    if (values.empty())
        return 0.0;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return double(*high) - double(*low);
}

double usedShare(double span, int length)
{
    return std::min(1.0, (span + 1) / std::ldexp(1.0, length));
}

// A field's values are not smooth when a change is on average more than this share of its range.
constexpr double Rough = 0.05;

// The bytes of a word that hold a set bit, byte b as bit b.
quint64 bytesOf(quint64 word)
{
    word |= word >> 4;
    word |= word >> 2;
    word |= word >> 1;
    return ((word & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56;
}

// Whether a candidate's changing bits lie within those of a row's (each in the window of eight
// bytes from its `base`), the two sharing bits.
bool liesWithin(quint64 live, quint64 bits, int base, quint64 rowLive, quint64 rowBits, int rowBase)
{
    if (base == rowBase)
        return (live & ~rowLive) == 0 && (bits & rowBits);
    // Its changing bits must all lie in the other window, as they would not if some went off its
    // ends in the move.
    const int by = 8 * (base - rowBase);
    if (by >= 64 || by <= -64)
        return false;
    const quint64 kept = by > 0 ? ~quint64(0) >> by : ~quint64(0) << -by;
    if (live & ~kept)
        return false;
    return (SignalCandidate::moveWindow(live, base, rowBase) & ~rowLive) == 0 &&
           (SignalCandidate::moveWindow(bits, base, rowBase) & rowBits);
}

// A candidate and the same bits read signed.
bool isTwin(const SignalCandidate &unsignedOne, const SignalCandidate &signedOne)
{
    return unsignedOne.flags == (signedOne.flags & ~SignalCandidate::Signed) &&
           unsignedOne.shift == signedOne.shift && unsignedOne.length == signedOne.length &&
           unsignedOne.base == signedOne.base && unsignedOne.series == signedOne.series;
}

// Where the unsigned twin of candidate i lies among the two before it, i when it has none there.
size_t twinBefore(const SignalCandidate *first, size_t i)
{
    size_t twin = i;
    for (size_t j = i - std::min<size_t>(i, 2); j < i && first[i].isSigned(); ++j) {
        if (isTwin(first[j], first[i]))
            twin = j;
    }
    return twin;
}

// What deciding whether a candidate lies within a row reads of each, side by side: in one
// window, and across windows.
struct Bits
{
    quint64 live;
    quint64 bits;
};
struct Head
{
    quint64 liveBytes;
    quint64 bitBytes;
    quint64 live;
    quint64 bits;
    int base;
};

// Candidates in `order` (their index in the low 32 bits) each go to the first row that holds
// them, within(made(i), row), or become a row: the rows' first candidates come back.
template<typename Make, typename Within>
std::vector<size_t> placeEach(const std::vector<quint64> &order, std::vector<quint32> &rowOf,
                              Make made, Within within)
{
    std::vector<decltype(made(0))> rows;
    std::vector<size_t> heads;
    for (const quint64 key : order) {
        const size_t i = size_t(key & 0xFFFFFFFFu);
        const auto candidate = made(i);
        size_t row = 0;
        while (row < rows.size() && !within(candidate, rows[row]))
            ++row;
        rowOf[i] = quint32(row);
        if (row == heads.size()) {
            heads.push_back(i);
            rows.push_back(candidate);
        }
    }
    return heads;
}

bool holds(const Head &row, const Head &c)
{
    return (c.liveBytes & ~row.liveBytes) == 0 && (c.bitBytes & row.bitBytes) &&
           liesWithin(c.live, c.bits, c.base, row.live, row.bits, row.base);
}

// As placeEach(), across windows. A row that holds a candidate's changing bits touches the byte
// of its lowest one, so only the rows touching that byte are looked at, in their order: of the
// hundreds of rows of a long FD frame, a few dozen.
template<typename Make>
std::vector<size_t> placeByBytes(const std::vector<quint64> &order, std::vector<quint32> &rowOf,
                                 Make made)
{
    std::vector<Head> rows;
    std::vector<size_t> heads;
    std::array<std::vector<quint32>, 64> touching; // the rows with changing bits in byte b
    for (const quint64 key : order) {
        const size_t i = size_t(key & 0xFFFFFFFFu);
        const Head candidate = made(i);
        size_t row = 0;
        if (candidate.liveBytes == 0) {
            while (row < rows.size() && !holds(rows[row], candidate))
                ++row;
        } else {
            const std::vector<quint32> &near =
                touching[size_t(qCountTrailingZeroBits(candidate.liveBytes))];
            const auto at = std::find_if(near.begin(), near.end(),
                                         [&](quint32 r) { return holds(rows[r], candidate); });
            row = at == near.end() ? rows.size() : *at;
        }
        rowOf[i] = quint32(row);
        if (row < rows.size())
            continue;
        heads.push_back(i);
        rows.push_back(candidate);
        for (quint64 bytes = candidate.liveBytes; bytes; bytes &= bytes - 1)
            touching[size_t(qCountTrailingZeroBits(bytes))].push_back(quint32(row));
    }
    return heads;
}

// The leading terms of a row's rank, which outline() finds as measure() would.
auto leading(const Result &r)
{
    const auto missing =
        std::count_if(r.values.begin(), r.values.end(), [](double v) { return std::isnan(v); });
    return std::make_tuple(r.overlaps, r.distinct < 2, !r.coherent || r.deadLsb,
                           r.roughness >= Rough, missing);
}

} // namespace

CandidateRanking::CandidateRanking(const SignalSearch &search, const SignalSearch::KnownBits &known)
    : search(search), known(known), moments(search.moments()),
      analysed(size_t(search.index().seriesCount()))
{
}

const CandidateRanking::Series &CandidateRanking::analyse(int series)
{
    Series &out = analysed[size_t(series)];
    if (out.known)
        return out;
    out.known = true;
    const FrameIndex::Series &s = search.index().at(series);
    out.flipped = s.flipped;
    for (qint64 time : moments)
        out.near.push_back(s.frameNear(time, search.cycle(series)));
    out.sampled = search.sampledFlips(series);
    if (!out.sampled) {
        out.own = sample(s);
        out.sampled = &out.own;
    }
    return out;
}

SignalSearch::SampledFlips CandidateRanking::sample(const FrameIndex::Series &s)
{
    static_assert(SampledPairs == GlancedPairs, "the first look reads the pairs sampled");
    SignalSearch::SampledFlips out;
    out.made = true;
    const int n = s.size();
    out.pairs = std::max(0, std::min(n - 1, SampledPairs));
    out.wordsPerFrame = 1 + s.tailWords;
    const size_t stride = size_t(out.wordsPerFrame);
    const auto keep = [&](int i) {
        for (int w = 0; w < out.wordsPerFrame; ++w)
            out.words.push_back(s.word(i, w));
    };
    out.words.reserve(size_t(1 + 2 * out.pairs) * stride);
    if (n > 0)
        keep(0);
    const Spread spread(n, out.pairs);
    for (int k = 0; k < out.pairs; ++k) {
        if (k + Ahead < out.pairs)
            __builtin_prefetch(&s.words[spread.at(k + Ahead) - 1]);
        const int i = int(spread.at(k));
        keep(i - 1);
        keep(i);
    }
    // Each bit's changes over the pairs, word by word.
    std::vector<std::array<int, 64>> counts(stride);
    for (size_t w = 0; w < stride; ++w) {
        BitChangeCount changes;
        changes.addEach(out.pairs, [&](int k) {
            const size_t before = (1 + 2 * size_t(k)) * stride + w;
            return out.words[before] ^ out.words[before + stride];
        });
        counts[w] = changes.counts();
    }
    out.flips = counts[0];
    if (s.tailWords > 0) {
        for (const std::array<int, 64> &c : counts)
            out.wideFlips.insert(out.wideFlips.end(), c.begin(), c.end());
    }
    return out;
}

CandidateRanking::Window CandidateRanking::window(const SignalCandidate &c, const Series &s) const
{
    if (s.sampled->wideFlips.empty())
        return {s.flipped, s.sampled->flips.data()};
    return {search.index().at(int(c.series)).flippedWindow(c.base),
            s.sampled->wideFlips.data() + 8 * c.base};
}

const CandidateRanking::Shape &CandidateRanking::shape(const SignalCandidate &c,
                                                       const Series &s) const
{
    if (s.shapes.size() <= size_t(c.base))
        s.shapes.resize(size_t(c.base) + 1);
    Shape &out = s.shapes[size_t(c.base)][c.motorola() ? 1 : 0];
    if (out.known)
        return out;
    const Window w = window(c, s);
    const int slack = 2 + s.sampled->pairs / 64;
    for (int p = 0; p < 64; ++p) {
        const int bit = frameBitAt(c.motorola(), p);
        const quint64 moves = (w.flipped >> bit) & 1;
        out.moving |= moves << p;
        out.movingBelow[size_t(p) + 1] = quint8(out.movingBelow[size_t(p)] + moves);
        if (p == 0 || w.flips[bit] <= 2 * w.flips[frameBitAt(c.motorola(), p - 1)] + slack)
            out.steady |= quint64(1) << p;
    }
    out.known = true;
    return out;
}

CandidateRanking::Traits CandidateRanking::traits(const SignalCandidate &c, const Series &s) const
{
    return traits(c, window(c, s), shape(c, s));
}

inline CandidateRanking::Traits CandidateRanking::traits(const SignalCandidate &c, const Window &w,
                                                         const Shape &shape)
{
    Traits t{};
    t.live = c.frameBits() & w.flipped;
    t.liveCount =
        quint8(shape.movingBelow[size_t(c.shift + c.length)] - shape.movingBelow[c.shift]);
    t.deadLsb = !((w.flipped >> frameBit(c, 0)) & 1);
    // A bit changing far more often than the one below it: two fields read as one, or a field
    // read in the wrong byte order. So is a bit that never changes between bits that do: the
    // changing bits must run from the lowest up.
    const quint64 bits = c.valueMask() << c.shift;
    const quint64 moving = shape.moving & bits;
    const quint64 run = moving >> c.shift;
    const quint64 lowest = quint64(1) << c.shift; // has no bit below it to weigh against
    t.coherent = (run & (run + 1)) == 0 && (bits & ~shape.steady & ~lowest) == 0;
    const int edge = c.shift + c.length;
    t.topEdge = quint8(edge % 8 == 0 ? 0 : edge % 4 == 0 ? 1 : 2);
    return t;
}

// What a row shows that needs no pass over its frames.
void CandidateRanking::describe(Result &r, const Series &s) const
{
    const SignalCandidate c = r.candidate; // a copy: writing the row cannot change it
    const FrameIndex::Series &frames = search.index().at(int(c.series));
    r.id = frames.id;
    r.extended = frames.extended;
    const Traits t = traits(c, s);
    r.deadLsb = t.deadLsb;
    r.coherent = t.coherent;
    r.overlaps =
        known.isEmpty()
            ? 0
            : qPopulationCount(c.frameBits() &
                               known.value(FrameIndex::key(r.id, r.extended)).window(c.base));
    r.values.clear();
    for (int i : s.near) {
        r.values.append(i < 0 ? std::numeric_limits<double>::quiet_NaN()
                              : search.physical(c, frames.window(i, c.base)));
    }
}

// A first pass over the pairs measure() reads, with none of its lists: the share of the range
// used, the smoothness and whether the value changed at all come out as measure() finds them,
// and with them the leading terms of the row's rank. The count of distinct values is only
// told apart below 2.
void CandidateRanking::outline(Result &r, const Series &s) const
{
    static_assert(GlancedPairs <= DistinctSamples, "a first look counts every value it reads");
    describe(r, s);
    const SignalCandidate c = r.candidate;
    const FrameIndex::Series &frames = search.index().at(int(c.series));
    const int n = frames.size();
    // The values first, then the sums over them in plain loops the compiler keeps in registers.
    std::array<qint64, 2 * GlancedPairs> values;
    size_t read = 0;
    forEachGlance(c, s, [&](qint64 before, qint64 after, bool) {
        values[read++] = before;
        values[read++] = after;
    });
    qint64 low = n > 0 ? c.raw(frames.window(0, c.base)) : 0;
    qint64 high = low;
    ExactSum total;
    int changed = 0;
    for (size_t k = 0; k < read; k += 2) {
        const qint64 before = values[k];
        const qint64 after = values[k + 1];
        low = std::min(low, after);
        high = std::max(high, after);
        changed += after != before;
        total.add(stepBetween(before, after)); // 0 when unchanged
    }
    const double span = n > 0 ? double(high) - double(low) : 0.0;
    r.distinct = n == 0 ? 0 : low == high ? 1 : 2;
    r.used = usedShare(span, c.length);
    r.jumps = 0;
    r.cuts = 0;
    r.roughness = span == 0 || changed == 0 ? 1.0 : std::min(1.0, total.value() / changed / span);
}

void CandidateRanking::measure(Result &r, const Series &s, int sampled) const
{
    describe(r, s);
    const SignalCandidate c = r.candidate;
    const FrameIndex::Series &frames = search.index().at(int(c.series));
    // Smoothness over the pairs of frames where the value changed: the others say nothing.
    const int n = frames.size();
    std::vector<qint64> seen;
    std::vector<std::pair<quint64, quint64>> changes;
    const int pairs = std::max(0, std::min(n - 1, sampled));
    seen.reserve(size_t(std::min(pairs, DistinctSamples)) + 2);
    changes.reserve(size_t(pairs));
    if (n > 0)
        seen.push_back(c.raw(frames.window(0, c.base)));
    const auto visit = [&](qint64 before, qint64 after, bool taken) {
        if (taken)
            seen.push_back(after);
        if (after != before)
            changes.emplace_back(quint64(before), quint64(after));
    };
    if (sampled == GlancedPairs)
        forEachGlance(c, s, visit);
    else
        forEachPair(c, frames, sampled, visit);
    r.distinct = countDistinct(seen);
    const double span = spanOf(seen);
    r.used = usedShare(span, c.length);
    StepSizes sizes;
    ExactSum total;
    r.jumps = 0;
    for (const auto &[before, after] : changes) {
        const quint64 step = stepBetween(qint64(before), qint64(after));
        sizes.add(step);
        total.add(step);
        r.jumps += double(step) > span / 2;
    }
    r.roughness = span == 0 || changes.empty()
                      ? 1.0
                      : std::min(1.0, total.value() / double(changes.size()) / span);
    r.cuts = changes.empty() ? 0 : cutWraps(c, changes, sizes);
}

// The share of its range a candidate's values cover, from the same values measure() sees.
double CandidateRanking::usedBy(const SignalCandidate &c, const Series &s) const
{
    const FrameIndex::Series &frames = search.index().at(int(c.series));
    if (frames.size() == 0)
        return usedShare(0.0, c.length);
    qint64 low = c.raw(frames.window(0, c.base));
    qint64 high = low;
    forEachGlance(c, s, [&](qint64, qint64 after, bool taken) {
        if (taken) {
            low = std::min(low, after);
            high = std::max(high, after);
        }
    });
    return usedShare(double(high) - double(low), c.length);
}

// The pairs a first look reads, from the words the first step kept of their frames.
template<typename Visit>
void CandidateRanking::forEachGlance(const SignalCandidate &c, const Series &s, Visit visit) const
{
    // Each frame's words in a row, as the first step sampled them.
    const std::vector<quint64> &words = s.sampled->words;
    const size_t stride = size_t(s.sampled->wordsPerFrame);
    const size_t pairs = size_t(s.sampled->pairs);
    const size_t every = size_t(valueEvery(int(pairs)));
    const size_t at = size_t(c.base / 8);
    const SignalCandidate::Reader read = c.reader();
    const quint64 *from = words.data() + at;
    const bool joined = c.base % 8 != 0;
    const bool last = at + 1 == stride; // no word after it: the bytes beyond the frame are 0
    const auto value = [&](size_t frame) {
        const quint64 *w = from + frame * stride;
        return read(joined ? FrameIndex::Series::join(w[0], last ? 0 : w[1], c.base % 8) : w[0]);
    };
    for (size_t k = 0, next = 0; k < pairs; ++k) {
        const bool taken = k == next;
        next += taken ? every : 0;
        visit(value(2 * k + 1), value(2 * k + 2), taken);
    }
}

// Of a candidate and its twin of the other signedness, the one whose values lie closer
// together: a signed value read unsigned lies at both ends of the range, jumping between them
// each time it crosses zero.
bool CandidateRanking::pickSign(Result &row, const Traits &t) const
{
    const SignalCandidate &c = row.candidate;
    if (c.length < 2 || !(t.live & quint64(1) << frameBit(c, c.length - 1)))
        return false;
    SignalCandidate twin = c;
    twin.flags ^= SignalCandidate::Signed;
    if (usedBy(twin, analysed[twin.series]) >= row.used)
        return false;
    row.candidate = twin;
    return true;
}

// The order candidates become rows in, each with its index. A signed candidate goes wherever its
// unsigned twin just before it goes (their bits and traits are the same, and the unsigned one
// comes first): it is left out, and listed in `twins` with its twin. The others' traits go to
// `t`.
std::vector<quint64> CandidateRanking::order(const SignalCandidate *first, size_t n,
                                             const Series &s, std::vector<Twin> &twins,
                                             Traits *t) const
{
    std::vector<quint64> order;
    order.reserve(n);
    twins.reserve(n / 2); // about every other candidate is a signed twin
    // Read for a window at a time: candidates come grouped by them, in both byte orders.
    int lastBase = -1;
    Window w{};
    std::array<const Shape *, 2> shapes{};
    for (size_t i = 0; i < n; ++i) {
        const SignalCandidate &c = first[i];
        const size_t twin = twinBefore(first, i);
        if (twin < i) {
            twins.emplace_back(i, twin);
            continue;
        }
        if (c.base != lastBase) {
            lastBase = c.base;
            w = window(c, s);
            SignalCandidate inOrder = c;
            for (const quint8 flags : {quint8(0), quint8(SignalCandidate::Motorola)}) {
                inOrder.flags = flags;
                shapes[inOrder.motorola()] = &shape(inOrder, s);
            }
        }
        t[i] = traits(c, w, *shapes[c.motorola()]);
        order.push_back(quint64(orderKey(c, t[i])) << 32 | i);
    }
    sortByKey(order);
    return order;
}

// The order candidates become rows in, packed into one number (fields from the most telling) so
// that sorting compares numbers, not tuples. Every candidate of an identifier has its own.
inline quint32 CandidateRanking::orderKey(const SignalCandidate &c, const Traits &t)
{
    quint32 key = !t.coherent;
    key = key << 1 | t.deadLsb;
    key = key << 7 | quint32(64 - t.liveCount);
    key = key << 2 | t.topEdge;
    key = key << 7 | c.length;
    key = key << 1 | c.isSigned();
    key = key << 1 | c.motorola();
    key = key << 6 | c.shift;
    return key << 6 | c.base;
}

// The forms of the rows shown: every candidate that went to a row, but the one it shows. The
// rows of an identifier are filled in two passes over its candidates.
void CandidateRanking::fillForms(std::vector<Result> &rows, const CoreWorkers &workers) const
{
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return rows[a].candidate.series < rows[b].candidate.series;
    });
    std::vector<std::pair<size_t, size_t>> groups; // of `order`, one identifier each
    for (size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || rows[order[i]].candidate.series != rows[order[i - 1]].candidate.series)
            groups.emplace_back(i, i);
        ++groups.back().second;
    }
    workers.run(int(groups.size()), [&](int g) {
        fillForms(rows, order.data() + groups[size_t(g)].first,
                  order.data() + groups[size_t(g)].second);
        for (size_t i = groups[size_t(g)].first; i < groups[size_t(g)].second; ++i)
            sortForms(rows[order[i]]);
    });
}

void CandidateRanking::fillForms(std::vector<Result> &rows, const size_t *first,
                                 const size_t *last) const
{
    const auto bitsOf = [](const SignalCandidate &c) {
        quint64 bits;
        std::memcpy(&bits, &c, sizeof bits);
        return bits;
    };
    const Series &s = analysed[rows[*first].candidate.series];
    std::vector<std::pair<quint64, size_t>> shown; // the candidates the rows show
    for (const size_t *o = first; o != last; ++o)
        shown.emplace_back(bitsOf(rows[*o].candidate), *o);
    std::sort(shown.begin(), shown.end());
    std::vector<size_t> rowOf(s.rows, rows.size()); // a row of the identifier's, as shown
    std::vector<size_t> own(rows.size());
    for (size_t k = 0; k < s.rowOf.size(); ++k) {
        const auto at =
            std::lower_bound(shown.begin(), shown.end(), std::pair(bitsOf(s.first[k]), size_t(0)));
        if (at != shown.end() && at->first == bitsOf(s.first[k])) {
            rowOf[s.rowOf[k]] = at->second;
            own[at->second] = k;
        }
    }
    for (size_t k = 0; k < s.rowOf.size(); ++k) {
        const size_t row = rowOf[s.rowOf[k]];
        if (row < rows.size() && own[row] != k)
            rows[row].forms.push_back(s.first[k]);
    }
}

// Forms widest first, and of one width in the order they folded in. The unsigned original of a
// row that shows its signed twin stands where the twin would have.
void CandidateRanking::sortForms(Result &r) const
{
    const Series &s = analysed[r.candidate.series];
    std::vector<std::pair<quint32, SignalCandidate>> keyed;
    keyed.reserve(r.forms.size());
    for (const SignalCandidate &f : r.forms) {
        const SignalCandidate &k =
            r.candidate.isSigned() && isTwin(f, r.candidate) ? r.candidate : f;
        keyed.emplace_back(orderKey(k, traits(k, s)), f);
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
        return a.second.length != b.second.length ? a.second.length > b.second.length
                                                  : a.first < b.first;
    });
    std::transform(keyed.begin(), keyed.end(), r.forms.begin(),
                   [](const auto &k) { return k.second; });
}

// One identifier's candidates: the most telling first becomes a row, and every later one whose
// changing bits lie within a row's (and which shares bits with it) folds into that row. A few
// rows are measured at once, while their frames are in the cache; many are only outlined or
// described, most of them never to be measured. How far each row was looked at goes to `looks`.
void CandidateRanking::fold(const SignalCandidate *first, const SignalCandidate *last,
                            std::vector<Result> &out, std::vector<char> &looks)
{
    const Series &s = analyse(int(first->series));
    const size_t n = size_t(last - first);
    std::vector<Twin> twins;
    const std::unique_ptr<Traits[]> t(new Traits[n]);
    // The rows' forms are listed only for the rows shown (fillForms()), from the row each
    // candidate went to, kept here.
    Series &kept = analysed[first->series];
    kept.first = first;
    kept.rowOf.resize(n);
    const std::vector<size_t> heads =
        place(order(first, n, s, twins, t.get()), first, t.get(),
              search.index().at(int(first->series)).tailWords == 0, kept.rowOf);
    kept.rows = heads.size();
    const size_t base = out.size();
    out.resize(base + heads.size());
    for (size_t row = 0; row < heads.size(); ++row)
        out[base + row].candidate = first[heads[row]];
    // A signed twin goes where its unsigned one went.
    std::vector<char> signedTwin(heads.size());
    for (const auto &[i, twin] : twins) {
        const quint32 row = kept.rowOf[twin];
        kept.rowOf[i] = row;
        signedTwin[row] |= heads[row] == twin;
    }
    const bool full = heads.size() <= MeasuredAtOnce;
    for (size_t row = 0; row < heads.size(); ++row) {
        const char twin = signedTwin[row] ? HasTwin : 0;
        looks.push_back(char(twin | lookAt(out[base + row], t[heads[row]], twin, full, s)));
    }
}

// A first look at a row, as far as it goes while folding: how far that was.
CandidateRanking::Look CandidateRanking::lookAt(Result &r, const Traits &head, bool twin, bool full,
                                                const Series &s) const
{
    // Not one field: such a row comes after every field that changed, whatever else it is, so
    // most of them need no pass over their frames at all. Its rank is as good as it could be:
    // changed, unless no bit of it ever does, and smooth.
    if (!full && (!head.coherent || head.deadLsb)) {
        describe(r, s);
        r.distinct = head.liveCount == 0 ? 1 : 2;
        r.roughness = 0;
        return Described;
    }
    const auto look = [&] {
        if (full)
            measure(r, s, GlancedPairs);
        else
            outline(r, s);
    };
    look();
    if (twin && pickSign(r, head))
        look();
    return full ? Measured : Outlined;
}

// Each candidate in turn goes to the first row whose changing bits hold its own, sharing bits
// with it, or becomes a row (its index in `first` returned).
std::vector<size_t> CandidateRanking::place(const std::vector<quint64> &order,
                                            const SignalCandidate *first, const Traits *t,
                                            bool oneWindow, std::vector<quint32> &rowOf)
{
    if (oneWindow) {
        // All in one window, as in classic frames: two word tests a row.
        const auto bitsOf = [&](size_t i) { return Bits{t[i].live, first[i].frameBits()}; };
        return placeEach(order, rowOf, bitsOf, [](const Bits &c, const Bits &row) {
            return (c.live & ~row.live) == 0 && (c.bits & row.bits);
        });
    }
    // The frame bytes its changing bits and its bits touch (byte b of the frame as bit b) tell
    // most rows apart at once, whatever their windows: a candidate within a row touches no byte
    // with changing bits the row does not.
    const auto headOf = [&](size_t i) {
        const quint64 bits = first[i].frameBits();
        const int base = first[i].base;
        return Head{bytesOf(t[i].live) << base, bytesOf(bits) << base, t[i].live, bits, base};
    };
    return placeByBytes(order, rowOf, headOf);
}

std::vector<Result> CandidateRanking::rows(int limit)
{
    // Each identifier's candidates fold apart from the others', on the cores there are.
    const std::vector<SignalCandidate> &held = search.held();
    const std::vector<std::pair<size_t, size_t>> groups = SignalSearch::byIdentifier(held);
    std::vector<std::vector<Result>> folded(groups.size());
    std::vector<std::vector<char>> foldedLooks(groups.size());
    const CoreWorkers workers(search.options().threads);
    workers.run(int(groups.size()), [&](int g) {
        const auto [i, j] = groups[size_t(g)];
        fold(held.data() + i, held.data() + j, folded[size_t(g)], foldedLooks[size_t(g)]);
    });
    std::vector<Result> out;
    std::vector<char> looks;
    for (size_t g = 0; g < folded.size(); ++g) {
        std::move(folded[g].begin(), folded[g].end(), std::back_inserter(out));
        looks.insert(looks.end(), foldedLooks[g].begin(), foldedLooks[g].end());
    }
    // The rows that may be shown, and a few more that may move up, get a closer look.
    const size_t closer = limit < 0 ? out.size() : std::min(out.size(), size_t(limit) + 50);
    // Rows only described count with their leading terms as good as they could be: those left
    // are outlined, and the bound drawn again from all.
    dropBehind(out, looks, closer);
    outlineDescribed(out, looks, workers);
    dropBehind(out, looks, closer);
    // Those only outlined are measured now. Their identifiers were analysed, and the shapes they
    // read made, while folding.
    workers.run(int(out.size()), [&](int i) {
        Result &r = out[size_t(i)];
        if ((looks[size_t(i)] & LookMask) != Measured)
            measure(r, analysed[r.candidate.series], GlancedPairs);
    });
    sortRows(out);
    workers.run(int(closer), [&](int i) {
        Result &r = out[size_t(i)];
        measure(r, analysed[r.candidate.series], ClosePairs);
    });
    out.resize(closer);
    sortRows(out);
    if (limit >= 0 && out.size() > size_t(limit))
        out.resize(size_t(limit));
    fillForms(out, workers);
    return out;
}

// Of a broad search's many rows, those whose leading terms rank them behind `count` rows
// looked at can never be among the first `count`: they go before anything else is measured. A
// row only described has its leading terms as good as they could be, so it goes only when even
// those rank it behind. The others keep their order, so the rows that lead come out as if every
// row had been measured.
void CandidateRanking::dropBehind(std::vector<Result> &rows, std::vector<char> &looks, size_t count)
{
    using Leading = decltype(leading(rows.front()));
    std::vector<Leading> exact;
    for (size_t i = 0; i < rows.size(); ++i) {
        if ((looks[i] & LookMask) != Described)
            exact.push_back(leading(rows[i]));
    }
    if (count == 0 || exact.size() < count)
        return;
    std::nth_element(exact.begin(), exact.begin() + std::ptrdiff_t(count - 1), exact.end());
    const Leading last = exact[count - 1];
    keepRows(rows, looks, [&](size_t i) { return !(last < leading(rows[i])); });
}

// The rows only described, outlined.
void CandidateRanking::outlineDescribed(std::vector<Result> &rows, std::vector<char> &looks,
                                        const CoreWorkers &workers)
{
    workers.run(int(rows.size()), [&](int i) {
        if ((looks[size_t(i)] & LookMask) != Described)
            return;
        Result &r = rows[size_t(i)];
        const Series &s = analysed[r.candidate.series];
        outline(r, s);
        if ((looks[size_t(i)] & HasTwin) && pickSign(r, traits(r.candidate, s)))
            outline(r, s);
        looks[size_t(i)] = char((looks[size_t(i)] & HasTwin) | Outlined);
    });
}

template<typename Keep>
void CandidateRanking::keepRows(std::vector<Result> &rows, std::vector<char> &looks, Keep keep)
{
    size_t kept = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!keep(i))
            continue;
        if (kept != i) {
            rows[kept] = std::move(rows[i]);
            looks[kept] = looks[i];
        }
        ++kept;
    }
    rows.resize(kept);
    looks.resize(kept);
}

void CandidateRanking::sortRows(std::vector<Result> &rows)
{
    auto rank = [](const Result &r) {
        const SignalCandidate &c = r.candidate;
        return std::tuple_cat(leading(r),
                              std::make_tuple(r.jumps > 0 || r.cuts > 0,
                                              -std::round(r.information()), r.roughness, c.length,
                                              c.isSigned(), c.motorola(), r.id, c.shift, c.base));
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&rank](const Result &a, const Result &b) { return rank(a) < rank(b); });
}

Result CandidateRanking::row(const SignalCandidate &candidate)
{
    Result r;
    r.candidate = candidate;
    measure(r, analyse(int(candidate.series)));
    return r;
}
