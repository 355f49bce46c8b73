// SPDX-License-Identifier: GPL-3.0-or-later
// The feed every shown frame comes through: which frames reach the log, what the analyses count,
// how often the pages hear of it, and what an opened capture does to the live rows.
#include "analysis/bitflipcounter.h"
#include "analysis/framestatistics.h"
#include "capture/capturerecorder.h"
#include "capture/framefeed.h"
#include "log/candatamodel.h"
#include "support/testpackets.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

TimedPacket received(qint64 time, uint32_t id, const char *hex)
{
    return {time, hexFrame(id, hex)};
}

TimedPacket transmitted(qint64 time, uint32_t id, const char *hex)
{
    TimedPacket frame = received(time, id, hex);
    frame.packet.direct = CanPacket::Transmitted;
    return frame;
}

quint64 counted(const FrameFeed &feed, uint32_t id)
{
    const FrameStatistics::StatEntry *entry = feed.statistics()->entry(id);
    return entry ? entry->count : 0;
}

} // namespace

class TestFrameFeed : public QObject
{
    Q_OBJECT

private slots:
    void filteredFramesAreStillAnalysed()
    {
        QTemporaryDir dir;
        FrameFeed feed(nullptr, dir.path());
        feed.filter().setHidden(0x200, false, true);
        QSignalSpy added(&feed, &FrameFeed::rowsAdded);
        QSignalSpy refreshed(&feed, &FrameFeed::refreshed);
        // A UDS request the log hides, then its answer the log shows.
        feed.add(received(1000, 0x100, "01"));
        feed.add(received(2000, 0x200, "0322F190"));
        feed.add(received(3000, 0x100, "03"));
        QCOMPARE(feed.log()->rowCount(), 0); // published with the next refresh
        QTRY_COMPARE(refreshed.count(), 1);
        QCOMPARE(added.count(), 1);
        QCOMPARE(feed.log()->rowCount(), 2);
        QCOMPARE(counted(feed, 0x200), 1u);
        QCOMPARE(counted(feed, 0x100), 2u);
        QCOMPARE(feed.liveFrames(), 3u);
        QCOMPARE(feed.diagnostics().logRowOf(1), -1);
        QCOMPARE(feed.diagnostics().logRowOf(2), 1);
        const BitActivity *hidden = feed.bitFlips().activity(BitFlipCounter::key(0x200, false));
        QVERIFY(hidden);
        QVERIFY(feed.bitFlips().activity(BitFlipCounter::key(0x100, false)));
        QCOMPARE(feed.unfiledRows(), 2); // no recording holds them
        feed.rowsSaved(2);
        QCOMPARE(feed.unfiledRows(), 0);
    }

    // Pages hear of many frames once, not once per frame.
    void burstIsOneRefresh()
    {
        QTemporaryDir dir;
        FrameFeed feed(nullptr, dir.path());
        QSignalSpy refreshed(&feed, &FrameFeed::refreshed);
        for (int n = 0; n < 5000; ++n)
            feed.add({n * 100, numberedFrame(uint32_t(n % 50))});
        QTRY_COMPARE(refreshed.count(), 1);
        QCOMPARE(feed.log()->rowCount(), 5000);
        QCOMPARE(feed.statistics()->idCount(), 50);
    }

    // What we sent is logged while transmitted frames are shown, and counted, but the bus's
    // analyses read only what the bus carried.
    void sentFramesAreNotBusTraffic()
    {
        QTemporaryDir dir;
        FrameFeed feed(nullptr, dir.path());
        feed.add(transmitted(1000, 0x300, "AA"));
        feed.filter().setShowTx(false);
        feed.add(transmitted(2000, 0x300, "BB"));
        feed.refresh();
        QCOMPARE(feed.log()->rowCount(), 1);
        QCOMPARE(counted(feed, 0x300), 2u);
        QCOMPARE(feed.liveFrames(), 0u);
        QVERIFY(!feed.bitFlips().activity(BitFlipCounter::key(0x300, false)));
    }

    void openedCaptureReplacesTheLog()
    {
        QTemporaryDir dir;
        FrameFeed feed(nullptr, dir.path());
        QSignalSpy cleared(&feed, &FrameFeed::cleared);
        feed.add(received(1000, 0x100, "01"));
        feed.refresh();
        feed.beginCapture(false);
        QCOMPARE(cleared.count(), 1);
        feed.addCapture({received(10, 0x400, "01"), received(20, 0x401, "02")});
        feed.endCapture();
        feed.refresh();
        QCOMPARE(feed.log()->rowCount(), 2);
        QCOMPARE(counted(feed, 0x400), 1u);
        QCOMPARE(feed.unfiledRows(), 0); // the rows are in the opened file

        // Read again after the filters changed: nothing is counted twice.
        feed.filter().setHidden(0x401, false, true);
        feed.beginCapture(true);
        feed.addCapture({received(10, 0x400, "01"), received(20, 0x401, "02")});
        feed.endCapture();
        feed.refresh();
        QCOMPARE(feed.log()->rowCount(), 1);
        QCOMPARE(counted(feed, 0x400), 1u);
        QCOMPARE(cleared.count(), 1);

        feed.clear();
        QCOMPARE(cleared.count(), 2);
        QCOMPARE(feed.log()->rowCount(), 0);
        QCOMPARE(feed.statistics()->idCount(), 0);
        QVERIFY(feed.bitFlips().keys().empty());
    }

    // With hundreds of identifiers a frame waits while its state is fetched: nothing may show
    // it, not the order of the rows, what a filter change or a recording meant for it, or what
    // is read before the next refresh.
    void manyIdentifiersLookAsIfTakenAtOnce()
    {
        QTemporaryDir dir;
        FrameFeed feed(nullptr, dir.path());
        CaptureRecorder recorder;
        feed.setRecorder(&recorder);
        constexpr int Ids = 400;
        for (int n = 0; n < Ids; ++n)
            feed.add(received(n, uint32_t(0x400 + n), "01"));
        feed.add(transmitted(Ids, 0x7FF, "AA"));
        QCOMPARE(counted(feed, 0x400 + Ids - 1), 1u); // read before any refresh
        QVERIFY(recorder.start(dir.path(), CaptureRecorder::DefaultMaxBytes));
        feed.add(received(Ids + 1, 0x10, "02")); // held by the recording
        recorder.stop();
        feed.add(received(Ids + 2, 0x11, "02"));
        feed.filter().setHidden(0x11, false, true); // after its frame came
        feed.add(received(Ids + 3, 0x11, "03"));
        feed.refresh();
        QCOMPARE(feed.log()->rowCount(), Ids + 3);
        QCOMPARE(feed.log()->frameAt(Ids - 1).packet.id, uint32_t(0x400 + Ids - 1));
        QCOMPARE(feed.log()->frameAt(Ids).packet.id, 0x7FFu);
        QCOMPARE(feed.log()->frameAt(Ids + 2).packet.id, 0x11u);
        QCOMPARE(counted(feed, 0x11), 2u);
        QCOMPARE(feed.unfiledRows(), qint64(Ids + 2));
        const BitActivity *flips = feed.bitFlips().activity(BitFlipCounter::key(0x11, false));
        QVERIFY(flips);
        QCOMPARE(flips->frames, 2u);
    }

    // A waiting frame is counted where fetching ahead found its identifier. The statistics also
    // count frames we sent and the flip counter leaves remote frames out, so the two number
    // identifiers differently; every frame must still land on its own identifier's figures.
    void fetchedAheadFramesLandOnTheirOwnIdentifiers()
    {
        QTemporaryDir dir;
        FrameFeed feed(nullptr, dir.path());
        FrameStatistics stats;
        BitFlipCounter flips;
        constexpr int Ids = 300;
        qint64 time = 0;
        auto feedBoth = [&](const TimedPacket &frame) {
            feed.add(frame);
            stats.count(frame);
            if (frame.packet.direct == CanPacket::Received)
                flips.add(frame);
        };
        for (int round = 0; round < 40; ++round) {
            for (int n = 0; n < Ids; ++n) {
                // Identifiers come in a shuffled order; a few first appear in frames we send,
                // or as remote frames.
                const uint32_t id = uint32_t(0x100 + (n * 37 + round * (round % 3)) % Ids);
                TimedPacket frame = received(++time, id, "00000000");
                frame.packet.data[0] = quint8(round * (id % 7));
                frame.packet.data[1] = quint8(id);
                if (int(id % 53) == round % 53)
                    frame.packet.direct = CanPacket::Transmitted;
                if (id % 41 == 3 && round % 2)
                    frame.packet.rtl |= 0x10;
                feedBoth(frame);
            }
        }
        for (int n = 0; n < Ids; ++n) {
            const uint32_t id = uint32_t(0x100 + n);
            const FrameStatistics::StatEntry *want = stats.entry(id);
            QVERIFY(want);
            QCOMPARE(counted(feed, id), want->count);
            QCOMPARE(feed.statistics()->entry(id)->lastFrame().data[0], want->lastFrame().data[0]);
            const BitActivity *a = feed.bitFlips().activity(BitFlipCounter::key(id, false));
            const BitActivity *b = flips.activity(BitFlipCounter::key(id, false));
            QCOMPARE(bool(a), bool(b));
            if (!a)
                continue;
            QCOMPARE(a->frames, b->frames);
            QCOMPARE(a->changed, b->changed);
            QCOMPARE(a->flips, b->flips);
            QCOMPARE(a->lastFlip, b->lastFlip);
        }
    }
};

QTEST_MAIN(TestFrameFeed)
#include "tst_framefeed.moc"
