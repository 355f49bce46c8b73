// SPDX-License-Identifier: GPL-3.0-or-later
// The window captures from sources other than the module, chosen in the settings: an adapter on
// Qt's virtualcan bus and another machine's socketcand server. Every frame reaches the log and the
// recording; the module's own controls are off and say why.
#include "link/canpacket.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "net/socketcandserver.h"
#include "support/testfiles.h"
#include "support/testpackets.h"
#include "support/windowharness.h"
#include "virtualbusprocess.h"

#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

constexpr int WaitMs = 120000; // a hang guard only

void chooseSource(const QString &workDir, const QString &source)
{
    WindowHarness::writeSettings(QStringLiteral("none"), workDir);
    QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"))
        .setValue(QStringLiteral("SOURCE"), source);
}

int recordedLines(const QString &dir)
{
    int lines = 0;
    for (const QString &name : QDir(dir).entryList({QStringLiteral("quorvex-*.log")}))
        lines += readFile(QDir(dir).filePath(name)).count('\n');
    return lines;
}

} // namespace

class TestSourceWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.*.info=false"));
    }

    void capturesAnAdapter()
    {
        constexpr int Frames = 20000;
        constexpr int FdFrames = 5000;
        QTemporaryDir work;
        VirtualBusProcess bus(QStringLiteral(VIRTUALCAN_BUS_PATH));
        QVERIFY(bus.start());
        chooseSource(work.path(), QStringLiteral("virtualcan:") + bus.url(QStringLiteral("can0")));
        WindowHarness ui;
        ui.create();
        auto *command = ui.child<QPushButton>("btSendPacket");
        QVERIFY(!command->isEnabled());
        QVERIFY(command->toolTip().contains(QStringLiteral("virtualcan:")));
        QVERIFY(!ui.child<QAction>("actionCanConfig")->isEnabled());
        QVERIFY(ui.connectPort());
        // On the bus once its recording begins: a bus keeps no frame for a node not there yet.
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(work.path()).entryList({"quorvex-*.log"}).isEmpty(), WaitMs);
        bus.send(Frames);
        QTRY_COMPARE_WITH_TIMEOUT(ui.log()->rowCount(), Frames, WaitMs);
        bus.sendFd(FdFrames);
        QTRY_COMPARE_WITH_TIMEOUT(ui.log()->rowCount(), Frames + FdFrames, WaitMs);
        ui.child<QAction>("actionOpenPort")->trigger(); // disconnect: everything is written
        QCOMPARE(recordedLines(work.path()), Frames + FdFrames);
        // The last FD frame whole: its number, then bytes 8..63 counting up.
        const CanPacket last =
            ui.get()->findChild<CanDataModel *>()->frameAt(Frames + FdFrames - 1).packet;
        QByteArray data(64, '\0');
        qToLittleEndian<quint64>(FdFrames - 1, data.data());
        for (int i = 8; i < 64; ++i)
            data[i] = char(i);
        QCOMPARE(frameText(last),
                 frameText(fdFrame((FdFrames - 1) % 0x800, data,
                                   CanPacket::Can0ToCan1 | CanPacket::BitRateSwitch)));
    }

    void capturesAnotherMachinesBus()
    {
        constexpr int Frames = 5000;
        QTemporaryDir work;
        SocketcandServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        chooseSource(work.path(),
                     QStringLiteral("socketcand:127.0.0.1:%1:can1").arg(server.serverPort()));
        WindowHarness ui;
        ui.create();
        QVERIFY(ui.connectPort());
        // Recording once the raw mode is on: from then on every frame published is for it.
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(work.path()).entryList({"quorvex-*.log"}).isEmpty(), WaitMs);
        for (int n = 0; n < Frames; ++n) // line CAN1's frames: CAN1 -> CAN0
            server.publish({1700000000000000LL + n,
                            testFrame(uint32_t(n % 0x800), CanPacket::Can1ToCan0, 8, uint8_t(n))});
        server.publish({1700000001000000LL, numberedFrame(1)}); // CAN0's: not this interface
        QTRY_COMPARE_WITH_TIMEOUT(ui.log()->rowCount(), Frames, WaitMs);
        ui.child<QAction>("actionOpenPort")->trigger();
        QCOMPARE(recordedLines(work.path()), Frames);
    }
};

QUORVEX_WINDOW_TEST_MAIN(TestSourceWindow)
#include "tst_sourcewindow.moc"
