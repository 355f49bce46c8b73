// SPDX-License-Identifier: GPL-3.0-or-later
// The window captures from sources other than the module, chosen in the settings: an adapter on
// Qt's virtualcan bus and another machine's socketcand server. Every frame reaches the log and the
// recording; the module's own controls are off and say why.
#include "app/transmit/senddialog.h"
#include "capture/capturereplay.h"
#include "link/canpacket.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "net/socketcandserver.h"
#include "support/fdpackets.h"
#include "support/testfiles.h"
#include "support/testpackets.h"
#include "support/windowharness.h"
#include "transmit/transmitlist.h"
#include "virtualbusprocess.h"

#include <QAction>
#include <QCanBus>
#include <QCanBusDevice>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <QtEndian>
#include <memory>

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

// A node of the virtualcan bus beside the window, CAN FD on.
std::unique_ptr<QCanBusDevice> busNode(const QString &url)
{
    std::unique_ptr<QCanBusDevice> node(
        QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), url));
    if (!node)
        return node;
    node->setConfigurationParameter(QCanBusDevice::CanFdKey, true);
    if (!node->connectDevice())
        node.reset();
    return node;
}

QVector<QCanBusFrame> takeFrames(QCanBusDevice *node, int count)
{
    QVector<QCanBusFrame> frames;
    QElapsedTimer waited;
    waited.start();
    while (frames.size() < count && waited.elapsed() < WaitMs) {
        if (node->framesAvailable() == 0)
            QTest::qWait(10);
        while (node->framesAvailable() > 0)
            frames << node->readFrame();
    }
    return frames;
}

QString frameLine(const QCanBusFrame &frame)
{
    return QStringLiteral("%1 fd=%2 brs=%3 %4")
        .arg(frame.frameId(), 0, 16)
        .arg(frame.hasFlexibleDataRateFormat())
        .arg(frame.hasBitrateSwitch())
        .arg(QString::fromLatin1(frame.payload().toHex()));
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

    // An adapter that carries CAN FD: the transmit list sends an FD row as it was made, the log
    // shows the node's FD frames, and a replay of those rows sends them back as FD frames.
    void transmitsAndReplaysFdFrames()
    {
        QTemporaryDir work;
        VirtualBusProcess bus(QStringLiteral(VIRTUALCAN_BUS_PATH));
        QVERIFY(bus.start());
        chooseSource(work.path(), QStringLiteral("virtualcan:") + bus.url(QStringLiteral("can0")));
        QSettings settings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
        settings.setValue(QStringLiteral("DATABITRATE"), 2000000);
        const QString listName =
            QStringLiteral("tst_sourcewindow-%1.json").arg(QCoreApplication::applicationPid());
        const QString listPath = QCoreApplication::applicationDirPath() + '/' + listName;
        settings.setValue(QStringLiteral("FILENAME"), listName);
        CanPacket listed = countingFdFrame(0x1F0, 64, CanPacket::BitRateSwitch, 0x40);
        listed.delay = 0;
        QVERIFY(writeFile(listPath, TransmitList::toJson({listed})));
        WindowHarness ui;
        ui.create();
        QVERIFY(ui.connectPort());
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(work.path()).entryList({"quorvex-*.log"}).isEmpty(), WaitMs);
        const std::unique_ptr<QCanBusDevice> node = busNode(bus.url(QStringLiteral("can0")));
        QVERIFY(node);
        QTRY_COMPARE_WITH_TIMEOUT(node->state(), QCanBusDevice::ConnectedState, WaitMs);

        QString refusal = QStringLiteral("unset");
        whenModal<SendDialog>([&](SendDialog *dialog) {
            refusal = dialog->findChild<QLabel *>(QStringLiteral("lbFdRefused"))->text();
            dialog->findChild<QPushButton *>(QStringLiteral("btSend"))->click();
            dialog->findChild<QPushButton *>(QStringLiteral("btCancel"))->click();
        });
        ui.child<QAction>("actionSetRequsestPackets")->trigger();
        QFile::remove(listPath);
        QVERIFY(refusal.isEmpty());
        QVector<QCanBusFrame> got = takeFrames(node.get(), 1);
        QCOMPARE(got.size(), 1);
        QCOMPARE(frameLine(got[0]),
                 QStringLiteral("1f0 fd=1 brs=1 ") +
                     QString::fromLatin1(
                         QByteArray(reinterpret_cast<const char *>(listed.data), 64).toHex()));

        constexpr int Frames = 20;
        for (int n = 0; n < Frames; ++n) {
            QCanBusFrame frame(uint32_t(0x300 + n), QByteArray(12 + n % 2 * 52, char(n)));
            frame.setFlexibleDataRateFormat(true);
            frame.setBitrateSwitch(n % 3 == 0);
            QVERIFY(node->writeFrame(frame));
        }
        QTRY_COMPARE_WITH_TIMEOUT(ui.log()->rowCount(), 1 + Frames, WaitMs);
        QCOMPARE(ui.log()->index(0, CanDataModel::FormatColumn).data().toString(), "SFF FD");
        QCOMPARE(ui.log()->index(2, CanDataModel::LengthColumn).data().toInt(), 64);
        QCOMPARE(ui.log()->index(2, CanDataModel::RtrColumn).data().toInt(), 0);
        QCOMPARE(ui.log()->index(1, CanDataModel::LengthColumn).data().toInt(), 12);

        CaptureReplay replay;
        QObject::connect(&replay, SIGNAL(sendPacket(CanPacket)), ui.get(),
                         SLOT(onSendPacket(CanPacket)));
        CaptureReplay::Options options;
        options.fixedGapUs = 0;
        for (int row = 1; row <= Frames; ++row)
            options.rows << row;
        replay.start(qobject_cast<CanDataModel *>(ui.log())->snapshot(), options);
        got = takeFrames(node.get(), Frames);
        QCOMPARE(got.size(), Frames);
        for (int n = 0; n < Frames; ++n)
            QCOMPARE(frameLine(got[n]),
                     QStringLiteral("%1 fd=1 brs=%2 ").arg(0x300 + n, 0, 16).arg(n % 3 == 0) +
                         QString::fromLatin1(QByteArray(12 + n % 2 * 52, char(n)).toHex()));
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
