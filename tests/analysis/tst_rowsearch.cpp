// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framequery.h"
#include "analysis/rowsearch.h"
#include "log/rowblock.h"
#include "log/rowsnapshot.h"
#include "log/rowstore.h"
#include "support/fdpackets.h"

#include <QTemporaryDir>
#include <QtTest>

// Rows of several blocks, the older ones paged out to the store's file; row r carries id r % 100
// and data byte 0 = r / 100, the others 0 (so id 7 with a byte 0x05 is row 507 only).
class TestRowSearch : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<RowStore> store;
    qint64 rows = 0;

    qint64 find(const char *id, const char *data, qint64 from, bool forward) const
    {
        FrameQuery query;
        if (!query.parse(QLatin1String(id), QLatin1String(data), nullptr))
            return -2;
        return RowSearch::find(store->snapshot(), rows, query, from, forward);
    }

private slots:
    void initTestCase()
    {
        store = std::make_unique<RowStore>(dir.path());
        rows = 3 * RowBlock::Rows + 17;
        for (qint64 r = 0; r < rows; ++r) {
            TimedPacket frame;
            frame.packet.id = quint32(r % 100);
            frame.packet.rtl = 8;
            frame.packet.data[0] = quint8(r / 100);
            store->append(LogRecord::fromFrame(frame, qint32(r + 1)));
        }
        store->waitWritten();
        QVERIFY(store->blocksInMemory() < 4); // the search reads back from the file too
    }

    void finds_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("data");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<qint64>("found");
        QTest::newRow("from the start") << "7"
                                        << "05" << qint64(-1) << true << qint64(507);
        QTest::newRow("not the row itself") << "7"
                                            << "05" << qint64(507) << true << qint64(-1);
        QTest::newRow("backwards from the end")
            << "0x7"
            << "" << rows << false << (rows - 1) - (rows - 1 - 7) % 100;
        QTest::newRow("backwards, paged out") << "7"
                                              << "" << qint64(300) << false << qint64(207);
        QTest::newRow("wildcard digit, later block")
            << ""
            << "?F" << qint64(9000) << true << qint64(9500);
        QTest::newRow("pattern at an offset")
            << "63"
            << "00 00 00 00 00 00 00" << qint64(99) << true << qint64(199);
        QTest::newRow("no such id") << "1FF"
                                    << "" << qint64(-1) << true << qint64(-1);
    }
    void finds()
    {
        QFETCH(QString, id);
        QFETCH(QString, data);
        QFETCH(qint64, from);
        QFETCH(bool, forward);
        QFETCH(qint64, found);
        QCOMPARE(find(id.toLatin1().constData(), data.toLatin1().constData(), from, forward),
                 found);
    }

    // On from the other end when nothing follows; id 7 with byte 0x05 is row 507 only, and
    // id 7 alone is every hundredth row from 7.
    void findsAround_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("data");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<qint64>("found");
        QTest::addColumn<bool>("wrapped");
        const qint64 last = rows - 1;
        QTest::newRow("ahead: no wrap") << "7"
                                        << "" << qint64(100) << true << qint64(107) << false;
        QTest::newRow("from the newest row, forward")
            << "7"
            << "05" << last << true << qint64(507) << true;
        QTest::newRow("behind: backward no wrap")
            << "7"
            << "" << qint64(300) << false << qint64(207) << false;
        QTest::newRow("from the first row, backward")
            << "7"
            << "05" << qint64(0) << false << qint64(507) << true;
        QTest::newRow("the current row is the only one")
            << "7"
            << "05" << qint64(507) << true << qint64(507) << true;
        QTest::newRow("the current row is the only one, backward")
            << "7"
            << "05" << qint64(507) << false << qint64(507) << true;
        QTest::newRow("no current row") << "7"
                                        << "05" << qint64(-1) << true << qint64(507) << false;
        QTest::newRow("nothing anywhere") << "1FF"
                                          << "" << qint64(200) << true << qint64(-1) << false;
        QTest::newRow("nothing anywhere, backward")
            << "1FF"
            << "" << qint64(200) << false << qint64(-1) << false;
    }
    void findsAround()
    {
        QFETCH(QString, id);
        QFETCH(QString, data);
        QFETCH(qint64, from);
        QFETCH(bool, forward);
        QFETCH(qint64, found);
        QFETCH(bool, wrapped);
        FrameQuery query;
        QVERIFY(query.parse(id, data, nullptr));
        const RowSearch::Found result =
            RowSearch::findAround(store->snapshot(), rows, query, from, forward);
        QCOMPARE(result.row, found);
        QCOMPARE(result.wrapped, wrapped);
    }

    // The rows not yet in sight stay out of the second round as well, and a cancel stops both.
    void aroundKeepsToTheRowsInSight()
    {
        FrameQuery query;
        QVERIFY(query.parse(QStringLiteral("7"), QStringLiteral("05"), nullptr));
        const RowSearch::Found early =
            RowSearch::findAround(store->snapshot(), 500, query, 10, true);
        QCOMPARE(early.row, RowSearch::NotFound);
        const RowSearch::Found back =
            RowSearch::findAround(store->snapshot(), 500, query, 10, false);
        QCOMPARE(back.row, RowSearch::NotFound);
        const std::atomic_bool cancel{true};
        QCOMPARE(RowSearch::findAround(store->snapshot(), rows, query, rows - 1, true, &cancel).row,
                 RowSearch::NotFound);
    }

    // FD rows among classic ones, most of them paged out: a pattern is found in any of
    // the bytes a frame carries, across the eighth byte too, and never in bytes past its length.
    void fdRowsMatchInAnyByte_data()
    {
        QTest::addColumn<QString>("data");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<qint64>("found");
        const qint64 end = 3 * RowBlock::Rows;
        QTest::newRow("last bytes of 64") << "3C 3D 3E 3F" << qint64(-1) << true << qint64(100);
        QTest::newRow("across the eighth") << "07 08" << qint64(-1) << true << qint64(100);
        QTest::newRow("backwards") << "20 ?1" << end << false << qint64(100);
        QTest::newRow("last of 12") << "8A 8B" << qint64(-1) << true << qint64(RowBlock::Rows + 5);
        QTest::newRow("past 12") << "8B 8C" << qint64(-1) << true << qint64(-1);
        QTest::newRow("short FD") << "41 42 43 44" << qint64(-1) << true
                                  << qint64(2 * RowBlock::Rows + 3);
        QTest::newRow("past 5") << "44 45" << end << false << qint64(-1);
    }
    void fdRowsMatchInAnyByte()
    {
        QFETCH(QString, data);
        QFETCH(qint64, from);
        QFETCH(bool, forward);
        QFETCH(qint64, found);
        QTemporaryDir fdDir;
        RowStore fdStore(fdDir.path());
        const qint64 end = 3 * RowBlock::Rows;
        for (qint64 r = 0; r < end; ++r) {
            TimedPacket frame;
            frame.packet.id = quint32(r % 100);
            frame.packet.rtl = 8;
            if (r == 100)
                frame.packet = countingFdFrame(0x100, 64);
            else if (r == RowBlock::Rows + 5)
                frame.packet = countingFdFrame(0x101, 12, 0, 0x80);
            else if (r == 2 * RowBlock::Rows + 3)
                frame.packet = countingFdFrame(0x102, 5, 0, 0x40);
            fdStore.append(frame, qint32(r + 1));
        }
        fdStore.waitWritten();
        QVERIFY(fdStore.blocksInMemory() < 3);
        FrameQuery query;
        QVERIFY(query.parse(QString(), data, nullptr));
        QCOMPARE(RowSearch::find(fdStore.snapshot(), end, query, from, forward), found);
    }

    void rowsPastTheEndAndCancel()
    {
        FrameQuery query;
        QVERIFY(query.parse(QStringLiteral("7"), QString(), nullptr));
        // Rows beyond `end` are not in sight yet: never found.
        QCOMPARE(RowSearch::find(store->snapshot(), 100, query, 7, true), RowSearch::NotFound);
        const std::atomic_bool cancel{true};
        QCOMPARE(RowSearch::find(store->snapshot(), rows, query, -1, true, &cancel),
                 RowSearch::NotFound);
    }
};

QTEST_GUILESS_MAIN(TestRowSearch)
#include "tst_rowsearch.moc"
