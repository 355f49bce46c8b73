// SPDX-License-Identifier: GPL-3.0-or-later
#include "../analysis/drivecapture.h"
#include "../analysis/hiddensignals.h"
#include "analysis/frameindex.h"
#include "app/workbench/candidateplot.h"
#include "app/workbench/comparedialog.h"
#include "app/workbench/fieldmarksdialog.h"
#include "app/workbench/signalfinder.h"
#include "log/candatamodel.h"
#include "support/windowharness.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeWidget>

using namespace HiddenSignals;

// The three windows over a log holding the hidden signals, driven through their widgets.
class TestSignalTools : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<CanDataModel> log;
    WindowHarness ui;

    template<typename T> static T *child(QWidget *w, const char *name)
    {
        T *found = w->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    // Seconds from the log's first frame, as the finder's moments are typed.
    static double seconds(int round) { return double(moment(round) - (Start + 100)) / 1e6; }
    static void step(SignalFinder *finder, int kindIndex, int round, double value)
    {
        child<QComboBox>(finder, "cbCondition")->setCurrentIndex(kindIndex);
        child<QDoubleSpinBox>(finder, "sbMoment1")->setValue(seconds(round));
        child<QDoubleSpinBox>(finder, "sbValueA")->setValue(value);
        auto *button = child<QPushButton>(finder, "btStep");
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(button->isEnabled());
    }
    static void press(SignalFinder *finder, const char *button)
    {
        QTest::mouseClick(child<QPushButton>(finder, button), Qt::LeftButton);
    }
    // A step of any kind, moments in seconds from the log's start.
    static void apply(SignalFinder *finder, SearchCondition::Kind kind, double first, double second,
                      double a = 0, double b = 0, double tolerance = 0, bool percent = false)
    {
        auto *conditions = child<QComboBox>(finder, "cbCondition");
        conditions->setCurrentIndex(conditions->findData(int(kind)));
        child<QDoubleSpinBox>(finder, "sbMoment1")->setValue(first);
        child<QDoubleSpinBox>(finder, "sbMoment2")->setValue(second);
        child<QDoubleSpinBox>(finder, "sbValueA")->setValue(a);
        child<QDoubleSpinBox>(finder, "sbValueB")->setValue(b);
        child<QDoubleSpinBox>(finder, "sbTolerance")->setValue(tolerance);
        child<QComboBox>(finder, "cbToleranceUnit")->setCurrentIndex(percent ? 1 : 0);
        auto *button = child<QPushButton>(finder, "btStep");
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(button->isEnabled());
    }
    static QTreeWidgetItem *rowOf(QTreeWidget *tree, const QString &id, int length)
    {
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = tree->topLevelItem(i);
            if (item->text(1) == id && item->text(3).toInt() == length)
                return item;
        }
        return nullptr;
    }
    static QCPRange valueRange(QCustomPlot *plot)
    {
        bool found = false;
        return plot->graph(0)->data()->valueRange(found);
    }
    static QCPRange keyRange(QCustomPlot *plot)
    {
        bool found = false;
        return plot->graph(0)->data()->keyRange(found);
    }
    static QString cell(QTableWidget *table, int row, int column)
    {
        const QTableWidgetItem *item = table->item(row, column);
        return item ? item->text() : QString();
    }

private slots:
    void initTestCase()
    {
        log = std::make_unique<CanDataModel>(nullptr, dir.path());
        for (const TimedPacket &f : capture(1, false))
            log->addFrame(f);
        log->flushRows();
    }

    void finderNarrowsUndoesAndStartsOver()
    {
        SignalFinder finder(log.get());
        QCOMPARE(finder.objectName(), QStringLiteral("signalFinder"));
        auto *remaining = child<QLabel>(&finder, "lbRemaining");
        QCOMPARE(remaining->text(), QStringLiteral("Осталось кандидатов: все"));
        step(&finder, 0, 11, 11);
        const QString afterOne = remaining->text();
        QVERIFY(afterOne.startsWith(QStringLiteral("Осталось кандидатов: ")));
        step(&finder, 0, 30, 14);
        step(&finder, 0, 37, 5);
        auto *table = child<QTreeWidget>(&finder, "twResults");
        QVERIFY(table->topLevelItemCount() > 0);
        const QTreeWidgetItem *top = table->topLevelItem(0);
        QCOMPARE(top->text(0), QStringLiteral("1"));
        QCOMPARE(top->text(1), QStringLiteral("0x3C5"));
        QCOMPARE(top->text(2), QStringLiteral("0"));
        QCOMPARE(top->text(3), QStringLiteral("4"));
        QCOMPARE(top->text(4), QStringLiteral("Intel"));
        QCOMPARE(top->text(8), QStringLiteral("11"));

        QSignalSpy selected(&finder, &SignalFinder::candidateSelected);
        QSignalSpy create(&finder, &SignalFinder::createSignalRequested);
        table->setCurrentItem(table->topLevelItem(0));
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toUInt(), CounterId);
        QCOMPARE(selected.at(0).at(3).toInt(), 4);
        // The picked candidate is plotted over the whole log: every frame of its identifier.
        auto *plot = child<CandidatePlot>(&finder, "plotCandidate");
        int counterFrames = 0;
        for (const TimedPacket &f : capture(1, false))
            counterFrames += f.packet.id == CounterId;
        QCOMPARE(plot->pointCount(), counterFrames);
        QCOMPARE(valueRange(plot).lower, 0.0);
        QCOMPARE(valueRange(plot).upper, 15.0);
        QTest::mouseClick(child<QPushButton>(&finder, "btCreateSignal"), Qt::LeftButton);
        QCOMPARE(create.count(), 1);

        // Each undo ranks the candidates again off the window's thread, the window busy meanwhile.
        press(&finder, "btUndo");
        QVERIFY(!child<QPushButton>(&finder, "btUndo")->isEnabled());
        QTRY_VERIFY(child<QPushButton>(&finder, "btStep")->isEnabled());
        press(&finder, "btUndo");
        QTRY_VERIFY(child<QPushButton>(&finder, "btStep")->isEnabled());
        QCOMPARE(remaining->text(), afterOne);
        QVERIFY(table->topLevelItemCount() > 0);
        press(&finder, "btRestart");
        QCOMPARE(remaining->text(), QStringLiteral("Осталось кандидатов: все"));
        QCOMPARE(table->topLevelItemCount(), 0);
    }

    // On a drive: the speed comes whole with its slices beneath it, every column sorts as
    // numbers, a moment in an identifier's gap shows as such, and two known values give the
    // scale "Создать сигнал" takes.
    void finderShowsFieldsSortsAndFitsTheScale()
    {
        namespace Drive = DriveCapture;
        CanDataModel drive(nullptr, dir.path());
        for (const TimedPacket &f : Drive::capture())
            drive.addFrame(f);
        drive.flushRows();
        SignalFinder finder(&drive);
        using C = SearchCondition;
        apply(&finder, C::Equal, 5, 0, 0);
        apply(&finder, C::Rose, 12, 31);
        apply(&finder, C::NonDecreasing, 12, 31, 0, 0, 0.2, true);
        QVERIFY(child<QLabel>(&finder, "lbSteps")
                    ->text()
                    .endsWith(QStringLiteral("не убывало (допуск 0.2 %)")));
        apply(&finder, C::Equal, 50, 0, 0);
        apply(&finder, C::Between, 25, 0, 1000, 1500);
        auto *tree = child<QTreeWidget>(&finder, "twResults");
        QTreeWidgetItem *speed = tree->topLevelItem(0);
        QCOMPARE(speed->text(1), QStringLiteral("0x1A0"));
        QCOMPARE(speed->text(2), QStringLiteral("7"));
        QCOMPARE(speed->text(3), QStringLiteral("16"));
        QCOMPARE(speed->text(4), QStringLiteral("Motorola"));
        const int forms = speed->text(7).toInt();
        QVERIFY(forms > 0);
        QCOMPARE(speed->childCount(), 0);
        tree->expandItem(speed);
        QCOMPARE(speed->childCount(), forms);
        bool slice = false;
        for (int i = 0; i < forms; ++i)
            slice = slice || (speed->child(i)->text(2) == QLatin1String("2") &&
                              speed->child(i)->text(3) == QLatin1String("11"));
        QVERIFY(slice);

        // The moment at 25 s falls in 0x1D0's gap.
        const QStringList headers = [tree] {
            QStringList list;
            for (int c = 0; c < tree->columnCount(); ++c)
                list << tree->headerItem()->text(c);
            return list;
        }();
        const int at25 = headers.indexOf(QStringLiteral("25.000 с"));
        QVERIFY2(at25 > 0, qPrintable(headers.join('|')));
        QTreeWidgetItem *gap = rowOf(tree, QStringLiteral("0x1D0"), 16);
        QVERIFY(gap);
        QCOMPARE(gap->text(at25), QStringLiteral("нет кадров рядом"));
        QVERIFY(speed->text(at25).toDouble() > 1000);

        tree->sortItems(3, Qt::DescendingOrder); // "Длина": 16 before 9, as numbers
        for (int i = 1; i < tree->topLevelItemCount(); ++i)
            QVERIFY(tree->topLevelItem(i - 1)->text(3).toInt() >=
                    tree->topLevelItem(i)->text(3).toInt());
        tree->sortItems(at25, Qt::AscendingOrder); // values, then the gaps
        QCOMPARE(tree->topLevelItem(tree->topLevelItemCount() - 1)->text(at25),
                 QStringLiteral("нет кадров рядом"));
        tree->sortItems(0, Qt::AscendingOrder); // the rank again
        QCOMPARE(tree->topLevelItem(0), speed);

        QSignalSpy create(&finder, &SignalFinder::createSignalRequested);
        tree->setCurrentItem(speed);
        child<QDoubleSpinBox>(&finder, "sbScaleMoment1")->setValue(5);
        child<QDoubleSpinBox>(&finder, "sbScaleValue1")->setValue(0);
        child<QDoubleSpinBox>(&finder, "sbScaleMoment2")->setValue(33);
        child<QDoubleSpinBox>(&finder, "sbScaleValue2")->setValue(15);
        QTest::mouseClick(child<QPushButton>(&finder, "btFitScale"), Qt::LeftButton);
        QCOMPARE(child<QLabel>(&finder, "lbScale")->text(),
                 QStringLiteral("Множитель 0.01, смещение 0"));
        QTest::mouseClick(child<QPushButton>(&finder, "btCreateSignal"), Qt::LeftButton);
        QCOMPARE(create.count(), 1);
        QCOMPARE(create.at(0).at(2).toInt(), 7);
        QCOMPARE(create.at(0).at(3).toInt(), 16);
        QCOMPARE(create.at(0).at(6).toDouble(), 0.01);
        QCOMPARE(create.at(0).at(7).toDouble(), 0.0);
        // Another field picked: the scale was that of the speed, not of it.
        tree->setCurrentItem(speed->child(0));
        QVERIFY(child<QLabel>(&finder, "lbScale")->text().isEmpty());
        QTest::mouseClick(child<QPushButton>(&finder, "btCreateSignal"), Qt::LeftButton);
        QCOMPARE(create.at(1).at(6).toDouble(), 1.0);
        // A moment without frames near: no scale.
        tree->setCurrentItem(gap);
        child<QDoubleSpinBox>(&finder, "sbScaleMoment2")->setValue(25);
        QTest::mouseClick(child<QPushButton>(&finder, "btFitScale"), Qt::LeftButton);
        QVERIFY(child<QLabel>(&finder, "lbScale")
                    ->text()
                    .startsWith(QStringLiteral("Масштаб не подобрать")));
    }

    void marksNameCounterAndChecksum()
    {
        FieldMarksDialog dialog(log.get());
        QSignalSpy ready(&dialog, &FieldMarksDialog::ready);
        QTest::mouseClick(child<QPushButton>(&dialog, "btMark"), Qt::LeftButton);
        QTRY_COMPARE(ready.count(), 1);
        auto *table = child<QTableWidget>(&dialog, "twMarks");
        QStringList counter;
        for (int row = 0; row < table->rowCount(); ++row) {
            if (cell(table, row, 0) == QLatin1String("0x3C5"))
                counter.append(cell(table, row, 1) + QLatin1Char(' ') + cell(table, row, 4) +
                               QLatin1Char(' ') + cell(table, row, 5));
        }
        QVERIFY2(counter.contains(QStringLiteral("0 счётчик 100.0 %")),
                 qPrintable(counter.join('|')));
        QVERIFY(counter.contains(QStringLiteral("56 контрольная сумма 100.0 %")));
        QVERIFY(counter.contains(QStringLiteral("48 константа 100.0 %")));
    }

    // The log against a candump file of the same traffic with the flag bit toggling.
    // Thinned to MaxPoints, a long series keeps its one spike.
    void plotKeepsASpikeOfALongSeries()
    {
        auto index = std::make_shared<FrameIndex>();
        constexpr int Count = 200000;
        for (int i = 0; i < Count; ++i) {
            const quint8 data[8] = {quint8(i == 123457 ? 200 : i % 3), 0, 0, 0, 0, 0, 0, 0};
            index->add(0x10, false, Start + i * 1000, data, 8);
        }
        SignalSearch search(index);
        SignalCandidate byte0;
        byte0.length = 8;
        CandidatePlot plot;
        plot.showCandidate(search, byte0, index->firstTime());
        QVERIFY(plot.pointCount() <= CandidatePlot::MaxPoints + 3);
        QVERIFY(plot.pointCount() > CandidatePlot::MaxPoints / 2);
        QCOMPARE(valueRange(&plot).upper, 200.0);
        QCOMPARE(valueRange(&plot).lower, 0.0);
        QCOMPARE(keyRange(&plot).upper, (Count - 1) / 1000.0);
    }

    void comparesTheLogWithAFileAndExportsCsv()
    {
        const QString file = dir.filePath(QStringLiteral("b.log"));
        {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QTextStream text(&out);
            for (const TimedPacket &f : capture(2, true)) {
                const CanPacket &p = f.packet;
                text << QStringLiteral("(%1.%2) can0 ")
                            .arg(f.time / 1000000)
                            .arg(f.time % 1000000, 6, 10, QLatin1Char('0'))
                     << QString::number(p.id, 16).toUpper().rightJustified(p.isExtended() ? 8 : 3,
                                                                           QLatin1Char('0'))
                     << '#';
                for (int k = 0; k < 8; ++k)
                    text << QString::number(p.data[k], 16).toUpper().rightJustified(2, '0');
                text << '\n';
            }
        }
        CompareDialog dialog(log.get());
        child<QLineEdit>(&dialog, "leFileB")->setText(file);
        QSignalSpy ready(&dialog, &CompareDialog::ready);
        QTest::mouseClick(child<QPushButton>(&dialog, "btCompare"), Qt::LeftButton);
        QTRY_COMPARE(ready.count(), 1);
        auto *table = child<QTableWidget>(&dialog, "twCompare");
        QCOMPARE(table->rowCount(), 4 + NoiseIds);
        QCOMPARE(cell(table, 0, 0), QStringLiteral("0x3C5"));
        QCOMPARE(cell(table, 0, 4), QStringLiteral("D5.3"));
        QCOMPARE(cell(table, 1, 4), QString());

        QSignalSpy selected(&dialog, &CompareDialog::identifierSelected);
        table->selectRow(0);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(2).toULongLong(), quint64(1) << 43);

        QString error;
        const QString csv = dir.filePath(QStringLiteral("compare.csv"));
        QVERIFY(dialog.exportCsv(csv, &error));
        QFile in(csv);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(in.readAll()).split('\n');
        QVERIFY(lines[0].startsWith(QStringLiteral("ID;FF;Наличие;")));
        QVERIFY(lines[1].startsWith(QStringLiteral("0x000003C5;SFF;A и B;1000;1000;")));
        QVERIFY(!dialog.exportCsv(dir.filePath(QStringLiteral("missing/x.csv")), &error));
    }

    // A side to be read from a file with no file named says so, in the summary and a box; the
    // comparison's CSV gets its suffix when the name typed has none.
    void compareAsksForAFileAndAddsTheSuffix()
    {
        CompareDialog dialog(log.get());
        dialog.show();
        QSignalSpy ready(&dialog, &CompareDialog::ready);
        QTest::mouseClick(child<QPushButton>(&dialog, "btCompare"), Qt::LeftButton);
        QCOMPARE(child<QLabel>(&dialog, "lbSummary")->text(), QStringLiteral("Выберите файл"));
        QPointer<QMessageBox> box =
            dialog.findChild<QMessageBox *>(QStringLiteral("compareFailed"));
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Выберите файл"));
        box->close();
        QTRY_VERIFY(!box);
        QCOMPARE(ready.count(), 0);

        child<QComboBox>(&dialog, "cbSourceB")->setCurrentIndex(0); // the log against itself
        QTest::mouseClick(child<QPushButton>(&dialog, "btCompare"), Qt::LeftButton);
        QTRY_COMPARE(ready.count(), 1);
        const QString typed = dir.filePath(QStringLiteral("same"));
        whenModal<QFileDialog>([&](QFileDialog *chooser) {
            chooser->selectFile(typed);
            QMetaObject::invokeMethod(chooser, "accept", Qt::DirectConnection);
        });
        QTest::mouseClick(child<QPushButton>(&dialog, "btExportCsv"), Qt::LeftButton);
        QTRY_VERIFY(QFile::exists(typed + QStringLiteral(".csv")));
        QVERIFY(!QFile::exists(typed));
    }

    // "Из выделения" makes a side exactly the rows selected in the log, their span shown in
    // seconds with both end rows inside; typing other seconds makes it a span again. Without a
    // selection it says what to do and changes nothing.
    void compareTakesTheSelectedRows()
    {
        CompareDialog dialog(log.get());
        auto *fromB = child<QDoubleSpinBox>(&dialog, "sbFromB");
        auto *toB = child<QDoubleSpinBox>(&dialog, "sbToB");
        auto *pick = child<QPushButton>(&dialog, "btSelectionB");
        auto *summary = child<QLabel>(&dialog, "lbSummary");
        QVERIFY(!pick->isEnabled());
        RowSelection rows;
        dialog.setSelectionSource([&rows] { return rows; });
        QVERIFY(pick->isEnabled());
        QTest::mouseClick(pick, Qt::LeftButton);
        QCOMPARE(toB->value(), 0.0);
        QCOMPARE(summary->text(), QStringLiteral("Выделите строки в журнале"));

        // Rows of two separate stretches: 0x3C5 is the third of each round's 34 frames.
        const int perRound = 4 + NoiseIds;
        rows.set(10 * perRound, 20 * perRound - 1);
        rows.add(500 * perRound, 505 * perRound - 1);
        QTest::mouseClick(pick, Qt::LeftButton);
        QCOMPARE(child<QComboBox>(&dialog, "cbSourceB")->currentData().toInt(),
                 int(CompareDialog::Log));
        QCOMPARE(summary->text(), QStringLiteral("B: выделено строк: %1").arg(15 * perRound));
        const qint64 origin = log->frameAt(0).time;
        QCOMPARE(fromB->value(),
                 std::floor((log->frameAt(10 * perRound).time - origin) / 1e3) / 1e3);
        QCOMPARE(toB->value(),
                 std::ceil((log->frameAt(505 * perRound - 1).time - origin) / 1e3) / 1e3);
        QSignalSpy ready(&dialog, &CompareDialog::ready);
        QTest::mouseClick(child<QPushButton>(&dialog, "btCompare"), Qt::LeftButton);
        QTRY_COMPARE(ready.count(), 1);
        auto framesOf = [&dialog](quint32 id) {
            for (const CaptureComparison::Row &r : dialog.rows()) {
                if (r.id == id)
                    return r.framesB;
            }
            return quint64(0);
        };
        QCOMPARE(framesOf(CounterId), quint64(15)); // the selected rows, not the span between
        fromB->setValue(0.1);
        QTest::mouseClick(child<QPushButton>(&dialog, "btCompare"), Qt::LeftButton);
        QTRY_COMPARE(ready.count(), 2);
        QVERIFY(framesOf(CounterId) > 400);
    }

    void menuOpensTheFinder()
    {
        WindowHarness::writeSettings(dir.filePath(QStringLiteral("absent")), dir.path());
        ui.create();
        auto *find = ui.child<QAction>("actionFindSignal");
        QCOMPARE(find->text(), QStringLiteral("Найти сигнал..."));
        QCOMPARE(ui.child<QAction>("actionMarkFields")->text(), QStringLiteral("Разметить"));
        QCOMPARE(ui.child<QAction>("actionCompare")->text(), QStringLiteral("Сравнить..."));
        find->trigger();
        auto *finder = ui.get()->findChild<SignalFinder *>(QStringLiteral("signalFinder"));
        QVERIFY(finder);
        QVERIFY(finder->isVisible());
        QVERIFY(!finder->isModal());
        ui.destroy();
    }

    // From the statistics' context menu the finder searches that row's identifier only: the
    // 29-bit one keeps its eight digits, which is how the field tells it from an 11-bit one.
    void statisticsRowOpensTheFinderOnItsId()
    {
        WindowHarness::writeSettings(dir.filePath(QStringLiteral("absent")), dir.path());
        ui.create();
        ui.get()->openCapture(dir.filePath(QStringLiteral("b.log"))); // written by the test above
        auto *view = ui.child<QTableView>("tableView_2");
        // The statistics are brought up to date while their page is shown.
        ui.child<QTabWidget>("tabWidget")->setCurrentWidget(ui.child<QWidget>("tab_2"));
        const auto crcRow = [view] {
            const QAbstractItemModel *m = view->model();
            for (int row = 0; row < m->rowCount(); ++row)
                if (m->index(row, 0).data().toString() == QStringLiteral("0x18FF1234"))
                    return row;
            return -1;
        };
        QTRY_VERIFY(crcRow() >= 0);
        view->setCurrentIndex(view->model()->index(crcRow(), 0));
        // The bit view follows the row, and its button opens the finder on the same identifier.
        auto *bitFind = ui.child<QPushButton>("btFindSignal");
        QVERIFY(bitFind->isEnabled());
        QTest::mouseClick(bitFind, Qt::LeftButton);
        auto *shown = ui.get()->findChild<SignalFinder *>(QStringLiteral("signalFinder"));
        QVERIFY(shown && shown->isVisible());
        QCOMPARE(child<QLineEdit>(shown, "leIds")->text(), QStringLiteral("0x18FF1234"));
        child<QLineEdit>(shown, "leIds")->clear();
        auto *find = ui.child<QAction>("actionFindSignalInId");
        emit view->customContextMenuRequested(view->visualRect(view->currentIndex()).center());
        QVERIFY(find->isEnabled());
        find->trigger();
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        auto *finder = ui.get()->findChild<SignalFinder *>(QStringLiteral("signalFinder"));
        QVERIFY(finder && finder->isVisible());
        QCOMPARE(child<QLineEdit>(finder, "leIds")->text(), QStringLiteral("0x18FF1234"));
        step(finder, 0, 0, 0); // any first step: only that identifier's places are candidates
        QVERIFY(finder->remaining() > 0);
        QVERIFY(finder->remaining() <= 64 * 32 * 2 * 2); // places of one frame, far fewer than all
        // A picked result brings up the bit view on its identifier.
        auto *results = child<QTreeWidget>(finder, "twResults");
        QVERIFY(results->topLevelItemCount() > 0);
        results->setCurrentItem(results->topLevelItem(0));
        QCOMPARE(ui.child<QTabWidget>("tabWidget")->currentWidget()->objectName(),
                 QStringLiteral("bitView"));
        QVERIFY(ui.child<QLabel>("lbBitId")->text().contains(QStringLiteral("18FF1234")));
        ui.destroy();
    }
};

QUORVEX_WINDOW_TEST_MAIN(TestSignalTools)
#include "tst_signaltools.moc"
