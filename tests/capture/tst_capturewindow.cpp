// SPDX-License-Identifier: GPL-3.0-or-later
// The window's capture path: the recording of each connection, its triggers, a save while frames
// keep coming, and a line full of reply markers.

#include "app/exchangelisting.h"
#include "formats/candumpwriter.h"
#include "link/cantester.h"
#include "link/linerecord.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "support/ptypair.h"
#include "support/simprocess.h"
#include "support/testfiles.h"
#include "support/testpackets.h"
#include "support/windowharness.h"

#include <QAction>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

constexpr int FloodBytes = 512 * 1024;
constexpr char ReplyMarker = '\xEF';

QStringList recordings(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("quorvex-*.log")}, QDir::Files);
}

QByteArray candumpLine(const TimedPacket &frame)
{
    QByteArray line;
    CandumpWriter::appendLine(line, frame);
    return line;
}

} // namespace

class TestCaptureWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void recordsEveryFrameOfAConnection_data();
    void recordsEveryFrameOfAConnection();
    void folderThatTakesNoFileIsSaidAtConnect();
    void triggersWatchSignalsAndLosses();
    void savesInTheBackgroundWhileCapturing();
    void replyMarkerFloodLeavesTheLinkUsable();
    void listingKeepsTheNewestLines();

private:
    void send(const QVector<CanPacket> &frames);

    std::unique_ptr<QTemporaryDir> work;
    std::unique_ptr<PtyPair> pty;
    WindowHarness ui;
};

void TestCaptureWindow::init()
{
    work = std::make_unique<QTemporaryDir>();
    QVERIFY(work->isValid());
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
}

void TestCaptureWindow::cleanup()
{
    ui.destroy();
    pty.reset();
    work.reset();
}

void TestCaptureWindow::send(const QVector<CanPacket> &frames)
{
    QByteArray bytes;
    for (const CanPacket &p : frames)
        bytes += LineRecord::moduleRecord(p);
    QVERIFY(pty->write(bytes));
}

void TestCaptureWindow::recordsEveryFrameOfAConnection_data()
{
    QTest::addColumn<bool>("record");
    QTest::newRow("RECORD on") << true;
    QTest::newRow("RECORD off") << false;
}

void TestCaptureWindow::recordsEveryFrameOfAConnection()
{
    QFETCH(bool, record);
    WindowHarness::writeSettings(pty->portName(), work->path());
    QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"))
        .setValue(QStringLiteral("RECORD"), record);
    ui.create();
    ui.setCombo("cbDirect", CanPacket::Can0ToCan1); // the view hides CAN1->CAN0, the file not
    QVERIFY(ui.connectPort());
    send({testFrame(0x123, 0x10, 2, 0x5A), testFrame(0x1ABCDEF, 0x21, 2, 0x5A),
          testFrame(0x7FF, 0x10, 2, 0x5A)});
    QTRY_COMPARE(ui.log()->rowCount(), 2);
    const QString label = ui.status("lbStatusRecord");
    ui.child<QAction>("actionOpenPort")->trigger(); // disconnect: everything is written

    const QStringList files = recordings(work->path());
    if (!record) {
        QCOMPARE(files, QStringList());
        QCOMPARE(label, QString());
        return;
    }
    QCOMPARE(files.size(), 1);
    QVERIFY2(label.startsWith(QStringLiteral("Запись: ") + files[0]), qPrintable(label));
    const QList<QByteArray> lines = readFile(work->filePath(files[0])).split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].endsWith(" can0 123#5A00"));
    QVERIFY(lines[1].endsWith(" can1 01ABCDEF#5A00"));
    QVERIFY(lines[2].endsWith(" can0 7FF#5A00"));
}

// A recording folder that is a file: connecting says so in a message, and the capture goes on
// unrecorded.
void TestCaptureWindow::folderThatTakesNoFileIsSaidAtConnect()
{
    const QString notAFolder = work->filePath(QStringLiteral("plain"));
    QVERIFY(writeFile(notAFolder, "x"));
    WindowHarness::writeSettings(pty->portName(), notAFolder);
    ui.create();
    QVERIFY(ui.connectPort());
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = ui.get()->findChild<QMessageBox *>(QStringLiteral("recordingFailedBox"))) &&
                box->isVisible());
    QVERIFY2(box->text().contains(QStringLiteral("Not a directory")), qPrintable(box->text()));
    QVERIFY(box->text().contains(notAFolder));
    QVERIFY(ui.status("lbStatusRecord").startsWith(QStringLiteral("Запись остановлена: ")));
    send({testFrame(0x123, 0x10, 2, 0x5A)});
    QTRY_COMPARE(ui.log()->rowCount(), 1);
    box->close();

    // Connecting again says it again; a working folder says nothing.
    ui.child<QAction>("actionOpenPort")->trigger();
    QTRY_VERIFY(!ui.get()->findChild<QMessageBox *>(QStringLiteral("recordingFailedBox")));
    QVERIFY(ui.connectPort());
    QTRY_VERIFY(ui.get()->findChild<QMessageBox *>(QStringLiteral("recordingFailedBox")));
}

// The window's triggers run in the capture session the recorder runs: a signal of the loaded DBC
// file crossing its value, and frames lost on the line, each give a file of their own.
void TestCaptureWindow::triggersWatchSignalsAndLosses()
{
    const QString dbc = work->filePath(QStringLiteral("engine.dbc"));
    QVERIFY(writeFile(dbc, engineRpmDbc()));
    WindowHarness::writeSettings(pty->portName(), work->path());
    QSettings store(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
    store.setValue(QStringLiteral("RECORD"), false);
    store.setValue(QStringLiteral("DBC"), QStringList{dbc});
    store.setValue(QStringLiteral("TRIGGERS"),
                   QStringList{QStringLiteral("signal=RPM>3000 pre=1 post=0.001 name=rpm"),
                               QStringLiteral("lost pre=1 post=0.001 name=gap")});
    store.sync();
    ui.create();
    QVERIFY(ui.connectPort());
    QVector<CanPacket> frames;
    frames << hexFrame(0x123, "E803") << hexFrame(0x123, "A00F"); // 1000, then 4000 rpm
    send(frames);
    QTRY_COMPARE(ui.log()->rowCount(), 2);
    QVERIFY(pty->write(LineRecord::moduleRecord(hexFrame(0x124, "01")).left(5)));
    const auto triggerFiles = [this] {
        return QDir(work->path()).entryList({QStringLiteral("trigger-*.log")}, QDir::Files);
    };
    QTRY_COMPARE_WITH_TIMEOUT(triggerFiles().size(), 2, 10000);
    QTRY_VERIFY(ui.status("lbStatusTriggers").contains(QStringLiteral("rpm 1, gap 1")));
    ui.child<QAction>("actionOpenPort")->trigger();
    const QStringList files = triggerFiles();
    QVERIFY2(files.filter(QStringLiteral("-rpm.log")).size() == 1, qPrintable(files.join(' ')));
    const QByteArray rpm = readFile(work->filePath(files.filter(QStringLiteral("-rpm")).first()));
    QCOMPARE(rpm.count('\n'), 2); // the second before it: both frames
    QVERIFY2(rpm.contains("123#A00F"), rpm.constData());
    QCOMPARE(recordings(work->path()), QStringList());
}

// The saved file holds the rows there were when the save began; the capture never pauses.
void TestCaptureWindow::savesInTheBackgroundWhileCapturing()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--rate"), QStringLiteral("max")}));
    WindowHarness::writeSettings(sim.portName(), work->path());
    ui.create();
    auto *log = qobject_cast<CanDataModel *>(ui.log());
    QVERIFY(ui.connectPort());
    QTRY_VERIFY_WITH_TIMEOUT(log->rowCount() > 60000, 60000);

    const QString target = work->filePath(QStringLiteral("saved.log"));
    whenModal<QFileDialog>([&](QFileDialog *dialog) {
        dialog->selectFile(target);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    ui.child<QPushButton>("btSaveTable")->click();
    const int atStart = log->rowCount(); // nothing ran between the snapshot and here
    const QString done = QStringLiteral("Сохранено строк: %1 в %2").arg(atStart).arg(target);
    QTRY_COMPARE_WITH_TIMEOUT(ui.status("lbStatusMain"), done, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(log->rowCount() > atStart + 1000, 60000);

    QList<QByteArray> lines = readFile(target).split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.size(), atStart);
    for (const int row : {0, atStart / 2, atStart - 1})
        QCOMPARE(lines[row] + '\n', candumpLine(log->frameAt(row)));
}

// 512 KB of reply markers: the listing stays bounded, and clean frames after it are logged.
void TestCaptureWindow::replyMarkerFloodLeavesTheLinkUsable()
{
    WindowHarness::writeSettings(pty->portName(), work->path());
    ui.create();
    QVERIFY(ui.connectPort());
    const QByteArray chunk(4096, ReplyMarker);
    for (int sent = 0; sent < FloodBytes; sent += chunk.size())
        QVERIFY(pty->write(chunk));
    auto *tester = ui.get()->findChild<CanTester *>();
    QVERIFY(tester);
    QTRY_COMPARE_WITH_TIMEOUT(tester->bytesReceived(), quint64(FloodBytes), 60000);
    QTRY_COMPARE(tester->pendingBytes(), 0); // the tail is given up once the line is quiet
    auto *listing = ui.child<QListWidget>("lwList");
    QTRY_VERIFY(listing->count() > 1);

    QVector<CanPacket> clean;
    for (uint32_t id = 1; id <= 20; ++id)
        clean << testFrame(id, 0x10, 2, 0x5A);
    send(clean);
    QTRY_COMPARE(ui.log()->rowCount(), 20);
    QCOMPARE(ui.log()->index(19, CanDataModel::IdColumn).data().toString(), hexText(20, 8));
    QVERIFY(listing->count() <= ExchangeListing::MaxLines);
}

void TestCaptureWindow::listingKeepsTheNewestLines()
{
    QListWidget list;
    ExchangeListing listing(&list);
    const int replies = ExchangeListing::MaxLines / 2 + 1000; // 12,000 lines and more
    for (int n = 0; n < replies; ++n) {
        listing.addReply(QByteArray::number(n));
        if (n % 20 == 19)
            listing.refresh();
    }
    listing.addReply(QByteArray(1000, ReplyMarker)); // noise: shown cut
    for (int n = 0; n < 2 * ExchangeListing::MaxRepliesPerRefresh; ++n)
        listing.addReply("x");
    listing.refresh();

    QCOMPARE(list.count(), ExchangeListing::MaxLines);
    // The newest lines: the 50 replies shown (two lines each) and the count of those skipped.
    const int last = list.count() - 1;
    QVERIFY(list.item(last)->text().contains(QStringLiteral("ещё ответов: 51")));
    QVERIFY(list.item(last - 100)->text().endsWith(QStringLiteral(" … (1000 байт)")));
    QVERIFY(list.item(last - 101)->text().endsWith(QString::number(replies - 1)));
    list.show(); // and no line is cut, the longest included
    for (const int row : {0, last - 100, last}) {
        const QListWidgetItem *item = list.item(row);
        QVERIFY(list.visualItemRect(item).width() >
                list.fontMetrics().horizontalAdvance(item->text()));
    }
}

QUORVEX_WINDOW_TEST_MAIN(TestCaptureWindow)
#include "tst_capturewindow.moc"
