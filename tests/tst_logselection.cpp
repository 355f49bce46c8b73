// SPDX-License-Identifier: GPL-3.0-or-later
// A selection of log rows of any size: the runs it keeps, and the pager that lets the user pick
// rows across pages with the mouse and the keyboard while the view shows one page.
#include "app/bitpanel.h"
#include "app/logpager.h"
#include "app/selectioncount.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "log/logpagemodel.h"
#include "log/rowselection.h"

#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

class TestLogSelection : public QObject
{
    Q_OBJECT

    static constexpr int Rows = 1000;

    QTemporaryDir dir;
    std::unique_ptr<CanDataModel> log;
    std::unique_ptr<QTableView> view;
    std::unique_ptr<QScrollBar> bar;
    std::unique_ptr<LogPager> pager;

    static QVector<RowSelection::Range> runs(std::initializer_list<std::pair<qint64, qint64>> list)
    {
        QVector<RowSelection::Range> out;
        for (const auto &r : list)
            out.append(RowSelection::Range{r.first, r.second});
        return out;
    }
    // The point of a log row on the page shown.
    QPoint at(int row) const
    {
        const int pageRow = row - pager->page()->first();
        return {20, view->rowViewportPosition(pageRow) + view->rowHeight(pageRow) / 2};
    }
    void click(int row, Qt::KeyboardModifiers modifiers = {})
    {
        QVERIFY(row >= pager->page()->first() && row < pager->page()->first() + 10);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, at(row));
    }
    void key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(view.get(), Qt::Key(key), modifiers);
    }
    // The log rows the view shows selected on its page.
    QVector<qint64> shownSelected() const
    {
        QVector<qint64> rows;
        for (const QModelIndex &index : view->selectionModel()->selectedRows())
            rows.append(pager->page()->sourceRow(index.row()));
        std::sort(rows.begin(), rows.end());
        return rows;
    }

private slots:
    void runsMergeSplitAndCut()
    {
        RowSelection s;
        QVERIFY(s.isEmpty());
        QCOMPARE(s.firstRow(), qint64(-1));
        s.set(20, 10);
        QCOMPARE(s.ranges(), runs({{10, 21}}));
        s.add(30, 40);
        s.add(21, 21); // touching: one run
        QCOMPARE(s.ranges(), runs({{10, 22}, {30, 41}}));
        s.add(5, 35); // over both
        QCOMPARE(s.ranges(), runs({{5, 41}}));
        s.remove(10, 12);
        QCOMPARE(s.ranges(), runs({{5, 10}, {13, 41}}));
        QCOMPARE(s.count(), qint64(33));
        QVERIFY(s.contains(5) && s.contains(9) && !s.contains(10) && s.contains(40));
        QVERIFY(!s.contains(41) && !s.contains(4));
        s.toggle(11);
        s.toggle(40);
        QCOMPARE(s.ranges(), runs({{5, 10}, {11, 12}, {13, 40}}));
        QCOMPARE(s.within(8, 14), runs({{8, 10}, {11, 12}, {13, 14}}));
        QCOMPARE(s.rows().size(), 33);
        QCOMPARE(s.firstRow(), qint64(5));
        QCOMPARE(s.lastRow(), qint64(39));
        // A whole long log is one run.
        s.set(0, 9999999);
        QCOMPARE(s.ranges().size(), 1);
        QCOMPARE(s.count(), qint64(10000000));
    }

    void init()
    {
        log = std::make_unique<CanDataModel>(nullptr, dir.path());
        for (int i = 0; i < Rows; ++i) {
            TimedPacket f;
            f.time = 1700000000000000 + i * 1000;
            f.packet.id = 0x100 + quint32(i % 3);
            f.packet.rtl = 1;
            f.packet.data[0] = quint8(i);
            log->addFrame(f);
        }
        log->flushRows();
        view = std::make_unique<QTableView>();
        bar = std::make_unique<QScrollBar>();
        pager = std::make_unique<LogPager>(view.get(), bar.get(), log.get());
        const int rowHeight = view->verticalHeader()->defaultSectionSize();
        view->resize(400, view->horizontalHeader()->sizeHint().height() + 10 * rowHeight + 4);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        pager->onRowsAdded();
        bar->setValue(0);
    }

    void cleanup()
    {
        pager.reset();
        view.reset();
        bar.reset();
        log.reset();
    }

    // Click, scroll a few pages, Shift+click: every row between is selected, though the view
    // only ever held a page of them.
    void shiftClickSpansPages()
    {
        QSignalSpy changed(pager.get(), &LogPager::selectedRowsChanged);
        click(3);
        QCOMPARE(pager->selection().count(), qint64(1));
        QCOMPARE(pager->currentRow(), 3);
        bar->setValue(500);
        QVERIFY(shownSelected().isEmpty());
        click(504, Qt::ShiftModifier);
        QCOMPARE(pager->selection().ranges(), runs({{3, 505}}));
        QCOMPARE(pager->currentRow(), 504);
        QVERIFY(changed.count() >= 2);
        QCOMPARE(shownSelected().size(), 5); // 500 .. 504 of the page
        bar->setValue(0);
        QVector<qint64> page;
        for (qint64 row = 3; row < pager->page()->rowCount(); ++row)
            page.append(row);
        QCOMPARE(shownSelected(), page);
        // Ctrl+click takes a row out, and one in.
        click(5, Qt::ControlModifier);
        click(1, Qt::ControlModifier);
        QCOMPARE(pager->selection().ranges(), runs({{1, 2}, {3, 5}, {6, 505}}));
        // A plain click starts over.
        click(2);
        QCOMPARE(pager->selection().ranges(), runs({{2, 3}}));
    }

    void keysExtendAcrossPages()
    {
        click(5);
        view->setFocus();
        key(Qt::Key_Down, Qt::ShiftModifier);
        key(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(pager->selection().ranges(), runs({{5, 8}}));
        key(Qt::Key_PageDown, Qt::ShiftModifier);
        key(Qt::Key_PageDown, Qt::ShiftModifier);
        const qint64 down = pager->currentRow();
        QVERIFY(down >= 25);
        QCOMPARE(pager->selection().ranges(), runs({{5, down + 1}}));
        QVERIFY(shownSelected().contains(down)); // the page followed
        key(Qt::Key_PageUp, Qt::ShiftModifier);
        QVERIFY(pager->selection().lastRow() < down);
        QCOMPARE(pager->selection().firstRow(), qint64(5));
        key(Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(pager->selection().ranges(), runs({{5, Rows}}));
        key(Qt::Key_Up); // alone again
        QCOMPARE(pager->selection().ranges(), runs({{Rows - 2, Rows - 1}}));
        key(Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(pager->selection().count(), qint64(Rows));
        key(Qt::Key_Home);
        QCOMPARE(pager->selection().ranges(), runs({{0, 1}}));
    }

    // Dragging past the bottom of the view scrolls it and keeps selecting.
    void dragScrollsAndSelects()
    {
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(2));
        for (int i = 0; i < 15; ++i) {
            QMouseEvent move(QEvent::MouseMove, QPoint(20, view->viewport()->height() + 5),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(view->viewport(), &move);
        }
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(pager->page()->first()));
        QCOMPARE(pager->selection().firstRow(), qint64(2));
        QVERIFY(pager->selection().lastRow() >= 20);
        QCOMPARE(pager->selection().ranges().size(), 1);
        QCOMPARE(pager->currentRow(), int(pager->selection().lastRow()));
    }

    // Selected in the view by other means, rows are the log's selection too; the count is shown.
    void viewSelectionAndCount()
    {
        QStatusBar status;
        SelectionCount count(&status, pager.get());
        QCOMPARE(count.text(), QStringLiteral("Выделено строк: 1")); // the newest, followed
        bar->setValue(100);
        click(101);
        view->selectionModel()->select(
            QItemSelection(pager->page()->index(2, 0), pager->page()->index(4, 0)),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(pager->selection().ranges(), runs({{101, 105}}));
        QCOMPARE(count.text(), QStringLiteral("Выделено строк: 4"));
        QVERIFY(!count.isHidden());
        pager->selectAll();
        QCOMPARE(count.text(), QStringLiteral("Выделено строк: 1000"));
        log->clear();
        QVERIFY(pager->selection().isEmpty());
        QVERIFY(count.isHidden());
    }

    // "Выбранные строки" of the bit view counts a selection made across pages, off the
    // window's thread.
    void bitViewCountsTheWholeSelection()
    {
        BitPanel panel;
        panel.attachLog(log.get(), pager.get());
        panel.show();
        panel.showId(0x100, false);
        click(0);
        bar->setValue(600);
        click(608, Qt::ShiftModifier); // rows 0 .. 608
        panel.findChild<QComboBox *>("cbBitSpan")
            ->setCurrentIndex(int(BitPanel::Span::SelectedRows));
        auto *text = panel.findChild<QLabel *>("lbBitSpan");
        QTRY_COMPARE(text->text(), QStringLiteral("Строк: 609"));
        const BitActivity *a = panel.shownCounter().activity(BitFlipCounter::key(0x100, false));
        QVERIFY(a);
        QCOMPARE(a->frames, quint64(203)); // every third row
    }
};

QTEST_MAIN(TestLogSelection)
#include "tst_logselection.moc"
