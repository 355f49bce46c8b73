// SPDX-License-Identifier: GPL-3.0-or-later
// Bit flips over a span of the log's rows: the last seconds, picked rows, and a count that is
// cancelled part way.
#include "analysis/bitspancount.h"
#include "link/timedpacket.h"
#include "log/logrecord.h"
#include "log/rowstore.h"

#include <QTemporaryDir>
#include <QtTest>

class TestBitSpan : public QObject
{
    Q_OBJECT

private slots:
    void lastSeconds();
    void pickedRows();
    void progressAndCancel();
    void fdRowsPicked();
};

namespace {

constexpr qint64 Second = 1000000;
const quint32 Engine = BitFlipCounter::key(0x10, false);
const quint32 Door = BitFlipCounter::key(0x20, false);

LogRecord record(quint32 id, quint8 byte0, qint64 time)
{
    LogRecord r{};
    r.id = id;
    r.rtl = 1;
    r.data[0] = byte0;
    r.time = time;
    return r;
}

} // namespace

void TestBitSpan::lastSeconds()
{
    QTemporaryDir dir;
    RowStore store(dir.path());
    // 20 s of the engine at 10 frames a second: bit 0 toggles in the first 10 s, bit 1 after.
    for (int i = 0; i < 200; ++i)
        store.append(record(0x10, quint8(i < 100 ? (i & 1) : (i & 1) << 1), i * Second / 10));
    BitSpanCount last = BitSpanCount::lastSeconds(store.snapshot(), 5);
    // The log goes on and is cleared while the span is counted: the snapshot holds.
    store.clear();
    store.append(record(0x20, 0, 0));
    QVERIFY(last.run());
    // The newest row is at 19.9 s: rows from 14.9 s on, that one included.
    QCOMPARE(last.rowCount(), qint64(51));
    const BitActivity *engine = last.counter().activity(Engine);
    QVERIFY(engine);
    QCOMPARE(engine->frames, quint64(51));
    QCOMPARE(engine->flips[0], quint32(0));
    QCOMPARE(engine->flips[1], quint32(50));
    QCOMPARE(last.counter().activity(Door), nullptr);

    // Longer than the log: all of it; none of an empty log or one without times.
    RowStore longer(dir.path());
    for (int i = 0; i < 10; ++i)
        longer.append(record(0x10, quint8(i), i * Second));
    BitSpanCount all = BitSpanCount::lastSeconds(longer.snapshot(), 3600);
    QVERIFY(all.run());
    QCOMPARE(all.rowCount(), qint64(10));
    BitSpanCount none = BitSpanCount::lastSeconds(RowSnapshot(), 10);
    QVERIFY(none.run());
    QCOMPARE(none.rowCount(), qint64(0));
    longer.append(record(0x10, 0, TimedPacket::NoTime));
    BitSpanCount untimed = BitSpanCount::lastSeconds(longer.snapshot(), 10);
    QVERIFY(untimed.run());
    QCOMPARE(untimed.counter().keys().size(), size_t(0));
}

void TestBitSpan::pickedRows()
{
    QTemporaryDir dir;
    RowStore store(dir.path());
    const quint8 engine[] = {0x00, 0x01, 0x08, 0x09};
    for (int i = 0; i < 4; ++i) {
        store.append(record(0x10, engine[i], i * 2));     // rows 0, 2, 4, 6
        store.append(record(0x20, quint8(i), i * 2 + 1)); // rows 1, 3, 5, 7
    }
    // Rows 0 and 4 of the engine (and 5 of the door), picked out of order, twice, and beyond
    // the log: the frame of row 2 between them is not in the span.
    BitSpanCount span = BitSpanCount::picked(store.snapshot(), {4, 0, 5, 4, -1, 8, 100});
    QCOMPARE(span.rowCount(), qint64(3));
    QVERIFY(span.run());
    const BitActivity *e = span.counter().activity(Engine);
    QCOMPARE(e->frames, quint64(2));
    QCOMPARE(e->changed, quint64(0x08));
    QCOMPARE(e->flips[3], quint32(1));
    QCOMPARE(e->word, quint64(0x08));
    QCOMPARE(span.counter().activity(Door)->frames, quint64(1));
    // A run of neighbouring rows counts every frame in it.
    BitSpanCount run = BitSpanCount::picked(store.snapshot(), {0, 1, 2, 3, 4, 5, 6});
    QVERIFY(run.run());
    QCOMPARE(run.counter().activity(Engine)->flips[0], quint32(3));
    QCOMPARE(run.counter().activity(Door)->frames, quint64(3));
    BitSpanCount empty = BitSpanCount::picked(store.snapshot(), QVector<qint64>());
    QVERIFY(empty.run());
    QCOMPARE(empty.rowCount(), qint64(0));
    // A selection of the log: its runs, cut to the rows the snapshot holds.
    RowSelection selection;
    selection.set(4, 4);
    selection.add(0, 0);
    selection.add(5, 1000000);
    BitSpanCount selected = BitSpanCount::picked(store.snapshot(), selection);
    QCOMPARE(selected.rowCount(), qint64(5));
    QVERIFY(selected.run());
    QCOMPARE(selected.counter().activity(Engine)->frames, quint64(3));
    QCOMPARE(selected.counter().activity(Door)->frames, quint64(2));
}

// Progress rises to the span's size; a cancel stops the count at its next check.
void TestBitSpan::progressAndCancel()
{
    QTemporaryDir dir;
    RowStore store(dir.path());
    const qint64 rows = BitFlipCounter::CancelCheckRows * 3 + 5;
    for (qint64 i = 0; i < rows; ++i)
        store.append(record(0x10, quint8(i), i));
    QVector<qint64> seen;
    BitSpanCount whole = BitSpanCount::lastSeconds(store.snapshot(), 3600);
    QVERIFY(whole.run(nullptr, [&](qint64 done, qint64 total) {
        QCOMPARE(total, rows);
        seen.append(done);
    }));
    QVERIFY(seen.size() >= 4);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    QCOMPARE(seen.last(), rows);
    QCOMPARE(whole.counter().activity(Engine)->frames, quint64(rows));

    std::atomic_bool cancel{false};
    BitSpanCount cut = BitSpanCount::lastSeconds(store.snapshot(), 3600);
    const bool finished = cut.run(&cancel, [&](qint64 done, qint64) {
        if (done >= BitFlipCounter::CancelCheckRows)
            cancel = true;
    });
    QVERIFY(!finished);
    QCOMPARE(cut.counter().activity(Engine)->frames, quint64(BitFlipCounter::CancelCheckRows * 2));
}

// Picked FD rows are read with all their bytes: byte 63 flips between two picked frames of 64
// bytes, and a row between them, not picked, does not count.
void TestBitSpan::fdRowsPicked()
{
    QTemporaryDir dir;
    RowStore store(dir.path());
    for (int i = 0; i < 3; ++i) {
        TimedPacket f;
        f.time = i;
        f.packet.id = 0x10;
        f.packet.frame = CanPacket::Fd;
        f.packet.setFdLength(64);
        f.packet.data[63] = quint8(i == 1 ? 0x80 : i);
        store.append(f, i + 1);
    }
    BitSpanCount span = BitSpanCount::picked(store.snapshot(), {0, 2});
    QVERIFY(span.run());
    QCOMPARE(span.counter().blocks(Engine), 8);
    const BitActivity *last = span.counter().activity(Engine, 7);
    QCOMPARE(last->frames, quint64(2));
    QCOMPARE(last->changed, quint64(0x02) << 56);
    QCOMPARE(last->byte(7), 2);
}

QTEST_GUILESS_MAIN(TestBitSpan)
#include "tst_bitspan.moc"
