// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/frameindex.h"
#include "analysis/signalsearch.h"

#include <array>
#include <vector>

class CoreWorkers;

// Turns the candidates a search left into rows of fields, the plausible first.
//
// A field leaves a crowd of candidates behind: its slices, its twin read signed, its reading with
// constant bits beside it. Candidates of one identifier whose changing bits lie within those of a
// wider one that held as well fold into it; the wider one shows, with the others a click away.
// Of candidates over the same changing bits the one ending on a byte edge (else a nibble edge)
// and then the shortest shows: a 16-bit engine speed below 2,048 rpm, not its low 11 bits.
//
// After a broad step an identifier makes many rows: each is looked at only as far as needed to
// tell whether it can still be among those shown, and the forms beneath a row are listed only for
// the rows shown. The rows shown are the same as if every row had been measured.
//
// Rows then rank by: overlaps with known signals; whether the value is a field at all (every bit
// changes no more than about twice as often as the one below it, and its lowest bit changes); how
// smooth it is over the frames where it changes; how much information it carries.
class CandidateRanking final
{
public:
    CandidateRanking(const SignalSearch &search, const SignalSearch::KnownBits &known);

    std::vector<SignalSearch::Result> rows(int limit);
    SignalSearch::Result row(const SignalCandidate &candidate);
    // The identifier's bits' changes over SampledPairs pairs of its frames.
    static SignalSearch::SampledFlips sample(const FrameIndex::Series &frames);

    // Pairs of frames looked at to judge a field's shape, spread over its identifier's frames:
    // a first look at every row, a closer one at those that may be shown (the rare wrap of a
    // cut field is seen only there); and the bits of every identifier.
    static constexpr int GlancedPairs = 256;
    static constexpr int ClosePairs = 8192;
    static constexpr int SampledPairs = 256;
    // Values taken for the count of distinct ones.
    static constexpr int DistinctSamples = 1024;
    // Rows of one identifier measured while folding; more are outlined first.
    static constexpr size_t MeasuredAtOnce = 4;

private:
    // A window's bits by a value's bit position p (its start bit plus j), in one byte order:
    // which change, and where bit p changes at most about twice as often as bit p - 1.
    struct Shape
    {
        bool known = false;
        quint64 moving = 0;
        quint64 steady = 0;
        std::array<quint8, 65> movingBelow{}; // moving bits below p, for p = 0 .. 64
    };
    struct Series
    {
        quint64 flipped = 0; // bits of bytes 0..7 that ever changed
        // The search's, or made here when it has none.
        const SignalSearch::SampledFlips *sampled = nullptr;
        SignalSearch::SampledFlips own;
        std::vector<int> near; // its frame at each moment of the search, -1 for none near
        // Per window (byte `base` on) and byte order, made when first asked for.
        mutable std::vector<std::array<Shape, 2>> shapes;
        // Its candidates, and the row of the identifier's each went to, of `rows`.
        const SignalCandidate *first = nullptr;
        std::vector<quint32> rowOf;
        size_t rows = 0;
        bool known = false;
    };
    // What the traits of candidates in one window read.
    struct Window
    {
        quint64 flipped;
        const int *flips; // of the window's bit 0
    };
    // Made by the thousand per identifier: left unset until traits() fills it in.
    struct Traits
    {
        quint64 live; // its frame bits that ever changed (in its window)
        quint8 liveCount;
        bool deadLsb;
        bool coherent;
        quint8 topEdge; // 0 a byte edge above its top bit, 1 a nibble edge, 2 neither
    };
    // A signed candidate left out of the order, and its unsigned twin.
    using Twin = std::pair<size_t, size_t>;

    // How far a row was looked at while folding, and whether its signed twin held too.
    enum Look : char { Described = 0, Outlined = 1, Measured = 2, LookMask = 3, HasTwin = 4 };

    const Series &analyse(int series);
    Window window(const SignalCandidate &c, const Series &s) const;
    const Shape &shape(const SignalCandidate &c, const Series &s) const;
    Traits traits(const SignalCandidate &c, const Series &s) const;
    static Traits traits(const SignalCandidate &c, const Window &w, const Shape &shape);
    std::vector<quint64> order(const SignalCandidate *first, size_t n, const Series &s,
                               std::vector<Twin> &twins, Traits *t) const;
    void fold(const SignalCandidate *first, const SignalCandidate *last,
              std::vector<SignalSearch::Result> &out, std::vector<char> &looks);
    static std::vector<size_t> place(const std::vector<quint64> &order,
                                     const SignalCandidate *first, const Traits *t, bool oneWindow,
                                     std::vector<quint32> &rowOf);
    Look lookAt(SignalSearch::Result &r, const Traits &head, bool twin, bool full,
                const Series &s) const;
    static quint32 orderKey(const SignalCandidate &c, const Traits &t);
    void sortForms(SignalSearch::Result &r) const;
    void fillForms(std::vector<SignalSearch::Result> &rows, const CoreWorkers &workers) const;
    void fillForms(std::vector<SignalSearch::Result> &rows, const size_t *first,
                   const size_t *last) const;

    static void dropBehind(std::vector<SignalSearch::Result> &rows, std::vector<char> &looks,
                           size_t count);
    void outlineDescribed(std::vector<SignalSearch::Result> &rows, std::vector<char> &looks,
                          const CoreWorkers &workers);
    template<typename Keep>
    static void keepRows(std::vector<SignalSearch::Result> &rows, std::vector<char> &looks,
                         Keep keep);
    static void sortRows(std::vector<SignalSearch::Result> &rows);
    bool pickSign(SignalSearch::Result &row, const Traits &t) const;
    void describe(SignalSearch::Result &row, const Series &s) const;
    void outline(SignalSearch::Result &row, const Series &s) const;
    void measure(SignalSearch::Result &row, const Series &s, int pairs = SampledPairs) const;
    double usedBy(const SignalCandidate &c, const Series &s) const;
    template<typename Visit>
    void forEachGlance(const SignalCandidate &c, const Series &s, Visit visit) const;

    const SignalSearch &search;
    const SignalSearch::KnownBits &known;
    const QVector<qint64> moments;
    std::vector<Series> analysed; // per series, worked out once
};
