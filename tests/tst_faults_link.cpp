// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cantester.h"
#include "link/linerecord.h"
#include "support/ptypair.h"
#include "support/testpackets.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QtTest>
#include <memory>

#include <sys/ioctl.h>

namespace {

QByteArray cleanRecords(int count)
{
    QByteArray stream;
    for (int n = 0; n < count; ++n)
        stream += LineRecord::moduleRecord(numberedFrame(uint32_t(n)));
    return stream;
}

// Every field, so a comparison names what differs.
QString fields(const CanPacket &p)
{
    return QStringLiteral("%1/%2/%3/%4/%5/%6")
        .arg(p.frame)
        .arg(p.id, 0, 16)
        .arg(p.rtl)
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(p.data), 8).toHex()))
        .arg(p.delay)
        .arg(p.direct);
}

QByteArray seededNoise(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

struct Garbage
{
    const char *name;
    QByteArray bytes;
};

QVector<Garbage> garbageKinds()
{
    const QByteArray record = LineRecord::moduleRecord(numberedFrame(0xABC));
    const QByteArray reply = QByteArray::fromHex("EF01") + QByteArray("TARVIX USB-CAN2");
    return {
        {"text", QByteArray("AT+RESET\r\nERROR\r\n?\x07\x1b[0m")},
        {"half record", record.left(9)},
        {"one stray byte", QByteArray(1, '\x42')},
        {"reply inside a frame", record.left(5) + reply + record.mid(5)},
        {"frame tail after a reply", reply + record.left(3)},
        {"short reply start", record + QByteArray::fromHex("EF02")},
        {"0xF1 alone", QByteArray(1, '\xF1')},
        {"0xEF burst 100 KB", QByteArray(100 * 1024, '\xEF')},
        {"0xEF burst, odd length", QByteArray(100 * 1024 + 5, '\xEF')},
        {"random 256 KB", seededNoise(256 * 1024, 20240611)},
        {"random, odd length", seededNoise(64 * 1024 + 3, 7)},
    };
}

void serveEventsFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

// The module misbehaves: the link must neither crash nor stall, and once the line has been quiet
// for a moment it must decode clean records exactly again.
class TestFaultsLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recoversAfterAQuietGap_data();
    void recoversAfterAQuietGap();
    void recoversAfterEveryKindInTurn();
    void veryLongReplyIsHandedOn_data();
    void veryLongReplyIsHandedOn();

private:
    // Waits until the link has read everything the module wrote, then lets the line stay quiet.
    bool send(const QByteArray &bytes);
    void drainAndGoQuiet();
    // Sends `count` clean records and checks that exactly they arrive, and nothing else.
    void expectCleanRecords(int count);
    qint64 replyBytes() const;

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<CanTester> tester;
    qint64 sent = 0; // bytes written to the line in this test
    QVector<CanPacket> frames;
    QVector<QByteArray> replies;
};

void TestFaultsLink::init()
{
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    port = std::make_unique<QSerialPort>(pty->portName());
    port->setBaudRate(115200);
    port->setReadBufferSize(512); // as the main window sets it
    QVERIFY2(port->open(QIODevice::ReadWrite), qPrintable(port->errorString()));
    tester = std::make_unique<CanTester>(port.get());
    frames.clear();
    replies.clear();
    sent = 0;
    connect(tester.get(), &CanTester::readyPacket, this,
            [this] { frames.append(tester->lastPacket()); });
    connect(tester.get(), &CanTester::sendBuffer, this,
            [this](const QByteArray &reply) { replies.append(reply); });
}

void TestFaultsLink::cleanup()
{
    tester.reset();
    port.reset();
    pty.reset();
}

bool TestFaultsLink::send(const QByteArray &bytes)
{
    sent += bytes.size();
    return pty->write(bytes);
}

// Until the link has read everything sent and the quiet gap has settled what was left over. A pty
// hands written bytes to the reader a moment later, so "nothing pending" alone proves nothing.
void TestFaultsLink::drainAndGoQuiet()
{
    QTRY_VERIFY_WITH_TIMEOUT(
        tester->bytesReceived() == quint64(sent) && tester->pendingBytes() == 0, 20000);
}

void TestFaultsLink::expectCleanRecords(int count)
{
    const int framesBefore = frames.size();
    const int repliesBefore = replies.size();
    QVERIFY(send(cleanRecords(count)));
    QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= framesBefore + count, 10000);
    serveEventsFor(CanTester::QuietGapMs); // anything more would show up now
    QCOMPARE(frames.size() - framesBefore, count);
    QCOMPARE(replies.size(), repliesBefore);
    for (int n = 0; n < count; ++n)
        QCOMPARE(fields(frames.at(framesBefore + n)), fields(numberedFrame(uint32_t(n))));
}

qint64 TestFaultsLink::replyBytes() const
{
    qint64 total = 0;
    for (const QByteArray &reply : replies)
        total += reply.size();
    return total;
}

void TestFaultsLink::recoversAfterAQuietGap_data()
{
    QTest::addColumn<QByteArray>("garbage");
    for (const Garbage &kind : garbageKinds())
        QTest::newRow(kind.name) << kind.bytes;
}

void TestFaultsLink::recoversAfterAQuietGap()
{
    QFETCH(QByteArray, garbage);
    QVERIFY(send(garbage));
    drainAndGoQuiet();
    expectCleanRecords(300);
}

// One kind of garbage after another, with clean traffic in between: nothing is left over.
void TestFaultsLink::recoversAfterEveryKindInTurn()
{
    for (const Garbage &kind : garbageKinds()) {
        QVERIFY(send(kind.bytes));
        drainAndGoQuiet();
        expectCleanRecords(20);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("after: %1").arg(QLatin1String(kind.name))));
    }
}

void TestFaultsLink::veryLongReplyIsHandedOn_data()
{
    QTest::addColumn<QByteArray>("reply");
    QByteArray text = QByteArray(1, '\xEF');
    while (text.size() < 1024 * 1024)
        text += "TARVIX USB-CAN2 FW 2.4.1 ";
    text.resize(1024 * 1024);
    QTest::newRow("0xEF then text") << text;
    QTest::newRow("0xEF only") << QByteArray(1024 * 1024, '\xEF');
}

// No length field: only the first piece is known to be a reply. Every byte must still be handed
// on or accounted for, and the line must recover afterwards.
void TestFaultsLink::veryLongReplyIsHandedOn()
{
    QFETCH(QByteArray, reply);
    QVERIFY(send(reply));
    drainAndGoQuiet();
    QVERIFY(!replies.isEmpty());
    QVERIFY(replies.first().startsWith('\xEF'));
    const qint64 accounted =
        replyBytes() + qint64(frames.size()) * LineRecord::Size + qint64(tester->discardedBytes());
    QCOMPARE(accounted, qint64(reply.size()));
    expectCleanRecords(100);
}

QTEST_GUILESS_MAIN(TestFaultsLink)
#include "tst_faults_link.moc"
