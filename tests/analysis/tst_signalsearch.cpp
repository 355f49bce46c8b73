// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frameindex.h"
#include "analysis/signalsearch.h"
#include "drivecapture.h"
#include "hiddensignals.h"
#include "signals/dbcsignal.h"

#include <QtTest>
#include <memory>

using namespace HiddenSignals;
namespace Drive = DriveCapture;

class TestSignalSearch : public QObject
{
    Q_OBJECT

    std::shared_ptr<FrameIndex> index;
    std::shared_ptr<FrameIndex> drive;

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
    // A condition at seconds of the drive.
    static SearchCondition at(SearchCondition::Kind kind, double first, double second = 0,
                              double a = 0, double b = 0)
    {
        SearchCondition c;
        c.kind = kind;
        c.first = Drive::at(first);
        c.second = Drive::at(second > 0 ? second : first);
        c.a = a;
        c.b = b;
        return c;
    }
    static bool holds(const SignalSearch &search, quint32 id, int startBit, int length,
                      bool motorola, bool isSigned = false)
    {
        for (const SignalCandidate &c : search.held()) {
            if (search.index().at(int(c.series)).id == id && c.startBit() == startBit &&
                c.length == length && c.motorola() == motorola && c.isSigned() == isSigned)
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        index = std::make_shared<FrameIndex>();
        for (const TimedPacket &f : capture(1, false))
            index->add(f);
        drive = std::make_shared<FrameIndex>();
        for (const TimedPacket &f : Drive::capture())
            drive->add(f);
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
        const auto &held = search.held();
        QCOMPARE(quint64(held.size()), SignalSearch::countAll(one, {}));
        for (const SignalCandidate &c : held) {
            DbcSignal s;
            s.startBit = c.startBit();
            s.length = c.length;
            s.byteOrder =
                c.motorola() ? DbcSignal::ByteOrder::Motorola : DbcSignal::ByteOrder::Intel;
            s.isSigned = c.isSigned();
            s.plan();
            double expected = 0;
            QVERIFY(s.decode(data, 8, &expected));
            QCOMPARE(double(c.raw(word)), expected);
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
        const auto &held = search.held();
        QVERIFY(!held.empty());
        for (const SignalCandidate &c : held)
            QCOMPARE(c.frameBits() & ~quint64(0xFFFF), quint64(0));
        // 16 bits: Intel 136 unsigned + 120 signed; Motorola across the byte pair likewise.
        QCOMPARE(search.remaining(), quint64(384));
        QCOMPARE(search.remaining(), quint64(held.size()));
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

    // Three facts a driver knows. The speed's high bits hardly move, so its slices look smooth;
    // they fold into the whole field, which comes first.
    void theWholeSpeedFieldComesFirst()
    {
        SignalSearch search(drive);
        search.narrow(at(SearchCondition::Equal, 5, 0, 0));
        search.narrow(at(SearchCondition::Rose, 12, 31));
        search.narrow(at(SearchCondition::Equal, 50, 0, 0));
        QVERIFY(holds(search, Drive::SpeedId, 2, 11, true)); // its low 11 bits held too
        expectTop(search, Drive::SpeedId, 7, 16, true, false);
        const auto rows = search.results(-1);
        const SignalSearch::Result &top = rows.front();
        QVERIFY(top.distinct > 100);
        QVERIFY(top.roughness < 0.05);
        auto form = [&top](int startBit, int length, bool motorola) {
            return std::any_of(top.forms.begin(), top.forms.end(), [&](const SignalCandidate &c) {
                return c.startBit() == startBit && c.length == length && c.motorola() == motorola;
            });
        };
        QVERIFY(form(2, 11, true));
        QVERIFY(form(0, 8, false)); // the high byte, which moves only as the speed crosses 256s
        for (const SignalSearch::Result &r : rows) { // no slice of it is a row of its own
            QVERIFY(r.id != Drive::SpeedId || (r.candidate.frameBits() & ~quint64(0xFFFF)) ||
                    &r == &top);
        }
        // The same value in the identifier whose frames stopped for ten seconds ranks second.
        QCOMPARE(rows[1].id, Drive::GapId);
        QCOMPARE(rows[1].candidate.startBit(), 7);
        QCOMPARE(int(rows[1].candidate.length), 16);
    }

    // Turned right, then left: the signed reading does not jump where the angle crosses zero,
    // so of the two readings that held it is the one shown.
    void theSteeringAngleComesSigned()
    {
        SignalSearch::Options only;
        only.ids = {FrameIndex::key(Drive::SteeringId, false)};
        SignalSearch search(drive, only);
        search.narrow(at(SearchCondition::Unchanged, 2, 9));
        search.narrow(at(SearchCondition::Changed, 10, 18));
        search.narrow(at(SearchCondition::Changed, 20, 36));
        search.narrow(at(SearchCondition::Equal, 50, 0, 0));
        QVERIFY(holds(search, Drive::SteeringId, 7, 16, true, false));
        QVERIFY(holds(search, Drive::SteeringId, 7, 16, true, true));
        expectTop(search, Drive::SteeringId, 7, 16, true, true);
        const SignalSearch::Result top = search.results(1).front();
        QCOMPARE(top.jumps, 0);
        QVERIFY(top.values[search.moments().indexOf(Drive::at(36))] < 0);
        QVERIFY(std::any_of(top.forms.begin(), top.forms.end(), [](const SignalCandidate &c) {
            return c.startBit() == 7 && c.length == 16 && !c.isSigned();
        }));
        // Told where it went, the unsigned reading is out anyway, and so is every other
        // identifier's field.
        SignalSearch all(drive);
        all.narrow(at(SearchCondition::Unchanged, 2, 9));
        all.narrow(at(SearchCondition::Rose, 10, 18));
        all.narrow(at(SearchCondition::Fell, 20, 36));
        QVERIFY(!holds(all, Drive::SteeringId, 7, 16, true, false));
        expectTop(all, Drive::SteeringId, 7, 16, true, true);
    }

    // The noisy engine speed: "равно" within a tolerance, in units or as a percentage of the value.
    void toleranceForgivesNoise()
    {
        SignalSearch::Options only;
        only.ids = {FrameIndex::key(Drive::EngineId, false)};
        SignalSearch exact(drive, only);
        exact.narrow(at(SearchCondition::Equal, 5, 0, 800));
        exact.narrow(at(SearchCondition::Equal, 6, 0, 800));
        exact.narrow(at(SearchCondition::Equal, 7, 0, 800));
        QVERIFY(!holds(exact, Drive::EngineId, 16, 16, false));
        SignalSearch tolerant(drive, only);
        for (double second : {5.0, 6.0, 7.0}) {
            SearchCondition c = at(SearchCondition::Equal, second, 0, 800);
            c.tolerance = 3;
            tolerant.narrow(c);
        }
        SearchCondition rose = at(SearchCondition::Rose, 12, 31);
        rose.tolerance = 10; // rose by more than the noise
        tolerant.narrow(rose);
        expectTop(tolerant, Drive::EngineId, 16, 16, false, false);
        SearchCondition same = at(SearchCondition::Unchanged, 2, 8);
        same.tolerance = 1;
        same.percent = true; // 1 % of 800
        tolerant.narrow(same);
        QVERIFY(holds(tolerant, Drive::EngineId, 16, 16, false));
        SearchCondition moved = same;
        moved.kind = SearchCondition::Changed;
        tolerant.narrow(moved);
        QVERIFY(!holds(tolerant, Drive::EngineId, 16, 16, false));
    }

    // The speed dips by two steps once while rising: "не убывало" keeps it only with a tolerance
    // of those two steps, or of a share of its range that large.
    void spanConditionsTakeATolerance()
    {
        SignalSearch::Options only;
        only.ids = {FrameIndex::key(Drive::SpeedId, false)};
        SignalSearch search(drive, only);
        SearchCondition rising = at(SearchCondition::NonDecreasing, 12, 31);
        search.narrow(rising);
        QVERIFY(!holds(search, Drive::SpeedId, 7, 16, true));
        search.undo();
        rising.tolerance = 2;
        search.narrow(rising);
        QVERIFY(holds(search, Drive::SpeedId, 7, 16, true));
        search.undo();
        rising.percent = true;
        rising.tolerance = 0.2; // of about 1,330 raw: 2.66
        search.narrow(rising);
        QVERIFY(holds(search, Drive::SpeedId, 7, 16, true));
        search.undo();
        rising.tolerance = 0.1;
        search.narrow(rising);
        QVERIFY(!holds(search, Drive::SpeedId, 7, 16, true));
        search.undo();
        SearchCondition few = at(SearchCondition::ChangedAtMost, 31.5, 37.5);
        few.count = 0;
        search.narrow(few);
        QVERIFY(holds(search, Drive::SpeedId, 7, 16, true));
        search.undo();
        // Moves within the tolerance of the last level are no change: rising by some 1,330 raw
        // from 12 s to 31 s, the speed moved beyond 100 of its level 13 times, beyond 50 26.
        few = at(SearchCondition::ChangedAtMost, 12, 31);
        few.count = 20;
        const auto heldWith = [&](double tolerance, bool percent) {
            few.tolerance = tolerance;
            few.percent = percent;
            search.narrow(few);
            const bool held = holds(search, Drive::SpeedId, 7, 16, true);
            search.undo();
            return held;
        };
        QVERIFY(!heldWith(0, false));
        QVERIFY(!heldWith(50, false));
        QVERIFY(heldWith(100, false));
        QVERIFY(!heldWith(2, true));
        QVERIFY(heldWith(10, true));
    }

    // Ten seconds without a frame of an identifier are no evidence about it: the candidate is
    // kept and its value there shown as missing, never the last value before the gap.
    void aGapIsNoEvidence()
    {
        SignalSearch search(drive);
        search.narrow(at(SearchCondition::Between, 25, 0, 1000, 1500));
        QVERIFY(holds(search, Drive::SpeedId, 7, 16, true));
        QVERIFY(holds(search, Drive::GapId, 7, 16, true));
        search.narrow(at(SearchCondition::Equal, 50, 0, 0));
        search.narrow(at(SearchCondition::Rose, 12, 24));
        QVERIFY(holds(search, Drive::GapId, 7, 16, true));
        const auto rows = search.results(-1);
        const auto gap = std::find_if(rows.begin(), rows.end(), [](const SignalSearch::Result &r) {
            return r.id == Drive::GapId && r.candidate.startBit() == 7 && r.candidate.length == 16;
        });
        QVERIFY(gap != rows.end());
        const QVector<qint64> moments = search.moments();
        QCOMPARE(moments.size(), 4);
        QVERIFY(std::isnan(gap->values[moments.indexOf(Drive::at(24))]));
        QVERIFY(std::isnan(gap->values[moments.indexOf(Drive::at(25))]));
        QCOMPARE(gap->values[moments.indexOf(Drive::at(50))], 0.0);
        double v = 0;
        QVERIFY(!search.value(gap->candidate, Drive::at(25), &v));
        // Three cycles either side still tell the value: a lost frame or two is no gap.
        QVERIFY(search.value(gap->candidate, Drive::at(Drive::GapTo - 0.05), &v));
        QVERIFY(!search.value(gap->candidate, Drive::at(Drive::GapTo - 0.1), &v));
        QCOMPARE(search.cycle(int(gap->candidate.series)), Drive::CycleUs);
    }

    // "Подобрать масштаб": raw values at two moments mapped onto the values the user knows.
    void scaleIsFittedFromTwoMoments()
    {
        SignalSearch search(drive);
        SignalCandidate speed;
        speed.series = quint32(drive->indexOf(Drive::SpeedId, false));
        speed.shift = 48;
        speed.length = 16;
        speed.flags = SignalCandidate::Motorola;
        QCOMPARE(speed.startBit(), 7);
        double factor = 0;
        double offset = 0;
        QVERIFY(search.fitScale(speed, Drive::at(5), 0, Drive::at(33), 15, &factor, &offset));
        QCOMPARE(factor, 0.01);
        QCOMPARE(offset, 0.0);
        QVERIFY(search.fitScale(speed, Drive::at(33), 59, Drive::at(5), 32, &factor, &offset));
        QCOMPARE(factor, 0.018);
        QCOMPARE(offset, 32.0);
        // Equal raw values, or a moment without frames near: no scale.
        QVERIFY(!search.fitScale(speed, Drive::at(2), 0, Drive::at(5), 15, &factor, &offset));
        speed.series = quint32(drive->indexOf(Drive::GapId, false));
        QVERIFY(!search.fitScale(speed, Drive::at(5), 0, Drive::at(25), 15, &factor, &offset));
    }
};

QTEST_GUILESS_MAIN(TestSignalSearch)
#include "tst_signalsearch.moc"
