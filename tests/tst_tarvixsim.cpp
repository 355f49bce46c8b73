// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cantester.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <csignal>
#include <memory>

namespace {
constexpr int Long = 20000; // ms: generous, the machine may be busy with other tests

QByteArray triple(uint8_t marker, uint8_t code)
{
    QByteArray bytes(3, char(marker));
    bytes[1] = char(code);
    return bytes;
}

QString summaryLine(qint64 sent, qint64 answered, qint64 hostFrames, int badLines)
{
    return QStringLiteral("tarvix-sim: frames sent %1, commands answered %2, host frames received "
                          "%3, bad lines %4")
        .arg(sent)
        .arg(answered)
        .arg(hostFrames)
        .arg(badLines);
}

// A frame as a module may send it: one route bit, perhaps the extended bit, nothing else.
bool plausible(const CanPacket &p)
{
    const uint8_t route = p.frame & 0x30;
    const bool routeOk = route == CanPacket::Can0ToCan1 || route == CanPacket::Can1ToCan0;
    const uint32_t maxId = p.isExtended() ? 0x1FFFFFFF : 0x7FF;
    return routeOk && (p.frame & ~0x31) == 0 && p.id <= maxId && p.length() <= 8;
}

QByteArray payload(const CanPacket &p)
{
    return QByteArray(reinterpret_cast<const char *>(p.data), 8);
}

// Flags, identifier, rtl byte and data of each frame, a line each.
QStringList describe(const QVector<CanPacket> &packets)
{
    QStringList lines;
    for (const CanPacket &p : packets)
        lines.append(QStringLiteral("%1 %2 %3 %4")
                         .arg(p.frame, 2, 16, QLatin1Char('0'))
                         .arg(p.id, 0, 16)
                         .arg(p.rtl, 2, 16, QLatin1Char('0'))
                         .arg(QString::fromLatin1(payload(p).toHex())));
    return lines;
}

// The frames both replay files hold: the same four frames in a log and on the screen.
const QStringList FourFrames = {"10 123 08 1122334455667788", "21 abcdef 02 0102000000000000",
                                "10 7ff 10 0000000000000000", "21 1fffffff 14 0000000000000000"};

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}
} // namespace

// The virtual module as the program meets it: a child process, its port opened with QSerialPort
// and read through the program's own link.
class TestTarvixSim : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void countGivesExactlyThatManyFrames();
    void builtInTrafficLooksLikeABus();
    void idsGivesThatManyDistinctIds();
    void seedMakesTrafficRepeatable();
    void alikeTrafficDiffersOnlyInIdentifiers();

    void commandsGetReadableReplies_data();
    void commandsGetReadableReplies();
    void speedSettingIsKept();
    void resistorStateIsKept();
    void mismatchedTripleIsSkipped();
    void monitoringSwitchesTheStream();
    void repliesLeaveTheStreamAligned();
    void hostFramesAreCounted();

    void durationEndsTheStreamAndExitWaitsForTheReader();
    void replayGivesTheFileFrames();
    void replayReadsPastDamage();
    void replayTakesScreenOutput();
    void loopRepeatsTheFile();
    void slowReaderLosesNothing();

    void helpExitsZero();
    void badArgumentsExitTwo_data();
    void badArgumentsExitTwo();
    void linkFollowsThePort();
    void interruptEndsCleanly();

private:
    bool startSim(const QStringList &arguments);
    QString stopSim();
    QString lastOutputLine();
    QByteArray ask(const QByteArray &command);
    QVector<CanPacket> runFrames(const QStringList &arguments, int count);
    void replaysFourFrames(const char *name, const QByteArray &text, int badLines);

    std::unique_ptr<QProcess> sim;
    QString portPath;
    std::unique_ptr<QSerialPort> port;
    std::unique_ptr<CanTester> tester;
    QVector<CanPacket> frames;
    QList<QByteArray> replies;
    int framesAtLastReply = 0;
    int pauseEvery = 0; // a slow reader: stop for a while after so many frames
};

void TestTarvixSim::cleanup()
{
    tester.reset();
    port.reset();
    if (sim && sim->state() != QProcess::NotRunning) {
        sim->kill();
        sim->waitForFinished(Long);
    }
    sim.reset();
    frames.clear();
    replies.clear();
    pauseEvery = 0;
}

bool TestTarvixSim::startSim(const QStringList &arguments)
{
    sim = std::make_unique<QProcess>();
    sim->setStandardErrorFile(QProcess::nullDevice());
    sim->start(QStringLiteral(TARVIX_SIM_PATH), arguments);
    while (!sim->canReadLine() && sim->waitForReadyRead(Long)) {
    }
    const QString line = QString::fromLocal8Bit(sim->readLine()).trimmed();
    if (!line.startsWith(QLatin1String("PORT /")))
        return false;
    portPath = line.mid(5);
    port = std::make_unique<QSerialPort>(portPath);
    port->setBaudRate(115200);
    port->setReadBufferSize(512);
    if (!port->open(QIODevice::ReadWrite))
        return false;
    tester = std::make_unique<CanTester>(port.get());
    connect(tester.get(), &CanTester::readyPacket, this, [this] {
        frames.append(tester->lastPacket());
        if (pauseEvery > 0 && frames.size() % pauseEvery == 0)
            QThread::msleep(40); // lets the line fill up
    });
    connect(tester.get(), &CanTester::sendBuffer, this, [this](const QByteArray &reply) {
        replies.append(reply);
        framesAtLastReply = frames.size();
    });
    return true;
}

// Closes the port, asks the module to stop and gives its summary line.
QString TestTarvixSim::stopSim()
{
    tester.reset();
    port.reset();
    sim->terminate();
    if (!sim->waitForFinished(Long) || sim->exitStatus() != QProcess::NormalExit ||
        sim->exitCode() != 0)
        return QStringLiteral("(no clean exit)");
    return lastOutputLine();
}

QString TestTarvixSim::lastOutputLine()
{
    const QStringList lines =
        QString::fromLocal8Bit(sim->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

// Sends a command and gives the reply to it; empty when none came.
QByteArray TestTarvixSim::ask(const QByteArray &command)
{
    const int before = replies.size();
    tester->writeBuffer(command);
    QElapsedTimer clock;
    clock.start();
    while (replies.size() == before && clock.elapsed() < Long)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return replies.size() > before ? replies.last() : QByteArray();
}

QVector<CanPacket> TestTarvixSim::runFrames(const QStringList &arguments, int count)
{
    if (!startSim(arguments + QStringList{QStringLiteral("--count"), QString::number(count)}))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (frames.size() < count && clock.elapsed() < Long)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const QVector<CanPacket> taken = frames;
    cleanup();
    return taken;
}

// --- the built-in traffic -------------------------------------------------------------------

void TestTarvixSim::countGivesExactlyThatManyFrames()
{
    QVERIFY(startSim({QStringLiteral("--count"), QStringLiteral("500")}));
    QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 500, Long);
    QTest::qWait(300); // nothing more follows
    QCOMPARE(frames.size(), 500);
    for (const CanPacket &p : qAsConst(frames))
        QVERIFY2(plausible(p), qPrintable(frameText(p)));
    QCOMPARE(stopSim(), summaryLine(500, 0, 0, 0));
}

void TestTarvixSim::builtInTrafficLooksLikeABus()
{
    const QVector<CanPacket> taken = runFrames({}, 3000);
    QCOMPARE(taken.size(), 3000);
    QSet<uint32_t> ids, standard, extended;
    QSet<int> routes, lengths;
    QHash<uint32_t, QSet<QByteArray>> payloads;
    int remote = 0;
    for (const CanPacket &p : taken) {
        QVERIFY2(plausible(p), qPrintable(frameText(p)));
        ids << uint32_t(p.id); // a copy: the packed field takes no reference
        (p.isExtended() ? extended : standard) << uint32_t(p.id);
        routes << (p.frame & 0x30);
        lengths << p.length();
        remote += p.isRemote() ? 1 : 0;
        payloads[uint32_t(p.id)] << payload(p);
    }
    QCOMPARE(ids.size(), 40);
    QVERIFY(standard.size() > extended.size() && !extended.isEmpty());
    QCOMPARE(routes.size(), 2);
    QVERIFY(lengths.size() >= 3);
    QVERIFY(remote > 0 && remote < taken.size() / 4);
    int changing = 0;
    for (const QSet<QByteArray> &seen : qAsConst(payloads))
        changing += seen.size() > 1 ? 1 : 0;
    QVERIFY2(changing >= 10, "the data of most messages should move");
}

void TestTarvixSim::idsGivesThatManyDistinctIds()
{
    for (int count : {1, 300, 5000}) {
        const QStringList arguments{QStringLiteral("--ids"), QString::number(count),
                                    QStringLiteral("--rate"), QStringLiteral("max")};
        const QVector<CanPacket> taken = runFrames(arguments, 2 * count);
        QCOMPARE(taken.size(), 2 * count);
        QSet<uint32_t> ids;
        for (const CanPacket &p : taken) {
            QVERIFY2(plausible(p), qPrintable(frameText(p)));
            ids << uint32_t(p.id);
        }
        QCOMPARE(ids.size(), count);
    }
}

void TestTarvixSim::seedMakesTrafficRepeatable()
{
    auto fingerprint = [this](const QString &seed) {
        QByteArray all;
        for (const CanPacket &p : runFrames({QStringLiteral("--seed"), seed}, 300))
            all += QByteArray::number(p.id) + payload(p);
        return all;
    };
    const QByteArray first = fingerprint(QStringLiteral("7"));
    QVERIFY(!first.isEmpty());
    QCOMPARE(fingerprint(QStringLiteral("7")), first);
    QVERIFY(fingerprint(QStringLiteral("8")) != first);
}

// Every identifier the same message: 8 data bytes, one period, four in five 29-bit.
void TestTarvixSim::alikeTrafficDiffersOnlyInIdentifiers()
{
    const QStringList arguments{QStringLiteral("--ids"), QStringLiteral("50"),
                                QStringLiteral("--alike"), QStringLiteral("--rate"),
                                QStringLiteral("max")};
    const QVector<CanPacket> taken = runFrames(arguments, 500);
    QCOMPARE(taken.size(), 500);
    QHash<uint32_t, int> perId;
    int extended = 0;
    for (const CanPacket &p : taken) {
        QVERIFY2(plausible(p) && !p.isRemote() && p.length() == 8, qPrintable(frameText(p)));
        extended += p.isExtended() ? 1 : 0;
        ++perId[uint32_t(p.id)];
    }
    QCOMPARE(perId.size(), 50);
    QCOMPARE(extended, 400);
    for (int sent : qAsConst(perId))
        QCOMPARE(sent, 10);
}

// --- commands -------------------------------------------------------------------------------

void TestTarvixSim::commandsGetReadableReplies_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("name") << 0x01 << "TARVIX";
    QTest::newRow("version") << 0x02 << "FW ";
    QTest::newRow("old format") << 0x04 << "OK";
    QTest::newRow("CAN0 resistor query") << 0x15 << "CAN0 R=";
    QTest::newRow("CAN1 resistor query") << 0x16 << "CAN1 R=";
    QTest::newRow("speed query") << 0x10 << "125 kbit/s";
    QTest::newRow("protocol query") << 0x14 << "CAN";
    QTest::newRow("unknown command") << 0x77 << "ERR";
}

void TestTarvixSim::commandsGetReadableReplies()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QVERIFY(startSim({QStringLiteral("--no-monitor")}));
    const QByteArray reply = ask(triple(0xE1, uint8_t(code)));
    QVERIFY2(reply.size() >= 14 && reply.size() <= 32, reply.toHex().constData());
    QCOMPARE(uint8_t(reply[0]), uint8_t(0xEF));
    QCOMPARE(uint8_t(reply[1]), uint8_t(code));
    QVERIFY2(printableText(reply.mid(2)).contains(text), reply.constData());
    QVERIFY2(!printableText(reply.mid(2)).contains('*'), reply.constData());
    QCOMPARE(stopSim(), summaryLine(0, 1, 0, 0));
}

void TestTarvixSim::speedSettingIsKept()
{
    QVERIFY(startSim({}));
    const QByteArray ack = ask(triple(0xF1, 2));
    QVERIFY2(ack.size() >= 14, ack.toHex().constData());
    QCOMPARE(uint8_t(ack[0]), uint8_t(0xF1));
    QVERIFY(ack.contains("500 kbit/s"));
    QVERIFY(ask(triple(0xE1, 0x10)).contains("500 kbit/s"));
    QVERIFY(ask(triple(0xF1, 0)).contains("1 Mbit/s"));
    QVERIFY(ask(triple(0xF1, 9)).contains("ERR")); // no such speed: the last one stays
    QVERIFY(ask(triple(0xE1, 0x10)).contains("1 Mbit/s"));
}

void TestTarvixSim::resistorStateIsKept()
{
    QVERIFY(startSim({QStringLiteral("--no-monitor")}));
    QVERIFY(ask(triple(0xE1, 0x05)).contains("CAN0 R=ON"));
    QVERIFY(ask(triple(0xE1, 0x15)).contains("CAN0 R=ON"));
    QVERIFY(ask(triple(0xE1, 0x16)).contains("CAN1 R=OFF")); // the lines are separate
    QVERIFY(ask(triple(0xE1, 0x06)).contains("CAN1 R=ON"));
    QVERIFY(ask(triple(0xE1, 0x85)).contains("CAN0 R=OFF"));
    QVERIFY(ask(triple(0xE1, 0x15)).contains("CAN0 R=OFF"));
    QVERIFY(ask(triple(0xE1, 0x16)).contains("CAN1 R=ON"));
}

void TestTarvixSim::mismatchedTripleIsSkipped()
{
    QVERIFY(startSim({QStringLiteral("--no-monitor")}));
    // E1 E1 01 is no command (third byte differs); one byte on, E1 01 E1 is.
    const QByteArray reply = ask(QByteArray::fromHex("E1E101E1"));
    QVERIFY(reply.contains("TARVIX"));
    QTest::qWait(200);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(stopSim(), summaryLine(0, 1, 0, 0));
}

void TestTarvixSim::monitoringSwitchesTheStream()
{
    QVERIFY(startSim({QStringLiteral("--no-monitor")}));
    QTest::qWait(300);
    QCOMPARE(frames.size(), 0);
    QVERIFY(ask(triple(0xE1, 0x03)).contains("ON"));
    QTRY_VERIFY_WITH_TIMEOUT(frames.size() > 100, Long);

    QVERIFY(ask(triple(0xE1, 0x83)).contains("OFF"));
    const int atOff = framesAtLastReply;
    QTest::qWait(400);
    QCOMPARE(frames.size(), atOff); // nothing after the reply

    QVERIFY(ask(triple(0xE1, 0x03)).contains("ON"));
    QTRY_VERIFY_WITH_TIMEOUT(frames.size() > atOff + 100, Long);
}

void TestTarvixSim::repliesLeaveTheStreamAligned()
{
    QVERIFY(startSim({QStringLiteral("--rate"), QStringLiteral("max")}));
    QTRY_VERIFY_WITH_TIMEOUT(frames.size() > 20, Long);
    for (int i = 0; i < 10; ++i) {
        const QByteArray reply = ask(triple(0xE1, 0x01));
        QVERIFY2(reply.startsWith(QByteArray::fromHex("EF01") + "TARVIX USB-CAN2"),
                 reply.toHex(' ').constData());
        const int before = frames.size();
        QTRY_VERIFY_WITH_TIMEOUT(frames.size() > before + 5, Long); // the stream goes on
    }
    for (const CanPacket &p : qAsConst(frames))
        QVERIFY2(plausible(p), qPrintable(frameText(p)));
}

void TestTarvixSim::hostFramesAreCounted()
{
    QVERIFY(startSim({}));
    CanPacket packet;
    packet.id = 0x1ABCDE;
    packet.frame = CanPacket::Extended;
    packet.rtl = 8;
    for (int i = 0; i < 5; ++i)
        QCOMPARE(tester->writePacket(packet), 14);
    // Taken in order: once the command is answered, the frames before it have been read.
    QVERIFY(ask(triple(0xE1, 0x02)).contains("FW"));
    const QString summary = stopSim();
    QVERIFY2(summary.endsWith(QLatin1String("commands answered 1, host frames received 5, bad "
                                            "lines 0")),
             qPrintable(summary));
}

void TestTarvixSim::durationEndsTheStreamAndExitWaitsForTheReader()
{
    QVERIFY(startSim(
        {QStringLiteral("--duration"), QStringLiteral("0.5"), QStringLiteral("--exit-when-done")}));
    // The event loop keeps running meanwhile, so the port is read while the module waits.
    QTRY_COMPARE_WITH_TIMEOUT(sim->state(), QProcess::NotRunning, Long);
    QCOMPARE(sim->exitCode(), 0);
    const QString summary = lastOutputLine();
    const auto match = QRegularExpression(QStringLiteral("frames sent (\\d+),")).match(summary);
    QVERIFY2(match.hasMatch(), qPrintable(summary));
    const int sent = match.captured(1).toInt();
    QVERIFY(sent > 0);
    QTRY_COMPARE(frames.size(), sent); // everything sent was there to be read
}

// --- replay ---------------------------------------------------------------------------------

void TestTarvixSim::replayGivesTheFileFrames()
{
    replaysFourFrames("bus.log",
                      "(1700000000.000000) can0 123#1122334455667788\n"
                      "(1700000000.001000) can1 00ABCDEF#0102\n"
                      "(1700000000.002000) can0 7FF#R\n"
                      "this line is no frame\n"
                      "\n"
                      "(1700000000.003000) can1 1FFFFFFF#R4\n",
                      1);
}

// Replays `text` as a file `name` whose frames are FourFrames, `badLines` lines besides; it
// leaves by itself once the port has been read.
void TestTarvixSim::replaysFourFrames(const char *name, const QByteArray &text, int badLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(name));
    QVERIFY(writeFile(path, text));
    QVERIFY(startSim({QStringLiteral("--replay"), path, QStringLiteral("--fast"),
                      QStringLiteral("--exit-when-done")}));
    QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 4, Long);
    QCOMPARE(describe(frames), FourFrames);
    QVERIFY(sim->waitForFinished(Long));
    QCOMPARE(sim->exitCode(), 0);
    QCOMPARE(lastOutputLine(), summaryLine(4, 0, 0, badLines));
}

// A recording cut by a power cut (zeroed tail) with a binary line inside: every frame around the
// damage is sent, the damaged lines are counted; a file of damage alone is refused.
void TestTarvixSim::replayReadsPastDamage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bus.log"));
    QVERIFY(writeFile(path, QByteArray("(1700000000.000000) can0 123#11\n"
                                       "\x00\xff (1.0) can0 1#\x00\x01\n"
                                       "(1700000000.001000) can1 456#22\n"
                                       "(1700000000.002000) can0 789#33\n",
                                       115) +
                                QByteArray(4096, '\0')));
    QVERIFY(startSim({QStringLiteral("--replay"), path, QStringLiteral("--fast"),
                      QStringLiteral("--exit-when-done")}));
    QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 3, Long);
    QCOMPARE(frames[1].id, 0x456u);
    QCOMPARE(frames[2].id, 0x789u);
    QVERIFY(sim->waitForFinished(Long));
    QCOMPARE(sim->exitCode(), 0);
    QCOMPARE(lastOutputLine(), summaryLine(3, 0, 0, 2));

    QVERIFY(writeFile(path, QByteArray(4096, '\0') + "\nno frame\n"));
    QProcess refused;
    refused.start(QStringLiteral(TARVIX_SIM_PATH),
                  {QStringLiteral("--replay"), path, QStringLiteral("--exit-when-done")});
    QVERIFY(refused.waitForFinished(Long));
    QVERIFY(refused.exitCode() != 0);
}

// What candump printed on the screen replays as its log would: -t d times, -x columns, remote
// frames; the error frame and the damaged line are counted, the error's explanation is not.
void TestTarvixSim::replayTakesScreenOutput()
{
    replaysFourFrames("screen.txt",
                      "(000.000000)  can0  RX - -  123   [8]  11 22 33 44 55 66 77 88\n"
                      "(000.010000)  can1  RX - -  00ABCDEF   [2]  01 02   '..'\n"
                      "(000.001000)  can0  RX - -  20000004   [8]  00 08 00 00 00 00 00 00   "
                      "ERRORFRAME\n"
                      "\tcontroller-problem{rx-error-warning}\n"
                      "(000.001000)  can0  RX - -  7FF   [0]  remote request\n"
                      "(000.0\x01\x02 damaged\n"
                      "(000.002000)  can1  RX - -  1FFFFFFF   [4]  remote request\n",
                      2);
}

void TestTarvixSim::loopRepeatsTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("three.log"));
    QVERIFY(writeFile(path, "(10.000) can0 001#01\n(10.002) can0 002#02\n(10.004) can1 003#03\n"));
    QVERIFY(startSim({QStringLiteral("--replay"), path, QStringLiteral("--loop"),
                      QStringLiteral("--count"), QStringLiteral("8")}));
    QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 8, Long);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(frames[i].id, uint32_t(i % 3 + 1));
    QCOMPARE(stopSim(), summaryLine(8, 0, 0, 0));
}

void TestTarvixSim::slowReaderLosesNothing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("numbered.log"));
    const int count = 20000;
    QByteArray log;
    for (int i = 0; i < count; ++i)
        log += QStringLiteral("(5.%1) can0 %2#%3\n")
                   .arg(i, 6, 10, QLatin1Char('0'))
                   .arg(i, 8, 16, QLatin1Char('0'))
                   .arg(i, 16, 16, QLatin1Char('0'))
                   .toLatin1();
    QVERIFY(writeFile(path, log));
    pauseEvery = 2000; // the line fills up while the reader sleeps
    QVERIFY(startSim({QStringLiteral("--replay"), path, QStringLiteral("--fast")}));
    QTRY_COMPARE_WITH_TIMEOUT(frames.size(), count, 60000);
    for (int i = 0; i < count; ++i) {
        if (frames[i].id != uint32_t(i) || frames[i].data[7] != uint8_t(i))
            QFAIL(qPrintable(QStringLiteral("frame %1 lost or out of order").arg(i)));
    }
    QCOMPARE(stopSim(), summaryLine(count, 0, 0, 0));
}

// --- command line and lifetime --------------------------------------------------------------

void TestTarvixSim::helpExitsZero()
{
    QProcess process;
    process.start(QStringLiteral(TARVIX_SIM_PATH), {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(Long));
    QCOMPARE(process.exitCode(), 0);
    const QString usage = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (const char *option : {"--rate", "--count", "--replay", "--link", "--exit-when-done"})
        QVERIFY2(usage.contains(QLatin1String(option)), option);
}

void TestTarvixSim::badArgumentsExitTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
    QTest::newRow("missing file") << QStringList{"--replay", "/nonexistent/x.log"} << "x.log";
    QTest::newRow("zero rate") << QStringList{"--rate", "0"} << "--rate";
    QTest::newRow("rate text") << QStringList{"--rate", "fast"} << "--rate";
    QTest::newRow("no ids") << QStringList{"--ids", "0"} << "--ids";
    QTest::newRow("too many ids") << QStringList{"--ids", "100001"} << "--ids";
    QTest::newRow("fractional count") << QStringList{"--count", "2.5"} << "--count";
    QTest::newRow("fast without replay") << QStringList{"--fast"} << "--replay";
    QTest::newRow("alike replay") << QStringList{"--replay", "x.log", "--alike"} << "--alike";
    QTest::newRow("stray argument") << QStringList{"extra"} << "extra";
}

void TestTarvixSim::badArgumentsExitTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, mentions);
    QProcess process;
    process.start(QStringLiteral(TARVIX_SIM_PATH), arguments);
    QVERIFY(process.waitForFinished(Long));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty()); // no PORT line
    const QString message = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(message.contains(mentions), qPrintable(message));
}

void TestTarvixSim::linkFollowsThePort()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("tarvix"));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), link)); // a stale link is replaced
    QVERIFY(startSim(
        {QStringLiteral("--link"), link, QStringLiteral("--count"), QStringLiteral("10")}));
    QCOMPARE(QFileInfo(link).symLinkTarget(), portPath);
    QTRY_COMPARE_WITH_TIMEOUT(frames.size(), 10, Long);
    QCOMPARE(stopSim(), summaryLine(10, 0, 0, 0));
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void TestTarvixSim::interruptEndsCleanly()
{
    QVERIFY(startSim({QStringLiteral("--no-monitor")}));
    QVERIFY(ask(triple(0xE1, 0x01)).contains("TARVIX"));
    ::kill(pid_t(sim->processId()), SIGINT);
    QVERIFY(sim->waitForFinished(Long));
    QCOMPARE(sim->exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim->exitCode(), 0);
    QCOMPARE(lastOutputLine(), summaryLine(0, 1, 0, 0));
}

QTEST_GUILESS_MAIN(TestTarvixSim)
#include "tst_tarvixsim.moc"
