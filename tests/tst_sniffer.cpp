// SPDX-License-Identifier: GPL-3.0-or-later
// The reverse-engineering view in the window: per-identifier show/hide, its context menu, the
// find bar and the bus load field.
#include "analysis/framebits.h"
#include "app/findbar.h"
#include "app/loadmeter.h"
#include "app/logpager.h"
#include "link/linerecord.h"
#include "link/timeofday.h"
#include "support/ptypair.h"
#include "support/testpackets.h"
#include "support/windowharness.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
QString cell(QAbstractItemModel *model, int row, int column)
{
    return model->index(row, column).data().toString();
}
} // namespace

class TestSniffer : public QObject
{
    Q_OBJECT

    std::unique_ptr<PtyPair> pty;
    WindowHarness ui;
    QTemporaryDir workDir;

    void start()
    {
        WindowHarness::writeSettings(pty->portName(), workDir.path());
        ui.create();
        QVERIFY(ui.connectPort());
    }
    void send(const QVector<CanPacket> &frames)
    {
        QByteArray bytes;
        for (const CanPacket &p : frames)
            bytes += LineRecord::moduleRecord(p);
        QVERIFY(pty->write(bytes));
    }
    QAbstractItemModel *statistics()
    {
        ui.child<QTabWidget>("tabWidget")->setCurrentWidget(ui.child<QWidget>("tab_2"));
        return ui.child<QTableView>("tableView_2")->model();
    }
    QVector<Qt::CheckState> checks(QAbstractItemModel *stats, int rows)
    {
        QVector<Qt::CheckState> out;
        for (int row = 0; row < rows; ++row)
            out << Qt::CheckState(stats->index(row, 0).data(Qt::CheckStateRole).toInt());
        return out;
    }

private slots:
    void init()
    {
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->isValid());
    }
    void cleanup()
    {
        ui.destroy();
        pty.reset();
    }

    void uncheckedIdLeavesTheLogButIsCounted()
    {
        start();
        send({testFrame(0x100), testFrame(0x200)});
        QTRY_COMPARE(ui.log()->rowCount(), 2);
        QAbstractItemModel *stats = statistics();
        QTRY_COMPARE(cell(stats, 1, 0), QStringLiteral("0x00000200"));
        QCOMPARE(checks(stats, 2), QVector<Qt::CheckState>({Qt::Checked, Qt::Checked}));
        QVERIFY(stats->setData(stats->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        send({testFrame(0x100), testFrame(0x200), testFrame(0x100)});
        QTRY_COMPARE(cell(stats, 0, 2), QStringLiteral("3")); // still counted
        QTRY_COMPARE(ui.log()->rowCount(), 3);
        QTest::qWait(2 * MainWindow::RefreshMs);
        QCOMPARE(ui.log()->rowCount(), 3); // earlier rows stay, new ones are hidden
        QCOMPARE(cell(ui.log(), 2, 0), QStringLiteral("0x00000200"));
        QVERIFY(stats->setData(stats->index(0, 0), Qt::Checked, Qt::CheckStateRole));
        send({testFrame(0x100)});
        QTRY_COMPARE(ui.log()->rowCount(), 4);
    }

    void contextMenu()
    {
        start();
        send({testFrame(0x100), testFrame(0x200)});
        QAbstractItemModel *stats = statistics();
        QTRY_COMPARE(cell(stats, 1, 0), QStringLiteral("0x00000200"));
        auto *view = ui.child<QTableView>("tableView_2");
        emit view->customContextMenuRequested(view->visualRect(stats->index(1, 0)).center());
        QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QStringList texts;
        for (QAction *action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({"Только этот ID", "Показать все", "Скрыть все", "Только новые",
                                     "Найти сигнал..."}));
        menu->actions().at(0)->trigger();
        menu->close();
        QCOMPARE(checks(stats, 2), QVector<Qt::CheckState>({Qt::Unchecked, Qt::Checked}));
        send({testFrame(0x300), testFrame(0x100), testFrame(0x200)}); // a new id is hidden too
        QTRY_COMPARE(ui.log()->rowCount(), 3);
        QTRY_COMPARE(cell(stats, 2, 0), QStringLiteral("0x00000300"));
        QCOMPARE(checks(stats, 3).at(2), Qt::Unchecked);

        ui.child<QAction>("actionHideAllIds")->trigger();
        QCOMPARE(checks(stats, 3), QVector<Qt::CheckState>(3, Qt::Unchecked));
        ui.child<QAction>("actionShowAllIds")->trigger();
        QCOMPARE(checks(stats, 3), QVector<Qt::CheckState>(3, Qt::Checked));
        send({testFrame(0x300)});
        QTRY_COMPARE(ui.log()->rowCount(), 4);
    }

    // Rows 0..29 carry ids 0x100 + row % 10; the log follows its last row, so searching starts
    // from there and goes on from the other end.
    void findBarJumps()
    {
        start();
        QVector<CanPacket> frames;
        for (int row = 0; row < 30; ++row)
            frames << testFrame(0x100 + uint32_t(row % 10), CanPacket::Can0ToCan1, 8, uint8_t(row));
        send(frames);
        QTRY_COMPARE(ui.log()->rowCount(), 30);
        QVERIFY(QTest::qWaitForWindowActive(ui.get()));
        auto *bar = ui.child<FindBar>("findBar");
        auto *pager = ui.get()->findChild<LogPager *>();
        QVERIFY(bar->isHidden());
        QTest::keyClick(ui.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        auto *idField = ui.child<QLineEdit>("leFindId");
        QVERIFY(idField->hasFocus());
        QTest::keyClicks(idField, QStringLiteral("105"));
        const auto press = [&](QWidget *target, Qt::Key key, Qt::KeyboardModifiers mods,
                               int expected, const QString &status) {
            QTest::keyClick(target, key, mods);
            QTRY_VERIFY(!bar->searching());
            QCOMPARE(pager->currentRow(), expected);
            QCOMPARE(bar->statusText(), status);
        };
        // The log follows its newest row: forward from there goes on from the start.
        press(idField, Qt::Key_Return, Qt::NoModifier, 5,
              QStringLiteral("Поиск продолжен с начала"));
        press(idField, Qt::Key_Return, Qt::NoModifier, 15, QString());
        press(idField, Qt::Key_Return, Qt::ShiftModifier, 5, QString());
        press(idField, Qt::Key_Return, Qt::ShiftModifier, 25,
              QStringLiteral("Поиск продолжен с конца"));
        press(ui.get(), Qt::Key_F3, Qt::NoModifier, 15, QString());
        press(ui.get(), Qt::Key_F3, Qt::ShiftModifier, 25, QString());
        idField->setText(QStringLiteral("1FF")); // in no row: the only "not found"
        press(idField, Qt::Key_Return, Qt::NoModifier, 25, QStringLiteral("Не найдено"));
        press(idField, Qt::Key_Return, Qt::ShiftModifier, 25, QStringLiteral("Не найдено"));
        idField->setText(QStringLiteral("105"));
        press(ui.get(), Qt::Key_F3, Qt::NoModifier, 15, QString()); // backward, as the last one
        idField->clear();
        QTest::keyClicks(ui.child<QLineEdit>("leFindData"), QStringLiteral("?? 00 00 00"));
        press(ui.child<QLineEdit>("leFindData"), Qt::Key_Enter, Qt::NoModifier, 16, QString());
        QTest::keyClicks(ui.child<QLineEdit>("leFindData"), QStringLiteral(" zz"));
        press(idField, Qt::Key_Return, Qt::NoModifier, 16,
              QStringLiteral("Неверный шаблон данных"));
        QTest::keyClick(idField, Qt::Key_Escape);
        QVERIFY(bar->isHidden());
    }

    // 200 frames of CAN0->CAN1 against 125 kbit/s, then against 1 Mbit/s.
    void busLoad()
    {
        start();
        QVERIFY(ui.status("lbStatusLoad").startsWith(QStringLiteral("Нагрузка: CAN0->CAN1 0% |")));
        QVector<CanPacket> frames(200, testFrame(0x123, CanPacket::Can0ToCan1, 8, 0x5A));
        send(frames);
        QTRY_COMPARE(ui.log()->rowCount(), 200);
        auto *meter = ui.get()->findChild<LoadMeter *>();
        const double bits = 200.0 * FrameBits::count(frames.first());
        const auto expected = [&](int bitRate) {
            return QStringLiteral("Нагрузка: CAN0->CAN1 %1% | CAN1->CAN0 0%")
                .arg(qRound(bits * 100 / bitRate));
        };
        QCOMPARE(ui.child<QComboBox>("cbCanSpeed")->currentData().toInt(), 4); // 125 kbit/s
        QCOMPARE(meter->text(TimeOfDay::nowUsec()), expected(125000));
        ui.setCombo("cbCanSpeed", 0);
        QCOMPARE(meter->text(TimeOfDay::nowUsec()), expected(1000000));
    }
};

QUORVEX_WINDOW_TEST_MAIN(TestSniffer)
#include "tst_sniffer.moc"
