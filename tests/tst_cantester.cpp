// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cantester.h"
#include "link/linerecord.h"
#include "support/ptypair.h"
#include "support/testpackets.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <memory>

namespace {
const QByteArray sample = QByteArray::fromHex("000000 07FF 08 1122334455667788");
const QByteArray nameReply =
    QByteArray::fromHex("EF01") + QByteArray("TARVIX USB-CAN2 FW 2.4.1 HW");

// Records of frames 0 .. count - 1, as the module writes them.
QByteArray numberedRecords(uint32_t count)
{
    QByteArray records;
    for (uint32_t n = 0; n < count; ++n)
        records += LineRecord::moduleRecord(numberedFrame(n));
    return records;
}

} // namespace

// The link on a real pseudo-terminal: the test writes on the master side what a module would.
class TestCanTester : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void decodesBurstsAndSplits();
    void deliversEveryRecordOfALongStream();
    void lastPacketIsTheOneAnnounced();
    void handsRepliesOn();
    void replyCutByAFullReadStaysWhole();
    void replyTailLateBehindAFullReadStaysWhole();
    void writesFramesAndBuffers();
    void quietLineDropsARemnant();
    void lateReaderKeepsGoodData();

private:
    QVector<CanPacket> received;
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<CanTester> tester;
};

void TestCanTester::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    port = std::make_unique<QSerialPort>(pty->portName());
    port->setBaudRate(115200);
    port->setReadBufferSize(512);
    QVERIFY2(port->open(QIODevice::ReadWrite), qPrintable(port->errorString()));
    tester = std::make_unique<CanTester>(port.get());
    received.clear();
    connect(tester.get(), &CanTester::readyPacket, this,
            [this] { received.append(tester->lastPacket()); });
}

void TestCanTester::cleanup()
{
    tester.reset();
    port.reset();
    pty.reset();
}

void TestCanTester::decodesBurstsAndSplits()
{
    QVERIFY(pty->write(sample));
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received[0].id, 0x7FFu);
    QCOMPARE(received[0].rtl, uint8_t(8));
    QCOMPARE(received[0].data[7], uint8_t(0x88));
    QCOMPARE(received[0].direct, 64);

    // 9 bytes, read on their own, then 5 bytes: one frame.
    QSignalSpy reads(port.get(), &QSerialPort::readyRead);
    QVERIFY(pty->write(sample.left(9)));
    QVERIFY(reads.wait(2000));
    QCOMPARE(received.size(), 1);
    QVERIFY(pty->write(sample.mid(9)));
    QTRY_COMPARE(received.size(), 2);

    // Twenty bytes: one frame now, the six left over wait for the rest of their record.
    CanPacket next = numberedFrame(0x345);
    const QByteArray record = LineRecord::moduleRecord(next);
    QVERIFY(pty->write(sample + record.left(6)));
    QTRY_COMPARE(received.size(), 3);
    QVERIFY(pty->write(record.mid(6)));
    QTRY_COMPARE(received.size(), 4);
    QCOMPARE(received[3].id, 0x345u);
    QCOMPARE(received[3].frame, uint8_t(0x10));
}

void TestCanTester::deliversEveryRecordOfALongStream()
{
    const int count = 20000; // far more than one 512-byte read; every read ends inside a record
    QVERIFY(pty->write(numberedRecords(count)));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), count, 20000);
    for (int n = 0; n < count; ++n) {
        if (received[n].id != uint32_t(n))
            QFAIL(qPrintable(QStringLiteral("frame %1 out of order").arg(n)));
    }
    QCOMPARE(tester->discardedBytes(), 0ull);
}

void TestCanTester::lastPacketIsTheOneAnnounced()
{
    // Several records in one read: at every emission lastPacket() is that record.
    QByteArray burst;
    for (uint32_t n = 1; n <= 5; ++n)
        burst += LineRecord::moduleRecord(numberedFrame(n));
    QVERIFY(pty->write(burst));
    QTRY_COMPARE(received.size(), 5);
    for (uint32_t n = 1; n <= 5; ++n)
        QCOMPARE(received[int(n - 1)].id, n);
    QCOMPARE(tester->lastPacket().id, 5u);
}

void TestCanTester::handsRepliesOn()
{
    QSignalSpy replies(tester.get(), &CanTester::sendBuffer);
    const QByteArray speed = QByteArray::fromHex("F102") + QByteArray("SPEED 500 kbit/s");
    QVERIFY(pty->write(speed));
    QTRY_COMPARE(replies.size(), 1);
    QCOMPARE(replies.at(0).at(0).toByteArray(), speed);
    QVERIFY(received.isEmpty());

    // A 3-byte reply waits and goes out with what follows once 14 bytes are there. The rest is
    // written before any event is served, so the quiet gap cannot pass in between.
    QSignalSpy reads(port.get(), &QSerialPort::readyRead);
    QVERIFY(pty->write(QByteArray::fromHex("EF0141")));
    QVERIFY(reads.wait(2000)); // the 3 bytes are in the cutter now
    QCOMPARE(replies.size(), 1);
    QVERIFY(pty->write(QByteArray("RVIX USB-CAN")));
    QTRY_COMPARE(replies.size(), 2);
    QCOMPARE(replies.at(1).at(0).toByteArray(), QByteArray::fromHex("EF0141") + "RVIX USB-CAN");

    // Followed by silence instead, the start of a reply is handed on by itself.
    QVERIFY(pty->write(QByteArray::fromHex("EF0141")));
    QTRY_COMPARE(replies.size(), 3);
    QCOMPARE(replies.at(2).at(0).toByteArray(), QByteArray::fromHex("EF0141"));
    QCOMPARE(tester->discardedBytes(), 0ull);

    // Frames ahead of a reply in one read are delivered first.
    QVERIFY(pty->write(sample + QByteArray::fromHex("EF02") + QByteArray("FW 2.4.1 rel")));
    QTRY_COMPARE(replies.size(), 4);
    QCOMPARE(received.size(), 1);
}

void TestCanTester::replyCutByAFullReadStaysWhole()
{
    // The port reads at most 512 bytes at a time: 35 records and 22 bytes of the reply, whose
    // last 8 bytes come with the next read. A frame follows once the line was quiet.
    QSignalSpy replies(tester.get(), &CanTester::sendBuffer);
    const QByteArray burst = numberedRecords(35);
    const QByteArray &reply = nameReply;
    QCOMPARE(burst.size() + reply.size(), 519);
    QVERIFY(pty->write(burst + reply));
    QTRY_COMPARE(replies.size(), 1);
    QCOMPARE(replies.at(0).at(0).toByteArray(), reply);
    QCOMPARE(received.size(), 35);
    QTest::qWait(3 * CanTester::QuietGapMs);
    QVERIFY(pty->write(LineRecord::moduleRecord(numberedFrame(0x42))));
    QTRY_COMPARE(received.size(), 36);
    QCOMPARE(received.last().id, 0x42u);
    QCOMPARE(tester->discardedBytes(), 0ull);
}

void TestCanTester::replyTailLateBehindAFullReadStaysWhole()
{
    // A reader that is behind finds the head of a reply at the end of a full read, and nothing
    // more in the driver yet: the tail comes a moment later, well within the quiet gap.
    QSignalSpy replies(tester.get(), &CanTester::sendBuffer);
    const QByteArray burst = numberedRecords(35);
    const QByteArray &reply = nameReply;
    const int head = 512 - burst.size();
    const QByteArray tail = reply.mid(head);
    connect(tester.get(), &CanTester::readyPacket, this, [this, tail] {
        if (received.size() == 35)
            QTimer::singleShot(2, this, [this, tail] { pty->write(tail); });
    });
    QVERIFY(pty->write(burst + reply.left(head)));
    QTRY_COMPARE(replies.size(), 1);
    QCOMPARE(replies.at(0).at(0).toByteArray(), reply);
    QVERIFY(pty->write(LineRecord::moduleRecord(numberedFrame(0x42))));
    QTRY_COMPARE(received.size(), 36);
    QCOMPARE(received.last().id, 0x42u);
}

void TestCanTester::writesFramesAndBuffers()
{
    CanPacket p;
    p.frame = 0x31; // extended, with route bits that must not reach the line
    p.id = 0x1FFFFFFF;
    p.rtl = 0x18;
    for (int i = 0; i < 8; ++i)
        p.data[i] = uint8_t(i + 1);
    p.delay = 50;
    QCOMPARE(tester->writePacket(p), 14);
    QCOMPARE(pty->read(14), QByteArray::fromHex("01 1FFFFFFF 18 0102030405060708"));

    p.frame = 0x20;
    p.id = 0x123;
    QCOMPARE(tester->writePacket(p), 14);
    QCOMPARE(pty->read(14), QByteArray::fromHex("00 00000123 18 0102030405060708"));

    QCOMPARE(tester->writeBuffer(QByteArray::fromHex("E101E1")), 3);
    QCOMPARE(pty->read(3), QByteArray::fromHex("E101E1"));

    port->close();
    QCOMPARE(tester->writeBuffer(QByteArray::fromHex("E101E1")), -1);
    QCOMPARE(tester->writePacket(p), -1);
}

void TestCanTester::quietLineDropsARemnant()
{
    // A stray byte, then the line goes quiet: without the gap rule every later record would be
    // shifted by one byte.
    QVERIFY(pty->write(QByteArray(1, '\x05') + sample));
    QTRY_COMPARE(received.size(), 1); // spoilt, but the moment passes
    QTRY_COMPARE(tester->discardedBytes(), 1ull);
    QCOMPARE(tester->pendingBytes(), 0);
    for (uint32_t n = 1; n <= 3; ++n)
        QVERIFY(pty->write(LineRecord::moduleRecord(numberedFrame(n))));
    QTRY_COMPARE(received.size(), 4);
    QCOMPARE(received[1].id, 1u);
    QCOMPARE(received[3].id, 3u);
}

void TestCanTester::lateReaderKeepsGoodData()
{
    // Half a record is read; the rest arrives while the GUI thread is busy far longer than the
    // gap, and the timer gets its turn before the port announces the new bytes.
    const QByteArray record = LineRecord::moduleRecord(numberedFrame(0x42));
    QSignalSpy reads(port.get(), &QSerialPort::readyRead);
    QVERIFY(pty->write(record.left(7)));
    QVERIFY(reads.wait(2000)); // the 7 bytes are in the cutter now
    QVERIFY(received.isEmpty());
    QVERIFY(pty->write(record.mid(7)));
    QThread::msleep(10 * CanTester::QuietGapMs); // busy: no events served
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5 * CanTester::QuietGapMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers, 5);
    QCOMPARE(tester->discardedBytes(), 0ull);
    QTRY_COMPARE(received.size(), 1);
    QCOMPARE(received[0].id, 0x42u);
}

int main(int argc, char **argv)
{
    // The glib dispatcher ignores ExcludeSocketNotifiers, which lateReaderKeepsGoodData needs.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    TestCanTester test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_cantester.moc"
