// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frameindex.h"
#include "analysis/signalsearch.h"
#include "hiddensignals.h"
#include "signals/dbcsignal.h"

#include <QtTest>
#include <memory>

using namespace HiddenSignals;

class TestSignalSearch : public QObject
{
    Q_OBJECT

    std::shared_ptr<FrameIndex> index;

    static SearchCondition equal(int round, double value, double tolerance = 0)
    {
        SearchCondition c;
        c.kind = SearchCondition::Equal;
        c.first = moment(round);
        c.a = value;
        c.tolerance = tolerance;
        return c;
    }
    static SearchCondition between(SearchCondition::Kind kind, int from, int to)
    {
        SearchCondition c;
        c.kind = kind;
        c.first = moment(from);
        c.second = moment(to);
        return c;
    }
    static void expectTop(const SignalSearch &search, quint32 id, int startBit, int length,
                          bool motorola, bool isSigned)
    {
        const auto results = search.results(10);
        QVERIFY(!results.empty());
        const SignalSearch::Result &top = results.front();
        QCOMPARE(top.id, id);
        QCOMPARE(top.candidate.startBit(), startBit);
        QCOMPARE(int(top.candidate.length), length);
        QCOMPARE(top.candidate.motorola(), motorola);
        QCOMPARE(top.candidate.isSigned(), isSigned);
    }

private slots:
    void initTestCase()
    {
        index = std::make_shared<FrameIndex>();
        for (const TimedPacket &f : capture(1, false))
            index->add(f);
    }

    // Candidates read the same value a DBC signal of that place decodes, in both byte orders,
    // at every start bit and length a frame holds.
    void candidatesReadAsDbcSignals()
    {
        const quint8 data[8] = {0x9C, 0x31, 0xF7, 0x05, 0x80, 0x6E, 0xD2, 0x4B};
        FrameIndex one;
        one.add(1, false, 0, data, 8);
        const quint64 word = one.at(0).words[0];
        SignalSearch search(std::make_shared<FrameIndex>(one));
        SearchCondition all;
        all.kind = SearchCondition::ChangedAtMost;
        all.first = 0;
        all.second = 0;
        search.narrow(all);
        const auto results = search.results(-1);
        QCOMPARE(quint64(results.size()), SignalSearch::countAll(one, {}));
        for (const SignalSearch::Result &r : results) {
            DbcSignal s;
            s.startBit = r.candidate.startBit();
            s.length = r.candidate.length;
            s.byteOrder = r.candidate.motorola() ? DbcSignal::ByteOrder::Motorola
                                                 : DbcSignal::ByteOrder::Intel;
            s.isSigned = r.candidate.isSigned();
            s.plan();
            double expected = 0;
            QVERIFY(s.decode(data, 8, &expected));
            QCOMPARE(double(r.candidate.raw(word)), expected);
        }
    }

    // Only bits every frame of the identifier carries are candidates.
    void candidatesStayInsideTheFrames()
    {
        FrameIndex two;
        const quint8 data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        two.add(5, false, 0, data, 3);
        two.add(5, false, 10, data, 2);
        SignalSearch search(std::make_shared<FrameIndex>(two));
        SearchCondition all;
        all.kind = SearchCondition::Unchanged;
        all.first = 10;
        all.second = 10;
        search.narrow(all);
        const auto results = search.results(-1);
        QVERIFY(!results.empty());
        for (const SignalSearch::Result &r : results)
            QCOMPARE(r.candidate.frameBits() & ~quint64(0xFFFF), quint64(0));
        // 16 bits: Intel 136 unsigned + 120 signed; Motorola across the byte pair likewise.
        QCOMPARE(search.remaining(), quint64(384));
        QCOMPARE(search.remaining(), quint64(results.size()));
    }

    void findsTheMotorolaRampInThreeSteps()
    {
        SignalSearch search(index);
        const quint64 all = search.remaining();
        search.narrow(between(SearchCondition::NonDecreasing, 0, Frames - 1));
        QVERIFY(search.remaining() < all);
        search.narrow(equal(300, ramp(300)));
        search.narrow(equal(800, ramp(800)));
        QCOMPARE(search.steps(), 3);
        expectTop(search, RampId, 11, 12, true, false);
        const auto top = search.results(1).front();
        QCOMPARE(top.values.size(), 4); // the span's ends and the two moments
        QCOMPARE(top.values[1], double(ramp(300)));
        QCOMPARE(top.values[2], double(ramp(800)));
    }

    void findsTheSignedIntelValueWithFactorInThreeSteps()
    {
        SignalSearch::Options options;
        options.factor = 0.1;
        SignalSearch search(index, options);
        search.narrow(equal(250, sine(250) * 0.1, 0.05));
        search.narrow(between(SearchCondition::Fell, 100, 250));
        search.narrow(equal(700, sine(700) * 0.1, 0.05));
        expectTop(search, SineId, 16, 16, false, true);
        QCOMPARE(search.results(1).front().values.front(), sine(100) * 0.1);
    }

    void findsTheCounterInThreeSteps()
    {
        SignalSearch search(index);
        search.narrow(equal(11, 11));
        search.narrow(equal(30, 14));
        search.narrow(equal(37, 5));
        expectTop(search, CounterId, 0, 4, false, false);
    }

    // Changes counted over a span and the difference between two moments.
    void spanAndDifferenceConditions()
    {
        SignalSearch::Options options;
        options.ids = {FrameIndex::key(CounterId, false)};
        SignalSearch search(index, options);
        SearchCondition by = between(SearchCondition::ChangedBy, 3, 5);
        by.a = 2;
        search.narrow(by);
        SearchCondition few = between(SearchCondition::ChangedAtMost, 0, Frames - 1);
        few.count = 0;
        const quint64 before = search.remaining();
        search.narrow(few);
        QCOMPARE(search.remaining(), quint64(0)); // every field that moved by 2 kept moving
        search.undo();
        QCOMPARE(search.remaining(), before);
        few.count = Frames;
        search.narrow(few);
        QCOMPARE(search.remaining(), before);
        for (const auto &r : search.results(-1))
            QCOMPARE(r.id, CounterId);
    }

    void undoRestartAndCancel()
    {
        SignalSearch search(index);
        const quint64 all = search.remaining();
        QCOMPARE(all, SignalSearch::countAll(*index, {}));
        search.narrow(equal(11, 11));
        const quint64 one = search.remaining();
        search.narrow(equal(30, 14));
        QVERIFY(search.remaining() < one);
        search.undo();
        QCOMPARE(search.remaining(), one);
        QCOMPARE(search.steps(), 1);

        std::atomic_bool cancel{true};
        int calls = 0;
        const SignalSearch::Step step =
            search.prepare(equal(30, 14), &cancel, [&calls](int, int) { ++calls; });
        QVERIFY(step.cancelled);
        QVERIFY(calls > 0);
        search.commit(step);
        QCOMPARE(search.steps(), 1);
        QCOMPARE(search.remaining(), one);

        search.restart();
        QCOMPARE(search.steps(), 0);
        QCOMPARE(search.remaining(), all);
        QVERIFY(search.results(10).empty());
    }

    // A candidate over a known signal ranks after one that is free.
    void knownSignalsRankLast()
    {
        SignalSearch search(index);
        search.narrow(equal(11, 11));
        search.narrow(equal(30, 14));
        search.narrow(equal(37, 5));
        SignalSearch::KnownBits known;
        known.insert(FrameIndex::key(CounterId, false), 0x0F);
        const auto results = search.results(-1, known);
        QVERIFY(!results.empty());
        QVERIFY(results.front().id != CounterId || results.front().overlaps == 0);
        QCOMPARE(results.back().overlaps > 0, true);
    }
};

QTEST_GUILESS_MAIN(TestSignalSearch)
#include "tst_signalsearch.moc"
