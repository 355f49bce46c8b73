// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frameindex.h"
#include "analysis/signalsearch.h"
#include "drivecapture.h"
#include "hiddensignals.h"
#include "signals/dbcsignal.h"

#include <QSet>
#include <QtTest>
#include <memory>

using namespace HiddenSignals;
namespace Drive = DriveCapture;

namespace {

// A DBC signal's raw bits read the plain way, bit by bit: Intel up from its start bit, Motorola
// down from its most significant bit and on to bit 7 of the next byte. False when a bit lies
// beyond `bytes`.
bool referenceRaw(const quint8 *data, int bytes, int start, int length, bool motorola, quint64 *raw)
{
    *raw = 0;
    int bit = start;
    for (int i = 0; i < length; ++i) {
        const int at = motorola ? bit : start + i;
        if (at < 0 || at >= 8 * bytes)
            return false;
        const quint64 value = (data[at / 8] >> (at % 8)) & 1;
        *raw |= value << (motorola ? length - 1 - i : i);
        bit = bit % 8 == 0 ? bit + 15 : bit - 1;
    }
    return true;
}

// 400 frames of a 64-byte FD identifier, every 10 ms: noise everywhere but a slow 16-bit Intel
// ramp in bytes 40..41, a Motorola 16-bit value falling from byte 20 into byte 21, and a
// constant byte 63.
constexpr quint32 FdId = 0x4F0;
constexpr int FdFrames = 400;
int fdRamp(int i)
{
    return 7000 + 3 * i;
}
int fdFall(int i)
{
    return 60000 - 7 * i;
}
std::vector<TimedPacket> fdCapture()
{
    std::vector<TimedPacket> frames;
    quint64 state = 0x2545F4914F6CDD1Dull;
    for (int i = 0; i < FdFrames; ++i) {
        TimedPacket f;
        f.time = qint64(i) * 10000;
        f.packet.id = FdId;
        f.packet.frame = CanPacket::Fd | CanPacket::BitRateSwitch;
        f.packet.setFdLength(64);
        for (quint8 &b : f.packet.data) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            b = quint8(state);
        }
        f.packet.data[40] = quint8(fdRamp(i));
        f.packet.data[41] = quint8(fdRamp(i) >> 8);
        f.packet.data[20] = quint8(fdFall(i) >> 8);
        f.packet.data[21] = quint8(fdFall(i));
        f.packet.data[63] = 0x3C;
        frames.push_back(f);
    }
    return frames;
}

} // namespace

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
    // In a long FD frame every place up to 32 bits lies among the candidates exactly once, in
    // both byte orders, and each reads what the place holds.
    void fdCandidatesAreEveryPlaceOnce()
    {
        constexpr int Bytes = 12;
        quint8 data[64] = {0x9C, 0x31, 0xF7, 0x05, 0x80, 0x6E, 0xD2, 0x4B, 0x17, 0xE8, 0x63, 0xA9};
        FrameIndex one;
        one.add(1, false, 0, data, Bytes);
        SignalSearch search(std::make_shared<FrameIndex>(one));
        SearchCondition all;
        all.kind = SearchCondition::ChangedAtMost;
        search.narrow(all);
        QSet<QString> seen;
        for (const SignalCandidate &c : search.held()) {
            const QString place = QStringLiteral("%1|%2|%3|%4")
                                      .arg(c.startBit())
                                      .arg(c.length)
                                      .arg(c.motorola())
                                      .arg(c.isSigned());
            QVERIFY2(!seen.contains(place), qPrintable(place));
            seen.insert(place);
            quint64 raw = 0;
            QVERIFY(referenceRaw(data, Bytes, c.startBit(), c.length, c.motorola(), &raw));
            const quint64 sign = quint64(1) << (c.length - 1);
            const qint64 expected =
                c.isSigned() && (raw & sign) ? qint64(raw | ~(2 * sign - 1)) : qint64(raw);
            QCOMPARE(c.raw(one.at(0).window(0, c.base)), expected);
        }
        int places = 0;
        for (int length = 1; length <= 32; ++length) {
            const int forms = length == 1 ? 1 : 2;
            for (int start = 0; start < 8 * Bytes; ++start) {
                quint64 raw = 0;
                places += forms * referenceRaw(data, Bytes, start, length, false, &raw);
                // Motorola within one byte is the Intel place again.
                const bool crosses = start % 8 + 1 < length;
                places += forms * (crosses && referenceRaw(data, Bytes, start, length, true, &raw));
            }
        }
        QCOMPARE(int(search.remaining()), places);
        QCOMPARE(quint64(places), SignalSearch::countAll(one, {}));
    }

    // A 16-bit field in bytes 40..41 of 64-byte FD frames, and a Motorola one in bytes 20..21,
    // are found as they would be in a classic frame.
    void findsFieldsDeepInFdFrames()
    {
        auto fd = std::make_shared<FrameIndex>();
        for (const TimedPacket &f : fdCapture())
            fd->add(f);
        QCOMPARE(fd->at(0).minLength, 64);
        auto at = [](int i) { return qint64(i) * 10000; };
        auto equalAt = [&](int i, double value) {
            SearchCondition c;
            c.kind = SearchCondition::Equal;
            c.first = at(i);
            c.a = value;
            return c;
        };
        SearchCondition rising;
        rising.kind = SearchCondition::NonDecreasing;
        rising.first = at(0);
        rising.second = at(FdFrames - 1);
        SignalSearch ramp(fd);
        ramp.narrow(rising);
        ramp.narrow(equalAt(100, fdRamp(100)));
        ramp.narrow(equalAt(300, fdRamp(300)));
        expectTop(ramp, FdId, 8 * 40, 16, false, false);
        QCOMPARE(ramp.results(1).front().values.size(), 4); // the span's ends, two moments
        QCOMPARE(ramp.results(1).front().values[2], double(fdRamp(300)));

        SignalSearch fall(fd);
        fall.narrow(equalAt(50, fdFall(50)));
        SearchCondition fell;
        fell.kind = SearchCondition::Fell;
        fell.first = at(50);
        fell.second = at(350);
        fall.narrow(fell);
        fall.narrow(equalAt(350, fdFall(350)));
        expectTop(fall, FdId, 8 * 20 + 7, 16, true, false);
        // A first look reads each field from the frames the first step sampled, from the window
        // of eight bytes it lies in: 256 pairs of frames and frame 0, every value another one,
        // each pair a small step.
        for (const SignalSearch *search : {&ramp, &fall}) {
            const SignalSearch::Result look =
                search->describe(search->results(1).front().candidate);
            QCOMPARE(look.distinct, 257);
            QCOMPARE(look.jumps, 0);
            QVERIFY(look.roughness < 0.01);
        }
    }

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

    // However many threads share the identifiers, a step keeps the same candidates in the same
    // order and the same rows come out; cancelling from the progress report stops it cleanly.
    void threadsChangeNothing()
    {
        auto run = [this](int threads) {
            SignalSearch::Options o;
            o.threads = threads;
            auto search = std::make_unique<SignalSearch>(drive, o);
            search->narrow(at(SearchCondition::Changed, 5, 40));
            SearchCondition few = at(SearchCondition::ChangedAtMost, 5, 60);
            few.count = 40;
            few.tolerance = 10;
            few.percent = true;
            search->narrow(few);
            return search;
        };
        const auto one = run(1);
        const auto many = run(5);
        QVERIFY(one->remaining() > 0);
        const auto key = [](const SignalCandidate &c) {
            return std::make_tuple(c.series, c.shift, c.length, c.flags, c.base);
        };
        QCOMPARE(one->held().size(), many->held().size());
        QVERIFY(std::equal(
            one->held().begin(), one->held().end(), many->held().begin(),
            [&](const SignalCandidate &x, const SignalCandidate &y) { return key(x) == key(y); }));
        const auto a = one->results(-1);
        const auto b = many->results(-1);
        QCOMPARE(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            QCOMPARE(a[i].candidate.series, b[i].candidate.series);
            QCOMPARE(a[i].candidate.startBit(), b[i].candidate.startBit());
            QCOMPARE(a[i].candidate.flags, b[i].candidate.flags);
            QCOMPARE(a[i].forms.size(), b[i].forms.size());
            QCOMPARE(a[i].distinct, b[i].distinct);
            QCOMPARE(a[i].cuts, b[i].cuts);
        }

        std::atomic_bool cancel{false};
        int calls = 0;
        const SignalSearch::Step step =
            many->prepare(at(SearchCondition::Changed, 10, 20), &cancel, [&](int, int) {
                ++calls;
                cancel = true;
            });
        QVERIFY(step.cancelled);
        QCOMPARE(calls, 1);
        QCOMPARE(many->steps(), 2);
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

    // A byte that wraps with nothing carried into the byte above is not the low part of one
    // number: read across both it counts cuts, while a true 16-bit field stepping as fast counts
    // none, nor does a slow one whose low byte rarely wraps.
    void aCutFieldCountsItsWraps()
    {
        auto cuts = std::make_shared<FrameIndex>();
        for (int i = 0; i < 4000; ++i) {
            const quint16 fast = quint16(16 * i);
            const quint16 slow = quint16(i / 3);
            const quint8 data[8] = {quint8(16 * i),    quint8(i / 700), quint8(fast),
                                    quint8(fast >> 8), quint8(slow),    quint8(slow >> 8)};
            cuts->add(0x321, false, qint64(i) * 10000, data, 8);
        }
        const SignalSearch search(cuts);
        const auto cutsOf = [&](int shift) {
            SignalCandidate c;
            c.shift = quint8(shift);
            c.length = 16;
            return search.describe(c).cuts;
        };
        QVERIFY(cutsOf(0) > 4);
        QCOMPARE(cutsOf(16), 0);
        QCOMPARE(cutsOf(32), 0);
    }

    // After a broad step each identifier makes many rows, most of which are never measured in
    // full: a row shown reads the same as when every row is measured, and a signed field among
    // many rows of its identifier still shows signed, its unsigned reading among its forms.
    void aBroadStepMeasuresTheRowsItShows()
    {
        const auto sameRow = [](const SignalSearch::Result &a, const SignalSearch::Result &b) {
            return a.id == b.id && std::memcmp(&a.candidate, &b.candidate, sizeof a.candidate) == 0;
        };
        const auto shownAsMeasured = [&](const SignalSearch &search) {
            const auto every = search.results(-1);
            for (const SignalSearch::Result &a : search.results(3)) {
                const auto b = std::find_if(every.begin(), every.end(),
                                            [&](const auto &r) { return sameRow(a, r); });
                QVERIFY(b != every.end());
                QCOMPARE(a.distinct, b->distinct);
                QCOMPARE(a.roughness, b->roughness);
                QCOMPARE(a.cuts, b->cuts);
                QCOMPARE(a.values, b->values);
                QVERIFY(std::equal(a.forms.begin(), a.forms.end(), b->forms.begin(), b->forms.end(),
                                   [](const SignalCandidate &x, const SignalCandidate &y) {
                                       return std::memcmp(&x, &y, sizeof x) == 0;
                                   }));
            }
        };
        SignalSearch search(index);
        search.narrow(between(SearchCondition::Changed, 100, 700));
        shownAsMeasured(search);
        // Some identifiers down to a few rows, measured at once, the others still many.
        search.narrow(between(SearchCondition::Fell, 100, 250));
        shownAsMeasured(search);
        search.undo();
        const auto every = search.results(-1);
        // Bytes 0..3 read as one value hold the sine in their upper half: smooth read signed.
        const auto sine =
            std::find_if(every.begin(), every.end(), [](const SignalSearch::Result &r) {
                return r.id == SineId && r.candidate.startBit() == 0 && r.candidate.length == 32 &&
                       !r.candidate.motorola();
            });
        QVERIFY(sine != every.end());
        QVERIFY(sine->candidate.isSigned());
        QVERIFY(std::count_if(every.begin(), every.end(),
                              [](const SignalSearch::Result &r) { return r.id == SineId; }) > 4);
        const auto &forms = sine->forms;
        QVERIFY(std::any_of(forms.begin(), forms.end(), [](const SignalCandidate &c) {
            return c.startBit() == 0 && c.length == 32 && !c.isSigned() && !c.motorola();
        }));
        QVERIFY(std::is_sorted(forms.begin(), forms.end(),
                               [](const SignalCandidate &x, const SignalCandidate &y) {
                                   return x.length > y.length;
                               }));
    }

    // Folding loses no candidate and shows none twice: every one a step leaves is a row or a
    // form of exactly one row, in classic frames and across the windows of long FD frames.
    void foldingShowsEveryCandidateOnce()
    {
        const auto keyOf = [](const SignalCandidate &c) {
            quint64 key;
            std::memcpy(&key, &c, sizeof key);
            return key;
        };
        const auto shownOnce = [&](const SignalSearch &search) {
            std::vector<quint64> held;
            std::vector<quint64> shown;
            for (const SignalCandidate &c : search.held())
                held.push_back(keyOf(c));
            for (const SignalSearch::Result &r : search.results(-1)) {
                shown.push_back(keyOf(r.candidate));
                for (const SignalCandidate &form : r.forms)
                    shown.push_back(keyOf(form));
            }
            std::sort(held.begin(), held.end());
            std::sort(shown.begin(), shown.end());
            QCOMPARE(shown.size(), held.size());
            QVERIFY(shown == held);
            foldedIntoTheFirstRow(search);
        };
        SignalSearch search(index);
        search.narrow(between(SearchCondition::Changed, 100, 700));
        shownOnce(search);
        search.narrow(between(SearchCondition::Fell, 100, 250));
        shownOnce(search);

        auto fd = std::make_shared<FrameIndex>();
        for (const TimedPacket &f : fdCapture())
            fd->add(f);
        SearchCondition changed;
        changed.kind = SearchCondition::Changed;
        changed.first = 0;
        changed.second = qint64(FdFrames - 1) * 10000;
        SignalSearch wide(fd);
        wide.narrow(changed);
        QVERIFY(wide.remaining() > 10000);
        shownOnce(wide);
    }

    // A form went to the first row, in the order rows are made, that holds its changing bits:
    // no row of its identifier that holds them as well comes before that row by the leading
    // terms of the order (one field, lowest bit moving, more changing bits).
    static void foldedIntoTheFirstRow(const SignalSearch &search)
    {
        const auto live = [&](const SignalCandidate &c) {
            return c.frameBits() & search.index().at(int(c.series)).flippedWindow(c.base);
        };
        const auto holds = [&](const SignalCandidate &row, const SignalCandidate &form) {
            const quint64 moved = SignalCandidate::moveWindow(live(form), form.base, row.base);
            return SignalCandidate::moveWindow(moved, row.base, form.base) == live(form) &&
                   (moved & ~live(row)) == 0 &&
                   (SignalCandidate::moveWindow(form.frameBits(), form.base, row.base) &
                    row.frameBits());
        };
        const auto lead = [&](const SignalSearch::Result &r) {
            return std::make_tuple(!r.coherent, r.deadLsb, -qPopulationCount(live(r.candidate)));
        };
        const std::vector<SignalSearch::Result> rows = search.results(-1);
        for (const SignalSearch::Result &r : rows) {
            for (const SignalSearch::Result &other : rows) {
                if (other.candidate.series != r.candidate.series || !(lead(other) < lead(r)))
                    continue;
                for (const SignalCandidate &form : r.forms)
                    QVERIFY(!holds(other.candidate, form));
            }
        }
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
