// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/frameindex.h"
#include "analysis/searchcondition.h"
#include "analysis/signalcandidate.h"

#include <vector>

// Which candidates of one identifier hold a condition over a span of its frames ("не убывало",
// "не возрастало", "менялось не больше K раз"). A span covers thousands of frames and an
// identifier thousands of candidates, so the candidates are checked together where they can be:
// whether a value stayed in order over a pair of frames depends only on the highest bit that
// changed within it, so one pass over the frames settles every start bit and length at once,
// and the bits of candidates already dropped are no longer looked at.
class SpanCheck final
{
public:
    // `factor` of the search: a negative one turns the order of raw values round.
    SpanCheck(const SearchCondition &condition, double factor);

    // Leaves in `candidates` (all of the series) those that hold over frames begin .. end - 1,
    // the first of which is the value the span starts from.
    void filter(const FrameIndex::Series &series, int begin, int end,
                std::vector<SignalCandidate> &candidates) const;

    struct Pending;
    struct Frames;

private:
    // Classes of alike candidates, by byte order, start bit, highest changing bit and whether
    // that is the sign bit.
    static constexpr size_t ClassCount = 2 * 64 * 64 * 2;

    void filterWindow(const quint64 *words, int count,
                      const std::vector<SignalCandidate> &candidates,
                      const std::vector<size_t> &inWindow, std::vector<int> &classes,
                      std::vector<char> &held) const;
    void monotone(const Frames &frames, std::vector<Pending> &pending) const;
    bool monotoneWithin(const Frames &frames, const Pending &p) const;
    void changes(const Frames &frames, std::vector<Pending> &pending) const;
    void countParts(const Frames &frames, std::vector<Pending> &parts,
                    std::vector<Pending> &pending, std::vector<char> &noisy) const;
    void countExactly(const Frames &frames, std::vector<Pending> &pending) const;
    static Pending upperPart(const Pending &p, int bits, size_t index);
    std::vector<Pending> upperParts(const std::vector<Pending> &pending) const;
    std::vector<Pending> noisyParts(const std::vector<Pending> &pending,
                                    const std::vector<char> *out = nullptr) const;
    void dropSteady(const Frames &frames, const std::vector<Pending> &pending,
                    std::vector<char> &out) const;
    static int partBits(qint64 steps);
    void measureRanges(const Frames &frames, std::vector<Pending> &pending,
                       const std::vector<char> &out) const;
    qint64 maxSteps(const Pending &p) const;
    static qint64 steps(double allowed);
    bool changesWithin(const Frames &frames, const Pending &p) const;
    template<typename Difference>
    bool countChanges(const Frames &frames, const Pending &p, qint64 steps) const;
    template<typename Difference>
    bool movesTooOften(const Frames &frames, const Pending &p, qint64 steps) const;

    SearchCondition c;
    double factor;
    bool up;           // raw values must not fall (else: must not rise)
    qint64 fixedSteps; // the tolerance in whole raw steps, when it is not a percentage
};
