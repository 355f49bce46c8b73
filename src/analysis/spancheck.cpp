// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/spancheck.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <utility>

// The frames of the span as one byte order reads them, with the bits that changed within each
// run of 64 pairs of frames, so that a candidate's scan skips the runs where it stood still.
struct SpanCheck::Frames
{
    static constexpr int Run = 64;

    const quint64 *words = nullptr;
    int count = 0;
    std::unique_ptr<quint64[]> diffs; // bits changed from the frame before (none at frame 0)
    std::vector<quint64> runs;
    quint64 changedBits = 0;

    Frames(const quint64 *words, int count)
        : words(words), count(count), diffs(new quint64[size_t(std::max(count, 1))]) // all written
    {
        diffs[0] = 0;
        runs.assign(size_t((count + Run - 1) / Run), 0);
        for (int i = 1; i < count; ++i) {
            diffs[size_t(i)] = words[i] ^ words[i - 1];
            runs[size_t((i - 1) / Run)] |= diffs[size_t(i)];
            changedBits |= diffs[size_t(i)];
        }
    }
    // Calls visit(i) for each frame i > from where `bits` changed, until it returns false.
    template<typename Visit> bool eachChange(quint64 bits, int from, Visit visit) const
    {
        for (size_t r = size_t(from / Run); r < runs.size(); ++r) {
            if (!(runs[r] & bits))
                continue;
            const int end = std::min(count, int(r + 1) * Run + 1);
            for (int i = std::max(from + 1, int(r) * Run + 1); i < end; ++i) {
                if ((diffs[size_t(i)] & bits) && !visit(i))
                    return false;
            }
        }
        return true;
    }
    // The frames where `bits` changed, a run at a time from the rows of changes of each bit:
    // visit(first, hit) with bit j of `hit` for frame first + j, until it returns false. For
    // values read through long stretches of a span, whose changes follow no pattern a branch
    // could learn.
    template<typename Visit> bool eachChangedRun(quint64 bits, Visit visit) const
    {
        for (size_t r = 0; r < runs.size(); ++r) {
            quint64 live = runs[r] & bits;
            if (!live)
                continue;
            const quint64 *rows = changesByBit(r);
            quint64 hit = 0;
            for (; live; live &= live - 1)
                hit |= rows[qCountTrailingZeroBits(live)];
            if (!visit(int(r) * Run + 1, hit))
                return false;
        }
        return true;
    }

    // The bits that differ between any two frames.
    quint64 changed() const { return changedBits; }
    // Bit b of every frame: frame 64 k + j at bit j of row b's word k (rows of `blocks()` words,
    // the last block filled up with copies of the last frame), made when first asked for.
    int blocks() const { return (count + Run - 1) / Run; }
    const quint64 *bitRows() const
    {
        if (rows || count == 0)
            return rows.get();
        const size_t n = size_t(blocks());
        rows.reset(new quint64[n * Run]); // every word written below
        std::array<quint64, Run> block;
        for (size_t k = 0; k < n; ++k) {
            for (size_t j = 0; j < Run; ++j)
                block[j] = words[std::min(k * Run + j, size_t(count - 1))];
            transpose(block.data());
            for (size_t b = 0; b < Run; ++b)
                rows[b * n + k] = block[b];
        }
        return rows.get();
    }

private:
    // For each bit, the frames of run r where it changed (bit j: frame r * Run + 1 + j), made
    // for every run when a candidate is first read through one: a candidate's changes are then
    // the union of its bits' rows, not a test of every frame. A bit's row of changes is its row
    // of the frames against the same row one frame on.
    const quint64 *changesByBit(size_t r) const
    {
        if (!byBit) {
            const quint64 *bits = bitRows();
            const size_t n = size_t(blocks());
            byBit.reset(new quint64[n * Run]); // every word written below
            for (size_t b = 0; b < Run; ++b) {
                const quint64 *row = bits + b * n;
                for (size_t k = 0; k < n; ++k) {
                    // Past the last block, the last frame again: no change.
                    const quint64 next = k + 1 < n ? row[k + 1] : row[k] >> 63;
                    byBit[k * Run + b] = row[k] ^ (row[k] >> 1 | next << 63);
                }
            }
        }
        return byBit.get() + r * Run;
    }

    // Bit j of a[i] becomes bit i of a[j], in six rounds of swapping ever smaller blocks. Each
    // round's block size is a constant, so that its inner loop runs over words side by side
    // (vectorised), not over worked-out indexes: every run of a span is transposed once.
    static void transpose(quint64 *a)
    {
        swapBlocks<32>(a, 0x00000000FFFFFFFFull);
        swapBlocks<16>(a, 0x0000FFFF0000FFFFull);
        swapBlocks<8>(a, 0x00FF00FF00FF00FFull);
        swapBlocks<4>(a, 0x0F0F0F0F0F0F0F0Full);
        swapBlocks<2>(a, 0x3333333333333333ull);
        swapBlocks<1>(a, 0x5555555555555555ull);
    }
    // Of words k and k + J in each block of 2 J, the bits of `m` in k + J trade places with
    // those J higher in k.
    template<int J> static void swapBlocks(quint64 *a, quint64 m)
    {
        for (int b = 0; b < Run; b += 2 * J) {
            for (int k = b; k < b + J; ++k) {
                const quint64 t = ((a[k] >> J) ^ a[k + J]) & m;
                a[k] ^= t << J;
                a[k + J] ^= t;
            }
        }
    }

    mutable std::unique_ptr<quint64[]> byBit;
    mutable std::unique_ptr<quint64[]> rows;
};

// A candidate as one byte order's words hold it: bits shift .. top of the word.
struct SpanCheck::Pending
{
    SignalCandidate candidate;
    quint64 bits; // in the word of its byte order
    int top;
    bool held;
    size_t index; // in the list given, whose order is kept
    double reach; // its raw values over the span lie within this of each other
    int clean;    // frames up to this one were exactly in order
    // Counting changes: with 1, only those that leave its lowest bit as it was.
    int skip = 0;
    int followUntil = std::numeric_limits<int>::max(); // frame
    double range = -1; // of its raw values over the span, once known

    int shift() const { return candidate.shift; }
    // Its words come in its own byte order.
    SignalCandidate::Field reader() const { return candidate.field(); }
    qint64 value(quint64 word) const { return reader()(word); }
};

namespace {

// Differences of 64-bit fields do not fit in 64 bits.
__extension__ typedef __int128 Wide;

// Whether a move of `d` is of more than `steps` either way. Of fields up to 62 bits and steps
// up to 2^62, one unsigned comparison tells: d + steps then fits, and lies within 0 .. 2 steps
// exactly when the move does not count.
bool beyond(qint64 d, qint64 steps)
{
    return quint64(d) + quint64(steps) > 2 * quint64(steps);
}
bool beyond(Wide d, qint64 steps)
{
    return (d > steps) | (d < -Wide(steps));
}

// Candidates (shift, top) with shift < fail[top] went out of order on some pair of frames.
using Failed = std::array<quint8, 64>;

void raise(Failed &fail, int from, int to, quint8 value)
{
    for (int j = from; j < to; ++j)
        fail[size_t(j)] = std::max(fail[size_t(j)], value);
}

// For the pair of frames whose changed bits are `changed` (those of `wrong` went the wrong
// way): a candidate is out of order when the highest changed bit within it went the wrong way,
// or, signed, when that is its sign bit and it went the right way.
void markOrder(quint64 changed, quint64 wrong, Failed &unsignedFail, Failed &signedFail)
{
    for (quint64 x = wrong; x; x &= x - 1) {
        const int bit = qCountTrailingZeroBits(x);
        const quint64 above = bit == 63 ? 0 : changed & (~quint64(0) << (bit + 1));
        const int next = above ? qCountTrailingZeroBits(above) : 64;
        raise(unsignedFail, bit, next, quint8(bit + 1));
        raise(signedFail, bit + 1, next, quint8(bit + 1));
    }
    for (quint64 x = changed & ~wrong; x; x &= x - 1) {
        const int bit = qCountTrailingZeroBits(x);
        signedFail[size_t(bit)] = std::max(signedFail[size_t(bit)], quint8(bit + 1));
    }
}

// hits[shift][bit]: pairs of frames whose lowest changed bit at or above `shift` was `bit`, so
// that a candidate from `shift` to `top` changed in the sum of hits[shift][shift .. top].
using Hits = std::array<std::array<quint32, 64>, 64>;

void markChange(quint64 changed, quint64 shifts, Hits &hits)
{
    // The shifts up to each changed bit that no lower one took find that bit first; once all
    // are taken, the higher changed bits find none.
    for (quint64 x = changed; x && shifts; x &= x - 1) {
        const int bit = qCountTrailingZeroBits(x);
        const quint64 taken = shifts & ((quint64(2) << bit) - 1); // 2 << 63 is 0: all bits
        for (quint64 m = taken; m; m &= m - 1)
            ++hits[size_t(qCountTrailingZeroBits(m))][size_t(bit)];
        shifts &= ~taken;
    }
}

// The candidates still in question, with the bits and start bits any of them covers; those
// that fail are dropped now and then (from frame `first` at ever longer steps up to `longest`),
// each noting the last frame up to which it held. Dropping often narrows the bits looked at and
// the frames a tolerant reading starts from; it costs a look at every candidate left.
template<typename Fails> class Survivors
{
public:
    Survivors(std::vector<SpanCheck::Pending *> list, Fails fails, int first, int longest)
        : list(std::move(list)), fails(fails), longest(longest), next(first)
    {
        update();
    }

    bool empty() const { return list.empty(); }
    quint64 bits() const { return region; }
    quint64 shifts() const { return starts; }
    void checkpoint(int frame)
    {
        if (frame == next) {
            prune(frame);
            next += std::min(next, longest);
        }
    }
    // Those of frames first .. end - 1, passed over.
    void checkpoints(int first, int end)
    {
        while (next >= first && next < end && !empty())
            checkpoint(next);
    }
    void prune(int frame)
    {
        const auto out =
            std::remove_if(list.begin(), list.end(), [this, frame](SpanCheck::Pending *p) {
                if (fails(p)) {
                    p->clean = passed;
                    return true;
                }
                if (p->followUntil <= frame) {
                    p->held = true; // not settled here
                    return true;
                }
                return false;
            });
        list.erase(out, list.end());
        passed = frame;
        update();
    }
    const std::vector<SpanCheck::Pending *> &held() const { return list; }

private:
    void update()
    {
        region = 0;
        starts = 0;
        for (const SpanCheck::Pending *p : list) {
            region |= p->bits;
            starts |= quint64(1) << p->shift();
        }
    }

    std::vector<SpanCheck::Pending *> list;
    Fails fails;
    int longest;
    quint64 region = 0;
    quint64 starts = 0;
    int next;
    int passed = 0;
};

// One pass over the frames for all candidates still in question: `mark` notes the pair of
// frames ending at frame i, whose changed bits some of them cover; those left at the end hold.
template<typename Fails, typename Mark>
void sweep(const SpanCheck::Frames &frames, Survivors<Fails> &left, Mark mark)
{
    constexpr int Run = SpanCheck::Frames::Run;
    for (size_t r = 0; r < frames.runs.size() && !left.empty(); ++r) {
        const int first = int(r) * Run + 1;
        const int end = std::min(frames.count, first + Run);
        if (!(frames.runs[r] & left.bits())) {
            left.checkpoints(first, end); // none of their bits changed in the run
            continue;
        }
        for (int i = first; i < end && !left.empty(); ++i) {
            if (const quint64 changed = frames.diffs[size_t(i)] & left.bits())
                mark(i, changed);
            left.checkpoint(i);
        }
    }
    left.prune(frames.count - 1);
    for (SpanCheck::Pending *p : left.held())
        p->held = true;
}

template<typename Fails>
Survivors<Fails> survivors(std::vector<SpanCheck::Pending> &pending, Fails fails, int first,
                           int longest)
{
    std::vector<SpanCheck::Pending *> list;
    for (SpanCheck::Pending &p : pending) {
        if (!p.held)
            list.push_back(&p);
    }
    return Survivors<Fails>(std::move(list), fails, first, longest);
}

// The frame whose bits 0 .. top read as the largest number (`most`) or the least, read signed
// with the sign bit turned round: chosen bit by bit from the top over the bit rows, keeping the
// frames with the wanted bit whenever any has it, until one is left.
int extremeFrame(const SpanCheck::Frames &frames, int top, bool isSigned, bool most,
                 std::vector<quint64> &kept, std::vector<int> &live)
{
    const int blocks = frames.blocks();
    const quint64 *rows = frames.bitRows();
    kept.assign(size_t(blocks), ~quint64(0));
    live.resize(size_t(blocks));
    std::iota(live.begin(), live.end(), 0);
    for (int b = top; b >= 0; --b) {
        if (live.size() == 1 && (kept[size_t(live[0])] & (kept[size_t(live[0])] - 1)) == 0)
            break; // one frame left
        if (!((frames.changed() >> b) & 1))
            continue; // every frame has the same bit: it keeps them all
        const quint64 *row = rows + size_t(b) * size_t(blocks);
        const quint64 flip = most == (isSigned && b == top) ? ~quint64(0) : 0;
        const auto has = [&](int k) { return kept[size_t(k)] & (row[k] ^ flip); };
        if (std::none_of(live.begin(), live.end(), has))
            continue;
        size_t left = 0;
        for (const int k : live) {
            kept[size_t(k)] &= row[k] ^ flip;
            if (kept[size_t(k)])
                live[left++] = k;
        }
        live.resize(left);
    }
    const int k = live.front();
    const int frame = k * SpanCheck::Frames::Run + int(qCountTrailingZeroBits(kept[size_t(k)]));
    return std::min(frame, frames.count - 1); // the last block's fill is the last frame
}

} // namespace

SpanCheck::SpanCheck(const SearchCondition &condition, double factor)
    : c(condition), factor(factor),
      up((condition.kind == SearchCondition::NonDecreasing) == (factor > 0)),
      fixedSteps(steps(condition.tolerance / std::fabs(factor)))
{
}

void SpanCheck::filter(const FrameIndex::Series &series, int begin, int end,
                       std::vector<SignalCandidate> &candidates) const
{
    const int count = end - begin;
    if (count < 2)
        return; // nothing changed
    std::vector<char> held(candidates.size(), 0);
    std::vector<int> classes(ClassCount, -1);
    // The candidates of each window (all from byte 0 in frames of 8 bytes) over its words.
    std::vector<std::vector<size_t>> byBase(FrameIndex::MaxBytes);
    for (size_t i = 0; i < candidates.size(); ++i)
        byBase[candidates[i].base].push_back(i);
    std::vector<quint64> words;
    for (int base = 0; base < FrameIndex::MaxBytes; ++base) {
        if (byBase[size_t(base)].empty())
            continue;
        const quint64 *window = series.words.data() + begin; // the window from byte 0
        if (base > 0) {
            words.resize(size_t(count));
            for (int i = 0; i < count; ++i)
                words[size_t(i)] = series.window(begin + i, base);
            window = words.data();
        }
        filterWindow(window, count, candidates, byBase[size_t(base)], classes, held);
    }
    size_t kept = 0;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (held[i])
            candidates[kept++] = candidates[i];
    }
    candidates.resize(kept);
}

// The candidates of one window, whose words over the span are `words`: `held` tells of each.
void SpanCheck::filterWindow(const quint64 *words, int count,
                             const std::vector<SignalCandidate> &candidates,
                             const std::vector<size_t> &inWindow, std::vector<int> &classes,
                             std::vector<char> &held) const
{
    quint64 flipped = 0;
    for (int i = 1; i < count; ++i)
        flipped |= words[i] ^ words[i - 1];
    std::vector<Pending> intel;
    std::vector<Pending> motorola;
    const auto inMotorola = std::count_if(inWindow.begin(), inWindow.end(),
                                          [&](size_t i) { return candidates[i].motorola(); });
    intel.reserve(inWindow.size() - size_t(inMotorola));
    motorola.reserve(size_t(inMotorola));
    // Candidates whose bits above the highest that changes stay as they were read the same
    // value plus a constant over the span: they hold the same conditions, so the first of each
    // such class is checked for all of it. `classes` comes all -1 and is left so.
    std::vector<size_t> used;
    std::vector<std::pair<size_t, size_t>> alike; // a candidate and the one checked for it
    for (const size_t i : inWindow) {
        const SignalCandidate &k = candidates[i];
        const quint64 bits = k.valueMask() << k.shift;
        const quint64 live = (k.motorola() ? qbswap(flipped) : flipped) & bits;
        const int high = live ? 63 - qCountLeadingZeroBits(live) - k.shift : -1;
        const int top = k.shift + k.length - 1;
        if (live) {
            const bool signMoves = k.isSigned() && k.shift + high == top;
            const size_t key = size_t(
                ((int(k.motorola()) * 64 + k.shift) * 64 + k.shift + high) * 2 + int(signMoves));
            if (classes[key] >= 0) {
                alike.emplace_back(i, size_t(classes[key]));
                continue;
            }
            classes[key] = int(i);
            used.push_back(key);
        }
        // 2^(high + 1) - 1, as the double it rounds to
        const double reach = high >= 63 ? 0x1p64 : double((quint64(1) << (high + 1)) - 1);
        (k.motorola() ? motorola : intel).push_back(Pending{k, bits, top, live == 0, i, reach, 0});
    }
    std::vector<quint64> swapped;
    if (!motorola.empty()) {
        swapped.resize(size_t(count));
        for (int i = 0; i < count; ++i)
            swapped[size_t(i)] = qbswap(words[i]);
    }
    const bool ordered = c.kind != SearchCondition::ChangedAtMost;
    for (auto *list : {&intel, &motorola}) {
        if (list->empty())
            continue;
        const Frames frames(list == &intel ? words : swapped.data(), count);
        ordered ? monotone(frames, *list) : changes(frames, *list);
    }
    for (const auto *list : {&intel, &motorola}) {
        for (const Pending &p : *list)
            held[p.index] = p.held;
    }
    for (const auto &[candidate, checked] : alike)
        held[candidate] = held[checked];
    for (const size_t key : used)
        classes[key] = -1;
}

// Exactly in order first, all candidates in one pass; those that are not may still be within
// the tolerance, which each must show on its own.
void SpanCheck::monotone(const Frames &frames, std::vector<Pending> &pending) const
{
    const quint64 *words = frames.words;
    Failed unsignedFail{};
    Failed signedFail{};
    auto left = survivors(
        pending,
        [&](const Pending *p) {
            const Failed &fail = p->candidate.isSigned() ? signedFail : unsignedFail;
            return p->shift() < fail[size_t(p->top)];
        },
        8, c.tolerant() ? 64 : 1024);
    sweep(frames, left, [&](int i, quint64 changed) {
        markOrder(changed, changed & (up ? words[i - 1] : words[i]), unsignedFail, signedFail);
    });
    if (!c.tolerant())
        return;
    for (Pending &p : pending) {
        if (!p.held)
            p.held = monotoneWithin(frames, p);
    }
}

bool SpanCheck::monotoneWithin(const Frames &frames, const Pending &p) const
{
    const double allowed = c.percent ? 0 : c.tolerance / std::fabs(factor);
    const double share = c.tolerance / 100.0;
    if (!c.percent && p.reach <= allowed)
        return true; // it cannot dip further than it ranges
    // Raw values, turned round for "не возрастало" so that the rule is always "no deep dip".
    // Up to the frame where it left the order exactly, the highest value is the latest.
    const Wide sign = up ? 1 : -1;
    const SignalCandidate::Field read = p.reader();
    Wide best = sign * read(frames.words[p.clean]);
    Wide lowest = std::min(best, sign * read(frames.words[0]));
    Wide highest = best;
    Wide dip = 0;
    const double limit = c.percent ? share * p.reach : allowed;
    const bool within = frames.eachChange(p.bits, p.clean, [&](int i) {
        const Wide v = sign * read(frames.words[i]);
        best = std::max(best, v);
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
        dip = std::max(dip, best - v);
        return double(dip) <= limit + 1e-9;
    });
    return within && (!c.percent || double(dip) <= share * double(highest - lowest) + 1e-9);
}

// In one pass over the frames, all candidates exactly (one that changed no more than K times
// moved beyond any tolerance no more often either) and, with a tolerance, their upper parts.
// Then those that moved far too often are dropped; only the rest are read one by one.
void SpanCheck::changes(const Frames &frames, std::vector<Pending> &pending) const
{
    std::vector<Pending> counted = pending;
    for (size_t i = 0; i < counted.size(); ++i)
        counted[i].index = i;
    if (c.tolerant()) {
        for (const auto &parts : {upperParts(pending), noisyParts(pending)})
            counted.insert(counted.end(), parts.begin(), parts.end());
    }
    std::vector<char> noisy(pending.size(), 0);
    countParts(frames, counted, pending, noisy);
    if (c.tolerant() && c.percent) {
        // Each one's own tolerance once its range is known: the upper parts and the moves far
        // beyond it once more.
        measureRanges(frames, pending, noisy);
        std::vector<Pending> parts = upperParts(pending);
        const std::vector<Pending> far = noisyParts(pending, &noisy);
        parts.insert(parts.end(), far.begin(), far.end());
        countParts(frames, parts, pending, noisy);
    }
    if (c.tolerant())
        dropSteady(frames, pending, noisy);
    for (size_t i = 0; c.tolerant() && i < pending.size(); ++i) {
        // A tolerance below one raw step counts every change, as the exact pass did.
        if (!pending[i].held && !noisy[i] && maxSteps(pending[i]) > 0)
            pending[i].held = changesWithin(frames, pending[i]);
    }
}

// Counts `parts` (candidates, their upper parts, their far moves) in one pass: a candidate is
// held when it or an upper part of it held, out (`noisy`) when its far moves were too many.
void SpanCheck::countParts(const Frames &frames, std::vector<Pending> &parts,
                           std::vector<Pending> &pending, std::vector<char> &noisy) const
{
    countExactly(frames, parts);
    for (const Pending &k : parts) {
        if (k.skip)
            noisy[k.index] = noisy[k.index] || !k.held;
        else
            pending[k.index].held = pending[k.index].held || k.held;
    }
}

// Holds each candidate that changed no more than K times, counting as its `skip` says.
void SpanCheck::countExactly(const Frames &frames, std::vector<Pending> &pending) const
{
    // Running sums of each start bit's hits, made again for a start bit only when asked for
    // after frames were marked: thousands of candidates share 64 start bits.
    struct Counts
    {
        Hits hits{};
        Hits sums; // made before read
        std::array<int, 64> made{};
        int marked = 1;
    };
    std::unique_ptr<Counts> n(new Counts); // not make_unique: that would clear the sums too
    auto changed = [&n](const Pending *p) {
        const size_t shift = size_t(p->shift());
        auto &sum = n->sums[shift];
        if (n->made[shift] != n->marked) {
            std::partial_sum(n->hits[shift].begin(), n->hits[shift].end(), sum.begin());
            n->made[shift] = n->marked;
        }
        const int from = p->shift() + p->skip;
        return sum[size_t(p->top)] - (from > 0 ? sum[size_t(from - 1)] : 0);
    };
    // None can have changed more than K times before frame K + 1.
    auto left = survivors(
        pending, [&](const Pending *p) { return changed(p) > quint32(c.count); },
        std::max(8, c.count + 1), 1024);
    sweep(frames, left, [&](int, quint64 changed) {
        markChange(changed, left.shifts(), n->hits);
        ++n->marked;
    });
}

// The candidate without its lowest `bits` bits, standing for the one at `index`.
SpanCheck::Pending SpanCheck::upperPart(const Pending &p, int bits, size_t index)
{
    Pending u = p;
    u.candidate.shift = quint8(p.candidate.shift + bits);
    u.candidate.length = quint8(p.candidate.length - bits);
    u.bits = p.bits & (~quint64(0) << u.candidate.shift);
    u.index = index;
    return u;
}

// A move of more than `steps` raw steps, where 2^s <= steps + 1, changes the value without its
// lowest s bits; so a candidate whose upper part changed no more than K times moved beyond the
// tolerance no more often either. A slow value with a noisy last bit is held here, not read
// through its whole span.
std::vector<SpanCheck::Pending> SpanCheck::upperParts(const std::vector<Pending> &pending) const
{
    std::vector<Pending> uppers;
    uppers.reserve(pending.size());
    for (size_t i = 0; i < pending.size(); ++i) {
        const Pending &p = pending[i];
        // With a percentage, only once the range is known: a tolerance it has at least.
        if (p.held || (c.percent && p.range < 0))
            continue;
        const int s = partBits(maxSteps(p));
        if (s > 0 && p.candidate.length > s)
            uppers.push_back(upperPart(p, s, i));
    }
    return uppers;
}

// The low bits a move within `steps` raw steps can reach: s with 2^s <= steps + 1.
int SpanCheck::partBits(qint64 steps)
{
    return std::min(62, 63 - int(qCountLeadingZeroBits(quint64(steps) + 1)));
}

namespace {

// The frames holding the extreme values of every top bit and signedness, found when first asked
// for. The frame whose bits 0 .. t - 1 read as the largest number over all frames holds the
// largest of those bits within the frames of either value of bit t too, if its own bit t has that
// value: so of the unsigned and the signed extreme of top t, one is that of top t - 1.
class Extremes
{
public:
    explicit Extremes(const SpanCheck::Frames &frames) : frames(frames)
    {
        for (auto &top : at)
            top.fill(-1);
    }
    // The frame whose bits 0 .. top read as the largest (`most`) or least number.
    int frame(int top, bool isSigned, bool most)
    {
        if (top < 0)
            return 0;
        int &found = at[size_t(top)][size_t(isSigned) * 2 + size_t(most)];
        if (found < 0) {
            const int lower = frame(top - 1, false, most);
            const bool wanted = most != isSigned; // bit `top` of the extreme, if a frame has it
            const bool free = !((frames.changed() >> top) & 1) ||
                              bool((frames.words[lower] >> top) & 1) == wanted;
            found = free ? lower : extremeFrame(frames, top, isSigned, most, kept, live);
        }
        return found;
    }

private:
    const SpanCheck::Frames &frames;
    std::array<std::array<int, 4>, 64> at; // by top bit, then signedness and `most`
    std::vector<quint64> kept;
    std::vector<int> live;
};

} // namespace

// The spread of each candidate's raw values over the span, for all at once. Of the frames, the
// one whose bits 0 .. top read as the largest number holds the largest value of every candidate
// ending at that top (its higher bits decide first), and the same for the least; read signed,
// with the sign bit turned round. Those `out` are left out.
void SpanCheck::measureRanges(const Frames &frames, std::vector<Pending> &pending,
                              const std::vector<char> &out) const
{
    Extremes extremes(frames);
    for (size_t i = 0; i < pending.size(); ++i) {
        Pending &p = pending[i];
        if (p.held || out[i])
            continue;
        const bool isSigned = p.candidate.isSigned();
        const int most = extremes.frame(p.top, isSigned, true);
        const int least = extremes.frame(p.top, isSigned, false);
        p.range = double(Wide(p.value(frames.words[most])) - p.value(frames.words[least]));
    }
}

// The largest tolerance in whole raw steps a candidate can have: with a percentage, that of its
// range once known, else of the widest range its changing bits allow.
qint64 SpanCheck::maxSteps(const Pending &p) const
{
    if (!c.percent)
        return fixedSteps;
    return steps(c.tolerance / 100.0 * (p.range >= 0 ? p.range : p.reach));
}

// Whole raw steps within `allowed`: a move counts when it is more than this many.
qint64 SpanCheck::steps(double allowed)
{
    // Of a number not below zero, the whole part is its floor: no call into the maths library,
    // asked for millions of times.
    const double x = std::min(allowed + 1e-9, 9e18);
    return x >= 0 ? qint64(x) : qint64(std::floor(x));
}

// Two frames in a row whose values lie more than twice the tolerance apart make a change
// whatever level the value held. A change of the value without its lowest q bits, 2^q >= twice
// the tolerance, that leaves the lowest remaining bit as it was moves it that far, and those
// are counted for all candidates in one pass: one with more than K is out, unread. Tells
// which candidates are out.
std::vector<SpanCheck::Pending> SpanCheck::noisyParts(const std::vector<Pending> &pending,
                                                      const std::vector<char> *out) const
{
    std::vector<Pending> uppers;
    uppers.reserve(pending.size());
    for (size_t i = 0; i < pending.size(); ++i) {
        const Pending &p = pending[i];
        const qint64 within = maxSteps(p);
        if (p.held || (out && (*out)[i]) || within > (qint64(1) << 61))
            continue;
        // The least q with 2^q >= twice the tolerance.
        const int q = within == 0 ? 0 : 64 - int(qCountLeadingZeroBits(quint64(2 * within - 1)));
        if (p.candidate.length - q < 2)
            continue;
        uppers.push_back(upperPart(p, q, i));
        uppers.back().skip = 1;
        // Past a few times K frames, one not yet out changes too seldom for this to pay.
        uppers.back().followUntil = 8 * (c.count + 1);
    }
    return uppers;
}

// So do two frames `stride` apart: there was a change between them. A value moving in small
// steps, a counter say, is out after a pass over every stride-th frame when more than K
// stretches show it so; it would otherwise be read on its own until its K + 1st change.
void SpanCheck::dropSteady(const Frames &frames, const std::vector<Pending> &pending,
                           std::vector<char> &out) const
{
    // The two longest of these strides that leave more than K stretches, the shorter first: a
    // value moving in small steps shows at the longer ones, and a pass over every 4th frame
    // costs more than the reads it saves where a longer one can be made.
    std::vector<int> strides;
    for (int stride : {64, 16, 4}) {
        if ((frames.count - 1) / stride > c.count && strides.size() < 2)
            strides.insert(strides.begin(), stride);
    }
    if (strides.empty())
        return;
    // The same parts at every stride, but for those already out.
    std::vector<Pending> parts = noisyParts(pending, &out);
    for (const int stride : strides) {
        const int n = (frames.count - 1) / stride + 1;
        std::vector<quint64> words(size_t(n), 0);
        for (int k = 0; k < n; ++k)
            words[size_t(k)] = frames.words[size_t(k) * size_t(stride)];
        parts.erase(std::remove_if(parts.begin(), parts.end(),
                                   [&out](const Pending &u) { return out[u.index]; }),
                    parts.end());
        for (Pending &u : parts)
            u.held = false;
        countExactly(Frames(words.data(), n), parts);
        for (const Pending &u : parts)
            out[u.index] = out[u.index] || !u.held;
    }
}

// Moves within the tolerance of the level the value last changed to are not changes. With a
// percentage, of the span's own range (measureRanges() found it): counted from levels, a wider
// tolerance can make more changes, not fewer, so no other range stands in for it.
bool SpanCheck::changesWithin(const Frames &frames, const Pending &p) const
{
    if (!c.percent && p.reach <= c.tolerance / std::fabs(factor))
        return true;
    const qint64 within = maxSteps(p);
    if (p.candidate.length >= 63)
        return !movesTooOften<Wide>(frames, p, within) && countChanges<Wide>(frames, p, within);
    return !movesTooOften<qint64>(frames, p, within) && // differences fit
           countChanges<qint64>(frames, p, within);
}

// A stretch of frames over which the value moved more than twice the tolerance holds a change:
// without one the level stayed, and both ends lie within the tolerance of it. So a value that
// moves that far across more than K of K + 1 stretches as long as the span allows changed more
// than K times; read at the stretches' ends, a few frames tell it, not every change of a value
// that moves a little each frame, a counter say.
template<typename Difference>
bool SpanCheck::movesTooOften(const Frames &frames, const Pending &p, qint64 steps) const
{
    const qint64 stride = (qint64(frames.count) - 1) / (qint64(c.count) + 1);
    if (stride < 2 || steps > std::numeric_limits<qint64>::max() / 4)
        return false; // every frame would be read, or twice the tolerance would not fit
    const SignalCandidate::Field read = p.reader();
    int moved = 0;
    Difference before = read(frames.words[0]);
    for (qint64 i = stride; i < frames.count; i += stride) {
        const Difference after = read(frames.words[i]);
        moved += beyond(after - before, 2 * steps);
        before = after;
    }
    return moved > c.count;
}

// Without a branch on whether a move counts: that follows the data, not a pattern. The count is
// looked at once a run: one that is over K by then is over K.
template<typename Difference>
bool SpanCheck::countChanges(const Frames &frames, const Pending &p, qint64 steps) const
{
    const SignalCandidate::Field read = p.reader();
    qint64 level = read(frames.words[0]);
    int changed = 0;
    return frames.eachChangedRun(p.bits, [&](int first, quint64 hit) {
        for (; hit; hit &= hit - 1) {
            const qint64 v = read(frames.words[first + int(qCountTrailingZeroBits(hit))]);
            const bool moved = beyond(Difference(v) - level, steps);
            level = moved ? v : level;
            changed += moved;
        }
        return changed <= c.count;
    });
}
