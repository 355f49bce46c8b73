// SPDX-License-Identifier: GPL-3.0-or-later
// The "Биты" page: the grid follows frames, shows the background grey and new flips bright,
// outlines DBC signals where their bits lie, and selects bits by dragging.
#include "analysis/framefilter.h"
#include "analysis/framestatistics.h"
#include "app/bitgrid.h"
#include "app/bitpanel.h"
#include "app/statisticsmodel.h"
#include "app/statisticsview.h"
#include "link/timedpacket.h"

#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <tuple>

class TestBitView : public QObject
{
    Q_OBJECT

private slots:
    void gridShowsFrames();
    void backgroundGreysAndNewFlipsShine();
    void outlinesAndSelection();
    void marksOfCountersAndChecksumsAreOutlined();
    void statisticsMarkNew();
    void followsAClickOnTheCurrentRow();
    void gridGrowsToLongFdFrames();
};

namespace {

TimedPacket frame(quint32 id, std::initializer_list<quint8> bytes, qint64 time)
{
    TimedPacket f;
    f.time = time;
    f.packet.id = id;
    f.packet.rtl = quint8(bytes.size());
    std::copy(bytes.begin(), bytes.end(), f.packet.data);
    return f;
}

QColor cellColour(BitGrid *grid, int byte, int bitInByte)
{
    // Cells start right of the byte labels, below the header; bit 7 is the leftmost.
    const QImage image = grid->grab().toImage();
    const int x = 64 + (7 - bitInByte) * 28 + 4;
    const int y = 20 + byte * 28 + 4;
    return image.pixelColor(x * image.devicePixelRatio(), y * image.devicePixelRatio());
}

// The bit view beside a statistics table, fed the same frames.
struct BesideStatistics
{
    QObject owner;
    FrameStatistics statistics{&owner};
    QTableView table;
    FrameFilter filter;
    StatisticsView view{&table, &statistics, &filter};
    BitFlipCounter flips;
    BitPanel panel;

    BesideStatistics() { panel.setCounter(&flips); }
    void feed(const TimedPacket &f)
    {
        statistics.count(f);
        flips.add(f);
    }
    std::tuple<FrameStatistics &, QTableView &, StatisticsView &, BitPanel &> parts()
    {
        return {statistics, table, view, panel};
    }
};

} // namespace

void TestBitView::gridShowsFrames()
{
    BitFlipCounter flips;
    BitPanel panel;
    panel.setCounter(&flips);
    panel.show();
    QCOMPARE(panel.objectName(), QStringLiteral("bitView"));
    for (int i = 0; i < 100; ++i)
        flips.add(frame(0x123, {quint8(i), 0x5A, quint8(i % 3 == 0)}, 1000000 + i * 10000));
    panel.showId(0x123, false);
    auto *grid = panel.findChild<BitGrid *>(QStringLiteral("bitGrid"));
    QVERIFY(grid);
    const QString tip = grid->cellToolTip(0);
    QVERIFY2(tip.contains(QStringLiteral("Переключений: 99, кадров: 100")), qPrintable(tip));
    QVERIFY(tip.contains(QStringLiteral("Последнее:")));
    QVERIFY(grid->cellToolTip(8 * 3).isEmpty()); // beyond the frame's three bytes
    const BitActivity &act = *panel.counter().activity(BitFlipCounter::key(0x123, false));
    QCOMPARE(BitGrid::behaviourText(act, 0), QStringLiteral("счётчик"));
    QCOMPARE(BitGrid::behaviourText(act, 1), QStringLiteral("постоянный"));
    QCOMPARE(BitGrid::behaviourText(act, 2), QStringLiteral("меняется"));
    // Heat: the counter's lowest bit red, a constant bit white.
    QVERIFY(cellColour(grid, 0, 0).saturationF() > 0.9);
    QCOMPARE(cellColour(grid, 1, 0), QColor(Qt::white));
    flips.clear(); // the log was emptied
    panel.clear();
    QVERIFY(grid->cellToolTip(0).isEmpty());
}

void TestBitView::backgroundGreysAndNewFlipsShine()
{
    BitFlipCounter flips;
    BitPanel panel;
    panel.setCounter(&flips);
    panel.show();
    for (int i = 0; i < 10; ++i)
        flips.add(frame(0x10, {quint8(i), 0}, i));
    panel.showId(0x10, false);
    QSignalSpy changed(&panel, &BitPanel::backgroundChanged);
    QTest::mouseClick(panel.findChild<QPushButton *>("btRememberBackground"), Qt::LeftButton);
    QCOMPARE(changed.size(), 1);
    flips.add(frame(0x10, {0, 0x01}, 11)); // the button pressed
    panel.refresh();
    auto *grid = panel.findChild<BitGrid *>();
    QCOMPARE(cellColour(grid, 0, 0), QColor(200, 200, 200));
    QCOMPARE(cellColour(grid, 1, 0), QColor(255, 120, 0));
    QCOMPARE(cellColour(grid, 1, 1), QColor(Qt::white));
    QVERIFY(panel.background().isSet());
    auto *forget = panel.findChild<QPushButton *>("btForgetBackground");
    QVERIFY(forget->isEnabled());
    QTest::mouseClick(forget, Qt::LeftButton);
    QVERIFY(!panel.background().isSet());
    QVERIFY(cellColour(grid, 0, 0).saturationF() > 0.9);
}

void TestBitView::outlinesAndSelection()
{
    BitGrid grid;
    grid.show();
    BitActivity act;
    act.frames = 1;
    act.length = 8;
    grid.setActivity(&act, 0, false);
    grid.setOutlines({BitGrid::Outline{QStringLiteral("Speed"), {8, 9, 10}, Qt::blue}});
    QVERIFY(grid.cellToolTip(9).contains(QStringLiteral("Сигнал: Speed")));
    QVERIFY(!grid.cellToolTip(11).contains(QStringLiteral("Сигнал")));
    QSignalSpy selection(&grid, &BitGrid::selectionChanged);
    // From byte 0 bit 3 to byte 1 bit 4.
    const QPoint from(64 + 4 * 28 + 10, 20 + 10);
    const QPoint to(64 + 3 * 28 + 10, 20 + 28 + 10);
    QTest::mousePress(&grid, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&grid, &move);
    QTest::mouseRelease(&grid, Qt::LeftButton, {}, to);
    QCOMPARE(grid.selectionFrom(), 3);
    QCOMPARE(grid.selectionTo(), 12);
    QVERIFY(selection.size() >= 2);
    // From a low bit to a higher one: Intel, bits 3 .. 12 shown selected.
    QCOMPARE(grid.selectedBits(), QVector<int>({3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    QVERIFY(cellColour(&grid, 1, 4).red() < cellColour(&grid, 1, 5).red()); // tinted blue
    // Byte 2 bit 7 down to byte 3 bit 0: Motorola over both bytes, sixteen cells.
    QTest::mousePress(&grid, Qt::LeftButton, {}, QPoint(64 + 0 * 28 + 10, 20 + 2 * 28 + 10));
    QMouseEvent down(QEvent::MouseMove, QPoint(64 + 7 * 28 + 10, 20 + 3 * 28 + 10), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&grid, &down);
    QCOMPARE(grid.selectionFrom(), 23);
    QCOMPARE(grid.selectionTo(), 24);
    const QVector<int> bytes23 = grid.selectedBits();
    QCOMPARE(bytes23.size(), 16);
    QCOMPARE(*std::min_element(bytes23.begin(), bytes23.end()), 16);
    QCOMPARE(*std::max_element(bytes23.begin(), bytes23.end()), 31);
    grid.clearSelection();
    QCOMPARE(grid.selectionFrom(), -1);
    QVERIFY(grid.selectedBits().isEmpty());
}

// After "Разметить", the counter and the checksum of the identifier shown are outlined; its
// other marks, and the marks of other identifiers, are not.
void TestBitView::marksOfCountersAndChecksumsAreOutlined()
{
    BitFlipCounter flips;
    BitPanel panel;
    panel.setCounter(&flips);
    panel.show();
    for (int i = 0; i < 20; ++i)
        flips.add(frame(0x123, {quint8(i), 0x5A, quint8(i << 4), 0}, i));
    auto mark = [](quint32 id, FieldMark::Kind kind, int startBit, int length) {
        FieldMark m;
        m.id = id;
        m.kind = kind;
        m.startBit = startBit;
        m.length = length;
        return m;
    };
    panel.showMarks({mark(0x123, FieldMark::Counter, 20, 4),
                     mark(0x123, FieldMark::Checksum, 24, 8), mark(0x123, FieldMark::Value, 0, 8),
                     mark(0x124, FieldMark::Counter, 0, 8)});
    panel.showId(0x123, false);
    auto *grid = panel.findChild<BitGrid *>();
    QCOMPARE(grid->signalAt(20), QStringLiteral("счётчик"));
    QCOMPARE(grid->signalAt(23), QStringLiteral("счётчик"));
    QCOMPARE(grid->signalAt(19), QString());
    QCOMPARE(grid->signalAt(31), QStringLiteral("контрольная сумма"));
    QCOMPARE(grid->signalAt(0), QString());
    panel.showId(0x124, false);
    QCOMPARE(grid->signalAt(0), QStringLiteral("счётчик"));
    panel.showId(0x124, true); // the 29-bit identifier of the same number has none
    QCOMPARE(grid->signalAt(0), QString());
}

// The statistics' "Новое" column and "Только новые" follow the background of the bit view.
void TestBitView::statisticsMarkNew()
{
    BesideStatistics h;
    auto [statistics, table, view, panel] = h.parts();
    view.tableModel()->setNewTest(
        [&](uint32_t id, bool extended) { return panel.hasNewFlips(id, extended); });
    const auto feed = [&](const TimedPacket &f) { h.feed(f); };
    feed(frame(0x10, {0}, 1));
    feed(frame(0x10, {1}, 2));
    feed(frame(0x20, {0}, 3));
    panel.findChild<QPushButton *>("btRememberBackground")->click();
    feed(frame(0x10, {0}, 4)); // background only
    feed(frame(0x20, {4}, 5)); // new
    statistics.refresh();
    const StatisticsModel *model = view.tableModel();
    QVERIFY(model->rowCount() >= 2); // the table starts with empty rows
    QCOMPARE(model->headerData(StatisticsModel::NewColumn, Qt::Horizontal).toString(),
             QStringLiteral("Новое"));
    QCOMPARE(model->index(0, StatisticsModel::NewColumn).data().toString(), QString());
    QCOMPARE(model->index(1, StatisticsModel::NewColumn).data().toString(), QStringLiteral("да"));
    table.show();
    view.setNewOnly(true);
    QVERIFY(table.isRowHidden(0));
    QVERIFY(!table.isRowHidden(1));
    view.setNewOnly(false);
    QVERIFY(!table.isRowHidden(0));
}

// The statistics' current row shows in the grid when clicked again, after the log or the
// signals showed another identifier there.
void TestBitView::followsAClickOnTheCurrentRow()
{
    BesideStatistics h;
    auto [statistics, table, view, panel] = h.parts();
    panel.follow(&table, &statistics);
    for (const quint32 id : {0x10u, 0x20u})
        h.feed(frame(id, {1}, id));
    statistics.refresh();
    table.resize(800, 300);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QSignalSpy shown(&panel, &BitPanel::findSignalRequested);
    const auto shownId = [&] {
        panel.findChild<QPushButton *>("btFindSignal")->click();
        return shown.takeLast().at(0).toUInt();
    };
    const int row = statistics.entryAt(0)->id == 0x10 ? 0 : 1;
    const QModelIndex cell = view.tableModel()->index(row, StatisticsModel::CountColumn);
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(cell).center());
    QCOMPARE(table.currentIndex().row(), row);
    QCOMPARE(shownId(), 0x10u);
    panel.showId(0x20, false); // a row of the log, say
    QCOMPARE(shownId(), 0x20u);
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(cell).center());
    QCOMPARE(shownId(), 0x10u);
}

// An identifier of 64-byte FD frames gets a grid of 64 rows; bit 500 (byte 62, bit 4) shows its
// flips. A classic identifier shown after it has its eight rows again.
void TestBitView::gridGrowsToLongFdFrames()
{
    BitFlipCounter flips;
    BitPanel panel;
    panel.setCounter(&flips);
    panel.show();
    for (int i = 0; i < 10; ++i) {
        TimedPacket f = frame(0x321, {}, 1000000 + i * 10000);
        f.packet.frame = CanPacket::Fd;
        f.packet.setFdLength(64);
        f.packet.data[62] = quint8((i & 1) << 4);
        f.packet.data[40] = 0xA5;
        flips.add(f);
    }
    flips.add(frame(0x10, {1, 2}, 1));
    panel.showId(0x321, false);
    auto *grid = panel.findChild<BitGrid *>();
    QCOMPARE(grid->byteRows(), 64);
    QTRY_VERIFY(grid->height() >= 20 + 64 * 28);
    const QString tip = grid->cellToolTip(500);
    QVERIFY2(tip.contains(QStringLiteral("Байт 62, бит 4")), qPrintable(tip));
    QVERIFY2(tip.contains(QStringLiteral("Переключений: 9, кадров: 10")), qPrintable(tip));
    QVERIFY(grid->cellToolTip(8 * 64).isEmpty());
    // Two-digit byte labels take more room: the cells move right.
    QVERIFY(grid->cellRect(7).left() > 64);
    const QImage image = grid->grab().toImage();
    const auto colour = [&](int bit) {
        const QPoint at = grid->cellRect(bit).topLeft() + QPoint(4, 4);
        return image.pixelColor(at * image.devicePixelRatio());
    };
    QVERIFY(colour(500).saturationF() > 0.9);
    QCOMPARE(colour(499), QColor(Qt::white));
    QCOMPARE(colour(40 * 8), QColor(Qt::white)); // constant 0xA5
    panel.showId(0x10, false);
    QCOMPARE(grid->byteRows(), 8);
    QCOMPARE(grid->cellRect(7).left(), 64);
    QVERIFY(grid->cellToolTip(8).contains(QStringLiteral("кадров: 1")));
}

QTEST_MAIN(TestBitView)
#include "tst_bitview.moc"
