// SPDX-License-Identifier: GPL-3.0-or-later
// The span of the "Биты" page in the window: a loaded capture counted whole, its last seconds,
// the rows selected in the log, and the background taken from the chosen span.
#include "app/bitgrid.h"
#include "app/bitpanel.h"
#include "app/logpager.h"
#include "log/candatamodel.h"
#include "log/logpagemodel.h"
#include "support/testfiles.h"
#include "support/windowharness.h"

#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

class TestBitSpanView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void spansOfALoadedCapture();
    void selectionFollowedAndBackgroundTaken();
    void liveLastSecondsKeptCurrent();

private:
    void openCapture();
    void selectLogRows(int first, int last);
    void chooseSpan(BitPanel::Span span);
    // "Переключений: …, кадров: …" of the grid's cell for `bit`.
    QString counts(int bit) const;

    QTemporaryDir dir;
    WindowHarness ui;
    BitPanel *panel = nullptr;
};

namespace {

constexpr int Frames = 20;
const quint32 Key = BitFlipCounter::key(0x123, false);

} // namespace

void TestBitSpanView::init()
{
    WindowHarness::writeSettings(QString(), dir.path());
    ui.create();
    panel = ui.child<BitPanel>("bitView");
}

void TestBitSpanView::cleanup()
{
    ui.destroy();
}

// 0x123 every 100 ms: bit 0 toggles in the first ten frames, bit 15 in the last ten.
void TestBitSpanView::openCapture()
{
    QByteArray text;
    for (int i = 0; i < Frames; ++i) {
        const int byte0 = i < 10 ? i & 1 : 0;
        const int byte1 = i >= 10 && (i & 1) ? 0x80 : 0;
        text += QStringLiteral("(170000000%1.%2) can0 123#%3%4\n")
                    .arg(i / 10)
                    .arg(i % 10 * 100000, 6, 10, QLatin1Char('0'))
                    .arg(byte0, 2, 16, QLatin1Char('0'))
                    .arg(byte1, 2, 16, QLatin1Char('0'))
                    .toLatin1();
    }
    const QString path = dir.filePath(QStringLiteral("bus.log"));
    QVERIFY(::writeFile(path, text));
    ui.get()->openCapture(path);
    QTRY_COMPARE(ui.log()->rowCount(), Frames);
    ui.child<QTabWidget>("tabWidget")->setCurrentWidget(panel);
    panel->showId(0x123, false);
}

void TestBitSpanView::selectLogRows(int first, int last)
{
    auto *pager = ui.get()->findChild<LogPager *>();
    auto *view = ui.child<QTableView>("tableView");
    auto *tabs = ui.child<QTabWidget>("tabWidget");
    tabs->setCurrentWidget(ui.child<QWidget>("tab")); // the log's page, sized to show its rows
    pager->showRow(last);                             // both ends on the page
    pager->showRow(first);
    const int top = pager->page()->first();
    view->selectionModel()->select(
        QItemSelection(pager->page()->index(first - top, 0), pager->page()->index(last - top, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(pager->selectedRows().size(), last - first + 1);
    QCOMPARE(pager->selectedRows().first(), qint64(first));
    tabs->setCurrentWidget(panel);
}

void TestBitSpanView::chooseSpan(BitPanel::Span span)
{
    auto *box = ui.child<QComboBox>("cbBitSpan");
    QVERIFY(box->isEnabled());
    box->setCurrentIndex(int(span));
}

QString TestBitSpanView::counts(int bit) const
{
    return panel->findChild<BitGrid *>()->cellToolTip(bit).section(QLatin1Char('\n'), 1, 1);
}

void TestBitSpanView::spansOfALoadedCapture()
{
    openCapture();
    // The whole log: every frame of the capture, as loaded.
    QCOMPARE(panel->span(), BitPanel::Span::WholeLog);
    QCOMPARE(counts(0), QStringLiteral("Переключений: 10, кадров: 20"));
    QCOMPARE(counts(15), QStringLiteral("Переключений: 9, кадров: 20"));

    // The last second counts back from the newest frame (1.9 s): the frames from 0.9 s on.
    chooseSpan(BitPanel::Span::LastSeconds);
    ui.child<QSpinBox>("sbBitSeconds")->setValue(1);
    QTRY_COMPARE(counts(0), QStringLiteral("Переключений: 1, кадров: 11"));
    QCOMPARE(counts(15), QStringLiteral("Переключений: 9, кадров: 11"));
    QCOMPARE(ui.child<QLabel>("lbBitSpan")->text(), QStringLiteral("Строк: 11"));

    // A span chosen while another is still being counted: the grid ends with the one chosen
    // last, the rows selected in the log.
    selectLogRows(12, 15);
    chooseSpan(BitPanel::Span::WholeLog);
    QCOMPARE(counts(0), QStringLiteral("Переключений: 10, кадров: 20")); // at once
    chooseSpan(BitPanel::Span::LastSeconds);
    chooseSpan(BitPanel::Span::SelectedRows);
    QTRY_COMPARE(counts(15), QStringLiteral("Переключений: 3, кадров: 4"));
    QCOMPARE(counts(0), QStringLiteral("Переключений: 0, кадров: 4"));
    QCOMPARE(panel->counter().activity(Key)->frames, quint64(Frames)); // the whole log kept
}

void TestBitSpanView::selectionFollowedAndBackgroundTaken()
{
    openCapture();
    selectLogRows(0, 3);
    chooseSpan(BitPanel::Span::SelectedRows);
    QTRY_COMPARE(counts(0), QStringLiteral("Переключений: 3, кадров: 4"));
    QCOMPARE(counts(15), QStringLiteral("Переключений: 0, кадров: 4"));
    QCOMPARE(ui.child<QLabel>("lbBitSpan")->text(), QStringLiteral("Строк: 4"));
    // Another selection is counted once it rests; none leaves the grid empty.
    selectLogRows(12, 15);
    QTRY_COMPARE(counts(15), QStringLiteral("Переключений: 3, кадров: 4"));
    ui.child<QTableView>("tableView")->clearSelection();
    QTRY_COMPARE(counts(0), QString());
    QCOMPARE(ui.child<QLabel>("lbBitSpan")->text(), QStringLiteral("Выделите строки в журнале"));

    // The background is what moved in the selected rows: bit 0, not bit 15, which moved
    // elsewhere in the log and so is new against it.
    selectLogRows(0, 3);
    QTRY_COMPARE(counts(0), QStringLiteral("Переключений: 3, кадров: 4"));
    ui.child<QPushButton>("btRememberBackground")->click();
    QCOMPARE(panel->background().mask(Key), quint64(1));
    QVERIFY(panel->hasNewFlips(0x123, false));

    // A cleared log leaves no span behind.
    ui.child<QPushButton>("btClearTable")->click();
    QTRY_COMPARE(ui.log()->rowCount(), 0);
    QCOMPARE(panel->shownCounter().activity(Key), nullptr);
}

// A live log's last second is counted again as rows come, without the user asking.
void TestBitSpanView::liveLastSecondsKeptCurrent()
{
    CanDataModel log(nullptr, dir.path());
    log.setDeferredInsert(true);
    QTableView view;
    QScrollBar bar;
    LogPager pager(&view, &bar, &log);
    BitFlipCounter flips;
    BitPanel live;
    live.setCounter(&flips);
    live.attachLog(&log, &pager);
    live.show();
    live.showId(0x10, false);
    const auto feed = [&](int from, int to, int bit) {
        for (int i = from; i < to; ++i) {
            TimedPacket frame;
            frame.time = 1700000000LL * 1000000 + i * 100000;
            frame.packet.id = 0x10;
            frame.packet.rtl = 1;
            frame.packet.data[0] = quint8((i & 1) << bit);
            log.addFrame(frame);
            flips.add(frame);
        }
        log.flushRows();
        pager.onRowsAdded();
        live.refresh(); // as the window does at each refresh
    };
    const auto liveCounts = [&](int bit) {
        return live.findChild<BitGrid *>()->cellToolTip(bit).section(QLatin1Char('\n'), 1, 1);
    };
    live.findChild<QSpinBox *>("sbBitSeconds")->setValue(1);
    live.findChild<QComboBox *>("cbBitSpan")->setCurrentIndex(int(BitPanel::Span::LastSeconds));
    feed(0, 10, 0); // bit 0 toggling for a second
    QTRY_COMPARE(liveCounts(0), QStringLiteral("Переключений: 9, кадров: 10"));
    feed(10, 30, 1); // then bit 1 for two seconds: the last one holds bit 1 only
    QTRY_COMPARE(liveCounts(1), QStringLiteral("Переключений: 10, кадров: 11"));
    QCOMPARE(liveCounts(0), QStringLiteral("Переключений: 0, кадров: 11"));
    QCOMPARE(live.counter().activity(BitFlipCounter::key(0x10, false))->frames, quint64(30));
}

QUORVEX_WINDOW_TEST_MAIN(TestBitSpanView)
#include "tst_bitspanview.moc"
