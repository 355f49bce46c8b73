// SPDX-License-Identifier: GPL-3.0-or-later
// The socketcand client: its message cutter on bytes alone, then real sockets on 127.0.0.1
// against our own server, in this process and as quorvex-record runs it, and against servers
// that misbehave.

#include "formats/candumpwriter.h"
#include "link/linerecord.h"
#include "link/timedpacket.h"
#include "net/socketcandcommand.h"
#include "net/socketcandcutter.h"
#include "net/socketcandserver.h"
#include "net/socketcandsource.h"
#include "support/fdpackets.h"
#include "support/simprocess.h"
#include "support/testfiles.h"
#include "support/testpackets.h"
#include "virtualbusprocess.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <memory>

namespace {

constexpr int WaitMs = 120000; // a hang guard only: the machine may be busy

// Everything a source said, in order.
struct Heard
{
    explicit Heard(CanSource *source)
    {
        QObject::connect(source, &CanSource::readyFrame,
                         [this](const TimedPacket &frame) { frames.append(frame); });
        QObject::connect(source, &CanSource::readyReply,
                         [this](const QByteArray &reply) { replies.append(reply); });
        QObject::connect(source, &CanSource::failed,
                         [this](const QString &reason) { failures.append(reason); });
        QObject::connect(source, &CanSource::opened, [this] { ++opened; });
    }
    QVector<TimedPacket> frames;
    QByteArrayList replies;
    QStringList failures;
    int opened = 0;
};

// The frame as the server writes it, and as a recording keeps it.
QByteArray serverText(const TimedPacket &frame)
{
    QByteArray text;
    if (frame.packet.isFd())
        SocketcandServer::appendFdFrame(text, frame);
    else
        SocketcandServer::appendFrame(text, frame);
    return text.trimmed();
}

QByteArray candumpLine(const TimedPacket &frame)
{
    QByteArray line;
    CandumpWriter::appendLine(line, frame);
    return line.trimmed();
}

QByteArrayList messagesOf(SocketcandCutter &cutter)
{
    QByteArrayList found;
    const char *begin = nullptr;
    const char *end = nullptr;
    while (cutter.next(&begin, &end))
        found.append(QByteArray(begin, int(end - begin)));
    return found;
}

bool openAndWait(SocketcandSource &source, Heard &heard)
{
    const int opened = heard.opened;
    const int failures = heard.failures.size();
    return source.open() &&
           QTest::qWaitFor(
               [&] { return heard.opened > opened || heard.failures.size() > failures; }, WaitMs) &&
           heard.opened > opened;
}

// quorvex-record as a user runs it, with its own settings folder in `home`.
bool startRecorder(QProcess &recorder, const QTemporaryDir &home, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("DISPLAY"));
    recorder.setProcessEnvironment(env);
    recorder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    recorder.start(QStringLiteral(QUORVEX_RECORD_PATH), arguments);
    return recorder.waitForStarted();
}

// The recorder may still be starting its server: opens the source until it answers; the failed
// tries before are forgotten.
bool openOnceUp(SocketcandSource &source, Heard &heard)
{
    const bool opened = QTest::qWaitFor(
        [&] {
            if (heard.opened > 0)
                return true;
            if (!source.isOpen())
                source.open();
            QTest::qWait(50);
            return false;
        },
        WaitMs);
    heard.failures.clear();
    return opened;
}

// A server that plays a script: answers the open, then writes `stream` one byte per turn of the
// event loop, so the client reads it in as many pieces as the loop allows.
class ScriptedServer
{
public:
    ScriptedServer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            client = server.nextPendingConnection();
            client->write("< hi >");
            QObject::connect(client, &QTcpSocket::readyRead, [this] { answer(); });
        });
        QObject::connect(&pacer, &QTimer::timeout, [this] {
            client->write(stream.mid(written++, 1));
            client->flush();
            if (written >= stream.size())
                pacer.stop();
        });
    }
    // The open, then "< fdframes >" as a server of classic frames answers it, then the raw mode.
    void answer()
    {
        heard += client->readAll();
        const int commands = heard.count('>');
        for (; answered < std::min(commands, 2); ++answered)
            client->write(answered == 0 ? "< ok >" : "< error unknown command >");
        if (commands >= 3 && !pacer.isActive() && written == 0)
            pacer.start(0);
    }
    quint16 port() const { return server.serverPort(); }

    QTcpServer server;
    QTimer pacer;
    QTcpSocket *client = nullptr;
    QByteArray heard;
    QByteArray stream; // begins with the raw mode's "< ok >"
    int written = 0;
    int answered = 0;
};

} // namespace

class TstSocketcandSource : public QObject
{
    Q_OBJECT

private slots:
    void cutterTakesAnySplit_data();
    void cutterTakesAnySplit();
    void cutterBoundsItsBuffer();
    void frameMessages_data();
    void frameMessages();
    void sendCommands();
    void fdFrameMessages();
    void everyFrameOnceInOrderWithTheServersTime();
    void streamSplitAtEveryByteWithJunk();
    void serverGoingAwayIsSaidOnce();
    void serversThatNeverGetThere_data();
    void serversThatNeverGetThere();
    void sendRoundTripAndRefusal();
    void againstQuorvexRecord();
    void fdAgainstQuorvexRecord();
};

void TstSocketcandSource::cutterTakesAnySplit_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArrayList>("messages");
    QTest::addColumn<int>("skipped");

    QTest::newRow("handshake") << QByteArray("< hi >< ok >\n< ok >")
                               << QByteArrayList{" hi ", " ok ", " ok "} << 0;
    QTest::newRow("frames with line ends")
        << QByteArray("< frame 123 1.000001 11 >\n< frame 00000456 2.5  >\r\n")
        << QByteArrayList{" frame 123 1.000001 11 ", " frame 00000456 2.5  "} << 0;
    QTest::newRow("junk between") << QByteArray("hello< ok >x>y< ok >")
                                  << QByteArrayList{" ok ", " ok "} << 8;
    QTest::newRow("cut short by a new message")
        << QByteArray("< frame 1< ok >") << QByteArrayList{" ok "} << 7;
    QTest::newRow("empty message") << QByteArray("<>") << QByteArrayList{""} << 0;
}

// Byte by byte, in two pieces at every place, and whole: the same messages. White space between
// messages is not counted as skipped.
void TstSocketcandSource::cutterTakesAnySplit()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArrayList, messages);
    QFETCH(int, skipped);
    for (int cut = 0; cut <= stream.size(); ++cut) {
        SocketcandCutter cutter;
        cutter.append(stream.left(cut));
        QByteArrayList found = messagesOf(cutter);
        cutter.append(stream.mid(cut));
        found += messagesOf(cutter);
        QCOMPARE(found, messages);
        QCOMPARE(cutter.skippedBytes(), quint64(skipped));
    }
    SocketcandCutter bytewise;
    QByteArrayList found;
    for (char c : stream) {
        bytewise.append(&c, 1);
        found += messagesOf(bytewise);
    }
    QCOMPARE(found, messages);
    QCOMPARE(bytewise.pendingSize(), 0);
}

// A message without an end, or endless junk, costs at most one read beyond the bound; what follows
// is taken again.
void TstSocketcandSource::cutterBoundsItsBuffer()
{
    SocketcandCutter cutter;
    cutter.append("< frame ");
    for (int i = 0; i < 100; ++i) {
        cutter.append(QByteArray(1000, 'x'));
        QCOMPARE(messagesOf(cutter), QByteArrayList());
        QVERIFY(cutter.pendingSize() < SocketcandCutter::MaxMessageSize);
    }
    cutter.append(" >< ok >");
    QCOMPARE(messagesOf(cutter), QByteArrayList{" ok "});
    QCOMPARE(cutter.overlongMessages(), 1u);
    QCOMPARE(cutter.skippedBytes(), quint64(6 + 100 * 1000 + 1)); // white space aside

    cutter.append(QByteArray(SocketcandCutter::MaxMessageSize * 3, 'j'));
    QCOMPARE(messagesOf(cutter), QByteArrayList());
    QCOMPARE(cutter.pendingSize(), 0);
    // Exactly as long as allowed is still a message.
    const QByteArray longest = '<' + QByteArray(SocketcandCutter::MaxMessageSize - 2, 'a') + '>';
    cutter.append(longest);
    QCOMPARE(messagesOf(cutter).size(), 1);
}

void TstSocketcandSource::frameMessages_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("packet"); // frameText; interface "can1"
    QTest::addColumn<qint64>("time");

    const int frame = int(SocketcandSource::Message::Frame);
    const int bad = int(SocketcandSource::Message::Malformed);
    const auto text = [](uint32_t id, const char *hex, uint8_t flags, bool remote = false) {
        return frameText(dataFrame(id, QByteArray::fromHex(hex),
                                   uint8_t(CanPacket::Can1ToCan0 | flags), remote));
    };
    QTest::newRow("standard") << QByteArray(" frame 123 1700000000.012345 1122AABB ") << frame
                              << text(0x123, "1122AABB", 0) << qint64(1700000000012345);
    QTest::newRow("extended by width") << QByteArray("frame 00000123 0.000001 00") << frame
                                       << text(0x123, "00", CanPacket::Extended) << qint64(1);
    QTest::newRow("extended by width 7")
        << QByteArray("frame 1ABCDEF 5.5") << frame << text(0x1ABCDEF, "", CanPacket::Extended)
        << qint64(5500000);
    QTest::newRow("extended by value") << QByteArray("frame FFF 5.5") << frame
                                       << text(0xFFF, "", CanPacket::Extended) << qint64(5500000);
    QTest::newRow("no data, lower case")
        << QByteArray("frame 7ff 12.000000 ") << frame << text(0x7FF, "", 0) << qint64(12000000);
    QTest::newRow("bytes spaced") << QByteArray("frame 001 1.000000 01 02 0304") << frame
                                  << text(0x001, "01020304", 0) << qint64(1000000);
    QTest::newRow("can_id with remote and extended flags")
        << QByteArray("frame C0000100 1.000000") << frame
        << text(0x100, "", CanPacket::Extended, true) << qint64(1000000);
    QTest::newRow("error frame") << QByteArray("frame 20000004 1.000000 0001000000000000")
                                 << int(SocketcandSource::Message::ErrorFrame) << QString()
                                 << qint64(0);
    QTest::newRow("nine bytes") << QByteArray("frame 1 1.0 112233445566778899") << bad << QString()
                                << qint64(0);
    QTest::newRow("odd digits") << QByteArray("frame 1 1.0 112") << bad << QString() << qint64(0);
    QTest::newRow("not hex") << QByteArray("frame 1 1.0 zz") << bad << QString() << qint64(0);
    QTest::newRow("no time") << QByteArray("frame 123") << bad << QString() << qint64(0);
    QTest::newRow("bad time") << QByteArray("frame 123 1,5 11") << bad << QString() << qint64(0);
    QTest::newRow("identifier too long")
        << QByteArray("frame 123456789 1.0") << bad << QString() << qint64(0);
    QTest::newRow("another message") << QByteArray("ok") << bad << QString() << qint64(0);
}

void TstSocketcandSource::frameMessages()
{
    QFETCH(QByteArray, message);
    QFETCH(int, kind);
    QFETCH(QString, packet);
    QFETCH(qint64, time);
    TimedPacket frame;
    const CanPacket blank = CanSource::interfacePacket(QStringLiteral("can1"));
    QCOMPARE(int(SocketcandSource::parseFrame(message.constData(),
                                              message.constData() + message.size(), blank, &frame)),
             kind);
    if (kind == int(SocketcandSource::Message::Frame)) {
        QCOMPARE(frameText(frame.packet), packet);
        QCOMPARE(frame.time, time);
    }
}

void TstSocketcandSource::sendCommands()
{
    QByteArray command;
    QString why;
    QVERIFY(SocketcandSource::sendText(hexFrame(0x12, "01A0FF"), &command, &why));
    QCOMPARE(command, QByteArray("< send 012 3 01 A0 FF >"));
    QVERIFY(SocketcandSource::sendText(dataFrame(0x1ABCDEF, QByteArray(), CanPacket::Extended),
                                       &command, &why));
    QCOMPARE(command, QByteArray("< send 01ABCDEF 0 >"));
    QVERIFY(SocketcandSource::sendText(testFrame(0x7FF, CanPacket::Can0ToCan1, 15, 0xEE), &command,
                                       &why));
    QCOMPARE(command, QByteArray("< send 7FF 8 EE 00 00 00 00 00 00 00 >"));
    QVERIFY(!SocketcandSource::sendText(hexFrame(0x12, "", true), &command, &why));
    QVERIFY(why.contains(QLatin1String("remote")));
    QVERIFY(!SocketcandSource::sendText(testFrame(0x800, 0), &command, &why));
    QVERIFY(why.contains(QLatin1String("identifier")));
}

// "< fdframe ID SECONDS.MICROSECONDS FLAGS DATA >" as a packet of the interface: FD, with its
// bit rate switch and error state, every byte, a length between FD lengths padded.
void TstSocketcandSource::fdFrameMessages()
{
    const CanPacket blank = CanSource::interfacePacket(QStringLiteral("can1"));
    const auto parsed = [&](const QByteArray &message, TimedPacket *frame) {
        return SocketcandSource::parseFrame(message.constData(),
                                            message.constData() + message.size(), blank, frame);
    };
    const auto same = [](const CanPacket &a, const CanPacket &b) {
        return a.id == b.id && a.frame == b.frame && a.rtl == b.rtl &&
               std::memcmp(a.data, b.data, sizeof a.data) == 0;
    };
    const uint8_t can1 = CanPacket::Can1ToCan0;
    TimedPacket frame;
    QCOMPARE(parsed("fdframe 123 1.000001 1 000102030405060708090A0B", &frame),
             SocketcandSource::Message::Frame);
    QVERIFY(same(frame.packet, fdFrame(0x123, countingBytes(12), can1 | CanPacket::BitRateSwitch)));
    QCOMPARE(frame.time, qint64(1000001));
    QByteArray spaced = "fdframe 1ABCDEF 2.5 3";
    for (char byte : countingBytes(64, 0x80))
        spaced += ' ' + QByteArray(1, byte).toHex();
    QCOMPARE(parsed(spaced, &frame), SocketcandSource::Message::Frame);
    QVERIFY(same(frame.packet, fdFrame(0x1ABCDEF, countingBytes(64, 0x80),
                                       can1 | CanPacket::Extended | CanPacket::BitRateSwitch |
                                           CanPacket::ErrorState)));
    QCOMPARE(parsed("fdframe 7FF 1.0 0", &frame), SocketcandSource::Message::Frame);
    QVERIFY(same(frame.packet, fdFrame(0x7FF, QByteArray(), can1)));
    QCOMPARE(parsed("fdframe 123 1.0 4 0102030405060708090A", &frame),
             SocketcandSource::Message::Frame); // 4: SocketCAN's FD flag, nothing more
    QVERIFY(same(frame.packet, fdFrame(0x123, countingBytes(10, 1), can1)));
    QCOMPARE(frame.packet.dataLength(), 12);
    QCOMPARE(parsed("fdframe 123 1.0 0 " + countingBytes(65).toHex(), &frame),
             SocketcandSource::Message::Malformed);
    QCOMPARE(parsed("fdframe 123 1.0", &frame), SocketcandSource::Message::Malformed);
    QCOMPARE(parsed("fdframe 123 1.0 x 01", &frame), SocketcandSource::Message::Malformed);
    QCOMPARE(parsed("fdframe 20000001 1.0 0 01", &frame), SocketcandSource::Message::ErrorFrame);

    QByteArray command;
    QString why;
    QVERIFY(SocketcandSource::sendText(fdFrame(0x123, countingBytes(3), CanPacket::BitRateSwitch),
                                       &command, &why));
    QCOMPARE(command, QByteArray("< fdsend 123 1 00 01 02 >"));
    QVERIFY(SocketcandSource::sendText(
        fdFrame(0x18DAF110, countingBytes(10), CanPacket::Extended | CanPacket::ErrorState),
        &command, &why));
    QCOMPARE(command, QByteArray("< fdsend 18DAF110 2 00 01 02 03 04 05 06 07 08 09 00 00 >"));
    QVERIFY(SocketcandSource::sendText(fdFrame(0x7FF, countingBytes(64)), &command, &why));
    QVERIFY(command.size() <= SocketcandParser::MaxCommandSize);
    SocketcandCommand parsedBack = SocketcandParser::parse(command.mid(1, command.size() - 2));
    QCOMPARE(parsedBack.kind, SocketcandCommand::Kind::FdSend);
    QVERIFY(same(parsedBack.packet, fdFrame(0x7FF, countingBytes(64))));
}

// Frames of the opened interface only, each once, in order, at the time the server gave them;
// classic and FD frames mixed.
void TstSocketcandSource::everyFrameOnceInOrderWithTheServersTime()
{
    constexpr int Frames = 20000;
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    SocketcandSource source(QStringLiteral("127.0.0.1"), server.serverPort(),
                            QStringLiteral("can1"));
    Heard heard(&source);
    QVERIFY(openAndWait(source, heard));
    QVERIFY(source.isOpen());
    QVERIFY(source.canSend());
    QCOMPARE(source.description(),
             QStringLiteral("socketcand 127.0.0.1:%1 can1").arg(server.serverPort()));

    QVector<TimedPacket> sent;
    for (int n = 0; n < Frames; ++n) {
        TimedPacket frame{1700000000000000 + n * 137, numberedFrame(uint32_t(n) % 0x800)};
        frame.packet.frame = n % 3 == 0 ? CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0;
        if (n % 7 == 0)
            frame.packet.frame |= CanPacket::Extended;
        frame.packet.rtl = uint8_t(n % 9);
        if (n % 5 == 4) { // CAN FD, of every length, with or without its flags
            frame.packet.setFdLength(CanPacket::fdLength(n % 16));
            frame.packet.frame |= uint8_t((n % 2 ? CanPacket::BitRateSwitch : 0) |
                                          (n % 3 ? 0 : CanPacket::ErrorState));
            for (int i = 8; i < CanPacket::MaxFdBytes; ++i)
                frame.packet.data[i] = uint8_t(n + i);
        }
        server.publish(frame);
        if (frame.packet.frame & CanPacket::Can1ToCan0)
            sent.append(frame);
        if (n % 500 == 0)
            QCoreApplication::processEvents();
    }
    QVERIFY(source.fdGranted());
    QTRY_COMPARE_WITH_TIMEOUT(heard.frames.size(), sent.size(), WaitMs);
    for (int i = 0; i < sent.size(); ++i) {
        const TimedPacket &got = heard.frames.at(i);
        if (serverText(got) != serverText(sent.at(i)) || got.time != sent.at(i).time ||
            got.packet.frame != sent.at(i).packet.frame || got.packet.rtl != sent.at(i).packet.rtl)
            QFAIL(qPrintable(QStringLiteral("frame %1: %2 for %3")
                                 .arg(i)
                                 .arg(QString::fromLatin1(serverText(got)),
                                      QString::fromLatin1(serverText(sent.at(i))))));
    }
    QCOMPARE(source.lostFrames(), 0u);
    QCOMPARE(source.skippedBytes(), 0u);
    QCOMPARE(server.withheldFdFrames(), 0u);
    QVERIFY(heard.failures.isEmpty());
}

// A server that writes its stream a byte at a time, with junk, an endless message and a frame of
// CAN FD between the frames: every frame is taken, the rest counted.
void TstSocketcandSource::streamSplitAtEveryByteWithJunk()
{
    ScriptedServer server;
    const QByteArray endless = "< frame " + QByteArray(3000, '1');
    server.stream = "< ok >< frame 001 1.000001 01 >\nnoise\n< frame 00000002 2.000002  >"
                    "<< frame 003 3.000003 0303 >" +
                    endless +
                    "< fdframe 004 4.0 0 01 >< frame 005 5.000005 0505050505050505 >"
                    "< frame 006 x 06 >< frame 007 7.000007 07 >";
    SocketcandSource source(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("can0"));
    Heard heard(&source);
    QVERIFY(openAndWait(source, heard));
    QTRY_COMPARE_WITH_TIMEOUT(heard.frames.size(), 6, WaitMs);
    QCOMPARE(server.heard, QByteArray("< open can0 >< fdframes >< rawmode >"));
    QVERIFY(!source.fdGranted()); // a classic server: its FD frames are taken all the same
    QByteArrayList ids;
    for (const TimedPacket &frame : heard.frames)
        ids.append(QByteArray::number(frame.packet.id) + '@' + QByteArray::number(frame.time));
    QCOMPARE(ids, (QByteArrayList{"1@1000001", "2@2000002", "3@3000003", "4@4000000", "5@5000005",
                                  "7@7000007"}));
    QVERIFY(heard.frames.at(3).packet.isFd());
    QCOMPARE(heard.frames.at(4).packet.length(), 8);
    // The endless message and the frame without a time.
    QCOMPARE(source.lostFrames(), 2u);
    QVERIFY(source.skippedBytes() > 3000u);
    QVERIFY(heard.failures.isEmpty());
}

// The server ends: frames it sent before are all taken, then one failure with a reason; the
// source opens again once there is a server.
void TstSocketcandSource::serverGoingAwayIsSaidOnce()
{
    auto server = std::make_unique<SocketcandServer>();
    QVERIFY(server->listen(QHostAddress::LocalHost, 0));
    const quint16 port = server->serverPort();
    SocketcandSource source(QStringLiteral("127.0.0.1"), port, QStringLiteral("can0"));
    Heard heard(&source);
    QVERIFY(openAndWait(source, heard));
    QTest::qWait(SocketcandServer::QuietAfterRawMs * 2);
    for (int n = 0; n < 100; ++n)
        server->publish({n, numberedFrame(uint32_t(n))});
    QTRY_COMPARE_WITH_TIMEOUT(heard.frames.size(), 100, WaitMs);
    server.reset();
    QTRY_COMPARE_WITH_TIMEOUT(heard.failures.size(), 1, WaitMs);
    QVERIFY(!heard.failures.first().isEmpty());
    QCOMPARE(source.errorString(), heard.failures.first());
    QVERIFY(!source.isOpen());
    QVERIFY(!source.canSend());
    QVERIFY(source.send(hexFrame(0x1, "")) < 0);
    QTest::qWait(100);
    QCOMPARE(heard.failures.size(), 1);

    server = std::make_unique<SocketcandServer>();
    QVERIFY(server->listen(QHostAddress::LocalHost, port));
    QVERIFY(openAndWait(source, heard));
    QCOMPARE(heard.opened, 2);
}

void TstSocketcandSource::serversThatNeverGetThere_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("answerMs"); // short only where the wait is what fails
    QTest::newRow("nobody listens") << QString("refused") << QString("refused") << WaitMs;
    QTest::newRow("no greeting") << QString("silent") << QString("no socketcand greeting") << 300;
    QTest::newRow("greets, never opens") << QString("mute") << QString("did not answer") << 300;
    QTest::newRow("not socketcand")
        << QString("http") << QString("not a socketcand server") << WaitMs;
    QTest::newRow("no such interface") << QString("ours") << QString("cannot open vcan9") << WaitMs;
}

void TstSocketcandSource::serversThatNeverGetThere()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QFETCH(int, answerMs);
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    QTcpSocket *accepted = nullptr;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        accepted = silent.nextPendingConnection();
        if (kind == QLatin1String("mute"))
            accepted->write("< hi >");
        if (kind == QLatin1String("http"))
            accepted->write("HTTP/1.1 400 Bad Request\r\n\r\n<html>x</html>");
    });
    SocketcandServer ours;
    QVERIFY(ours.listen(QHostAddress::LocalHost, 0));
    quint16 port = kind == QLatin1String("ours") ? ours.serverPort() : silent.serverPort();
    if (kind == QLatin1String("refused")) {
        port = silent.serverPort();
        silent.close();
    }
    SocketcandSource source(QStringLiteral("127.0.0.1"), port,
                            kind == QLatin1String("ours") ? QStringLiteral("vcan9")
                                                          : QStringLiteral("can0"));
    source.setAnswerTimeout(answerMs);
    Heard heard(&source);
    QVERIFY(source.open());
    QTRY_COMPARE_WITH_TIMEOUT(heard.failures.size(), 1, WaitMs);
    QVERIFY2(heard.failures.first().contains(reason, Qt::CaseInsensitive),
             qPrintable(heard.failures.first()));
    QCOMPARE(source.errorString(), heard.failures.first());
    QCOMPARE(heard.opened, 0);
    QVERIFY(!source.isOpen());
    QTest::qWait(400); // past another short timeout: said once
    QCOMPARE(heard.failures.size(), 1);
}

// A frame sent reaches the server's sendPacket; a server that does not allow it answers with an
// error, which turns sending off, and the frames go on.
void TstSocketcandSource::sendRoundTripAndRefusal()
{
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    server.setAllowSend(true);
    QSignalSpy asked(&server, &SocketcandServer::sendPacket);
    SocketcandSource source(QStringLiteral("127.0.0.1"), server.serverPort(),
                            QStringLiteral("can0"));
    Heard heard(&source);
    QVERIFY(!source.canSend());
    QVERIFY(source.send(hexFrame(0x1, "")) < 0);
    QVERIFY(openAndWait(source, heard));
    QVERIFY(source.send(hexFrame(0x123, "DEADBEEF")) > 0);
    QVERIFY(source.send(dataFrame(0x18DAF110, QByteArray::fromHex("0102"), CanPacket::Extended)) >
            0);
    QVERIFY(source.send(hexFrame(0x7DF, "", true)) < 0); // no remote frames in the raw mode
    const CanPacket fd = fdFrame(0x7E0, countingBytes(48), CanPacket::BitRateSwitch);
    QVERIFY(source.send(fd) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(asked.count(), 3, WaitMs);
    const CanPacket third = asked.takeLast().at(0).value<CanPacket>();
    CanPacket fdSent = fd;
    fdSent.direct = CanPacket::Transmitted;
    QCOMPARE(frameText(third), frameText(fdSent));
    QCOMPARE(third.frame, uint8_t(CanPacket::Fd | CanPacket::BitRateSwitch));
    QCOMPARE(third.direct, int32_t(CanPacket::Transmitted));
    CanPacket expected = hexFrame(0x123, "DEADBEEF");
    expected.direct = CanPacket::Transmitted;
    QCOMPARE(frameText(asked.at(0).at(0).value<CanPacket>()), frameText(expected));
    const CanPacket second = asked.at(1).at(0).value<CanPacket>();
    QCOMPARE(second.id, 0x18DAF110u);
    QVERIFY(second.isExtended());
    QCOMPARE(second.length(), 2);

    server.setAllowSend(false);
    QVERIFY(source.send(hexFrame(0x124, "01")) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(!source.canSend(), WaitMs);
    QCOMPARE(heard.replies, QByteArrayList{"< error sending not allowed >"});
    QVERIFY(source.errorString().contains(QLatin1String("sending not allowed")));
    QVERIFY(source.send(hexFrame(0x125, "01")) < 0);
    QCOMPARE(asked.count(), 2);
    server.publish({42, numberedFrame(7)});
    QTRY_COMPARE_WITH_TIMEOUT(heard.frames.size(), 1, WaitMs);
    QVERIFY(heard.failures.isEmpty());
}

// quorvex-record shares the virtual module: two sources, one per line, get every frame it
// recorded, at the recorded time; a frame sent through one reaches the module.
void TstSocketcandSource::againstQuorvexRecord()
{
    constexpr int Frames = 3000;
    QTemporaryDir home;
    const QString link = home.filePath(QStringLiteral("module"));
    const QString dir = home.filePath(QStringLiteral("rec"));
    const QString hostLog = home.filePath(QStringLiteral("host.log"));
    QVERIFY(QDir().mkpath(dir));
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();

    QProcess recorder;
    QVERIFY(startRecorder(recorder, home,
                          {"--port", link, "--dir", dir, "--quiet", "--allow-send", "--socketcand",
                           QStringLiteral("127.0.0.1:%1").arg(port)}));

    std::vector<std::unique_ptr<SocketcandSource>> sources;
    std::vector<std::unique_ptr<Heard>> heard;
    for (const char *line : {"can0", "can1"}) {
        sources.push_back(std::make_unique<SocketcandSource>(QStringLiteral("127.0.0.1"), port,
                                                             QString::fromLatin1(line)));
        heard.push_back(std::make_unique<Heard>(sources.back().get()));
        QVERIFY(openOnceUp(*sources.back(), *heard.back()));
    }
    QTest::qWait(SocketcandServer::QuietAfterRawMs * 2);

    SimProcess module;
    QVERIFY(module.start({"--rate", "2000", "--count", QString::number(Frames), "--link", link,
                          "--host-log", hostLog}));
    QTRY_COMPARE_WITH_TIMEOUT(heard[0]->frames.size() + heard[1]->frames.size(), Frames, WaitMs);
    const CanPacket sent = hexFrame(0x3A5, "0011223344");
    QVERIFY(sources[0]->send(sent) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(readFile(hostLog).trimmed(),
                              LineRecord::hostRecord(sent).toHex().toUpper(), WaitMs);

    recorder.terminate();
    QVERIFY(recorder.waitForFinished(WaitMs));
    QByteArrayList recorded;
    for (const QString &name : QDir(dir).entryList({QStringLiteral("quorvex-*.log")}))
        recorded += readFile(QDir(dir).filePath(name)).trimmed().split('\n');
    int lineFrames = 0;
    for (int i = 0; i < 2; ++i) {
        const QByteArray iface = i == 0 ? " can0 " : " can1 ";
        QByteArrayList want, got;
        for (QByteArray line : recorded) {
            if (!line.contains(iface))
                continue;
            const int remote = line.indexOf("#R"); // the raw mode carries no remote flag
            want.append(remote < 0 ? line : line.left(remote + 1));
        }
        for (const TimedPacket &frame : heard[size_t(i)]->frames)
            got.append(candumpLine(frame));
        QVERIFY(!want.isEmpty());
        QCOMPARE(got, want);
        QVERIFY(heard[size_t(i)]->failures.isEmpty());
        lineFrames += want.size();
    }
    QCOMPARE(lineFrames, Frames);
}

// An FD adapter's bus shared by quorvex-record (a virtualcan bus here, FD on): a client that asks
// for FD frames gets every frame of the bus, classic and FD, exactly as it was sent.
void TstSocketcandSource::fdAgainstQuorvexRecord()
{
    QTemporaryDir home;
    VirtualBusProcess bus(QStringLiteral(VIRTUALCAN_BUS_PATH));
    QVERIFY(bus.start());
    const quint16 port = VirtualBusProcess::freePort();
    QProcess recorder;
    QVERIFY(
        startRecorder(recorder, home,
                      {"--source", QStringLiteral("virtualcan:") + bus.url(QStringLiteral("can0")),
                       "--data-bitrate", "2000000", "--dir", home.path(), "--quiet", "--socketcand",
                       QStringLiteral("127.0.0.1:%1").arg(port)}));
    SocketcandSource source(QStringLiteral("127.0.0.1"), port, QStringLiteral("can0"));
    Heard heard(&source);
    QVERIFY(openOnceUp(source, heard));
    QVERIFY(source.fdGranted());
    QTest::qWait(SocketcandServer::QuietAfterRawMs * 2);

    QString error;
    std::unique_ptr<QCanBusDevice> node(QCanBus::instance()->createDevice(
        QStringLiteral("virtualcan"), bus.url(QStringLiteral("can0")), &error));
    QVERIFY2(node, qPrintable(error));
    node->setConfigurationParameter(QCanBusDevice::CanFdKey, true);
    QVERIFY(node->connectDevice());
    QTRY_COMPARE_WITH_TIMEOUT(node->state(), QCanBusDevice::ConnectedState, WaitMs);
    QVector<CanPacket> sent;
    for (int n = 0; n < 200; ++n) {
        const bool fd = n % 2 == 0;
        const QByteArray data = countingBytes(fd ? CanPacket::fdLength(n % 16) : n % 9, n);
        QCanBusFrame frame(uint32_t(0x100 + n), data);
        frame.setExtendedFrameFormat(n % 3 == 0);
        frame.setFlexibleDataRateFormat(fd);
        frame.setBitrateSwitch(fd && n % 4 == 0);
        QVERIFY(node->writeFrame(frame));
        CanPacket packet = fd ? fdFrame(frame.frameId(), data) : hexFrame(frame.frameId(), "");
        if (!fd) {
            packet.rtl = uint8_t(data.size());
            std::memcpy(packet.data, data.constData(), size_t(data.size()));
        }
        packet.frame |= uint8_t(CanPacket::Can0ToCan1 | (n % 3 == 0 ? CanPacket::Extended : 0) |
                                (fd && n % 4 == 0 ? CanPacket::BitRateSwitch : 0));
        sent.append(packet);
    }
    QTRY_COMPARE_WITH_TIMEOUT(heard.frames.size(), sent.size(), WaitMs);
    for (int i = 0; i < sent.size(); ++i) {
        const CanPacket &got = heard.frames.at(i).packet;
        QVERIFY2(got.id == sent[i].id && got.frame == sent[i].frame && got.rtl == sent[i].rtl &&
                     std::memcmp(got.data, sent[i].data, sizeof got.data) == 0,
                 qPrintable(QStringLiteral("frame %1: %2 for %3")
                                .arg(i)
                                .arg(frameText(got), frameText(sent[i]))));
    }
    QCOMPARE(source.lostFrames(), 0u);
    node->disconnectDevice();
    recorder.terminate();
    QVERIFY(recorder.waitForFinished(WaitMs));
}

QTEST_GUILESS_MAIN(TstSocketcandSource)
#include "tst_socketcandsource.moc"
