// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framefilter.h"
#include "analysis/framestatistics.h"
#include "app/statisticsmodel.h"
#include "link/timedpacket.h"
#include "signals/signalset.h"
#include "support/fdpackets.h"
#include "support/testpackets.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QtTest>
#include <memory>

namespace {

// No route: the statistics go by identifier and format alone.
CanPacket makePacket(uint32_t id, uint8_t rtl = 8, uint8_t first = 0)
{
    return testFrame(id, 0, rtl, first);
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

constexpr qint64 T0 = 1700000000000000; // µs since the epoch, on a whole second
constexpr qint64 Ms = 1000;

QStringList cells(const QAbstractItemModel *model, int row, int first, int last)
{
    QStringList out;
    for (int column = first; column <= last; ++column)
        out << model->index(row, column).data().toString();
    return out;
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

    std::unique_ptr<QObject> owner;
    std::unique_ptr<FrameStatistics> stats;
    StatisticsModel *statModel = nullptr;
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
        stats = std::make_unique<FrameStatistics>();
        statModel = new StatisticsModel(stats.get(), owner.get());
        model = statModel;
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
                                               // a remote frame carries no data
                                               "[RX] F: 00 ID: 00000123 RTL: 13 DATA:"}));
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
                                               "[RX] F: 00 ID: 00000300 RTL: 02 DATA: 11 00"}));
        QCOMPARE(texts(model, 2, 1), QStringList({"0x80000000"}));
        QCOMPARE(model->index(0, 0).data(Qt::TextAlignmentRole), QVariant(Qt::AlignCenter));
        QCOMPARE(stats->entry(0x300)->count, quint64(2));
        QVERIFY(!stats->entry(0x999));
    }

    // Statistics that go before their model leave it empty rather than reading freed rows.
    void modelOutlivesItsStatistics()
    {
        show(0x10);
        QCOMPARE(model->rowCount(), 32);
        QSignalSpy reset(model, &QAbstractItemModel::modelReset);
        stats.reset();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(!model->index(0, 0).data().isValid());
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
        QCOMPARE(QSize(model->columnCount(), model->rowCount()),
                 QSize(StatisticsModel::ColumnCount, 32));
        QCOMPARE(texts(model, -1), QStringList({"ID", "Length", "Number", "Packet"}));
        for (int row = 0; row < 32; ++row)
            QVERIFY(texts(model, row).join("").isEmpty());
        show(0x7);
        QCOMPARE(texts(model, 0, 3), QStringList({"0x00000007", "0x08", "1"}));
    }

    void batchedCountsGiveSameTable()
    {
        FrameStatistics stepwise;
        StatisticsModel stepwiseModel(&stepwise);
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
        QCOMPARE(model->rowCount(), (&stepwiseModel)->rowCount());
        for (int row = 0; row < model->rowCount(); ++row)
            QCOMPARE(texts(model, row), texts((&stepwiseModel), row));
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

    // Frames at 0, 10, 30, 45 ms: cycles 10, 20, 15; the average is span / (count - 1).
    void cycleAndRateColumns()
    {
        using M = StatisticsModel;
        QCOMPARE(texts(model, -1, M::ColumnCount).mid(M::CycleColumn),
                 QStringList({"Cycle, ms", "Min, ms", "Avg, ms", "Max, ms", "Frames/s", "D0", "D1",
                              "D2", "D3", "D4", "D5", "D6", "D7", "Name", "Новое"}));
        stats->count(TimedPacket{T0, makePacket(0x10)});
        stats->refresh(T0);
        QCOMPARE(cells(model, 0, M::CycleColumn, M::MaxCycleColumn), QStringList({"", "", "", ""}));
        for (qint64 at : {10, 30, 45})
            stats->count(TimedPacket{T0 + at * Ms, makePacket(0x10)});
        stats->refresh(T0 + 500 * Ms);
        QCOMPARE(cells(model, 0, M::CycleColumn, M::RateColumn),
                 QStringList({"15.0", "10.0", "15.0", "20.0", "4"}));
        QCOMPARE(model->index(0, M::CycleColumn).data(Qt::TextAlignmentRole),
                 QVariant(Qt::AlignCenter));
        stats->refresh(T0 + 1400 * Ms); // the frames are older than a second now
        QCOMPARE(cells(model, 0, M::RateColumn, M::RateColumn), QStringList({"0"}));
    }

    // The name comes from the DBC per (id, format), and follows the set when it is read again.
    void nameColumn()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("n.dbc"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BO_ 16 Engine: 8 ECU\n BO_ 2147483664 Gearbox: 8 TCU\n");
        file.close();
        SignalSet set;
        QVERIFY(set.load({path}).isEmpty());
        QSignalSpy changed(statModel, &QAbstractItemModel::dataChanged);
        stats->count(makePacket(0x10));
        stats->count(makePacket(0x11));
        CanPacket extended = makePacket(0x10);
        extended.frame = CanPacket::Extended;
        stats->count(extended);
        stats->refresh();
        statModel->setSignalSet(&set);
        QCOMPARE(changed.last().at(0).toModelIndex().column(), int(StatisticsModel::NameColumn));
        const int name = StatisticsModel::NameColumn;
        QCOMPARE(cells(model, 0, name, name) + cells(model, 1, name, name) +
                     cells(model, 2, name, name),
                 QStringList({"Engine", "Gearbox", ""})); // sorted: 0x10, 0x10 29-bit, 0x11
        set.clear();
        statModel->announceNames();
        QCOMPARE(cells(model, 0, name, name), QStringList({""}));
    }

    // A capture from a file, years old, reads as it ended: its rate, not silence since.
    void captureReadsAtItsNewestFrame()
    {
        using M = StatisticsModel;
        stats->clear(FrameStatistics::Clock::Capture);
        for (qint64 at = 0; at < 50; ++at)
            stats->count(TimedPacket{T0 + at * 10 * Ms, makePacket(0x10)});
        stats->refresh();
        QCOMPARE(stats->readingTime(), T0 + 490 * Ms);
        QCOMPARE(cells(model, 0, M::RateColumn, M::RateColumn), QStringList({"50"}));
        QVERIFY(!statModel->isSilent(0));
        stats->clear(); // a live bus again
        stats->count(TimedPacket{T0, makePacket(0x10)});
        stats->count(TimedPacket{T0 + 10 * Ms, makePacket(0x10)});
        stats->refresh();
        QVERIFY(statModel->isSilent(0));
    }

    void byteColumns_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("bytes");
        QTest::newRow("hex") << 0 << QStringList({"0x1F", "0x41", "0x00", "", "", "", "", ""});
        QTest::newRow("dec") << 1 << QStringList({"31", "65", "0", "", "", "", "", ""});
        QTest::newRow("asc") << 2
                             << QStringList({QString(QChar(0x1F)), "A", QString(QChar(0)), "", "",
                                             "", "", ""});
        QTest::newRow("bin") << 3
                             << QStringList(
                                    {"0b00011111", "0b01000001", "0b00000000", "", "", "", "", ""});
    }
    void byteColumns()
    {
        QFETCH(int, format);
        QFETCH(QStringList, bytes);
        CanPacket packet = makePacket(0x20, 3, 0x1F);
        packet.data[1] = 'A';
        packet.data[5] = 0x77; // past the length: not shown
        stats->count(TimedPacket{T0, packet});
        stats->refresh(T0);
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        statModel->setFormat(format);
        QCOMPARE(changed.isEmpty(), format == 0);
        QCOMPARE(cells(model, 0, StatisticsModel::FirstByteColumn, StatisticsModel::LastByteColumn),
                 bytes);
        stats->count(TimedPacket{T0, makePacket(0x20, 0x18)}); // a remote frame carries none
        stats->refresh(T0);
        QCOMPARE(cells(model, 0, StatisticsModel::FirstByteColumn, StatisticsModel::LastByteColumn)
                     .join(""),
                 QString());
    }

    // An FD frame's length is its byte count; its text carries every byte it has, and its tool
    // tip the FD flags too. The byte columns show its first eight.
    void fdFrames()
    {
        CanPacket fd = countingFdFrame(0x7E8, 64, CanPacket::BitRateSwitch, 0xC0);
        stats->count(TimedPacket{T0, fd});
        stats->count(TimedPacket{T0, countingFdFrame(0x7E9, 12, 0, 0x10)});
        stats->count(TimedPacket{T0, makePacket(0x7EA, 0x0F, 0x20)}); // classic code 15
        stats->refresh(T0);
        QString bytes;
        for (int i = 0; i < 64; ++i)
            bytes += QStringLiteral(" %1").arg((0xC0 + i) & 0xFF, 2, 16, QChar('0')).toUpper();
        QCOMPARE(texts(model, 0), QStringList({"0x000007E8", "0x40", "1",
                                               "[RX] F: 06 ID: 000007E8 RTL: 0F DATA:" + bytes}));
        QCOMPARE(texts(model, 1).mid(1), QStringList({"0x0C", "1",
                                                      "[RX] F: 02 ID: 000007E9 RTL: 09 DATA: 10 "
                                                      "11 12 13 14 15 16 17 18 19 1A 1B"}));
        QCOMPARE(texts(model, 2).mid(1),
                 QStringList({"0x0F", "1",
                              "[RX] F: 00 ID: 000007EA RTL: 0F DATA: 20 00 00 00 00 00 00 00"}));
        QCOMPARE(cells(model, 0, StatisticsModel::FirstByteColumn, StatisticsModel::LastByteColumn)
                     .join(' '),
                 QStringLiteral("0xC0 0xC1 0xC2 0xC3 0xC4 0xC5 0xC6 0xC7"));
        const auto tip = [this](int row, int column) {
            return model->index(row, column).data(Qt::ToolTipRole).toString();
        };
        QCOMPARE(tip(0, StatisticsModel::PacketColumn),
                 "CAN FD, BRS, длина 64\n" + texts(model, 0)[3]);
        QVERIFY(tip(0, StatisticsModel::IdColumn).isEmpty());
        QVERIFY(tip(2, StatisticsModel::PacketColumn).isEmpty()); // classic: the cell says it all
    }

    // One identifier's latest frame, whatever came before it: a 12-byte FD frame after a
    // 64-byte one, then a classic one, then a remote one.
    void latestFrameOfAnIdentifier()
    {
        const auto packetText = [this](const CanPacket &packet) {
            stats->count(TimedPacket{T0, packet});
            stats->refresh(T0);
            return texts(model, 0)[3];
        };
        packetText(countingFdFrame(0x7E8, 64, 0, 0xC0));
        QCOMPARE(packetText(countingFdFrame(0x7E8, 12, 0, 0x10)),
                 "[RX] F: 02 ID: 000007E8 RTL: 09 DATA: 10 11 12 13 14 15 16 17 18 19 1A 1B");
        QCOMPARE(packetText(makePacket(0x7E8, 2, 0x20)),
                 "[RX] F: 00 ID: 000007E8 RTL: 02 DATA: 20 00");
        QCOMPARE(packetText(makePacket(0x7E8, 0x12, 0x30)),
                 "[RX] F: 00 ID: 000007E8 RTL: 12 DATA:");
    }

    // A changed byte lights up and fades over 2 s; an unchanged one never; a silent id greys.
    void highlightAndSilence()
    {
        const int d0 = StatisticsModel::FirstByteColumn;
        stats->count(TimedPacket{T0, makePacket(0x30, 2, 0x01)});
        stats->count(TimedPacket{T0 + 100 * Ms, makePacket(0x30, 2, 0x02)});
        stats->refresh(T0 + 100 * Ms);
        QCOMPARE(model->index(0, d0).data(StatisticsModel::HighlightRole).toDouble(), 1.0);
        QCOMPARE(model->index(0, d0 + 1).data(StatisticsModel::HighlightRole).toDouble(), 0.0);
        QVERIFY(!model->index(0, d0 + 2).data(StatisticsModel::HighlightRole).isValid());
        QVERIFY(!model->index(0, 0).data(StatisticsModel::HighlightRole).isValid());
        QVERIFY(!model->index(0, d0).data(Qt::ForegroundRole).isValid());
        stats->refresh(T0 + 400 * Ms); // three average cycles of silence: not yet
        QVERIFY(!statModel->isSilent(0));
        stats->refresh(T0 + 1100 * Ms);
        QCOMPARE(model->index(0, d0).data(StatisticsModel::HighlightRole).toDouble(), 0.5);
        QVERIFY(statModel->isSilent(0));
        QVERIFY(model->index(0, 0).data(Qt::ForegroundRole).isValid());
    }

    void checkBoxesFollowTheFilter()
    {
        QVERIFY(!model->index(0, 0).data(Qt::CheckStateRole).isValid()); // no filter: no boxes
        FrameFilter filter;
        statModel->setIdFilter(&filter);
        show(0x40);
        CanPacket extended = makePacket(0x40);
        extended.frame = CanPacket::Extended;
        stats->count(extended);
        stats->refresh();
        QCOMPARE(stats->idCount(), 2); // 0x40 in both formats
        QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable);
        QVERIFY(!(model->flags(model->index(0, 1)) & Qt::ItemIsUserCheckable));
        QVERIFY(!(model->flags(model->index(2, 0)) & Qt::ItemIsUserCheckable)); // an empty row
        QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole), QVariant(Qt::Checked));
        QVERIFY(model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(filter.isHidden(0x40, true));
        QVERIFY(!filter.isHidden(0x40, false));
        QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole), QVariant(Qt::Unchecked));
    }
};

QTEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
