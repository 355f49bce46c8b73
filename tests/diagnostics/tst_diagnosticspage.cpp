// SPDX-License-Identifier: GPL-3.0-or-later
// The "Диагностика" tab: its rows, faults in red, filters, hex copy, the way back to the log
// rows, the pairs dialog and its settings, and a capture opened in the window.
#include "app/diagnosticsmodel.h"
#include "app/diagnosticspage.h"
#include "app/diagpairsdialog.h"
#include "diagnostics/diagnosticslog.h"
#include "diagtraffic.h"
#include "support/testfiles.h"
#include "support/windowharness.h"

#include <QBrush>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace DiagTraffic;

namespace {

// A VIN read with a pending answer, an OBD-II poll, a DM1 broadcast and a broken message.
Stream session()
{
    Stream s;
    s.add(0x7E0, false, QByteArray::fromHex("0322F190"));
    s.add(0x7E8, false, QByteArray::fromHex("037F2278"), 20000);
    s.addAll(0x7E8, false, isoTpFrames(QByteArray::fromHex("62F190") + "WDB2030461A123456"));
    s.add(0x7DF, false, QByteArray::fromHex("02010D"));
    s.add(0x7E9, false, QByteArray::fromHex("03410D32"));
    s.j1939(0x00, 0xFF, 65226, QByteArray::fromHex("4400 6E00 0401 FFFF 0000 0000 0000 0000 0000"));
    s.addAll(0x18DAF110, true, isoTpFrames(pattern(30)).mid(0, 2));
    return s;
}

QString cell(const QAbstractItemModel *m, int row, int column, int role = Qt::DisplayRole)
{
    return m->index(row, column).data(role).toString();
}

} // namespace

class TestDiagnosticsPage : public QObject
{
    Q_OBJECT

private slots:
    void rowsAndFaults()
    {
        DiagnosticsLog log;
        DiagnosticsPage page;
        page.attach(&log, nullptr);
        const Stream s = session();
        for (int i = 0; i < s.frames.size(); ++i)
            log.add(s.frames[i], i);
        page.refresh();
        const DiagnosticsModel *m = page.model();
        QCOMPARE(m->rowCount(), 6); // the broken message is still open
        QCOMPARE(cell(m, 0, DiagnosticsModel::Direction), QStringLiteral("Запрос"));
        QCOMPARE(cell(m, 2, DiagnosticsModel::Direction), QStringLiteral("Ответ"));
        QCOMPARE(cell(m, 2, DiagnosticsModel::Ids), QStringLiteral("0x7E8"));
        QCOMPARE(cell(m, 2, DiagnosticsModel::Protocol), QStringLiteral("UDS"));
        QCOMPARE(cell(m, 2, DiagnosticsModel::Service), QStringLiteral("ReadDataByIdentifier"));
        QVERIFY(cell(m, 2, DiagnosticsModel::Meaning).contains("WDB2030461A123456"));
        QCOMPARE(cell(m, 1, DiagnosticsModel::ResponseTime), QStringLiteral("20.0"));
        QCOMPARE(cell(m, 2, DiagnosticsModel::Length), QStringLiteral("20"));
        QCOMPARE(cell(m, 4, DiagnosticsModel::Protocol), QStringLiteral("OBD-II"));
        QCOMPARE(cell(m, 4, DiagnosticsModel::Meaning),
                 QStringLiteral("Show current data: Vehicle speed: 50 km/h"));
        // Joined from packets: named as the converter names it.
        QCOMPARE(cell(m, 5, DiagnosticsModel::Protocol), QStringLiteral("J1939-TP"));
        QCOMPARE(cell(m, 5, DiagnosticsModel::Service),
                 QStringLiteral("65226 · Active Diagnostic Trouble Codes (DM1)"));
        QCOMPARE(cell(m, 5, DiagnosticsModel::Address), QStringLiteral("00 → FF"));
        QVERIFY(!m->index(2, 0).data(Qt::ForegroundRole).isValid());
        // A capture that stops in the middle of a message: the fault in red, in its place.
        std::vector<DiagMessage> rest;
        DiagDecoder decoder;
        for (const TimedPacket &f : s.frames)
            decoder.feed(f, rest);
        decoder.finish(rest);
        DiagnosticsModel faults;
        faults.append(rest);
        const int last = faults.rowCount() - 1;
        QCOMPARE(faults.index(last, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(Qt::red));
        QCOMPARE(cell(&faults, last, DiagnosticsModel::Meaning), QStringLiteral("ошибка: timeout"));
        QCOMPARE(cell(&faults, last, DiagnosticsModel::Address), QStringLiteral("10 → F1"));
    }

    // The same kind of session over CAN FD: single frames in both forms, a long answer in frames
    // of 64 bytes, an OBD-II poll; the rows read as they do over classic CAN.
    void fdSessionRows()
    {
        Options fd;
        fd.frameBytes = 64;
        Stream s;
        s.addFd(0x7E0, false, QByteArray::fromHex("0322F190"));
        s.addAll(0x7E8, false, isoTpFrames(QByteArray::fromHex("62F190") + "WDB2030461A123456", fd),
                 20000, true);
        s.addFd(0x7E0, false, QByteArray::fromHex("03190209"));
        s.addAll(0x7E8, false, isoTpFrames(QByteArray::fromHex("5902FF") + pattern(300), fd), 1000,
                 true);
        s.addFd(0x7DF, false, QByteArray::fromHex("02010D"));
        s.addFd(0x7E9, false, QByteArray::fromHex("03410D32"));
        DiagnosticsLog log;
        DiagnosticsPage page;
        page.attach(&log, nullptr);
        for (int i = 0; i < s.frames.size(); ++i)
            log.add(s.frames[i], i);
        page.refresh();
        const DiagnosticsModel *m = page.model();
        QCOMPARE(m->rowCount(), 6);
        QCOMPARE(cell(m, 1, DiagnosticsModel::Service), QStringLiteral("ReadDataByIdentifier"));
        QVERIFY(cell(m, 1, DiagnosticsModel::Meaning).contains("WDB2030461A123456"));
        QCOMPARE(cell(m, 1, DiagnosticsModel::Length), QStringLiteral("20"));
        QCOMPARE(cell(m, 1, DiagnosticsModel::ResponseTime), QStringLiteral("20.0"));
        QCOMPARE(cell(m, 3, DiagnosticsModel::Service), QStringLiteral("ReadDTCInformation"));
        QCOMPARE(cell(m, 3, DiagnosticsModel::Length), QStringLiteral("303"));
        QCOMPARE(cell(m, 5, DiagnosticsModel::Protocol), QStringLiteral("OBD-II"));
        QCOMPARE(cell(m, 5, DiagnosticsModel::Meaning),
                 QStringLiteral("Show current data: Vehicle speed: 50 km/h"));
        for (int row = 0; row < m->rowCount(); ++row)
            QVERIFY(!m->index(row, 0).data(Qt::ForegroundRole).isValid());
    }

    void filtersCopyAndLogRows()
    {
        DiagnosticsLog log;
        DiagnosticsPage page;
        page.attach(&log, nullptr);
        const Stream s = session();
        // The log keeps every other frame out until the OBD-II poll: rows follow the stretches.
        qint64 row = 100;
        for (int i = 0; i < s.frames.size(); ++i)
            log.add(s.frames[i], i == 1 ? -1 : row++);
        page.refresh();
        auto *view = page.findChild<QTableView *>("tvDiagnostics");
        auto *protocol = page.findChild<QComboBox *>("cbProtocol");
        protocol->setCurrentIndex(protocol->findData("OBD-II"));
        QCOMPARE(view->model()->rowCount(), 2);
        protocol->setCurrentIndex(protocol->findData("J1939")); // J1939-TP is J1939 too
        QCOMPARE(view->model()->rowCount(), 1);
        protocol->setCurrentIndex(protocol->findData("J1939-TP"));
        QCOMPARE(view->model()->rowCount(), 1);
        protocol->setCurrentIndex(0);
        page.findChild<QLineEdit *>("leService")->setText("readdata");
        QCOMPARE(view->model()->rowCount(), 3);
        page.findChild<QLineEdit *>("leService")->clear();
        page.findChild<QLineEdit *>("leEcu")->setText("7E9");
        QCOMPARE(view->model()->rowCount(), 1);
        page.findChild<QLineEdit *>("leEcu")->setText("0x00");
        QCOMPARE(view->model()->rowCount(), 1); // J1939 source 00
        page.findChild<QLineEdit *>("leEcu")->clear();

        view->selectRow(2);
        QCOMPARE(page.selectedPayloads(),
                 QString::fromLatin1(
                     (QByteArray::fromHex("62F190") + "WDB2030461A123456").toHex().toUpper()));
        QTest::mouseClick(page.findChild<QPushButton *>("btCopy"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), page.selectedPayloads());

        QSignalSpy shown(&page, &DiagnosticsPage::sendShowFrames);
        const QModelIndex vin = view->model()->index(2, 0);
        emit view->doubleClicked(vin);
        QCOMPARE(shown.size(), 1);
        // Frames 2..4 carried it: the second frame was out of the log, so rows start at 101.
        QCOMPARE(shown[0][0].toLongLong(), 101);
        QCOMPARE(shown[0][1].toLongLong(), 103);
        emit view->doubleClicked(view->model()->index(1, 0)); // only frame 1: not in the log
        QCOMPARE(shown.size(), 1);
    }

    void j1939SingleFrameRows()
    {
        DiagnosticsLog log;
        DiagnosticsPage page;
        page.attach(&log, nullptr);
        Stream s;
        s.add(0x0CF00400, true, QByteArray::fromHex("F07D9BA01AFF0FFF"));    // EEC1
        s.add(0x18FECA03, true, QByteArray::fromHex("4400 6E00 0401 FFFF")); // DM1
        s.add(0x18EA00F9, true, QByteArray::fromHex("000000"));              // request to 00
        s.add(0x7E8, false, QByteArray::fromHex("04410C1AF8AAAAAA"));
        for (int i = 0; i < s.frames.size(); ++i)
            log.add(s.frames[i], 10 + i);
        page.refresh();
        const DiagnosticsModel *m = page.model();
        QCOMPARE(m->rowCount(), 4);
        QCOMPARE(cell(m, 0, DiagnosticsModel::Ids), QStringLiteral("0x0CF00400"));
        QCOMPARE(cell(m, 0, DiagnosticsModel::Protocol), QStringLiteral("J1939"));
        QCOMPARE(cell(m, 0, DiagnosticsModel::Direction), QStringLiteral("Рассылка"));
        QCOMPARE(cell(m, 0, DiagnosticsModel::Service),
                 QStringLiteral("61444 · Electronic Engine Controller 1 (EEC1)"));
        QVERIFY(cell(m, 0, DiagnosticsModel::Service, Qt::ToolTipRole)
                    .endsWith(QStringLiteral("\nPGN 61444 (0xF004)")));
        QVERIFY(cell(m, 0, DiagnosticsModel::Meaning).contains("Engine speed: 852 rpm"));
        QCOMPARE(cell(m, 0, DiagnosticsModel::Length), QStringLiteral("8"));
        QCOMPARE(cell(m, 1, DiagnosticsModel::Address), QStringLiteral("03 → FF"));
        QVERIFY(cell(m, 1, DiagnosticsModel::Meaning).endsWith("SPN 110 FMI 4 OC 1"));
        QCOMPARE(cell(m, 2, DiagnosticsModel::Direction), QStringLiteral("Запрос"));
        QCOMPARE(cell(m, 2, DiagnosticsModel::Address), QStringLiteral("F9 → 00"));
        QCOMPARE(cell(m, 2, DiagnosticsModel::Length), QStringLiteral("3"));
        auto *view = page.findChild<QTableView *>("tvDiagnostics");
        auto *protocol = page.findChild<QComboBox *>("cbProtocol");
        protocol->setCurrentIndex(protocol->findData("J1939"));
        QCOMPARE(view->model()->rowCount(), 3);
        auto *service = page.findChild<QLineEdit *>("leService");
        // A group by its number, decimal or hex, or by a part of its name.
        for (const char *text : {"59904", "EA00", "0xea00", " 0xEA00 ", "rqst"}) {
            service->setText(QLatin1String(text));
            QCOMPARE(view->model()->rowCount(), 1);
            QCOMPARE(view->model()->index(0, DiagnosticsModel::Ids).data().toString(),
                     QStringLiteral("0x18EA00F9"));
        }
        service->setText("61444");
        QCOMPARE(view->model()->rowCount(), 1);
        service->setText("F004");
        QCOMPARE(view->model()->rowCount(), 1);
        service->setText("6144"); // a number is the whole number, not a part of one
        QCOMPARE(view->model()->rowCount(), 0);
        service->setText("dm1");
        QCOMPARE(view->model()->rowCount(), 1);
        QSignalSpy shown(&page, &DiagnosticsPage::sendShowFrames);
        emit view->doubleClicked(view->model()->index(0, 0));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0][0].toLongLong(), 11);
        QCOMPARE(shown[0][1].toLongLong(), 11);
        view->selectRow(0);
        QCOMPARE(page.selectedPayloads(), QStringLiteral("44006E000401FFFF"));
    }

    void oldestRowsLeave()
    {
        DiagnosticsLog log;
        DiagnosticsPage page;
        page.attach(&log, nullptr);
        page.model()->setMaxRows(10);
        Stream s;
        for (int i = 0; i < 25; ++i)
            s.add(0x0CF00400, true, QByteArray(1, char(i)) + QByteArray(7, char(0xFF)));
        auto *view = page.findChild<QTableView *>("tvDiagnostics");
        QStringList kept;
        for (int i = 0; i < s.frames.size(); ++i) {
            log.add(s.frames[i], i);
            if (i % 4 == 3 || i + 1 == s.frames.size())
                page.refresh();
            QVERIFY(page.model()->rowCount() <= 10);
            QCOMPARE(view->model()->rowCount(), page.model()->rowCount());
        }
        for (int row = 0; row < page.model()->rowCount(); ++row)
            kept.append(
                cell(page.model(), row, DiagnosticsModel::Ids, DiagnosticsModel::PayloadRole)
                    .left(2));
        // The newest stay, in order; the way back to the log still holds for them.
        QCOMPARE(kept.last(), QStringLiteral("18"));
        QCOMPARE(kept.size(), page.model()->rowCount());
        for (int i = 1; i < kept.size(); ++i)
            QCOMPARE(kept[i].toInt(nullptr, 16), kept[i - 1].toInt(nullptr, 16) + 1);
        QSignalSpy shown(&page, &DiagnosticsPage::sendShowFrames);
        emit view->doubleClicked(view->model()->index(view->model()->rowCount() - 1, 0));
        QCOMPARE(shown.value(0).value(0).toLongLong(), 24);
        // More at once than is kept: only the newest of them.
        std::vector<DiagMessage> many(25);
        for (size_t i = 0; i < many.size(); ++i)
            many[i].payload = QByteArray(1, char(i));
        page.model()->append(many);
        QCOMPARE(page.model()->rowCount(), 10);
        QCOMPARE(cell(page.model(), 9, 0, DiagnosticsModel::PayloadRole), QStringLiteral("18"));
    }

    void pairsDialogAndSettings()
    {
        QTemporaryDir dir;
        QSettings store(dir.filePath("test.ini"), QSettings::IniFormat);
        DiagnosticsLog log;
        DiagnosticsPage page;
        page.attach(&log, &store);
        QVERIFY(page.pairs().isEmpty());
        whenModal<DiagPairsDialog>([](DiagPairsDialog *dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton *>("btAdd"), Qt::LeftButton);
            QTest::mouseClick(dialog->findChild<QPushButton *>("btAdd"), Qt::LeftButton);
            auto *table = dialog->findChild<QTableWidget *>("twPairs");
            table->item(1, 0)->setText("6F1");
            table->item(1, 1)->setText("642");
            qobject_cast<QComboBox *>(table->cellWidget(1, 2))->setCurrentIndex(1);
            QTest::mouseClick(dialog->findChild<QPushButton *>("btAdd"), Qt::LeftButton);
            table->item(2, 0)->setText("not hex"); // dropped
            dialog->accept();
        });
        QTest::mouseClick(page.findChild<QPushButton *>("btPairs"), Qt::LeftButton);
        const QVector<DiagPair> expected = {{0x7E0, 0x7E8, false, IsoTpAddressing::Normal},
                                            {0x6F1, 0x642, false, IsoTpAddressing::Extended}};
        QCOMPARE(page.pairs(), expected);
        QCOMPARE(store.value("DIAG").toStringList(), QStringList({"7E0/7E8", "6F1/642/extended"}));
        DiagnosticsLog againLog;
        DiagnosticsPage again;
        again.attach(&againLog, &store);
        QCOMPARE(again.pairs(), expected);
        // The extended-addressing pair is used at once.
        Stream s;
        Options o;
        o.address = 0x42;
        s.addAll(0x6F1, false, isoTpFrames(QByteArray::fromHex("22F190"), o));
        againLog.add(s.frames[0], 0);
        again.refresh();
        QCOMPARE(cell(again.model(), 0, DiagnosticsModel::Address), QStringLiteral("→ 42"));
    }

    void openedCaptureInWindow()
    {
        QTemporaryDir dir;
        WindowHarness::writeSettings(QStringLiteral("none"), dir.path());
        WindowHarness ui;
        ui.create();
        const QString path = dir.filePath("uds.log");
        QVERIFY(writeFile(path, session().candump()));
        ui.get()->openCapture(path);
        auto *page = ui.child<DiagnosticsPage>("diagnosticsPage");
        QTRY_COMPARE(page->model()->rowCount(), 6);
        QTRY_COMPARE(ui.log()->rowCount(), session().frames.size());
        QSignalSpy shown(page, &DiagnosticsPage::sendShowFrames);
        emit page->findChild<QTableView *>("tvDiagnostics")
            ->doubleClicked(page->findChild<QTableView *>("tvDiagnostics")->model()->index(2, 0));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(ui.child<QTabWidget>("tabWidget")->currentWidget()->objectName(),
                 QStringLiteral("tab"));
        QTest::mouseClick(ui.child<QPushButton>("btClearTable"), Qt::LeftButton);
        QCOMPARE(page->model()->rowCount(), 0);
    }
};

QUORVEX_WINDOW_TEST_MAIN(TestDiagnosticsPage)
#include "tst_diagnosticspage.moc"
