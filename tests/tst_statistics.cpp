#include "app/framestatistics.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>
#include <memory>

namespace {

CanPacket makePacket(uint32_t id, uint8_t rtl = 8, uint8_t first = 0)
{
    CanPacket packet;
    packet.id = id;
    packet.rtl = rtl;
    packet.data[0] = first;
    return packet;
}

// Row -1 gives the header texts.
QStringList texts(const QAbstractItemModel *model, int row, int columns = 4)
{
    QStringList out;
    for (int column = 0; column < columns; ++column)
        out << (row < 0 ? model->headerData(column, Qt::Horizontal)
                        : model->index(row, column).data())
                   .toString();
    return out;
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

    std::unique_ptr<QObject> owner;
    std::unique_ptr<FrameStatistics> stats;
    QAbstractItemModel *model = nullptr;

    void show(uint32_t id, uint8_t rtl = 8, uint8_t first = 0)
    {
        stats->count(makePacket(id, rtl, first));
        stats->refresh();
    }

private slots:
    void init()
    {
        owner = std::make_unique<QObject>();
        stats = std::make_unique<FrameStatistics>(owner.get());
        model = stats->model();
        QCOMPARE(model->parent(), owner.get());
        new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal,
                                     owner.get());
    }
    void cleanup()
    {
        stats.reset();
        owner.reset();
    }

    void firstFrameMakesRow()
    {
        QCOMPARE(texts(model, -1), QStringList({"ID", "Length", "Number", "Packet"}));
        stats->count(makePacket(0x123, 0x13, 0xA5));
        QVERIFY2(texts(model, 0).join("").isEmpty(), "counting alone leaves the table as it was");
        stats->refresh();
        QCOMPARE(texts(model, 0), QStringList({"0x00000123", "0x03", "1",
                                               "[RX] F: 00 ID: 00000123 RTL: 13 DATA: A5 00 00 "
                                               "00 00 00 00 00"}));
        QVERIFY(texts(model, 1).join("").isEmpty());
        for (int column = 0; column < 3; ++column)
            QCOMPARE(model->index(0, column).data(Qt::TextAlignmentRole),
                     QVariant(Qt::AlignCenter));
        QVERIFY(!model->index(0, 3).data(Qt::TextAlignmentRole).isValid());
    }

    void rowsSortedAndUpdated()
    {
        show(0x80000000u);
        show(0x300);
        stats->count(makePacket(0x100));
        stats->count(makePacket(0x300, 2, 0x11));
        stats->refresh();
        QCOMPARE(texts(model, 0, 3), QStringList({"0x00000100", "0x08", "1"}));
        QCOMPARE(texts(model, 1), QStringList({"0x00000300", "0x02", "2",
                                               "[RX] F: 00 ID: 00000300 RTL: 02 DATA: 11 00 00 "
                                               "00 00 00 00 00"}));
        QCOMPARE(texts(model, 2, 1), QStringList({"0x80000000"}));
        QCOMPARE(model->index(0, 0).data(Qt::TextAlignmentRole), QVariant(Qt::AlignCenter));
        QCOMPARE(stats->entry(0x300)->count, quint64(2));
        QVERIFY(!stats->entry(0x999));
    }

    void countPassesSixteenBits()
    {
        for (int i = 0; i < 70000; ++i)
            stats->count(makePacket(0x10));
        stats->refresh();
        QCOMPARE(texts(model, 0).at(2), QString("70000"));
    }

    void tableGrowsByTen_data()
    {
        QTest::addColumn<int>("ids");
        QTest::addColumn<bool>("refreshEach");
        QTest::addColumn<int>("rows");
        QTest::newRow("31") << 31 << false << 32;
        QTest::newRow("32 one by one") << 32 << true << 42;
        QTest::newRow("32 at once") << 32 << false << 42;
        QTest::newRow("41 one by one") << 41 << true << 42;
        QTest::newRow("42 at once") << 42 << false << 52;
    }
    void tableGrowsByTen()
    {
        QFETCH(int, ids);
        QFETCH(bool, refreshEach);
        QFETCH(int, rows);
        for (int i = ids; i > 0; --i) { // descending: each new row lands on top
            stats->count(makePacket(uint32_t(i)));
            if (refreshEach)
                stats->refresh();
        }
        stats->refresh();
        QCOMPARE(model->rowCount(), rows);
        QCOMPARE(texts(model, ids - 1, 1), QStringList({hexText(uint(ids), 8)}));
        QVERIFY(texts(model, ids).join("").isEmpty());
    }

    void clearDropsEverything()
    {
        for (uint32_t id = 0; id < 40; ++id)
            show(id);
        stats->count(makePacket(0x555)); // pending, never shown
        stats->clear();
        stats->refresh();
        QCOMPARE(stats->idCount(), 0);
        QCOMPARE(QSize(model->columnCount(), model->rowCount()), QSize(4, 32));
        QCOMPARE(texts(model, -1), QStringList({"ID", "Length", "Number", "Packet"}));
        for (int row = 0; row < 32; ++row)
            QVERIFY(texts(model, row).join("").isEmpty());
        show(0x7);
        QCOMPARE(texts(model, 0, 3), QStringList({"0x00000007", "0x08", "1"}));
    }

    void batchedCountsGiveSameTable()
    {
        FrameStatistics stepwise(owner.get());
        quint32 seed = 1;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const auto packet = makePacket((seed >> 16) % 97 * 13, uint8_t(seed >> 8), uint8_t(i));
            stats->count(packet);
            stepwise.count(packet);
            stepwise.refresh();
            if (i % 250 == 0)
                stats->refresh();
        }
        stats->refresh();
        QCOMPARE(model->rowCount(), stepwise.model()->rowCount());
        for (int row = 0; row < model->rowCount(); ++row)
            QCOMPARE(texts(model, row), texts(stepwise.model(), row));
    }

    void refreshTouchesOnlyChangedRows()
    {
        for (uint32_t id = 0; id < 1000; ++id)
            stats->count(makePacket(id * 2));
        stats->refresh();
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        stats->refresh();
        QCOMPARE(changed.count(), 0);
        stats->count(makePacket(1000, 3, 0x42));
        stats->count(makePacket(1000, 3, 0x43));
        stats->refresh();
        QVERIFY(!changed.isEmpty());
        for (const auto &args : changed) {
            const auto rows =
                qMakePair(args.at(0).toModelIndex().row(), args.at(1).toModelIndex().row());
            QCOMPARE(rows, qMakePair(500, 500));
        }
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(texts(model, 500, 3), QStringList({"0x000003E8", "0x03", "3"}));
    }
};

QTEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
