// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "link/linerecord.h"
#include "log/candatamodel.h"
#include "support/ptypair.h"
#include "support/testpackets.h"
#include "support/windowharness.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
// The first data byte repeats the identifier, so a saved row shows which frame it came from.
CanPacket frameWith(uint8_t flags, uint32_t id)
{
    return testFrame(id, flags, 8, uint8_t(id));
}

QString columnText(QAbstractItemModel *model, int row, int column)
{
    return model->index(row, column).data().toString();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpState();
    void storedTxFlagSetsTheCaption();
    void connectsAndShowsFrames();
    void failedConnectLeavesTheWindowAlone();
    void directionFilter_data();
    void directionFilter();
    void identifierFormatFilter();
    void formatSelector();
    void byteColumnsHoldEveryText();
    void statisticsCountHiddenFrames();
    void transmitPath();
    void savesTheLog();
    void warnsWhenTheLogCannotBeSaved();
    void unplugKeepsTheCaptureAndReconnects();
    void statusShowsRateAndLoss();

private:
    void send(const QVector<CanPacket> &frames);

    std::unique_ptr<PtyPair> pty;
    WindowHarness ui;
    QTemporaryDir linkDir;
};

void TestMainWindow::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
}

void TestMainWindow::cleanup()
{
    ui.destroy();
    pty.reset();
}

void TestMainWindow::send(const QVector<CanPacket> &frames)
{
    QByteArray bytes;
    for (const CanPacket &p : frames)
        bytes += LineRecord::moduleRecord(p);
    QVERIFY(pty->write(bytes));
}

void TestMainWindow::startUpState()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    QCOMPARE(ui.get()->windowTitle(), QStringLiteral("Veltrica. Анализатор пакетов Quorvex 1.0.1"));
    QVERIFY(ui.get()->windowState() & Qt::WindowMaximized);

    const struct
    {
        const char *name;
        QStringList texts;
        QList<int> data;
    } combos[] = {
        {"cbMASK", {"Все", "11 bits", "Mask 11 bits", "29 bits", "Mask 29 bits"}, {0, 1, 2, 3, 4}},
        {"cbDirect", {"Все", "RX", "RX (CAN0->CAN1)", "RX (CAN1->CAN0)"}, {240, 64, 16, 32}},
        {"cbFormat", {"HEX", "DEC", "ASC", "BIN"}, {0, 1, 2, 3}},
    };
    for (const auto &combo : combos) {
        auto *box = ui.child<QComboBox>(combo.name);
        QCOMPARE(box->count(), combo.texts.size());
        for (int i = 0; i < box->count(); ++i) {
            QCOMPARE(box->itemText(i), combo.texts[i]);
            QCOMPARE(box->itemData(i).toInt(), combo.data[i]);
        }
        QCOMPARE(box->currentIndex(), 0);
    }
    QCOMPARE(ui.status("lbStatusMain"), QStringLiteral("Старт программы"));
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("unkhown"));
    QCOMPARE(ui.status("lbStatusPort"), QStringLiteral("unkhown"));
    const QStringList fixed = {QStringLiteral("Статус: "), QStringLiteral("| CAN: "),
                               QStringLiteral("| COM port:")};
    for (const QString &text : fixed) {
        bool found = false;
        for (auto *label : ui.get()->statusBar()->findChildren<QLabel *>())
            found = found || label->text() == text;
        QVERIFY2(found, qPrintable(text));
    }
    // No TX key stored: transmitted frames are shown.
    QVERIFY(ui.child<QCheckBox>("chkTX")->isChecked());
    QCOMPARE(ui.child<QCheckBox>("chkTX")->text(), QStringLiteral("Отображать TX пакеты"));
    QCOMPARE(ui.log()->columnCount(), 14);
    QCOMPARE(ui.child<QTableView>("tableView")->columnWidth(0), 120);
}

void TestMainWindow::storedTxFlagSetsTheCaption()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path(), false);
    ui.create();
    QVERIFY(!ui.child<QCheckBox>("chkTX")->isChecked());
    QCOMPARE(ui.child<QCheckBox>("chkTX")->text(), QStringLiteral("TX пакеты игнорировать"));

    // The toggled flag survives a restart.
    ui.child<QCheckBox>("chkTX")->setChecked(true);
    ui.destroy();
    ui.create();
    QVERIFY(ui.child<QCheckBox>("chkTX")->isChecked());
}

void TestMainWindow::connectsAndShowsFrames()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    QVERIFY(ui.connectPort());
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("Старт тестер"));
    send({frameWith(0x10, 0x100), frameWith(0x21, 0x1ABCDEF), frameWith(0x10, 0x7FF)});
    QTRY_COMPARE(ui.log()->rowCount(), 3);
    QCOMPARE(columnText(ui.log(), 1, 0), QStringLiteral("0x01ABCDEF"));
    QCOMPARE(columnText(ui.log(), 1, 1), QStringLiteral("EFF"));
    QCOMPARE(columnText(ui.log(), 1, 12), QStringLiteral("RX (CAN1->CAN0)"));
    // The view follows the newest frame.
    QTRY_COMPARE(ui.child<QTableView>("tableView")->currentIndex().row(), 2);

    // Disconnect and connect again: a fresh link, frames keep coming.
    ui.child<QAction>("actionOpenPort")->trigger();
    // The name as the port reports it ("pts/3" for "/dev/pts/3").
    const QString reported = QSerialPort(pty->portName()).portName();
    QCOMPARE(ui.status("lbStatusPort"), reported + QStringLiteral(" закрыт"));
    QVERIFY(ui.connectPort());
    send({frameWith(0x10, 0x200)});
    QTRY_COMPARE(ui.log()->rowCount(), 4);
}

void TestMainWindow::failedConnectLeavesTheWindowAlone()
{
    WindowHarness::writeSettings(linkDir.filePath(QStringLiteral("no-such-port")), linkDir.path());
    ui.create();
    ui.child<QAction>("actionOpenPort")->trigger();
    QVERIFY(ui.status("lbStatusPort").endsWith(QStringLiteral("no-such-port ошибка соединения")));
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("unkhown"));
    QCOMPARE(ui.log()->rowCount(), 0);
}

void TestMainWindow::directionFilter_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QList<uint32_t>>("shown");
    // Frames sent: id 1 flags 0x00, id 2 0x01, id 3 0x10, id 4 0x11, id 5 0x20, id 6 0x31.
    QTest::newRow("all") << 240 << QList<uint32_t>{1, 2, 3, 4, 5, 6};
    QTest::newRow("rx") << 64 << QList<uint32_t>{1, 2};
    QTest::newRow("can0->can1") << 16 << QList<uint32_t>{3, 4, 6};
    QTest::newRow("can1->can0") << 32 << QList<uint32_t>{5, 6};
}

void TestMainWindow::directionFilter()
{
    QFETCH(int, direction);
    QFETCH(QList<uint32_t>, shown);
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    ui.setCombo("cbDirect", direction);
    QVERIFY(ui.connectPort());
    send({frameWith(0x00, 1), frameWith(0x01, 2), frameWith(0x10, 3), frameWith(0x11, 4),
          frameWith(0x20, 5), frameWith(0x31, 6)});
    QTRY_COMPARE(ui.log()->rowCount(), shown.size());
    for (int row = 0; row < shown.size(); ++row)
        QCOMPARE(columnText(ui.log(), row, 0), hexText(shown[row], 8));
}

void TestMainWindow::identifierFormatFilter()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    QVERIFY(ui.connectPort());
    ui.setCombo("cbMASK", 1); // 11 bits
    send({frameWith(0x10, 0x11), frameWith(0x11, 0x12)});
    QTRY_COMPARE(ui.log()->rowCount(), 1);
    QCOMPARE(columnText(ui.log(), 0, 1), QStringLiteral("SFF"));
    ui.setCombo("cbMASK", 3); // 29 bits
    send({frameWith(0x10, 0x13), frameWith(0x11, 0x14)});
    QTRY_COMPARE(ui.log()->rowCount(), 2);
    QCOMPARE(columnText(ui.log(), 1, 1), QStringLiteral("EFF"));
    // A mask filter opens its dialog; with the initial mask 0 it passes everything.
    whenModal<QDialog>([](QDialog *dialog) { dialog->accept(); });
    ui.setCombo("cbMASK", 4);
    send({frameWith(0x10, 0x15), frameWith(0x11, 0x16)});
    QTRY_COMPARE(ui.log()->rowCount(), 4);
}

void TestMainWindow::formatSelector()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    QVERIFY(ui.connectPort());
    CanPacket p = frameWith(0x10, 0x41);
    p.data[0] = 0x41;
    send({p});
    QTRY_COMPARE(ui.log()->rowCount(), 1);
    auto *view = ui.child<QTableView>("tableView");
    const QStringList expected = {"0x41", "65", "A", "0b01000001"};
    for (int format = 3; format >= 0; --format) {
        ui.setCombo("cbFormat", format);
        QCOMPARE(columnText(ui.log(), 0, 4), expected[format]);
        // Never narrower than planned, and wide enough for the text in the font in use.
        const int width = view->columnWidth(4);
        QVERIFY(width >= (format == 3 ? 80 : 35));
        QVERIFY(width > view->fontMetrics().horizontalAdvance(columnText(ui.log(), 0, 4)));
        QVERIFY(view->columnWidth(12) >= 120);
    }
    QVERIFY(view->columnWidth(4) < 80); // back from binary to hex narrows the columns
}

// Hex digits differ in width ("0xDD" is wider than "0xFF"); a large font makes it tell.
void TestMainWindow::byteColumnsHoldEveryText()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    auto *view = ui.child<QTableView>("tableView");
    QFont large = view->font();
    large.setPixelSize(60);
    view->setFont(large);
    const auto text = [](int format, uint byte) {
        const QString forms[] = {QString::asprintf("0x%02X", byte), QString::number(byte),
                                 QString(QChar(byte)),
                                 "0b" + QString::number(byte, 2).rightJustified(8, '0')};
        return forms[format];
    };
    for (int format : {1, 2, 3, 0}) {
        ui.setCombo("cbFormat", format);
        for (uint byte = 0; byte < 256; ++byte) {
            const int advance = view->fontMetrics().horizontalAdvance(text(format, byte));
            for (int column = CanDataModel::FirstDataColumn; column <= CanDataModel::LastDataColumn;
                 ++column)
                QVERIFY2(view->columnWidth(column) >= advance, qPrintable(text(format, byte)));
        }
    }
}

void TestMainWindow::statisticsCountHiddenFrames()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    ui.setCombo("cbDirect", 32); // only CAN1->CAN0 reaches the log
    QVERIFY(ui.connectPort());
    QVector<CanPacket> frames;
    for (int i = 0; i < 5; ++i)
        frames << frameWith(0x10, 0x300) << frameWith(0x20, 0x100);
    send(frames);
    QTRY_COMPARE(ui.log()->rowCount(), 5);
    auto *stats = ui.child<QTableView>("tableView_2")->model();
    // Kept up to date while its page is shown, brought up to date when the page is opened.
    QCOMPARE(columnText(stats, 0, 0), QString());
    ui.child<QTabWidget>("tabWidget")->setCurrentIndex(2);
    QCOMPARE(columnText(stats, 1, 2), QStringLiteral("5"));
    QCOMPARE(columnText(stats, 0, 0), QStringLiteral("0x00000100"));
    QCOMPARE(columnText(stats, 1, 0), QStringLiteral("0x00000300"));

    // Clearing empties the log and the statistics; the numbering goes on.
    ui.child<QPushButton>("btClearTable")->click();
    QCOMPARE(ui.log()->rowCount(), 0);
    QCOMPARE(columnText(stats, 0, 0), QString());
    send({frameWith(0x20, 0x100)});
    QTRY_COMPARE(ui.log()->rowCount(), 1);
    QCOMPARE(qobject_cast<CanDataModel *>(ui.log())->rowNumber(0), 6);
}

void TestMainWindow::transmitPath()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    CanPacket tx = frameWith(0x01, 0x1234567);
    tx.direct = CanPacket::Transmitted;
    tx.delay = 20;

    // Not connected: nothing written, nothing counted.
    QVERIFY(QMetaObject::invokeMethod(ui.get(), "onSendPacket", Q_ARG(CanPacket, tx)));
    QCOMPARE(pty->read(1, 100), QByteArray());
    ui.child<QTabWidget>("tabWidget")->setCurrentIndex(2);
    auto *stats = ui.child<QTableView>("tableView_2")->model();
    QCOMPARE(columnText(stats, 0, 0), QString());

    QVERIFY(ui.connectPort());
    ui.setCombo("cbDirect", 16); // TX display does not depend on the direction filter
    QVERIFY(QMetaObject::invokeMethod(ui.get(), "onSendPacket", Q_ARG(CanPacket, tx)));
    QCOMPARE(pty->read(14), LineRecord::hostRecord(tx));
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("Запись 14 байт"));
    QTRY_COMPARE(ui.log()->rowCount(), 1);
    QCOMPARE(columnText(ui.log(), 0, 12), QStringLiteral("TX"));

    ui.child<QCheckBox>("chkTX")->setChecked(false);
    QVERIFY(QMetaObject::invokeMethod(ui.get(), "onSendPacket", Q_ARG(CanPacket, tx)));
    QCOMPARE(pty->read(14), LineRecord::hostRecord(tx));
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("Запись 14 байт"));
    QTest::qWait(2 * MainWindow::RefreshMs);
    QCOMPARE(ui.log()->rowCount(), 1);
    QTRY_COMPARE(columnText(stats, 0, 2), QStringLiteral("2")); // counted either way
}

void TestMainWindow::savesTheLog()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    QVERIFY(ui.connectPort());
    send({frameWith(0x10, 0x7FF), frameWith(0x20, 0x80000001)});
    QTRY_COMPARE(ui.log()->rowCount(), 2);
    const QString target = linkDir.filePath(QStringLiteral("capture.csv"));
    QString proposed;
    whenModal<QFileDialog>([&](QFileDialog *dialog) {
        proposed = dialog->selectedFiles().value(0);
        dialog->selectFile(target);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    ui.child<QPushButton>("btSaveTable")->click();
    QVERIFY(proposed.contains(QStringLiteral("/sheet_")));
    QTRY_VERIFY(ui.status("lbStatusMain").startsWith(QStringLiteral("Сохранено строк: 2")));
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4); // header, two rows, the empty piece after the last line break
    QCOMPARE(lines[0], QByteArray("[ID];[FF];[RTR];[LEN];[D0];[D1];[D2];[D3];[D4];[D5];[D6];[D7];"
                                  "[DIR];[TIME];"));
    QVERIFY(lines[1].startsWith("0x000007FF;SFF;0;8;0xFF;0x00;"));
    QVERIFY(lines[2].startsWith("0x80000001;SFF;0;8;0x01;"));
    QVERIFY(lines[2].contains(";RX (CAN1->CAN0);"));
}

void TestMainWindow::warnsWhenTheLogCannotBeSaved()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    const QString target = linkDir.filePath(QStringLiteral("missing/dir/capture.csv"));
    QString warning;
    whenModal<QFileDialog>([&](QFileDialog *dialog) {
        dialog->selectFile(target);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        whenModal<QMessageBox>([&](QMessageBox *box) {
            warning = box->text();
            box->accept();
        });
    });
    ui.child<QPushButton>("btSaveTable")->click();
    QTRY_VERIFY(warning.contains(target));
    QVERIFY(!QFile::exists(target));
}

void TestMainWindow::unplugKeepsTheCaptureAndReconnects()
{
    // The port is reached through a link, so a new device can take the same name.
    const QString portLink = linkDir.filePath(QStringLiteral("tarvix"));
    QVERIFY(QFile::link(pty->portName(), portLink));
    WindowHarness::writeSettings(portLink, linkDir.path());
    ui.create();
    QVERIFY(ui.connectPort());
    QVector<CanPacket> frames;
    for (uint32_t id = 1; id <= 300; ++id)
        frames << frameWith(0x10, id);
    send(frames);
    QTRY_COMPARE(ui.log()->rowCount(), 300);

    pty->closeMaster(); // the module is pulled out
    QTRY_COMPARE(ui.status("lbStatusPort"), portLink + QStringLiteral(" ошибка соединения"));
    QCOMPARE(ui.log()->rowCount(), 300);
    ui.child<QTabWidget>("tabWidget")->setCurrentIndex(2);
    auto *stats = ui.child<QTableView>("tableView_2")->model();
    QCOMPARE(columnText(stats, 299, 0), QStringLiteral("0x0000012C"));

    // Plugged in again.
    pty = std::make_unique<PtyPair>();
    QVERIFY(QFile::remove(portLink));
    QVERIFY(QFile::link(pty->portName(), portLink));
    QVERIFY(ui.connectPort());
    send({frameWith(0x10, 0x301)});
    QTRY_COMPARE(ui.log()->rowCount(), 301);
}

void TestMainWindow::statusShowsRateAndLoss()
{
    WindowHarness::writeSettings(pty->portName(), linkDir.path());
    ui.create();
    QVERIFY(ui.connectPort());
    QVector<CanPacket> frames(50, frameWith(0x10, 0x100));
    send(frames);
    QTRY_VERIFY_WITH_TIMEOUT(ui.status("lbStatusRate").startsWith(QStringLiteral("Кадров/с: ")),
                             3000);
    QVERIFY(!ui.status("lbStatusRate").contains(QStringLiteral("Потеряно")));

    // A reply far longer than any the module gives has swallowed frames: 101 bytes, 37 too many.
    QVERIFY(pty->write(QByteArray(1, '\xEF') + QByteArray(100, 'x')));
    QTRY_VERIFY_WITH_TIMEOUT(
        ui.status("lbStatusRate").endsWith(QStringLiteral(" | Потеряно кадров: 3")), 3000);
}

QUORVEX_WINDOW_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
