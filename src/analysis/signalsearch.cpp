// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/signalsearch.h"

#include "analysis/frameindex.h"

#include <algorithm>
#include <cmath>
#include <limits>

// What a condition needs of one identifier, worked out once for all of its candidates.
struct SignalSearch::Probe
{
    bool atFirst = false;
    bool atSecond = false;
    quint64 first = 0;
    quint64 second = 0;
    int begin = 0; // the span's frames, the last one before it included
    int end = 0;
    quint64 flipped = 0;                        // bits that changed over the span
    std::vector<std::pair<quint64, int>> diffs; // changed bits of each change, counted

    void load(const FrameIndex::Series &s, const SearchCondition &c)
    {
        const int i = s.frameAt(c.first);
        atFirst = i >= 0;
        first = atFirst ? s.words[size_t(i)] : 0;
        const int j = s.frameAt(c.second);
        atSecond = j >= 0;
        second = atSecond ? s.words[size_t(j)] : 0;
        if (!c.overSpan())
            return;
        begin = std::max(0, i);
        end = j + 1;
        flipped = 0;
        diffs.clear();
        for (int k = begin + 1; k < end; ++k) {
            const quint64 d = s.words[size_t(k)] ^ s.words[size_t(k - 1)];
            flipped |= d;
            if (d && c.kind == SearchCondition::ChangedAtMost)
                diffs.emplace_back(d, 1);
        }
        countDiffs();
    }

    void countDiffs()
    {
        if (diffs.empty())
            return;
        std::sort(diffs.begin(), diffs.end());
        size_t out = 0;
        for (size_t k = 1; k < diffs.size(); ++k) {
            if (diffs[k].first == diffs[out].first)
                ++diffs[out].second;
            else
                diffs[++out] = diffs[k];
        }
        diffs.resize(out + 1);
    }
};

namespace {

bool near(double value, double target, double tolerance)
{
    return std::fabs(value - target) <= tolerance + 1e-9 * std::max(1.0, std::fabs(target));
}

} // namespace

SignalSearch::SignalSearch(std::shared_ptr<const FrameIndex> index)
    : SignalSearch(std::move(index), Options())
{
}

SignalSearch::SignalSearch(std::shared_ptr<const FrameIndex> index, const Options &options)
    : frames(std::move(index)), opts(options)
{
    opts.maxLength = qBound(1, opts.maxLength, 64);
    if (opts.factor == 0)
        opts.factor = 1;
}

template<typename Visit>
void SignalSearch::enumerate(const FrameIndex &index, int series, int maxLength, Visit visit)
{
    const int bits = index.at(series).minLength * 8;
    SignalCandidate c;
    c.series = quint32(series);
    for (int length = 1; length <= std::min(maxLength, bits); ++length) {
        c.length = quint8(length);
        for (int shift = 0; shift + length <= bits; ++shift) {
            c.shift = quint8(shift);
            for (quint8 sign : {quint8(0), quint8(SignalCandidate::Signed)}) {
                if (sign && length == 1)
                    continue;
                c.flags = sign;
                visit(c);
                // Within one byte both orders read the same bits: Motorola only across bytes.
                const int beShift = 64 - bits + shift;
                if (beShift / 8 == (beShift + length - 1) / 8)
                    continue;
                SignalCandidate m = c;
                m.shift = quint8(beShift);
                m.flags = quint8(sign | SignalCandidate::Motorola);
                visit(m);
            }
        }
    }
}

bool SignalSearch::searched(int series) const
{
    if (opts.ids.isEmpty())
        return true;
    const FrameIndex::Series &s = frames->at(series);
    return opts.ids.contains(FrameIndex::key(s.id, s.extended));
}

quint64 SignalSearch::countAll(const FrameIndex &index, const Options &options)
{
    SignalSearch search(std::shared_ptr<const FrameIndex>(&index, [](const FrameIndex *) {}),
                        options);
    quint64 count = 0;
    for (int s = 0; s < index.seriesCount(); ++s) {
        if (search.searched(s))
            enumerate(index, s, search.opts.maxLength,
                      [&count](const SignalCandidate &) { ++count; });
    }
    return count;
}

quint64 SignalSearch::remaining() const
{
    return history.empty() ? countAll(*frames, opts) : history.back().size();
}

QVector<qint64> SignalSearch::moments() const
{
    QVector<qint64> times;
    for (const SearchCondition &c : applied) {
        times.append(c.first);
        if (!c.atMoment())
            times.append(c.second);
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

namespace {

// Whether the candidate holds the condition on the identifier's frames the probe looked at.
class Check
{
public:
    Check(const SignalSearch &search, const SearchCondition &condition)
        : search(search), c(condition)
    {
    }

    template<typename ProbeT>
    bool operator()(const SignalCandidate &k, const ProbeT &p, const FrameIndex::Series &s) const
    {
        using C = SearchCondition;
        if (c.overSpan())
            return p.atSecond && overSpan(k, p, s);
        if (!p.atFirst || (!c.atMoment() && !p.atSecond))
            return false;
        const double v1 = search.physical(k, p.first);
        switch (c.kind) {
        case C::Equal:
            return near(v1, c.a, c.tolerance);
        case C::Between:
            return v1 >= std::min(c.a, c.b) - 1e-9 && v1 <= std::max(c.a, c.b) + 1e-9;
        case C::Rose:
            return search.physical(k, p.second) > v1;
        case C::Fell:
            return search.physical(k, p.second) < v1;
        case C::Unchanged:
            return k.raw(p.second) == k.raw(p.first);
        case C::Changed:
            return k.raw(p.second) != k.raw(p.first);
        case C::ChangedBy:
            return near(search.physical(k, p.second) - v1, c.a, c.tolerance);
        default:
            return false;
        }
    }

private:
    template<typename ProbeT>
    bool overSpan(const SignalCandidate &k, const ProbeT &p, const FrameIndex::Series &s) const
    {
        const quint64 bits = k.frameBits();
        if (!(bits & p.flipped))
            return true; // it never changed
        if (c.kind == SearchCondition::ChangedAtMost) {
            int changes = 0;
            for (const auto &d : p.diffs) {
                if ((d.first & bits) && (changes += d.second) > c.count)
                    return false;
            }
            return true;
        }
        // A positive factor keeps the order of the raw values, a negative one turns it round.
        const bool up = (c.kind == SearchCondition::NonDecreasing) == (search.options().factor > 0);
        const quint64 *words = s.words.data();
        qint64 previous = k.raw(words[p.begin]);
        for (int i = p.begin + 1; i < p.end; ++i) {
            const qint64 v = k.raw(words[i]);
            if (up ? v < previous : v > previous)
                return false;
            previous = v;
        }
        return true;
    }

    const SignalSearch &search;
    const SearchCondition &c;
};

} // namespace

SignalSearch::Step SignalSearch::prepare(const SearchCondition &condition,
                                         const std::atomic_bool *cancel,
                                         const Progress &progress) const
{
    Step step;
    step.condition = condition;
    const Check holds(*this, condition);
    Probe probe;
    const int total = frames->seriesCount();
    auto stopped = [&](int done) {
        if (progress)
            progress(done, total);
        return cancel && cancel->load(std::memory_order_relaxed);
    };
    if (history.empty()) {
        for (int s = 0; s < total; ++s) {
            if ((s & 15) == 0 && stopped(s))
                return Step{condition, {}, true};
            if (!searched(s))
                continue;
            const FrameIndex::Series &series = frames->at(s);
            probe.load(series, condition);
            enumerate(*frames, s, opts.maxLength, [&](const SignalCandidate &c) {
                if (holds(c, probe, series))
                    step.kept.push_back(c);
            });
        }
    } else {
        int loaded = -1;
        for (const SignalCandidate &c : history.back()) {
            if (int(c.series) != loaded) {
                loaded = int(c.series);
                if (stopped(loaded))
                    return Step{condition, {}, true};
                probe.load(frames->at(loaded), condition);
            }
            if (holds(c, probe, frames->at(loaded)))
                step.kept.push_back(c);
        }
    }
    if (progress)
        progress(total, total);
    step.kept.shrink_to_fit();
    return step;
}

void SignalSearch::commit(Step step)
{
    if (step.cancelled)
        return;
    history.push_back(std::move(step.kept));
    applied.push_back(step.condition);
}

quint64 SignalSearch::narrow(const SearchCondition &condition)
{
    commit(prepare(condition));
    return remaining();
}

void SignalSearch::undo()
{
    if (history.empty())
        return;
    history.pop_back();
    applied.pop_back();
}

void SignalSearch::restart()
{
    history.clear();
    applied.clear();
}

bool SignalSearch::value(const SignalCandidate &candidate, qint64 time, double *value) const
{
    const FrameIndex::Series &s = frames->at(int(candidate.series));
    const int i = s.frameAt(time);
    if (i < 0)
        return false;
    *value = physical(candidate, s.words[size_t(i)]);
    return true;
}

void SignalSearch::shape(Result *result) const
{
    constexpr int Samples = 512;
    const SignalCandidate &candidate = result->candidate;
    const FrameIndex::Series &s = frames->at(int(candidate.series));
    const int n = s.size();
    const int stride = std::max(1, n / Samples);
    std::vector<qint64> values;
    values.reserve(size_t(n / stride + 1));
    for (int i = 0; i < n; i += stride)
        values.push_back(candidate.raw(s.words[size_t(i)]));
    const auto range = std::minmax_element(values.begin(), values.end());
    const double span = double(*range.second) - double(*range.first);
    double steps = 0;
    for (size_t i = 1; i < values.size(); ++i) {
        const double step = std::fabs(double(values[i]) - double(values[i - 1]));
        steps += step;
        result->jumps += step > span / 2;
    }
    result->roughness = span == 0 || values.size() < 2
                            ? 1.0
                            : std::min(1.0, steps / double(values.size() - 1) / span);
    SignalCandidate lowest = candidate;
    lowest.length = 1;
    if (candidate.motorola())
        lowest.flags = SignalCandidate::Motorola;
    const quint64 bit = lowest.frameBits();
    bool moved = false;
    for (int i = 1; i < n && !moved; ++i)
        moved = (s.words[size_t(i)] ^ s.words[size_t(i - 1)]) & bit;
    result->deadLsb = !moved;
}

std::vector<SignalSearch::Result> SignalSearch::results(int limit, const KnownBits &known) const
{
    std::vector<Result> rows;
    if (history.empty())
        return rows;
    const std::vector<SignalCandidate> &held = history.back();
    const size_t count = std::min(held.size(), size_t(RankLimit));
    const QVector<qint64> times = moments();
    rows.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        Result r;
        r.candidate = held[i];
        const FrameIndex::Series &s = frames->at(int(r.candidate.series));
        r.id = s.id;
        r.extended = s.extended;
        r.overlaps = qPopulationCount(r.candidate.frameBits() &
                                      known.value(FrameIndex::key(s.id, s.extended)));
        shape(&r);
        for (qint64 t : times) {
            double v = std::numeric_limits<double>::quiet_NaN();
            value(r.candidate, t, &v);
            r.values.append(v);
        }
        rows.push_back(std::move(r));
    }
    auto rank = [](const Result &r) {
        const SignalCandidate &c = r.candidate;
        return std::make_tuple(r.overlaps, r.deadLsb, r.roughness < 0.05 ? 0 : 1, r.jumps, c.length,
                               r.roughness, c.isSigned(), c.motorola(), r.id, c.shift);
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&rank](const Result &a, const Result &b) { return rank(a) < rank(b); });
    if (limit >= 0 && rows.size() > size_t(limit))
        rows.resize(size_t(limit));
    return rows;
}
