// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/triggercontrol.h"
#include "app/triggersdialog.h"
#include "capture/capturesession.h"
#include "capture/triggerset.h"
#include "link/timeofday.h"
#include "net/socketcandserver.h"
#include "support/testfiles.h"
#include "support/testpackets.h"
#include "support/testsource.h"

#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A connection of the window's: trigger files go to `directory`, nothing else is recorded.
SessionOptions windowOptions(const QString &directory)
{
    SessionOptions options;
    options.directory = directory;
    options.record = false;
    return options;
}

} // namespace

class TstTriggerControl : public QObject
{
    Q_OBJECT

private slots:
    void settingsAndDialogRoundTrip();
    void markButtonRecordsAroundNow();
    void serverSharesTheWindowsFrames();
    void rulesAndDbcFilesChangeDuringAConnection();
};

void TstTriggerControl::settingsAndDialogRoundTrip()
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    QMainWindow window;
    QMenu *menu = window.menuBar()->addMenu(QStringLiteral("m"));
    CaptureSession session;
    TriggersDialog::Values values;
    values.triggers = QStringList{"id=0x7E8 name=nrc", "manual name=mark", "not a rule"};
    values.server = QStringLiteral("127.0.0.1:%1").arg(freePort());
    values.allowSend = true;
    values.maxClients = 3;
    values.openTimeoutS = 0;
    {
        TriggerControl control(window.statusBar(), menu, &store, &session);
        QCOMPARE(session.triggerSet().ruleCount(), 0);
        control.apply(values);
        QCOMPARE(session.triggerSet().ruleCount(), 2); // a broken stored rule is left out
    }
    TriggerControl again(window.statusBar(), menu, &store, &session);
    QCOMPARE(again.values().triggers, values.triggers);
    QCOMPARE(again.values().server, values.server);
    QVERIFY(again.values().allowSend);
    QCOMPARE(again.values().maxClients, 3);
    QCOMPARE(again.values().openTimeoutS, 0);
    QVERIFY(session.socketcand()->isListening());
    QVERIFY(session.socketcand()->allowsSend());
    QCOMPARE(session.socketcand()->maxClients(), 3);
    QCOMPARE(session.socketcand()->openTimeoutMs(), 0);
    QVERIFY(menu->findChild<QAction *>(QStringLiteral("actionTriggers")) ||
            !menu->actions().isEmpty());

    TriggersDialog dialog;
    dialog.setValues(values);
    QCOMPARE(dialog.values().triggers, values.triggers.mid(0, 3));
    QCOMPARE(dialog.values().server, values.server);
    QCOMPARE(dialog.values().maxClients, 3);
    QCOMPARE(dialog.values().openTimeoutS, 0);
    values.server.clear();
    dialog.setValues(values);
    QVERIFY(dialog.values().server.isEmpty()); // server off
}

void TstTriggerControl::markButtonRecordsAroundNow()
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    QMainWindow window;
    CaptureSession session;
    TriggerControl control(window.statusBar(), window.menuBar()->addMenu(QStringLiteral("m")),
                           &store, &session);
    control.apply({{QStringLiteral("manual pre=1 post=0.001 name=mark")}, QString(), false});
    auto *source = new TestSource;
    session.setSource(source);
    QVERIFY(session.open(windowOptions(dir.path())));
    const qint64 now = TimeOfDay::nowUsec();
    for (int n = 0; n < 100; ++n)
        source->inject({now - 2000000 + n * 20000, numberedFrame(uint32_t(n))});
    auto *mark = window.statusBar()->findChild<QPushButton *>(QStringLiteral("btMark"));
    QVERIFY(mark);
    mark->click();
    session.close();
    QCOMPARE(session.triggerSet().fireCount(0), 1);
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("trigger-*-mark.log")});
    QCOMPARE(files.size(), 1);
    QFile file(dir.filePath(files.first()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const int lines = file.readAll().count('\n');
    QVERIFY2(lines >= 45 && lines <= 51, QByteArray::number(lines)); // the last second of frames
    auto *label = window.statusBar()->findChild<QLabel *>(QStringLiteral("lbStatusTriggers"));
    QVERIFY(label->text().contains(QStringLiteral("mark 1")));
}

void TstTriggerControl::serverSharesTheWindowsFrames()
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
    QMainWindow window;
    CaptureSession session;
    TriggerControl control(window.statusBar(), window.menuBar()->addMenu(QStringLiteral("m")),
                           &store, &session);
    auto *source = new TestSource;
    session.setSource(source);
    QVERIFY(session.open(windowOptions(dir.path())));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(freePort());
    control.apply({{}, address, true});
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, session.socketcand()->serverPort());
    QVERIFY(client.waitForConnected(10000));
    QByteArray got;
    const auto readUntil = [&](const QByteArray &what) {
        QTRY_VERIFY((got += client.readAll()).contains(what));
    };
    readUntil("< hi >");
    client.write("< open can0 >");
    readUntil("< ok >");
    got.clear();
    client.write("< rawmode >< send 123 1 AA >");
    readUntil("< ok >");
    QTRY_COMPARE(source->sent.size(), 1);
    QCOMPARE(source->sent.first().id, 0x123u);
    source->inject({1000000, hexFrame(0x321, "0102")});
    source->inject({1000000, testFrame(0x321, CanPacket::Can0ToCan1, 1, 7)});
    readUntil("< frame 321 1.000000 07 ");
    auto *label = window.statusBar()->findChild<QLabel *>(QStringLiteral("lbStatusTriggers"));
    QTRY_VERIFY(label->text().contains(QStringLiteral("клиентов 1")));
}

// The window's user edits the rules, or loads a DBC file, while connected: signal rules find
// their signal at once.
void TstTriggerControl::rulesAndDbcFilesChangeDuringAConnection()
{
    QTemporaryDir dir;
    const QString dbc = dir.filePath(QStringLiteral("engine.dbc"));
    QVERIFY(writeFile(dbc, engineRpmDbc()));
    CaptureSession session;
    SessionOptions options = windowOptions(dir.path());
    options.dbcFiles = QStringList{dbc};
    auto *source = new TestSource;
    session.setSource(source);
    QVERIFY(session.open(options));
    TriggerRule rule;
    QString error;
    QVERIFY(
        TriggerRule::parse(QStringLiteral("signal=RPM>3000 pre=0 post=0 name=rpm"), rule, error));
    session.setTriggers({rule});
    qint64 time = TimeOfDay::nowUsec();
    source->inject({time, hexFrame(0x123, "E803")});
    source->inject({++time, hexFrame(0x123, "A00F")});
    QCOMPARE(session.triggerSet().fireCount(0), 1);

    session.setDbcFiles({}); // forgotten: nothing to watch
    source->inject({++time, hexFrame(0x123, "E803")});
    source->inject({++time, hexFrame(0x123, "A00F")});
    QCOMPARE(session.triggerSet().fireCount(0), 1);
    session.setDbcFiles({dbc});
    source->inject({++time, hexFrame(0x123, "E803")});
    source->inject({++time, hexFrame(0x123, "A00F")});
    QCOMPARE(session.triggerSet().fireCount(0), 2);
    session.close();
}

QTEST_MAIN(TstTriggerControl)
#include "tst_triggercontrol.moc"
