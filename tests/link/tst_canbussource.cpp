// SPDX-License-Identifier: GPL-3.0-or-later
// CanBusSource on Qt's virtualcan bus: a bus in a child process, the source and a plain
// QCanBusDevice of this test as the other node. SocketCAN takes the same path through
// QCanBusDevice; it cannot be opened here (no vcan kernel module).

#include "link/canbussource.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"
#include "support/testpackets.h"
#include "virtualbusprocess.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>
#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(QCanBusFrame)

namespace {

constexpr int WaitMs = 120000; // a hang guard only: the machine may be busy

// The test's own node on the bus: what it receives, kept in order.
class Node
{
public:
    explicit Node(const QString &url)
        : device(QCanBus::instance()->createDevice(QStringLiteral("virtualcan"), url))
    {
        device->setConfigurationParameter(QCanBusDevice::CanFdKey, true);
        QObject::connect(device.get(), &QCanBusDevice::framesReceived,
                         [this] { received += device->readAllFrames(); });
    }
    bool connect()
    {
        return device && device->connectDevice() &&
               QTest::qWaitFor([this] { return device->state() == QCanBusDevice::ConnectedState; },
                               WaitMs);
    }
    bool write(const QCanBusFrame &frame) { return device->writeFrame(frame); }

    std::unique_ptr<QCanBusDevice> device;
    QVector<QCanBusFrame> received;
};

// Keeps what a source delivers.
struct Delivered
{
    explicit Delivered(CanSource *source)
    {
        QObject::connect(source, &CanSource::readyFrame,
                         [this](const TimedPacket &frame) { frames.append(frame); });
    }
    QVector<TimedPacket> frames;
};

CanBusSource::Options optionsFor(const QString &url)
{
    CanBusSource::Options options;
    options.plugin = QStringLiteral("virtualcan");
    options.interfaceName = url;
    return options;
}

bool openAndWait(CanBusSource &source)
{
    QSignalSpy opened(&source, &CanSource::opened);
    return source.open() && (opened.count() > 0 || opened.wait(WaitMs));
}

QCanBusFrame busFrame(uint32_t id, const QByteArray &data, bool extended = false)
{
    QCanBusFrame frame(id, data);
    frame.setExtendedFrameFormat(extended);
    return frame;
}

QCanBusFrame remoteFrame(uint32_t id, int length)
{
    QCanBusFrame frame(QCanBusFrame::RemoteRequestFrame);
    frame.setFrameId(id);
    frame.setPayload(QByteArray(length, '\0'));
    return frame;
}

QByteArray dataOf(const CanPacket &packet)
{
    return QByteArray(reinterpret_cast<const char *>(packet.data), packet.length());
}

} // namespace

class TstCanBusSource : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void framesIn_data();
    void framesIn();
    void framesOut_data();
    void framesOut();
    void timesFromTheDeviceClockOnly();
    void interfaceNamesGiveTheLine();
    void bothWaysOnTheBus();
    void burstArrivesWholeAndInOrder();
    void listenOnlyNeverSends();
    void refusesWhatItCannotOpen();
    void busGoingAwayIsSaidAndReopenWorks();

private:
    std::unique_ptr<VirtualBusProcess> bus;
};

void TstCanBusSource::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));
    bus = std::make_unique<VirtualBusProcess>(QStringLiteral(VIRTUALCAN_BUS_PATH));
    QVERIFY(bus->start());
    QVERIFY(CanBusSource::plugins().contains(QStringLiteral("virtualcan")));
    QString error;
    const QVector<CanBusSource::Interface> found =
        CanBusSource::interfaces(QStringLiteral("virtualcan"), &error);
    QVERIFY2(!found.isEmpty(), qPrintable(error));
    QCOMPARE(found.first().name, QStringLiteral("can0"));
}

// What the bus carries, as the packet the source hands on (interface "can0": line CAN0).
void TstCanBusSource::framesIn_data()
{
    QTest::addColumn<QCanBusFrame>("frame");
    QTest::addColumn<bool>("delivered");
    QTest::addColumn<QString>("packet"); // frameText of the packet

    QTest::newRow("standard") << busFrame(0x123, QByteArray::fromHex("1122")) << true
                              << frameText(dataFrame(0x123, QByteArray::fromHex("1122"),
                                                     CanPacket::Can0ToCan1));
    QTest::newRow("extended, 8 bytes")
        << busFrame(0x18DAF110, QByteArray::fromHex("0102030405060708"), true) << true
        << frameText(dataFrame(0x18DAF110, QByteArray::fromHex("0102030405060708"),
                               CanPacket::Can0ToCan1 | CanPacket::Extended));
    QTest::newRow("empty") << busFrame(0x7FF, QByteArray()) << true
                           << frameText(dataFrame(0x7FF, QByteArray(), CanPacket::Can0ToCan1));
    QTest::newRow("remote, length 3")
        << remoteFrame(0x55, 3) << true
        << frameText(dataFrame(0x55, QByteArray(3, '\0'), CanPacket::Can0ToCan1, true));
    QCanBusFrame error(QCanBusFrame::ErrorFrame);
    error.setError(QCanBusFrame::BusOffError);
    QTest::newRow("error frame") << error << false << QString();
    // CAN FD: the length code, the flags and every byte.
    const auto fdRow = [](const char *name, int bytes, bool brs) {
        QCanBusFrame frame = busFrame(0x77, QByteArray(bytes, 'x'));
        frame.setFlexibleDataRateFormat(true);
        frame.setBitrateSwitch(brs);
        CanPacket packet = dataFrame(0x77, QByteArray(), CanPacket::Can0ToCan1);
        packet.setFdLength(bytes);
        packet.frame |= brs ? CanPacket::BitRateSwitch : 0;
        std::fill_n(packet.data, bytes, uint8_t('x'));
        QTest::newRow(name) << frame << true << frameText(packet);
    };
    fdRow("CAN FD of 12 bytes", 12, false);
    fdRow("CAN FD of 2 bytes", 2, false);
    fdRow("CAN FD of 64 bytes, bit rate switched", 64, true); // not a remote frame
    QCanBusFrame oddFd = busFrame(0x78, QByteArray(10, 'y'));
    oddFd.setFlexibleDataRateFormat(true);
    oddFd.setErrorStateIndicator(true);
    QTest::newRow("CAN FD of 10 bytes: padded to 12")
        << oddFd << true
        << frameText(fdFrame(0x78, QByteArray(10, 'y') + QByteArray(2, '\0'),
                             CanPacket::Can0ToCan1 | CanPacket::ErrorState));
    // A frame this device sent itself, when the device reports its own frames.
    QCanBusFrame echo = busFrame(0x100, QByteArray::fromHex("01"));
    echo.setLocalEcho(true);
    CanPacket sent = dataFrame(0x100, QByteArray::fromHex("01"), CanPacket::Can0ToCan1);
    sent.direct = CanPacket::Transmitted;
    QTest::newRow("own frame") << echo << true << frameText(sent);
}

void TstCanBusSource::framesIn()
{
    QFETCH(QCanBusFrame, frame);
    QFETCH(bool, delivered);
    QFETCH(QString, packet);
    CanPacket out;
    QCOMPARE(
        CanBusSource::toPacket(frame, CanSource::interfacePacket(QStringLiteral("can0")), &out),
        delivered);
    if (delivered)
        QCOMPARE(frameText(out), packet);
}

void TstCanBusSource::framesOut_data()
{
    QTest::addColumn<CanPacket>("packet");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("frame"); // QCanBusFrame::toString() of what goes out

    // Route bits and direction of a logged frame never reach the bus.
    CanPacket standard = dataFrame(0x123, QByteArray::fromHex("AABB"), CanPacket::Can1ToCan0);
    standard.direct = CanPacket::Transmitted;
    QTest::newRow("standard") << standard << true << QStringLiteral("     123   [2]  AA BB");
    QTest::newRow("extended") << dataFrame(0x1ABCDEF, QByteArray::fromHex("01"),
                                           CanPacket::Extended)
                              << true << QStringLiteral("01ABCDEF   [1]  01");
    QTest::newRow("remote") << dataFrame(0x55, QByteArray(4, '\x7'), 0, true) << true
                            << QStringLiteral("     055   [4]  Remote Request");
    QTest::newRow("length 12 carries 8")
        << testFrame(0x10, 0, 12, 0xEE) << true
        << QStringLiteral("     010   [8]  EE 00 00 00 00 00 00 00");
    CanPacket fd = fdFrame(0x7FF, QByteArray(20, '\x5A'), CanPacket::BitRateSwitch);
    QTest::newRow("CAN FD") << fd << true
                            << QStringLiteral("     7FF  [20]  ") +
                                   QStringLiteral("5A ").repeated(19) + QStringLiteral("5A");
    QTest::newRow("standard identifier too big") << testFrame(0x800, 0) << false << QString();
    QTest::newRow("extended identifier too big")
        << testFrame(0x20000000, CanPacket::Extended) << false << QString();
}

void TstCanBusSource::framesOut()
{
    QFETCH(CanPacket, packet);
    QFETCH(bool, written);
    QFETCH(QString, frame);
    QCanBusFrame out;
    QString why;
    QCOMPARE(CanBusSource::toFrame(packet, &out, &why), written);
    if (written) {
        QVERIFY(out.isValid());
        QCOMPARE(out.toString(), frame);
    } else {
        QVERIFY(why.contains(QLatin1String("identifier")));
    }
}

// A stamp of the host's clock is kept, to the microsecond, even when read late; a plugin that
// counts from its own start gets the time of the read.
void TstCanBusSource::timesFromTheDeviceClockOnly()
{
    const qint64 now = 1700000000000000;
    QCOMPARE(CanBusSource::frameTime(now - 2500123, now), now - 2500123);
    QCOMPARE(CanBusSource::frameTime(now + 17, now), now + 17);
    QCOMPARE(CanBusSource::frameTime(0, now), now);
    QCOMPARE(CanBusSource::frameTime(12345678, now), now); // 12 s after the device started
    QCOMPARE(CanBusSource::frameTime(now - CanBusSource::MaxStampSkewUs - 1, now), now);
}

// A one-line source records as a candump log names the interface.
void TstCanBusSource::interfaceNamesGiveTheLine()
{
    const auto route = [](const char *name) {
        const CanPacket p = CanSource::interfacePacket(QString::fromLatin1(name));
        return QByteArray::number(p.frame) + (p.direct == CanPacket::Received ? " rx" : " tx");
    };
    QCOMPARE(route("can0"), QByteArray("16 rx"));
    QCOMPARE(route("vcan0"), QByteArray("16 rx"));
    QCOMPARE(route("tcp://127.0.0.1:35468/can0"), QByteArray("16 rx"));
    QCOMPARE(route("can1"), QByteArray("32 rx"));
    QCOMPARE(route("slcan1"), QByteArray("32 rx"));
    QCOMPARE(route("can2"), QByteArray("0 rx"));
    QCOMPARE(route("canrx"), QByteArray("0 rx"));
    QCOMPARE(route("pcan_usb"), QByteArray("0 rx"));
    QCOMPARE(route("cantx"), QByteArray("0 tx"));
}

// Frames of both kinds reach the source from another node, with the line of their interface and
// a time of the host's clock; what the source sends reaches the other node and is not echoed.
void TstCanBusSource::bothWaysOnTheBus()
{
    CanBusSource source(optionsFor(bus->url(QStringLiteral("can0"))));
    CanBusSource second(optionsFor(bus->url(QStringLiteral("can1"))));
    Delivered got(&source), gotSecond(&second);
    QVERIFY(openAndWait(source));
    QVERIFY(openAndWait(second));
    QVERIFY(source.isOpen());
    QVERIFY(source.canSend());
    Node node(bus->url(QStringLiteral("can0")));
    QVERIFY(node.connect());

    const qint64 before = TimeOfDay::nowUsec();
    QVERIFY(node.write(busFrame(0x123, QByteArray::fromHex("1122"))));
    QVERIFY(node.write(busFrame(0x18DAF110, QByteArray::fromHex("0203"), true)));
    QVERIFY(node.write(remoteFrame(0x7DF, 8)));
    QTRY_COMPARE_WITH_TIMEOUT(got.frames.size(), 3, WaitMs);
    const CanPacket &standard = got.frames.at(0).packet;
    QCOMPARE(standard.id, 0x123u);
    QCOMPARE(int(standard.frame), int(CanPacket::Can0ToCan1));
    QCOMPARE(dataOf(standard), QByteArray::fromHex("1122"));
    const CanPacket &extended = got.frames.at(1).packet;
    QCOMPARE(extended.id, 0x18DAF110u);
    QCOMPARE(int(extended.frame), CanPacket::Can0ToCan1 | CanPacket::Extended);
    QCOMPARE(dataOf(extended), QByteArray::fromHex("0203"));
    QVERIFY(got.frames.at(2).packet.isRemote());
    QCOMPARE(got.frames.at(2).packet.length(), 8);
    for (const TimedPacket &frame : got.frames) {
        QCOMPARE(frame.packet.direct, int32_t(CanPacket::Received));
        // The bus stamps to the millisecond; no frame is older than the first write.
        QVERIFY(frame.time >= before - 1000);
        QVERIFY(frame.time - before < CanBusSource::MaxStampSkewUs);
    }
    QVERIFY(gotSecond.frames.isEmpty()); // another interface, another line

    QVERIFY(source.send(dataFrame(0x321, QByteArray::fromHex("CAFE"), 0)) > 0);
    QVERIFY(source.send(dataFrame(0x1FFFFFFF, QByteArray(), CanPacket::Extended)) > 0);
    QVERIFY(source.send(dataFrame(0x10, QByteArray(2, '\0'), 0, true)) > 0);
    QVERIFY(source.send(testFrame(0x800, 0)) < 0);
    QVERIFY(source.errorString().contains(QLatin1String("identifier")));
    QTRY_COMPARE_WITH_TIMEOUT(node.received.size(), 3, WaitMs);
    QCOMPARE(node.received.at(0).toString(), QStringLiteral("     321   [2]  CA FE"));
    QCOMPARE(node.received.at(1).toString(), QStringLiteral("1FFFFFFF   [0]"));
    QCOMPARE(node.received.at(2).toString(), QStringLiteral("     010   [2]  Remote Request"));

    // Not echoed: the next frame the source gets is the node's.
    QVERIFY(node.write(busFrame(0x42, QByteArray("\x01", 1))));
    QTRY_COMPARE_WITH_TIMEOUT(got.frames.size(), 4, WaitMs);
    QCOMPARE(got.frames.last().packet.id, 0x42u);

    // CAN FD both ways, every byte and the bit rate switch kept.
    QCanBusFrame fdIn = busFrame(0x1234567, QByteArray(64, '\x3C'), true);
    fdIn.setFlexibleDataRateFormat(true);
    fdIn.setBitrateSwitch(true);
    QVERIFY(node.write(fdIn));
    QTRY_COMPARE_WITH_TIMEOUT(got.frames.size(), 5, WaitMs);
    QCOMPARE(
        frameText(got.frames.last().packet),
        frameText(fdFrame(0x1234567, QByteArray(64, '\x3C'),
                          CanPacket::Can0ToCan1 | CanPacket::Extended | CanPacket::BitRateSwitch)));
    QVERIFY(source.send(fdFrame(0x22, QByteArray(48, '\x11'), CanPacket::ErrorState)) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(node.received.size(), 4, WaitMs);
    QVERIFY(node.received.last().hasFlexibleDataRateFormat());
    QVERIFY(node.received.last().hasErrorStateIndicator());
    QCOMPARE(node.received.last().payload(), QByteArray(48, '\x11'));

    Node other(bus->url(QStringLiteral("can1")));
    QVERIFY(other.connect());
    QVERIFY(other.write(busFrame(0x99, QByteArray())));
    QTRY_COMPARE_WITH_TIMEOUT(gotSecond.frames.size(), 1, WaitMs);
    QCOMPARE(int(gotSecond.frames.first().packet.frame), int(CanPacket::Can1ToCan0));
    QCOMPARE(got.frames.size(), 5);
    QCOMPARE(source.lostFrames(), 0u);
}

// A burst far larger than any buffer on the way: every frame, in order, none lost.
void TstCanBusSource::burstArrivesWholeAndInOrder()
{
    constexpr int Frames = 30000;
    CanBusSource source(optionsFor(bus->url(QStringLiteral("can0"))));
    Delivered got(&source);
    QVERIFY(openAndWait(source));
    Node node(bus->url(QStringLiteral("can0")));
    QVERIFY(node.connect());
    for (int n = 0; n < Frames; ++n) {
        QByteArray data(8, '\0');
        qToLittleEndian<quint64>(quint64(n), data.data());
        QVERIFY(node.write(busFrame(uint32_t(n % 0x800), data)));
        if (n % 1000 == 999)
            QCoreApplication::processEvents();
    }
    QTRY_COMPARE_WITH_TIMEOUT(got.frames.size(), Frames, WaitMs);
    for (int n = 0; n < Frames; ++n) {
        const CanPacket &p = got.frames.at(n).packet;
        if (p.id != uint32_t(n % 0x800) || qFromLittleEndian<quint64>(p.data) != quint64(n))
            QFAIL(qPrintable(QStringLiteral("frame %1 is %2").arg(n).arg(frameText(p))));
    }
    QCOMPARE(source.lostFrames(), 0u);
}

void TstCanBusSource::listenOnlyNeverSends()
{
    CanBusSource::Options options = optionsFor(bus->url(QStringLiteral("can0")));
    options.listenOnly = true;
    CanBusSource source(options);
    Delivered got(&source);
    QVERIFY(openAndWait(source));
    QVERIFY(!source.canSend());
    QVERIFY(source.send(testFrame(0x1, 0)) < 0);
    QVERIFY(source.errorString().contains(QLatin1String("listen-only")));
    Node node(bus->url(QStringLiteral("can0")));
    QVERIFY(node.connect());
    QVERIFY(node.write(busFrame(0x5, QByteArray("x"))));
    QTRY_COMPARE_WITH_TIMEOUT(got.frames.size(), 1, WaitMs);
}

void TstCanBusSource::refusesWhatItCannotOpen()
{
    CanBusSource::Options options;
    options.plugin = QStringLiteral("nosuchplugin");
    options.interfaceName = QStringLiteral("can0");
    CanBusSource source(options);
    QSignalSpy failed(&source, &CanSource::failed);
    QVERIFY(!source.open());
    QVERIFY(!source.errorString().isEmpty());
    QVERIFY(!source.isOpen());
    QVERIFY(source.send(testFrame(0x1, 0)) < 0);
    QCOMPARE(failed.count(), 0); // open()'s result says it; failed() is for an open source
    QCOMPARE(source.description(), QStringLiteral("nosuchplugin can0"));
}

// The bus's process ends: the source says so once, with a reason, and is closed; once the bus is
// back the same source opens again.
void TstCanBusSource::busGoingAwayIsSaidAndReopenWorks()
{
    CanBusSource source(optionsFor(bus->url(QStringLiteral("can0"))));
    Delivered got(&source);
    QSignalSpy failed(&source, &CanSource::failed);
    QVERIFY(openAndWait(source));
    const quint16 port = bus->busPort();
    bus->stop();
    QVERIFY(failed.wait(WaitMs));
    QCOMPARE(failed.count(), 1);
    QVERIFY(!failed.first().first().toString().isEmpty());
    QVERIFY(!source.isOpen());
    QVERIFY(!source.canSend());
    QVERIFY(source.send(testFrame(0x1, 0)) < 0);

    QVERIFY(bus->start(port));
    QVERIFY(openAndWait(source));
    Node node(bus->url(QStringLiteral("can0")));
    QVERIFY(node.connect());
    QVERIFY(node.write(busFrame(0x6, QByteArray("y"))));
    QTRY_COMPARE_WITH_TIMEOUT(got.frames.size(), 1, WaitMs);
    QCOMPARE(failed.count(), 1);
}

QTEST_GUILESS_MAIN(TstCanBusSource)
#include "tst_canbussource.moc"
