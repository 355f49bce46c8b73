// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/searchcondition.h"
#include "analysis/signalcandidate.h"

#include <QHash>
#include <QVector>
#include <atomic>
#include <functional>
#include <memory>
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
    };

    struct Step
    {
        SearchCondition condition;
        std::vector<SignalCandidate> kept;
        bool cancelled = false;
    };

    // What the results table shows of one candidate.
    struct Result
    {
        SignalCandidate candidate;
        quint32 id = 0;
        bool extended = false;
        QVector<double> values; // at each of moments(), NaN where the identifier had no frame yet
        double roughness = 0;   // mean step over the value's range: 0 smooth, 1 constant or noise
        int jumps = 0;          // steps over half the value's range (wraps of a cut field)
        bool deadLsb = false;   // its lowest bit never changes: the field starts too low
        int overlaps = 0;       // bits shared with known signals
    };

    // Called now and then with the identifiers done and their number.
    using Progress = std::function<void(int done, int total)>;
    // Bits of known signals per FrameIndex::key, in the frame's little-endian data word.
    using KnownBits = QHash<quint64, quint64>;

    // Results are ranked when no more candidates than this are left.
    static constexpr int RankLimit = 20000;

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

    // Physical value of a candidate at a moment; false when its identifier had no frame yet.
    bool value(const SignalCandidate &candidate, qint64 time, double *value) const;
    double physical(const SignalCandidate &candidate, quint64 word) const
    {
        return double(candidate.raw(word)) * opts.factor + opts.offset;
    }
    // The plausible first: fewer overlaps with known signals, a lowest bit that moves, smooth
    // before rough, fewer wraps, fewer bits.
    std::vector<Result> results(int limit, const KnownBits &known = {}) const;

    static quint64 countAll(const FrameIndex &index, const Options &options);

private:
    struct Probe;

    template<typename Visit>
    static void enumerate(const FrameIndex &index, int series, int maxLength, Visit visit);
    bool searched(int series) const;
    void shape(Result *result) const;

    std::shared_ptr<const FrameIndex> frames;
    Options opts;
    std::vector<std::vector<SignalCandidate>> history; // back(): the candidates now held
    std::vector<SearchCondition> applied;
};
