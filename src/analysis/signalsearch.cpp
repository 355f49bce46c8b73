// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/signalsearch.h"

#include "analysis/candidateranking.h"
#include "analysis/coreworkers.h"
#include "analysis/frameindex.h"
#include "analysis/spancheck.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
    cycles.reserve(size_t(frames->seriesCount()));
    for (int s = 0; s < frames->seriesCount(); ++s)
        cycles.push_back(frames->at(s).cycle());
}

template<typename Visit>
void SignalSearch::enumerate(const FrameIndex &index, int series, int maxLength, Visit visit)
{
    if (index.at(series).minLength > 8) {
        enumerateWindows(series, index.at(series).minLength, maxLength, visit);
        return;
    }
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

// Long FD frames: each place once, in the window of eight bytes that starts at the byte holding
// its least significant bit (Intel) or its most significant bit (Motorola), or in the frame's
// last window when that byte lies in it. A place that fits no window (over 57 bits, not starting
// on a byte edge) is left out.
template<typename Visit>
void SignalSearch::enumerateWindows(int series, int bytes, int maxLength, Visit visit)
{
    SignalCandidate c;
    c.series = quint32(series);
    for (int base = 0; base + 8 <= bytes; ++base) {
        c.base = quint8(base);
        const bool last = base + 8 == bytes;
        for (int length = 1; length <= maxLength; ++length) {
            c.length = quint8(length);
            for (int shift = 0; shift + length <= 64; ++shift) {
                c.shift = quint8(shift);
                const bool intel = last || shift < 8;
                // Within one byte both orders read the same bits: Motorola only across bytes.
                const bool motorola =
                    (last || shift + length > 56) && shift / 8 != (shift + length - 1) / 8;
                for (quint8 sign : {quint8(0), quint8(SignalCandidate::Signed)}) {
                    if (sign && length == 1)
                        continue;
                    if (intel) {
                        c.flags = sign;
                        visit(c);
                    }
                    if (motorola) {
                        c.flags = quint8(sign | SignalCandidate::Motorola);
                        visit(c);
                    }
                }
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

// Whether a candidate holds a condition at one or two moments, given the frames there.
class Check
{
public:
    Check(const SignalSearch &search, const SearchCondition &condition)
        : search(search), c(condition)
    {
    }

    bool operator()(const SignalCandidate &k, quint64 first, quint64 second) const
    {
        using C = SearchCondition;
        const double v1 = search.physical(k, first);
        const double v2 = c.atMoment() ? v1 : search.physical(k, second);
        const double moved = std::max(std::fabs(v1), std::fabs(v2));
        switch (c.kind) {
        case C::Equal:
            return near(v1, c.a, c.allowance(c.a));
        case C::Between: {
            const double slack = c.allowance(c.b - c.a) + 1e-9;
            return v1 >= std::min(c.a, c.b) - slack && v1 <= std::max(c.a, c.b) + slack;
        }
        case C::Rose:
            return v2 - v1 > c.allowance(moved);
        case C::Fell:
            return v1 - v2 > c.allowance(moved);
        case C::Unchanged:
            return c.tolerant() ? near(v2, v1, c.allowance(moved)) : k.raw(first) == k.raw(second);
        case C::Changed:
            return c.tolerant() ? !near(v2, v1, c.allowance(moved)) : k.raw(first) != k.raw(second);
        case C::ChangedBy:
            return near(v2 - v1, c.a, c.allowance(c.a));
        default:
            return false;
        }
    }

private:
    const SignalSearch &search;
    const SearchCondition &c;
};

} // namespace

// The span's frames: from the one that tells the value at its start to the last within it.
bool SignalSearch::spanOf(int series, const SearchCondition &c, int *begin, int *end) const
{
    const FrameIndex::Series &s = frames->at(series);
    *begin = s.frameNear(c.first, cycles[size_t(series)]);
    if (*begin < 0)
        *begin = s.span(c.first, c.second).first;
    *end = s.frameAt(c.second) + 1;
    return *end - *begin >= 1;
}

void SignalSearch::keep(int series, const SearchCondition &c,
                        std::vector<SignalCandidate> &batch) const
{
    const FrameIndex::Series &s = frames->at(series);
    if (c.overSpan()) {
        int begin = 0;
        int end = 0;
        if (spanOf(series, c, &begin, &end))
            SpanCheck(c, opts.factor).filter(s, begin, end, batch);
        return;
    }
    const int i = s.frameNear(c.first, cycles[size_t(series)]);
    const int j = c.atMoment() ? i : s.frameNear(c.second, cycles[size_t(series)]);
    if (i < 0 || j < 0)
        return; // no frame near a moment: nothing to judge the candidates by
    const Check holds(*this, c);
    if (s.minLength > 8) { // candidates in windows of long FD frames
        batch.erase(std::remove_if(batch.begin(), batch.end(),
                                   [&](const SignalCandidate &k) {
                                       return !holds(k, s.window(i, k.base), s.window(j, k.base));
                                   }),
                    batch.end());
        return;
    }
    const quint64 first = s.words[size_t(i)];
    const quint64 second = s.words[size_t(j)];
    batch.erase(std::remove_if(batch.begin(), batch.end(),
                               [&](const SignalCandidate &k) { return !holds(k, first, second); }),
                batch.end());
}

SignalSearch::Step SignalSearch::prepare(const SearchCondition &condition,
                                         const std::atomic_bool *cancel,
                                         const Progress &progress) const
{
    // Each identifier's candidates are a piece of their own; the pieces' results are joined in
    // the order of the identifiers, however the cores shared them.
    const int total = frames->seriesCount();
    // Each piece's candidates of the last step.
    const std::vector<std::pair<size_t, size_t>> held =
        history.empty() ? std::vector<std::pair<size_t, size_t>>() : byIdentifier(history.back());
    std::vector<int> series;
    for (int s = 0; history.empty() && s < total; ++s) {
        if (searched(s))
            series.push_back(s);
    }
    for (const auto &[first, end] : held)
        series.push_back(int(history.back()[first].series));
    std::vector<std::vector<SignalCandidate>> kept(series.size());
    std::vector<SampledFlips> flips(history.empty() && sampled.empty() ? size_t(total) : 0);
    auto piece = [&](int k) {
        if (!flips.empty())
            flips[size_t(series[size_t(k)])] =
                CandidateRanking::sample(frames->at(series[size_t(k)]));
        std::vector<SignalCandidate> &batch = kept[size_t(k)];
        if (held.empty()) {
            enumerate(*frames, series[size_t(k)], opts.maxLength,
                      [&batch](const SignalCandidate &c) { batch.push_back(c); });
        } else {
            const auto first = history.back().begin();
            batch.assign(first + qint64(held[size_t(k)].first),
                         first + qint64(held[size_t(k)].second));
        }
        keep(series[size_t(k)], condition, batch);
        batch.shrink_to_fit();
    };
    // Progress counts identifiers, as the user sees them.
    auto told = [&](int done) {
        if (progress)
            progress(done < int(series.size()) ? series[size_t(done)] : total, total);
    };
    told(0);
    if (!CoreWorkers(opts.threads).run(int(series.size()), piece, cancel, told))
        return Step{condition, {}, true, {}};
    if (progress)
        progress(total, total);
    return Step{condition, joined(kept), false, std::move(flips)};
}

std::vector<std::pair<size_t, size_t>>
SignalSearch::byIdentifier(const std::vector<SignalCandidate> &candidates)
{
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0, j = 0; i < candidates.size(); i = j) {
        while (j < candidates.size() && candidates[j].series == candidates[i].series)
            ++j;
        runs.emplace_back(i, j);
    }
    return runs;
}

std::vector<SignalCandidate> SignalSearch::joined(std::vector<std::vector<SignalCandidate>> &parts)
{
    size_t size = 0;
    for (const auto &part : parts)
        size += part.size();
    std::vector<SignalCandidate> all;
    all.reserve(size);
    for (auto &part : parts) {
        all.insert(all.end(), part.begin(), part.end());
        std::vector<SignalCandidate>().swap(part);
    }
    return all;
}

void SignalSearch::commit(Step step)
{
    if (step.cancelled)
        return;
    history.push_back(std::move(step.kept));
    applied.push_back(step.condition);
    if (!step.flips.empty())
        sampled = std::move(step.flips);
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

bool SignalSearch::rawValue(const SignalCandidate &candidate, qint64 time, qint64 *raw) const
{
    const FrameIndex::Series &s = frames->at(int(candidate.series));
    const int i = s.frameNear(time, cycles[candidate.series]);
    if (i < 0)
        return false;
    *raw = candidate.raw(s.window(i, candidate.base));
    return true;
}

bool SignalSearch::value(const SignalCandidate &candidate, qint64 time, double *value) const
{
    qint64 raw = 0;
    if (!rawValue(candidate, time, &raw))
        return false;
    *value = double(raw) * opts.factor + opts.offset;
    return true;
}

bool SignalSearch::fitScale(const SignalCandidate &candidate, qint64 first, double firstValue,
                            qint64 second, double secondValue, double *factor, double *offset) const
{
    qint64 r1 = 0;
    qint64 r2 = 0;
    if (!rawValue(candidate, first, &r1) || !rawValue(candidate, second, &r2) || r1 == r2)
        return false;
    *factor = (secondValue - firstValue) / double(r2 - r1);
    *offset = firstValue - *factor * double(r1);
    return std::isfinite(*factor) && std::isfinite(*offset);
}

const std::vector<SignalCandidate> &SignalSearch::held() const
{
    static const std::vector<SignalCandidate> none;
    return history.empty() ? none : history.back();
}

double SignalSearch::Result::information() const
{
    return distinct > 1 ? std::log2(double(distinct)) : 0.0;
}

std::vector<SignalSearch::Result> SignalSearch::results(int limit, const KnownBits &known) const
{
    return CandidateRanking(*this, known).rows(limit);
}

SignalSearch::Result SignalSearch::describe(const SignalCandidate &candidate,
                                            const KnownBits &known) const
{
    return CandidateRanking(*this, known).row(candidate);
}
