// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transmit/senddialog.h"
#include "link/linerecord.h"
#include "support/simprocess.h"
#include "support/windowharness.h"
#include "transmit/transmitlist.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>

// A transmit run from the list dialog, through the main window, to the virtual module.
class TestTransmitRun : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void closedPortRefusesTheDialog();
    void runReachesTheModuleInOrder();
    void moduleRefusesFdFrames();

private:
    QList<CanPacket> listEntries() const;
    bool writeList(const QList<CanPacket> &entries) const;
    // The virtual module logging what the host sends, and the window connected to it.
    bool connectToSim(SimProcess &sim);
    QStringList hostRecords() const;

    WindowHarness ui;
    QTemporaryDir dir;
    QString listName;
};

void TestTransmitRun::init()
{
    // The list lives beside the program, under the name the settings give.
    listName = QStringLiteral("tst_transmitrun-%1.json").arg(QCoreApplication::applicationPid());
    QVERIFY(writeList(listEntries()));
}

bool TestTransmitRun::writeList(const QList<CanPacket> &entries) const
{
    QFile list(QCoreApplication::applicationDirPath() + QLatin1Char('/') + listName);
    const QByteArray text = TransmitList::toJson(entries);
    return list.open(QIODevice::WriteOnly) && list.write(text) == text.size();
}

bool TestTransmitRun::connectToSim(SimProcess &sim)
{
    if (!sim.start({QStringLiteral("--no-monitor"), QStringLiteral("--host-log"),
                    dir.filePath(QStringLiteral("host.log"))}))
        return false;
    WindowHarness::writeSettings(sim.portName(), dir.path());
    QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"))
        .setValue(QStringLiteral("FILENAME"), listName);
    ui.create();
    return ui.connectPort();
}

void TestTransmitRun::cleanup()
{
    ui.destroy();
    QFile::remove(QCoreApplication::applicationDirPath() + QLatin1Char('/') + listName);
}

QList<CanPacket> TestTransmitRun::listEntries() const
{
    CanPacket a, b, c;
    a.id = 0x100;
    a.rtl = 8;
    a.data[0] = 0x11;
    a.delay = 5;
    b.frame = 1;
    b.id = 0x1ABCDEF;
    b.rtl = 2;
    b.data[1] = 0x22;
    b.delay = 0;
    c.id = 0x200;
    c.rtl = 0x10;
    c.delay = 5;
    return {a, b, c};
}

QStringList TestTransmitRun::hostRecords() const
{
    QFile log(dir.filePath(QStringLiteral("host.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestTransmitRun::closedPortRefusesTheDialog()
{
    WindowHarness::writeSettings(dir.filePath(QStringLiteral("absent")), dir.path());
    ui.create();
    QString text;
    whenModal<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        box->accept();
    });
    ui.child<QAction>("actionSetRequsestPackets")->trigger();
    QCOMPARE(text, QStringLiteral("Порт закрыт! уставновите соединение!"));
}

void TestTransmitRun::runReachesTheModuleInOrder()
{
    SimProcess sim;
    QVERIFY(connectToSim(sim));

    whenModal<SendDialog>([](SendDialog *dialog) {
        dialog->findChild<QSpinBox *>(QStringLiteral("edRepeat"))->setValue(2);
        dialog->findChild<QPushButton *>(QStringLiteral("btSend"))->click(); // the whole run
        dialog->findChild<QPushButton *>(QStringLiteral("btCancel"))->click();
    });
    ui.child<QAction>("actionSetRequsestPackets")->trigger();
    QCOMPARE(ui.status("lbStatusMain"), QStringLiteral("Чтение пакетов, всего: 3"));

    QStringList expected;
    for (int pass = 0; pass < 2; ++pass) {
        for (const CanPacket &p : listEntries())
            expected << QString::fromLatin1(LineRecord::hostRecord(p).toHex().toUpper());
    }
    QTRY_COMPARE(hostRecords(), expected);
    QTRY_COMPARE(ui.log()->rowCount(), 6); // "Отображать TX пакеты" is on
    for (int row = 0; row < 6; ++row)
        QCOMPARE(ui.log()->index(row, 12).data().toString(), QStringLiteral("TX"));
    QCOMPARE(ui.log()->index(1, 0).data().toString(), QStringLiteral("0x01ABCDEF"));
    QCOMPARE(ui.log()->index(1, 1).data().toString(), QStringLiteral("EFF"));
    QCOMPARE(ui.log()->index(2, 2).data().toInt(), 1); // the remote frame

    // With the TX display off the frames still go out, and only the statistics show them.
    ui.child<QCheckBox>("chkTX")->setChecked(false);
    whenModal<SendDialog>([](SendDialog *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("btSend"))->click();
        dialog->findChild<QPushButton *>(QStringLiteral("btCancel"))->click();
    });
    ui.child<QAction>("actionSetRequsestPackets")->trigger();
    QTRY_COMPARE(hostRecords().size(), 9);
    QTest::qWait(2 * MainWindow::RefreshMs);
    QCOMPARE(ui.log()->rowCount(), 6);
    QCOMPARE(SimProcess::count(sim.stop(), QStringLiteral("host frames received")), 9);
}

// The module carries classic frames only: the dialog says so before the run, and a run that
// holds an FD row sends the rest, the status bar saying why that one did not go.
void TestTransmitRun::moduleRefusesFdFrames()
{
    CanPacket fd;
    fd.id = 0x300;
    fd.setFdLength(16);
    fd.delay = 0;
    QVERIFY(writeList({listEntries().first(), fd}));
    SimProcess sim;
    QVERIFY(connectToSim(sim));
    QString note;
    whenModal<SendDialog>([&](SendDialog *dialog) {
        note = dialog->findChild<QLabel *>(QStringLiteral("lbFdRefused"))->text();
        dialog->findChild<QPushButton *>(QStringLiteral("btSend"))->click();
        dialog->findChild<QPushButton *>(QStringLiteral("btCancel"))->click();
    });
    ui.child<QAction>("actionSetRequsestPackets")->trigger();
    QCOMPARE(note, QStringLiteral("Кадры CAN FD не отправляются: модуль Tarvix не передаёт кадры "
                                  "CAN FD"));
    QCOMPARE(ui.status("lbStatusCan"),
             QStringLiteral("Ошибка записи: модуль Tarvix не передаёт кадры CAN FD"));
    QTRY_COMPARE(hostRecords(),
                 QStringList(QString::fromLatin1(
                     LineRecord::hostRecord(listEntries().first()).toHex().toUpper())));
    QTRY_COMPARE(ui.log()->rowCount(), 1);
}

QUORVEX_WINDOW_TEST_MAIN(TestTransmitRun)
#include "tst_transmitrun.moc"
