// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/framemask.h"
#include "analysis/searchcondition.h"
#include "analysis/signalcandidate.h"

#include <QHash>
#include <QVector>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class FrameIndex;

// Finds a signal by what its value did, the way a memory scanner finds a variable: every place
// a value could lie in the frames of every identifier is a candidate, and each step keeps those
// that hold a condition. Steps can be undone, and the search started over.
//
// A step is worked out by prepare(), which only reads the search and may run on a thread of its
// own while nothing else changes the search; commit() then makes it the current state.
class SignalSearch final
{
public:
    struct Options
    {
        int maxLength = 32; // up to 64
        double factor = 1;  // physical = raw * factor + offset
        double offset = 0;
        QVector<quint64> ids; // FrameIndex::key of the identifiers to search; empty: all
        int threads = 0;      // that share a step's identifiers; 0: one per core
    };

    // How often each bit of an identifier's frames changed over pairs of frames spread evenly
    // over them: what the ranking weighs a field's shape by. It does not depend on the steps, so
    // the first step works it out for every identifier it searches, once.
    struct SampledFlips
    {
        bool made = false;
        int pairs = 0;
        std::array<int, 64> flips{}; // of bytes 0..7
        std::vector<int> wideFlips;  // long FD frames: of every bit, bytes 8.. included
        // The data of frame 0 and of the two frames of each pair, `wordsPerFrame` words a frame
        // (bytes 0..7, then 8..15 and on): what the ranking's first look reads.
        std::vector<quint64> words;
        int wordsPerFrame = 1;
    };

    struct Step
    {
        SearchCondition condition;
        std::vector<SignalCandidate> kept;
        bool cancelled = false;
        std::vector<SampledFlips> flips; // per series, from the first step
    };

    // What the results table shows of one field: a candidate with the narrower forms of it folded
    // in (candidates of the identifier over its bits that held every condition as well).
    struct Result
    {
        SignalCandidate candidate;
        quint32 id = 0;
        bool extended = false;
        QVector<double> values; // at each of moments(), NaN where no frame was near
        double roughness = 0;   // mean change over the value's range, over frames where it changed
        int jumps = 0;          // changes over half the value's range (wraps of a cut field)
        int cuts = 0;           // wraps of its part below a nibble or byte edge with no carry
        bool deadLsb = false;   // its lowest bit never changes: the field starts too low
        bool coherent = true;   // no bit changes far more often than the one below it
        int overlaps = 0;       // bits shared with known signals
        int distinct = 0;       // values seen (in up to a few thousand frames spread over the log)
        double used = 0;        // share of its range the values cover
        std::vector<SignalCandidate> forms; // folded in, widest first

        // Bits of information its values carry: log2 of the values seen.
        double information() const;
    };

    // Called now and then with the identifiers done and their number.
    using Progress = std::function<void(int done, int total)>;
    // Bits of known signals per FrameIndex::key.
    using KnownBits = QHash<quint64, FrameMask>;

    explicit SignalSearch(std::shared_ptr<const FrameIndex> index);
    SignalSearch(std::shared_ptr<const FrameIndex> index, const Options &options);

    const FrameIndex &index() const { return *frames; }
    const Options &options() const { return opts; }
    quint64 remaining() const;
    int steps() const { return int(history.size()); }
    const std::vector<SearchCondition> &conditions() const { return applied; }
    // The moments the conditions named, ascending and each once.
    QVector<qint64> moments() const;

    Step prepare(const SearchCondition &condition, const std::atomic_bool *cancel = nullptr,
                 const Progress &progress = {}) const;
    // A cancelled step changes nothing.
    void commit(Step step);
    quint64 narrow(const SearchCondition &condition);
    void undo();
    void restart();

    // Physical value of a candidate at a moment; false when its identifier had no frame near it
    // ("нет кадров рядом": none within three of its cycles).
    bool value(const SignalCandidate &candidate, qint64 time, double *value) const;
    bool rawValue(const SignalCandidate &candidate, qint64 time, qint64 *raw) const;
    // The identifier's usual time between frames.
    qint64 cycle(int series) const { return cycles[size_t(series)]; }
    // Null until a first step worked them out.
    const SampledFlips *sampledFlips(int series) const
    {
        return size_t(series) < sampled.size() && sampled[size_t(series)].made
                   ? &sampled[size_t(series)]
                   : nullptr;
    }
    // The factor and offset that map the candidate's raw values at two moments to the values
    // given ("Подобрать масштаб"); false when it had no frame near either, or the same value.
    bool fitScale(const SignalCandidate &candidate, qint64 first, double firstValue, qint64 second,
                  double secondValue, double *factor, double *offset) const;
    double physical(const SignalCandidate &candidate, quint64 word) const
    {
        return double(candidate.raw(word)) * opts.factor + opts.offset;
    }
    // The fields the candidates left make, the plausible first (see CandidateRanking); at most
    // `limit` of them, all for -1.
    std::vector<Result> results(int limit, const KnownBits &known = {}) const;
    // One candidate as a row of its own (a form of a field, say), nothing folded in.
    Result describe(const SignalCandidate &candidate, const KnownBits &known = {}) const;
    // The candidates held now, grouped by identifier.
    const std::vector<SignalCandidate> &held() const;
    // Where each identifier's candidates begin and end in candidates grouped by identifier.
    static std::vector<std::pair<size_t, size_t>>
    byIdentifier(const std::vector<SignalCandidate> &candidates);

    static quint64 countAll(const FrameIndex &index, const Options &options);

private:
    template<typename Visit>
    static void enumerate(const FrameIndex &index, int series, int maxLength, Visit visit);
    template<typename Visit>
    static void enumerateWindows(int series, int bytes, int maxLength, Visit visit);
    bool searched(int series) const;
    // Drops from `batch` (candidates of one identifier) those that fail the condition.
    void keep(int series, const SearchCondition &condition,
              std::vector<SignalCandidate> &batch) const;
    static std::vector<SignalCandidate> joined(std::vector<std::vector<SignalCandidate>> &parts);
    bool spanOf(int series, const SearchCondition &condition, int *begin, int *end) const;

    std::shared_ptr<const FrameIndex> frames;
    Options opts;
    std::vector<qint64> cycles;                        // per series
    std::vector<SampledFlips> sampled;                 // per series, once a first step ran
    std::vector<std::vector<SignalCandidate>> history; // back(): the candidates now held
    std::vector<SearchCondition> applied;
};
