// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/rowblock.h"
#include "log/rowsnapshot.h"
#include "log/rowstore.h"
#include "support/filesizelimit.h"

#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

// A row that tells which row it is in every field, so a misplaced block shows.
LogRecord rowAt(qint64 n)
{
    LogRecord r{};
    r.time = 1700000000000000 + n * 7;
    r.id = quint32(n * 2654435761u) & 0x1FFFFFFF;
    r.number = qint32(n + 1);
    r.frame = quint8(n & 0x31);
    r.rtl = quint8(n % 9);
    for (int i = 0; i < 8; ++i)
        r.data[i] = quint8(n >> (i * 3));
    r.direct = quint8(n % 5 == 0 ? 128 : 64);
    return r;
}

bool same(const LogRecord &a, const LogRecord &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void fill(RowStore &store, qint64 from, qint64 to)
{
    for (qint64 n = from; n < to; ++n)
        store.append(rowAt(n));
}

// First row that does not read back as written, or -1.
qint64 firstWrongRow(const RowStore &store, qint64 rows)
{
    for (qint64 n = 0; n < rows; ++n) {
        if (!same(store.at(n), rowAt(n)))
            return n;
    }
    return -1;
}

qint64 firstWrongRow(const RowSnapshot &snapshot)
{
    LogRecord r{};
    for (qint64 n = 0; n < snapshot.size(); ++n) {
        if (!snapshot.read(n, &r) || !same(r, rowAt(n)))
            return n;
    }
    return -1;
}

// Every third frame FD with a length of its own and bytes that name it; the rest classic.
TimedPacket frameAt(qint64 n)
{
    TimedPacket f;
    f.time = 1700000000000000 + n;
    f.packet.id = quint32(n) & 0x7FF;
    f.packet.rtl = 8;
    if (n % 3 == 0) {
        f.packet.setFdLength(int(n % 65));
        f.packet.frame |= (n & 1) ? CanPacket::BitRateSwitch : CanPacket::ErrorState;
    }
    for (int i = 0; i < f.packet.dataLength(); ++i)
        f.packet.data[i] = quint8(n * 31 + i);
    return f;
}

bool sameFrame(const TimedPacket &a, const TimedPacket &b)
{
    return a.time == b.time && a.packet.id == b.packet.id && a.packet.frame == b.packet.frame &&
           a.packet.rtl == b.packet.rtl &&
           std::memcmp(a.packet.data, b.packet.data, sizeof a.packet.data) == 0;
}

} // namespace

class TestRowStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }
    void pagedOutRowsReadBackAndMemoryGoes();
    void snapshotStaysAsTaken();
    void fdRowsKeepEveryByte();
    void failingFileKeepsRowsInMemory_data();
    void failingFileKeepsRowsInMemory();

private:
    QTemporaryDir dir;
};

void TestRowStore::pagedOutRowsReadBackAndMemoryGoes()
{
    const qint64 rows = 100000; // twelve full blocks and a part
    RowStore store(dir.path());
    fill(store, 0, rows);
    store.waitWritten();
    QVERIFY2(store.errorString().isEmpty(), qPrintable(store.errorString()));
    QCOMPARE(store.size(), rows);
    QCOMPARE(store.blocksInMemory(), 1); // only the block being filled
    QCOMPARE(firstWrongRow(store, rows), -1);
    // Backwards too: the read-back cache must never hand out another block's rows.
    for (qint64 n = rows - 1; n >= 0; n -= RowBlock::Rows / 3)
        QVERIFY(same(store.at(n), rowAt(n)));
    QCOMPARE(store.at(rows).number, 0);
    QCOMPARE(store.at(-1).number, 0);
}

void TestRowStore::snapshotStaysAsTaken()
{
    RowStore store(dir.path());
    const qint64 taken = 2 * RowBlock::Rows + 100; // its last block is still being filled
    fill(store, 0, taken);
    const RowSnapshot snapshot = store.snapshot();
    fill(store, taken, taken + 3 * RowBlock::Rows); // the shared block fills up and is paged out
    store.waitWritten();
    QCOMPARE(snapshot.size(), taken);
    QCOMPARE(firstWrongRow(snapshot), -1);

    store.clear(); // the store's file goes; the snapshot keeps what it needs
    fill(store, 1000000, 1000000 + 2 * RowBlock::Rows);
    store.waitWritten();
    QCOMPARE(firstWrongRow(snapshot), -1);
    LogRecord r{};
    QVERIFY(!snapshot.read(taken, &r));
    QCOMPARE(store.size(), 2 * RowBlock::Rows);
    QVERIFY(same(store.at(0), rowAt(1000000)));
}

void TestRowStore::fdRowsKeepEveryByte()
{
    RowStore store(dir.path());
    const qint64 taken = 3 * RowBlock::Rows + 5; // tail rows fill and page out two blocks
    for (qint64 n = 0; n < taken; ++n)
        store.append(frameAt(n), qint32(n + 1));
    const RowSnapshot snapshot = store.snapshot();
    const RowSnapshot copy = snapshot; // a copy reads on its own
    store.clear();                     // the snapshot keeps the tail rows it needs
    store.append(frameAt(3), 1);
    QVERIFY(sameFrame(store.frame(0), frameAt(3)));
    TimedPacket read;
    for (qint64 n = 0; n < taken; ++n) {
        QVERIFY(snapshot.readFrame(n, &read));
        QVERIFY2(sameFrame(read, frameAt(n)), qPrintable(QString::number(n)));
    }
    QVERIFY(copy.readFrame(taken - 1, &read) && sameFrame(read, frameAt(taken - 1)));
    LogRecord record{};
    QVERIFY(snapshot.read(9, &record)); // a plain read gives the first eight bytes
    QCOMPARE(record.toFrame().packet.length(), 12);
    QCOMPARE(int(record.data[7]), int(quint8(9 * 31 + 7)));
}

void TestRowStore::failingFileKeepsRowsInMemory_data()
{
    QTest::addColumn<bool>("noDirectory");
    QTest::newRow("directory cannot be made") << true;
    QTest::newRow("file fills up") << false;
}

void TestRowStore::failingFileKeepsRowsInMemory()
{
    QFETCH(bool, noDirectory);
    // Under a plain file no directory can be made, root or not.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString where = noDirectory ? plain.fileName() + QStringLiteral("/rows") : dir.path();
    const qint64 rows = 5 * RowBlock::Rows + 7;
    RowStore store(where);
    {
        // Room for one and a half blocks: the second block's write fails halfway.
        const FileSizeLimit limit{noDirectory ? RLIM_INFINITY : rlim_t(RowBlock::Bytes * 3 / 2)};
        fill(store, 0, rows);
        store.waitWritten();
    }
    QVERIFY(!store.errorString().isEmpty());
    QCOMPARE(firstWrongRow(store, rows), -1);
    QCOMPARE(store.blocksInMemory(), noDirectory ? 6 : 5); // the first block is in the file
    QCOMPARE(firstWrongRow(store.snapshot()), -1);
}

QTEST_GUILESS_MAIN(TestRowStore)
#include "tst_rowstore.moc"
