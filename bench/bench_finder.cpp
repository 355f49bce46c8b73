// SPDX-License-Identifier: GPL-3.0-or-later
// Finding signals over a 10,000,000-frame log of 1,000 identifiers: building the per-identifier
// index, the first step over every candidate on a thread of its own (with progress and a cancel
// flag, as the window runs it), narrowing steps over what is left (span conditions over the whole
// log, exact and with a tolerance; the identifiers shared among the cores, the slowest step
// also on one thread), and ranking what is left into fields; marking the fields of a
// 1,000,000-frame capture; comparing two 1,000,000-frame captures; the same steps over CAN FD
// frames of 64 bytes.
#include "analysis/capturecomparison.h"
#include "analysis/coreworkers.h"
#include "analysis/fieldmarker.h"
#include "analysis/frameindex.h"
#include "analysis/signalsearch.h"

#include <QElapsedTimer>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <thread>

namespace {

constexpr int Ids = 1000;
constexpr qint64 Start = 1700000000000000;
constexpr qint64 GapUs = 100; // 10,000 frames/s

quint64 nextRandom(quint64 &state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// Frame i: identifier i % Ids; byte 0 a counter, bytes 1..2 a slow ramp, byte 3 a flag, the
// rest noise, byte 7 an XOR of the others on every third identifier.
std::shared_ptr<FrameIndex> makeIndex(int frames, quint64 seed, bool extraFlag = false)
{
    auto index = std::make_shared<FrameIndex>();
    quint64 state = seed;
    for (int i = 0; i < frames; ++i) {
        const int id = i % Ids;
        const int round = i / Ids;
        quint8 d[8];
        const quint64 noise = nextRandom(state);
        std::memcpy(d, &noise, 8);
        d[0] = quint8(round);
        d[1] = quint8((round / 4) >> 8);
        d[2] = quint8(round / 4);
        d[3] = quint8((round / 500) & 1) | quint8(extraFlag && id == 7 && (round / 50) % 2 ? 2 : 0);
        if (id % 3 == 0) {
            d[7] = 0;
            for (int k = 0; k < 7; ++k)
                d[7] ^= d[k];
        }
        index->add(quint32(0x100 + id), false, Start + qint64(i) * GapUs, d, 8);
    }
    return index;
}

template<typename Body> double seconds(Body body)
{
    QElapsedTimer timer;
    timer.start();
    body();
    return double(timer.nsecsElapsed()) / 1e9;
}

template<typename Body> double timedStep(SignalSearch &search, const SearchCondition &c, Body body)
{
    const quint64 before = search.remaining();
    const double t = seconds(body);
    std::printf("step \"%s\" over %llu candidates: %.3f s, %llu left (goal <= 1 s)\n",
                qPrintable(c.text()), (unsigned long long)before, t,
                (unsigned long long)search.remaining());
    return t;
}

// The least any fold has to do, on the same cores: read every candidate left once with the bits
// of it that ever change, and put the widest first (one counting pass on their number), before
// a single row is made or measured.
double leastFold(const SignalSearch &search)
{
    const std::vector<SignalCandidate> &held = search.held();
    const std::vector<std::pair<size_t, size_t>> groups = SignalSearch::byIdentifier(held);
    std::vector<std::vector<quint32>> ordered(groups.size());
    const CoreWorkers workers(search.options().threads);
    return seconds([&] {
        workers.run(int(groups.size()), [&](int g) {
            const auto [first, last] = groups[size_t(g)];
            const FrameIndex::Series &frames = search.index().at(int(held[first].series));
            std::vector<quint8> narrowness(last - first);
            std::array<size_t, 66> at{};
            // Candidates come grouped by their window of the frame.
            int base = 0;
            quint64 flipped = frames.flipped;
            for (size_t i = first; i < last; ++i) {
                if (held[i].base != base) {
                    base = held[i].base;
                    flipped = frames.flippedWindow(base);
                }
                narrowness[i - first] =
                    quint8(64 - qPopulationCount(held[i].frameBits() & flipped));
                ++at[narrowness[i - first] + size_t(1)];
            }
            std::partial_sum(at.begin(), at.end(), at.begin());
            std::vector<quint32> &order = ordered[size_t(g)];
            order.resize(last - first);
            for (size_t i = 0; i < narrowness.size(); ++i)
                order[at[narrowness[i]]++] = quint32(i);
        });
    });
}

// Ranking folds the candidates left into fields; it runs after every step the window shows, off
// the window's thread as the step does.
void benchRanking(const SignalSearch &search, double step)
{
    const double least = leastFold(search);
    std::printf("reading the %llu candidates with their changing bits, widest first, the least a "
                "fold does: %.4f s, %.0f %% of the step before\n",
                (unsigned long long)search.remaining(), least, 100.0 * least / step);
    std::vector<SignalSearch::Result> results;
    const double rank = seconds([&] { results = search.results(200); }); // as the finder shows
    size_t forms = 0;
    for (const SignalSearch::Result &r : results)
        forms += r.forms.size();
    std::printf("ranking %llu candidates into fields: %.3f s, %zu rows shown holding %zu forms, "
                "%.0f %% of the step before (goal <= 20 %%); step and ranking %.3f s (goal <= "
                "1 s)\n",
                (unsigned long long)search.remaining(), rank, results.size(), forms,
                100.0 * rank / step, step + rank);
}

void benchSearch()
{
    constexpr int Frames = 10000000;
    std::shared_ptr<FrameIndex> index;
    const double build = seconds([&] { index = makeIndex(Frames, 0x9E3779B97F4A7C15ull); });
    std::printf("index of %d frames, %d ids: %.3f s\n", Frames, Ids, build);

    SignalSearch search(index);
    const quint64 all = search.remaining();
    SearchCondition changed;
    changed.kind = SearchCondition::Changed;
    changed.first = Start + 2000000;
    changed.second = Start + 800000000;
    std::atomic_bool cancel{false};
    std::atomic_int progressCalls{0};
    SignalSearch::Step step;
    const double first = seconds([&] {
        std::thread worker(
            [&] { step = search.prepare(changed, &cancel, [&](int, int) { ++progressCalls; }); });
        worker.join();
    });
    search.commit(std::move(step));
    std::printf("first step \"%s\" over %llu candidates (own thread): %.3f s, %llu left, "
                "%d progress calls (goal <= 1 s)\n",
                qPrintable(changed.text()), (unsigned long long)all, first,
                (unsigned long long)search.remaining(), int(progressCalls));
    benchRanking(search, first);

    SearchCondition between;
    between.kind = SearchCondition::Between;
    between.first = Start + 500000000;
    between.a = 0;
    between.b = 100000;
    benchRanking(search, timedStep(search, between, [&] { search.narrow(between); }));

    // Over the whole log: the step that reads every frame of every identifier left.
    SearchCondition rising;
    rising.kind = SearchCondition::NonDecreasing;
    rising.first = Start;
    rising.second = Start + qint64(Frames) * GapUs;
    const double exact = timedStep(search, rising, [&] { search.narrow(rising); });
    benchRanking(search, exact);
    search.undo();
    rising.tolerance = 2;
    timedStep(search, rising, [&] { search.narrow(rising); });
    search.undo();
    rising.tolerance = 1;
    rising.percent = true;
    timedStep(search, rising, [&] { search.narrow(rising); });
    search.undo();

    SearchCondition few;
    few.kind = SearchCondition::ChangedAtMost;
    few.first = rising.first;
    few.second = rising.second;
    few.count = 100;
    const double atMost = timedStep(search, few, [&] { search.narrow(few); });
    benchRanking(search, atMost);
    search.undo();
    few.tolerance = 1;
    timedStep(search, few, [&] { search.narrow(few); });
    search.undo();
    few.tolerance = 10;
    few.percent = true;
    timedStep(search, few, [&] { search.narrow(few); });
    search.undo();

    // The same step with the identifiers on one thread, as before they were shared.
    SignalSearch::Options alone;
    alone.threads = 1;
    SignalSearch single(index, alone);
    single.narrow(changed);
    single.narrow(between);
    std::printf("on one thread instead of %d: ", CoreWorkers().threads());
    timedStep(single, few, [&] { single.narrow(few); });
}

void benchMarking()
{
    constexpr int Frames = 1000000;
    const auto index = makeIndex(Frames, 0x1234567ull);
    std::vector<FieldMark> marks;
    const double t =
        seconds([&] { marks = FieldMarker::mark(*index, index->firstTime(), index->lastTime()); });
    std::printf("marking fields of %d frames, %d ids: %.3f s, %zu fields (goal <= 0.2 s)\n", Frames,
                Ids, t, marks.size());
}

void benchComparison()
{
    constexpr int Frames = 1000000;
    const auto a = makeIndex(Frames, 0xABCDEFull);
    const auto b = makeIndex(Frames, 0x13579Bull, true);
    std::vector<CaptureComparison::Row> rows;
    const double t = seconds([&] { rows = CaptureComparison::compare(*a, *b); });
    std::printf("comparing two captures of %d frames: %.3f s, first row 0x%X %s (goal <= 1 s)\n",
                Frames, t, rows.front().id,
                qPrintable(CaptureComparison::Row::bitsText(rows.front().newInB)));
}

// CAN FD: 100 identifiers of 64-byte frames, 10,000 each: noise, a slow 16-bit ramp in bytes
// 40..41, a counter in byte 63. Every candidate of 64 bytes is weighed, not those of 8.
void benchFd()
{
    constexpr int FdIds = 100;
    constexpr int Frames = 1000000;
    auto index = std::make_shared<FrameIndex>();
    const double build = seconds([&] {
        quint64 state = 0x5DEECE66Dull;
        quint8 d[64];
        for (int i = 0; i < Frames; ++i) {
            const int round = i / FdIds;
            for (int k = 0; k < 64; k += 8) {
                const quint64 noise = nextRandom(state);
                std::memcpy(d + k, &noise, 8);
            }
            d[40] = quint8(round / 4);
            d[41] = quint8((round / 4) >> 8);
            d[63] = quint8(round);
            index->add(quint32(0x200 + i % FdIds), false, Start + qint64(i) * GapUs, d, 64);
        }
    });
    std::printf("FD: index of %d frames of 64 bytes, %d ids: %.3f s\n", Frames, FdIds, build);
    SignalSearch search(index);
    SearchCondition changed;
    changed.kind = SearchCondition::Changed;
    changed.first = Start + 2000000;
    changed.second = Start + 80000000;
    benchRanking(search, timedStep(search, changed, [&] { search.narrow(changed); }));
    SearchCondition rising;
    rising.kind = SearchCondition::NonDecreasing;
    rising.first = Start;
    rising.second = Start + qint64(Frames) * GapUs;
    benchRanking(search, timedStep(search, rising, [&] { search.narrow(rising); }));
    std::vector<FieldMark> marks;
    const double t =
        seconds([&] { marks = FieldMarker::mark(*index, index->firstTime(), index->lastTime()); });
    std::printf("FD: marking fields of %d frames: %.3f s, %zu fields\n", Frames, t, marks.size());
}

} // namespace

int main()
{
    benchMarking();
    benchComparison();
    benchSearch();
    benchFd();
    return 0;
}
