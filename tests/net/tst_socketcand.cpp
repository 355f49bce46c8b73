// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cantester.h"
#include "link/linerecord.h"
#include "link/timedpacket.h"
#include "net/socketcandcommand.h"
#include "net/socketcandserver.h"
#include "support/fdpackets.h"
#include "support/simprocess.h"
#include "support/testfiles.h"
#include "support/testpackets.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <arpa/inet.h>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int WaitMs = 120000; // a hang guard only: the machine may be busy

// A client of our own: the text it has read, cut into "< ... >" messages.
class TestClient
{
public:
    explicit TestClient(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { take(); });
    }
    void command(const QByteArray &text) { socket.write(text), socket.flush(); }
    // Waits for the next message and returns it ("" after the hang guard).
    QByteArray next()
    {
        QElapsedTimer timer;
        timer.start();
        while (messages.isEmpty() && timer.elapsed() < WaitMs &&
               socket.state() != QAbstractSocket::UnconnectedState)
            QTest::qWait(5);
        return messages.isEmpty() ? QByteArray() : messages.takeFirst();
    }
    void take()
    {
        buffer += socket.readAll();
        int start = 0;
        for (int end; (end = buffer.indexOf('>', start)) >= 0; start = end + 1)
            messages.append(buffer.mid(start, end + 1 - start).trimmed());
        buffer.remove(0, start);
    }

    QTcpSocket socket;
    QByteArrayList messages;
    QByteArray buffer;
};

QByteArray frameOf(const TimedPacket &frame)
{
    QByteArray text;
    if (frame.packet.isFd())
        SocketcandServer::appendFdFrame(text, frame);
    else
        SocketcandServer::appendFrame(text, frame);
    return text.trimmed();
}

// "ID#DATA" of a classic frame, "ID##FLAGSDATA" of an FD one.
QByteArray idDataText(const CanPacket &p)
{
    const QByteArray id = p.isExtended() ? QByteArray::number(p.id, 16).rightJustified(8, '0')
                                         : QByteArray::number(p.id, 16).rightJustified(3, '0');
    const QByteArray flags = QByteArray::number(((p.frame & CanPacket::BitRateSwitch) ? 1 : 0) |
                                                ((p.frame & CanPacket::ErrorState) ? 2 : 0));
    return id.toUpper() + (p.isFd() ? "##" + flags : QByteArray("#")) +
           QByteArray(reinterpret_cast<const char *>(p.data), p.dataLength()).toHex().toUpper();
}

// A blocking client on a plain socket: it needs no event loop, so the test's thread can stand for
// a capture that never returns to its own. Receives give up after the hang guard.
int blockingClient(quint16 port, int receiveBuffer = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval guard{WaitMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A raw socket with a tiny receive buffer that asks for frames and then never reads.
int stalledClient(quint16 port)
{
    const int fd = blockingClient(port, 4096);
    const char ask[] = "< open can0 >< rawmode >";
    if (fd < 0 || ::write(fd, ask, sizeof ask - 1) != sizeof ask - 1)
        return -1;
    return fd;
}

bool sendText(int fd, const QByteArray &text)
{
    return ::send(fd, text.constData(), size_t(text.size()), MSG_NOSIGNAL) == text.size();
}

// The next "< ... >" on a blocking socket, white space around it dropped; "" at the end.
QByteArray nextMessage(int fd)
{
    QByteArray message;
    char c = 0;
    while (::recv(fd, &c, 1, 0) == 1) {
        if (message.isEmpty() && c != '<')
            continue;
        message += c;
        if (c == '>')
            return message;
    }
    return QByteArray();
}

// python-can's client as a child process (see socketcand_client.py); its last line is
// "done N bad B incomplete I other O".
class PythonClient
{
public:
    explicit PythonClient(const QStringList &arguments)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral("/usr/bin/python3"),
                      QStringList{QStringLiteral(SOCKETCAND_CLIENT_PY)} + arguments);
    }
    ~PythonClient()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    // The next line it printed ("" after the hang guard).
    QByteArray nextLine()
    {
        QElapsedTimer timer;
        timer.start();
        while (!process.canReadLine() && timer.elapsed() < WaitMs &&
               process.state() != QProcess::NotRunning)
            QTest::qWait(2);
        return process.canReadLine() ? process.readLine().trimmed() : QByteArray();
    }
    // Its output once it has ended (waited for up to the hang guard): the frame lines, and the
    // figures of its last line.
    QByteArrayList finish(QMap<QByteArray, int> &figures)
    {
        QElapsedTimer timer;
        timer.start();
        while (process.state() != QProcess::NotRunning && timer.elapsed() < 2 * WaitMs)
            QTest::qWait(20);
        QByteArrayList lines = process.readAllStandardOutput().trimmed().split('\n');
        const QByteArrayList words = lines.takeLast().split(' ');
        for (int i = 0; i + 1 < words.size(); i += 2)
            figures[words[i]] = words[i + 1].toInt();
        return lines;
    }

    QProcess process;
};

// Lines of the server's log (a spy on setStatus) that contain `text`.
int linesSaying(const QSignalSpy &said, const QString &text)
{
    return int(std::count_if(said.cbegin(), said.cend(), [&](const QList<QVariant> &line) {
        return line.at(0).toString().contains(text);
    }));
}

QByteArray pythonLine(const char *iface, const CanPacket &p)
{
    return QByteArray(iface) + ' ' + QByteArray::number(p.id, 16).toUpper() + ' ' +
           QByteArray(reinterpret_cast<const char *>(p.data), p.isRemote() ? 0 : p.length())
               .toHex()
               .toUpper();
}

} // namespace

class TstSocketcand : public QObject
{
    Q_OBJECT

private slots:
    void parserCommands_data();
    void parserCommands();
    void parserBreaksOnGarbage_data();
    void parserBreaksOnGarbage();
    void frameText();
    void conversation();
    void sendOnlyWhenAllowed();
    void fdFramesOnlyToClientsThatAsked();
    void clientLimit();
    void fourReadersAtBusLimitWhileOneStalls();
    void servedWhileTheCaptureThreadIsBusy();
    void commandFloodIsDroppedAtItsBacklog();
    void idleClientsAreClosedAndHalfClosedOnesServed();
    void pythonCanReadsAndSends();
    void pythonCanKeepingUpWarnsOfNothing();
};

void TstSocketcand::parserCommands_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("detail"); // interface, frame as ID#DATA, or the error

    const int open = int(SocketcandCommand::Kind::Open);
    const int send = int(SocketcandCommand::Kind::Send);
    const int bad = int(SocketcandCommand::Kind::Malformed);
    QTest::newRow("open") << QByteArray("< open can1 >") << open << QByteArray("can1");
    QTest::newRow("tight and spaced")
        << QByteArray(" \r\n<open  can0>") << open << QByteArray("can0");
    QTest::newRow("rawmode") << QByteArray("< rawmode >") << int(SocketcandCommand::Kind::RawMode)
                             << QByteArray();
    QTest::newRow("echo") << QByteArray("< echo >") << int(SocketcandCommand::Kind::Echo)
                          << QByteArray();
    QTest::newRow("send std") << QByteArray("< send 123 3 11 2 aB >") << send
                              << QByteArray("123#1102AB");
    QTest::newRow("send empty") << QByteArray("< send 7FF 0 >") << send << QByteArray("7FF#");
    QTest::newRow("send ext by width")
        << QByteArray("< send 00000123 1 FF >") << send << QByteArray("00000123#FF");
    QTest::newRow("send ext by value")
        << QByteArray("< send 800 0 >") << send << QByteArray("00000800#");
    QTest::newRow("id too big") << QByteArray("< send 20000000 0 >") << bad
                                << QByteArray("bad identifier");
    QTest::newRow("length 9") << QByteArray("< send 1 9 0 0 0 0 0 0 0 0 0 >") << bad
                              << QByteArray("bad length");
    QTest::newRow("short data") << QByteArray("< send 1 2 00 >") << bad
                                << QByteArray("data does not match the length");
    QTest::newRow("bad byte") << QByteArray("< send 1 1 100 >") << bad
                              << QByteArray("bad data byte");
    QTest::newRow("no id") << QByteArray("< send >") << bad
                           << QByteArray("send wants an identifier and a length");
    QTest::newRow("unknown") << QByteArray("< bcmmode >") << bad << QByteArray("unknown command");
    QTest::newRow("empty") << QByteArray("<>") << bad << QByteArray("unknown command");
    QTest::newRow("open twice named")
        << QByteArray("< open a b >") << bad << QByteArray("unknown command");
    const int fdSend = int(SocketcandCommand::Kind::FdSend);
    QTest::newRow("fdframes") << QByteArray("< fdframes >")
                              << int(SocketcandCommand::Kind::FdFrames) << QByteArray();
    QTest::newRow("fdsend, bit rate switch")
        << QByteArray("< fdsend 123 1 11 22 33 >") << fdSend << QByteArray("123##1112233");
    QTest::newRow("fdsend, padded to 12")
        << QByteArray("< fdsend 1ABCDEF 3 01 02 03 04 05 06 07 08 09 0A >") << fdSend
        << QByteArray("01ABCDEF##30102030405060708090A0000");
    QByteArray full = "< fdsend 7FF 0";
    for (int i = 0; i < 64; ++i)
        full += ' ' + QByteArray::number(i + 16, 16);
    QTest::newRow("fdsend, 64 bytes")
        << full + " >" << fdSend << "7FF##0" + countingBytes(64, 16).toHex().toUpper();
    QTest::newRow("fdsend, no data")
        << QByteArray("< fdsend 123 0 >") << fdSend << QByteArray("123##0");
    QTest::newRow("fdsend, 65 bytes")
        << full + " 00 >" << bad << QByteArray("more than 64 data bytes");
    QTest::newRow("fdsend, bad flags")
        << QByteArray("< fdsend 123 10 >") << bad << QByteArray("bad flags");
    QTest::newRow("fdsend, no flags") << QByteArray("< fdsend 123 >") << bad
                                      << QByteArray("fdsend wants an identifier and flags");
}

void TstSocketcand::parserCommands()
{
    QFETCH(QByteArray, text);
    QFETCH(int, kind);
    QFETCH(QByteArray, detail);

    // Byte by byte: a command split anywhere comes out whole, once.
    SocketcandParser parser;
    SocketcandCommand command;
    int found = 0;
    for (char c : text) {
        parser.append(&c, 1);
        while (parser.next(command))
            ++found;
    }
    QCOMPARE(found, 1);
    QVERIFY(!parser.isBroken());
    QCOMPARE(int(command.kind), kind);
    if (command.kind == SocketcandCommand::Kind::Open) {
        QCOMPARE(command.interfaceName, detail);
    } else if (command.kind == SocketcandCommand::Kind::Send ||
               command.kind == SocketcandCommand::Kind::FdSend) {
        QCOMPARE(idDataText(command.packet), detail);
        QCOMPARE(command.packet.direct, int32_t(CanPacket::Transmitted));
    } else if (command.kind == SocketcandCommand::Kind::Malformed) {
        QCOMPARE(command.error, detail);
    }
}

void TstSocketcand::parserBreaksOnGarbage_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("before"); // whole commands before the break
    QTest::newRow("text outside") << QByteArray("< echo > hello") << 1;
    QTest::newRow("nested") << QByteArray("< echo < echo >") << 0;
    QTest::newRow("endless") << QByteArray("< ") + QByteArray(SocketcandParser::MaxCommandSize, 'x')
                             << 0;
    QTest::newRow("stray close") << QByteArray("< echo >>") << 1;
}

void TstSocketcand::parserBreaksOnGarbage()
{
    QFETCH(QByteArray, text);
    QFETCH(int, before);
    SocketcandParser parser;
    parser.append(text);
    SocketcandCommand command;
    int found = 0;
    while (parser.next(command))
        ++found;
    QCOMPARE(found, before);
    QVERIFY(parser.isBroken());
    parser.append("< echo >"); // a broken stream stays broken
    QVERIFY(!parser.next(command));
}

void TstSocketcand::frameText()
{
    const TimedPacket standard{1700000000012345, hexFrame(0x12, "0102A0")};
    QCOMPARE(frameOf(standard).simplified(), QByteArray("< frame 012 1700000000.012345 0102A0 >"));
    // Each frame begins a line, none ends one, and all take the same room: python-can's client
    // drops the character after a message, warns of a read whose rest has no "<", and reads
    // 1,024 bytes at a time.
    QByteArray wire;
    SocketcandServer::appendFrame(wire, standard);
    QVERIFY(wire.startsWith("\n< frame 012 1700000000.012345 0102A0 "));
    QVERIFY(wire.endsWith(" >"));
    QCOMPARE(wire.size(), SocketcandServer::FrameBytes);
    QCOMPARE(1024 % SocketcandServer::FrameBytes, 0);
    TimedPacket extended{7, dataFrame(0x1ABCDEF, QByteArray(), CanPacket::Extended)};
    QCOMPARE(frameOf(extended).simplified(), QByteArray("< frame 01ABCDEF 0.000007 >"));
    extended.packet = hexFrame(0x1, "1122", true); // a remote request carries no data
    QCOMPARE(frameOf(extended).simplified(), QByteArray("< frame 001 0.000007 >"));
    extended.time = 4102444800000000; // the year 2100, the widest line
    extended.packet = dataFrame(0x1FFFFFFF, QByteArray(8, '\xFF'), CanPacket::Extended);
    wire.clear();
    SocketcandServer::appendFrame(wire, extended);
    QCOMPARE(wire.size(), SocketcandServer::FrameBytes);

    // FD frames: FLAGS as candump's, every data byte, no padding (only clients that asked get
    // them).
    const TimedPacket fd{1700000000012345,
                         fdFrame(0x123, countingBytes(12), CanPacket::BitRateSwitch)};
    QCOMPARE(frameOf(fd),
             QByteArray("< fdframe 123 1700000000.012345 1 000102030405060708090A0B >"));
    const TimedPacket wide{
        7, fdFrame(0x1ABCDEF, countingBytes(64),
                   CanPacket::Extended | CanPacket::BitRateSwitch | CanPacket::ErrorState)};
    QCOMPARE(frameOf(wide),
             "< fdframe 01ABCDEF 0.000007 3 " + countingBytes(64).toHex().toUpper() + " >");
    const TimedPacket empty{7, fdFrame(0x7FF, QByteArray())};
    wire.clear();
    SocketcandServer::appendFdFrame(wire, empty);
    QCOMPARE(wire, QByteArray("\n< fdframe 7FF 0.000007 0  >"));

    QCOMPARE(SocketcandServer::interfaceOf(testFrame(1, CanPacket::Can0ToCan1)), 0);
    QCOMPARE(SocketcandServer::interfaceOf(testFrame(1, CanPacket::Can1ToCan0)), 1);
    QCOMPARE(SocketcandServer::interfaceOf(testFrame(1, 0)), 2);
    CanPacket sent = testFrame(1, CanPacket::Can0ToCan1);
    sent.direct = CanPacket::Transmitted;
    QCOMPARE(SocketcandServer::interfaceOf(sent), 3);
}

void TstSocketcand::conversation()
{
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    TestClient client(server.serverPort());
    QCOMPARE(client.next(), QByteArray("< hi >"));
    client.command("< rawmode >");
    QCOMPARE(client.next(), QByteArray("< error no interface open >"));
    client.command("< open vcan9 >");
    QCOMPARE(client.next(), QByteArray("< error no such interface >"));
    client.command("< open can1 >");
    QCOMPARE(client.next(), QByteArray("< ok >"));
    client.command("< open can0 >");
    QCOMPARE(client.next(), QByteArray("< error interface already open >"));
    client.command("< rawmode >");
    QCOMPARE(client.next(), QByteArray("< ok >"));

    // Frames right after the raw mode's "< ok >" are held back, then come in order; only those
    // of the opened interface.
    TimedPacket mine{1000001, hexFrame(0x100, "01")};
    TimedPacket mine2 = mine, other = mine;
    mine.packet.frame = mine2.packet.frame = CanPacket::Can1ToCan0;
    mine2.packet.data[0] = 2;
    other.packet.frame = CanPacket::Can0ToCan1;
    for (const TimedPacket &frame : {mine, other, mine2})
        server.publish(frame);
    QTest::qWait(SocketcandServer::QuietAfterRawMs / 2);
    QVERIFY(client.messages.isEmpty());
    QCOMPARE(client.next(), frameOf(mine));
    QCOMPARE(client.next(), frameOf(mine2));
    client.command("< echo >");
    QCOMPARE(client.next(), QByteArray("< echo >"));
    client.command("< frobnicate >");
    QCOMPARE(client.next(), QByteArray("< error unknown command >"));

    // Garbage breaks the connection; the server goes on.
    client.command("garbage");
    QCOMPARE(client.next(), QByteArray("< error bad stream >"));
    QTRY_COMPARE(client.socket.state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(server.clientCount(), 0);
    TestClient again(server.serverPort());
    QCOMPARE(again.next(), QByteArray("< hi >"));
}

// Three clients of can0: one classic, one that asks for FD frames before the raw mode and one
// after it. The classic one gets the classic frames exactly as before, and the FD frames it misses
// are counted and said once; the others get every frame of can0 in order, FD frames whole.
void TstSocketcand::fdFramesOnlyToClientsThatAsked()
{
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QSignalSpy said(&server, &SocketcandServer::setStatus);
    TestClient classic(server.serverPort()), before(server.serverPort()),
        after(server.serverPort());
    for (TestClient *client : {&classic, &before, &after}) {
        QCOMPARE(client->next(), QByteArray("< hi >"));
        client->command("< open can0 >");
        QCOMPARE(client->next(), QByteArray("< ok >"));
    }
    before.command("< fdframes >");
    QCOMPARE(before.next(), QByteArray("< ok >"));
    for (TestClient *client : {&classic, &before, &after}) {
        client->command("< rawmode >");
        QCOMPARE(client->next(), QByteArray("< ok >"));
    }
    after.command("< fdframes >");
    QCOMPARE(after.next(), QByteArray("< ok >"));

    const uint8_t can0 = CanPacket::Can0ToCan1;
    const QVector<TimedPacket> frames = {
        {1000001, dataFrame(0x100, QByteArray::fromHex("01"), can0)},
        {1000002, fdFrame(0x101, countingBytes(64), can0 | CanPacket::BitRateSwitch)},
        {1000003, dataFrame(0x102, QByteArray::fromHex("0203"), can0)},
        {1000004, fdFrame(0x18DAF110, countingBytes(12, 0xA0),
                          can0 | CanPacket::Extended | CanPacket::ErrorState)},
        {1000005, fdFrame(0x103, countingBytes(20), CanPacket::Can1ToCan0)}, // can1
        {1000006, fdFrame(0x104, QByteArray(), can0)},
        {1000007, dataFrame(0x105, QByteArray(), can0)},
    };
    for (const TimedPacket &frame : frames)
        server.publish(frame);
    QByteArrayList classicWant, fdWant;
    for (const TimedPacket &frame : frames) {
        if (!(frame.packet.frame & can0))
            continue;
        fdWant << frameOf(frame);
        if (!frame.packet.isFd())
            classicWant << frameOf(frame);
    }
    QCOMPARE(fdWant[1], "< fdframe 101 1.000002 1 " + countingBytes(64).toHex().toUpper() + " >");
    QCOMPARE(fdWant[3], QByteArray("< fdframe 18DAF110 1.000004 2 A0A1A2A3A4A5A6A7A8A9AAAB >"));
    for (TestClient *client : {&before, &after}) {
        QByteArrayList got;
        while (got.size() < fdWant.size())
            got << client->next();
        QCOMPARE(got, fdWant);
    }
    QByteArrayList got;
    while (got.size() < classicWant.size())
        got << classic.next();
    QCOMPARE(got, classicWant);
    QTRY_COMPARE(server.withheldFdFrames(), 3u);
    QCOMPARE(linesSaying(said, "CAN FD frames not sent"), 1);

    // More of them: counted, not said again; the classic frame after them still comes.
    server.publish({1000008, fdFrame(0x106, countingBytes(8), can0)});
    server.publish({1000009, dataFrame(0x107, QByteArray::fromHex("07"), can0)});
    QCOMPARE(classic.next(), frameOf({1000009, dataFrame(0x107, QByteArray::fromHex("07"), can0)}));
    QCOMPARE(server.withheldFdFrames(), 4u);
    QCOMPARE(linesSaying(said, "CAN FD frames not sent"), 1);
    QVERIFY(classic.messages.isEmpty());
}

void TstSocketcand::sendOnlyWhenAllowed()
{
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QSignalSpy sent(&server, &SocketcandServer::sendPacket);
    TestClient client(server.serverPort());
    QCOMPARE(client.next(), QByteArray("< hi >"));
    client.command("< send 123 1 AA >");
    QCOMPARE(client.next(), QByteArray("< error no interface open >"));
    client.command("< open can0 >");
    QCOMPARE(client.next(), QByteArray("< ok >"));
    client.command("< send 123 1 AA >");
    QCOMPARE(client.next(), QByteArray("< error sending not allowed >"));
    QCOMPARE(sent.count(), 0);

    client.command("< fdsend 123 1 AA >");
    QCOMPARE(client.next(), QByteArray("< error sending not allowed >"));
    QCOMPARE(sent.count(), 0);

    server.setAllowSend(true);
    client.command("< send 1ABCDEF 2 AA BB >< echo >");
    QCOMPARE(client.next(), QByteArray("< echo >")); // a send has no answer
    QCOMPARE(sent.count(), 1);
    client.command("< fdsend 18DAF110 1 02 10 03 CC CC CC CC CC CC CC >< echo >");
    QCOMPARE(client.next(), QByteArray("< echo >"));
    QCOMPARE(sent.count(), 2);
    QCOMPARE(idDataText(sent.takeLast().at(0).value<CanPacket>()),
             QByteArray("18DAF110##1021003CCCCCCCCCCCCCC0000"));
    const CanPacket packet = sent.at(0).at(0).value<CanPacket>();
    QCOMPARE(packet.id, 0x1ABCDEFu);
    QVERIFY(packet.isExtended());
    QCOMPARE(packet.length(), 2);
    QCOMPARE(packet.data[1], uint8_t(0xBB));
}

void TstSocketcand::clientLimit()
{
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < SocketcandServer::DefaultMaxClients; ++i) {
        clients.push_back(std::make_unique<TestClient>(server.serverPort()));
        QCOMPARE(clients.back()->next(), QByteArray("< hi >"));
    }
    TestClient extra(server.serverPort());
    QCOMPARE(extra.next(), QByteArray("< error too many clients >"));
    QTRY_COMPARE(extra.socket.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(server.refusedClients(), 1u);
    QCOMPARE(server.clientCount(), SocketcandServer::DefaultMaxClients);

    clients.back()->socket.disconnectFromHost(); // a place frees up
    QTRY_COMPARE(server.clientCount(), SocketcandServer::DefaultMaxClients - 1);
    TestClient late(server.serverPort());
    QCOMPARE(late.next(), QByteArray("< hi >"));
}

void TstSocketcand::fourReadersAtBusLimitWhileOneStalls()
{
    constexpr int Readers = 4;
    constexpr qint64 Frames = 150000;  // well past what a stalled reader may owe
    constexpr double BusLimit = 42554; // frames/s of two saturated lines
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    std::vector<std::unique_ptr<TestClient>> readers;
    for (int i = 0; i < Readers; ++i) {
        readers.push_back(std::make_unique<TestClient>(server.serverPort()));
        QCOMPARE(readers.back()->next(), QByteArray("< hi >"));
        readers.back()->command("< open can0 >");
        QCOMPARE(readers.back()->next(), QByteArray("< ok >"));
        readers.back()->command("< rawmode >");
        QCOMPARE(readers.back()->next(), QByteArray("< ok >"));
    }
    const int stalled = stalledClient(server.serverPort());
    QVERIFY(stalled >= 0);
    QTRY_COMPARE(server.clientCount(), Readers + 1);
    QTest::qWait(SocketcandServer::QuietAfterRawMs * 2);

    // Frames paced at the bus limit; each carries its number.
    qint64 published = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer pacer;
    QObject::connect(&pacer, &QTimer::timeout, [&] {
        const qint64 due = std::min(Frames, qint64(clock.nsecsElapsed() * BusLimit / 1e9));
        for (; published < due; ++published)
            server.publish({1000000 + published, numberedFrame(uint32_t(published))});
    });
    pacer.start(2);
    const auto done = [&] {
        for (const auto &reader : readers) {
            if (reader->messages.size() < Frames)
                return false;
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(done(), WaitMs);
    pacer.stop();
    for (const auto &reader : readers) {
        QCOMPARE(reader->messages.size(), int(Frames));
        for (qint64 n = 0; n < Frames; n += 997)
            QCOMPARE(reader->messages.at(int(n)),
                     frameOf({1000000 + n, numberedFrame(uint32_t(n))}));
        QCOMPARE(reader->messages.last(),
                 frameOf({1000000 + Frames - 1, numberedFrame(uint32_t(Frames - 1))}));
    }
    QCOMPARE(server.droppedClients(), 1u);
    QTRY_COMPARE(server.clientCount(), Readers);
    ::close(stalled);
}

// The server lives on a thread of its own: a client is greeted, answered and given frames while
// the thread that publishes them (the capture's) never returns to its event loop.
void TstSocketcand::servedWhileTheCaptureThreadIsBusy()
{
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const int fd = blockingClient(server.serverPort());
    QVERIFY(fd >= 0);
    QCOMPARE(nextMessage(fd), QByteArray("< hi >"));
    QVERIFY(sendText(fd, "< open can0 >< echo >< rawmode >"));
    QCOMPARE(nextMessage(fd), QByteArray("< ok >"));
    QCOMPARE(nextMessage(fd), QByteArray("< echo >"));
    QCOMPARE(nextMessage(fd), QByteArray("< ok >"));
    for (uint32_t n = 0; n < 100; ++n)
        server.publish({1000000 + n, numberedFrame(n)});
    for (uint32_t n = 0; n < 100; ++n)
        QCOMPARE(nextMessage(fd), frameOf({1000000 + n, numberedFrame(n)}));
    ::close(fd);
}

// A client that sends commands and never reads the answers: the answers count against its
// backlog like frames do, so it is dropped (and said why) while another client keeps reading.
void TstSocketcand::commandFloodIsDroppedAtItsBacklog()
{
    SocketcandServer server;
    QSignalSpy said(&server, &SocketcandServer::setStatus);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    TestClient reader(server.serverPort());
    QCOMPARE(reader.next(), QByteArray("< hi >"));
    reader.command("< open can0 >< rawmode >");
    QCOMPARE(reader.next(), QByteArray("< ok >"));
    QCOMPARE(reader.next(), QByteArray("< ok >"));
    const int flooder = stalledClient(server.serverPort());
    QVERIFY(flooder >= 0);
    ::fcntl(flooder, F_SETFL, ::fcntl(flooder, F_GETFL) | O_NONBLOCK);

    QByteArray commands;
    for (int i = 0; i < 8192; ++i)
        commands += "< echo >";
    qint64 sent = 0;
    uint32_t published = 0;
    QElapsedTimer guard;
    guard.start();
    while (server.droppedClients() == 0 && guard.elapsed() < WaitMs) {
        const ssize_t n = ::send(flooder, commands.constData(), size_t(commands.size()),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        sent += std::max<ssize_t>(n, 0);
        server.publish({1000000 + published, numberedFrame(published)});
        ++published;
        QTest::qWait(n > 0 ? 0 : 2);
    }
    QCOMPARE(server.droppedClients(), 1u);
    QVERIFY(sent > SocketcandServer::MaxQueueBytes); // its answers alone passed the bound
    QTRY_COMPARE(linesSaying(said, QStringLiteral("dropped: more than 4 MiB waiting for it")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(reader.messages.size(), int(published), WaitMs);
    QCOMPARE(reader.messages.last(),
             frameOf({1000000 + published - 1, numberedFrame(published - 1)}));
    QTRY_COMPARE(server.clientCount(), 1); // gone once the server ends its turn
    ::close(flooder);
}

// Clients that open no interface in time are closed, which frees their places; a client that
// half-closes after asking for frames still gets them.
void TstSocketcand::idleClientsAreClosedAndHalfClosedOnesServed()
{
    SocketcandServer server;
    QSignalSpy said(&server, &SocketcandServer::setStatus);
    server.setMaxClients(3);
    server.setOpenTimeoutMs(1500); // long past the steps before it
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const int halfClosed = blockingClient(server.serverPort());
    QVERIFY(halfClosed >= 0);
    QCOMPARE(nextMessage(halfClosed), QByteArray("< hi >"));
    QVERIFY(sendText(halfClosed, "< open can1 >< rawmode >"));
    QCOMPARE(::shutdown(halfClosed, SHUT_WR), 0);
    QCOMPARE(nextMessage(halfClosed), QByteArray("< ok >"));
    QCOMPARE(nextMessage(halfClosed), QByteArray("< ok >"));
    TestClient idle(server.serverPort()), idle2(server.serverPort());
    QCOMPARE(idle.next(), QByteArray("< hi >"));
    QCOMPARE(idle2.next(), QByteArray("< hi >"));
    TestClient extra(server.serverPort());
    QCOMPARE(extra.next(), QByteArray("< error too many clients >"));
    QCOMPARE(server.refusedClients(), 1u);

    QCOMPARE(idle.next(), QByteArray("< error no interface opened in time >"));
    QCOMPARE(idle2.next(), QByteArray("< error no interface opened in time >"));
    QTRY_COMPARE(idle.socket.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(server.timedOutClients(), 2u);
    QTRY_COMPARE(server.clientCount(), 1);
    TestClient late(server.serverPort());
    QCOMPARE(late.next(), QByteArray("< hi >"));
    QTRY_COMPARE(linesSaying(said, QStringLiteral("no interface opened within 1.5 s")), 2);

    TimedPacket frame{2000000, numberedFrame(7)};
    frame.packet.frame = CanPacket::Can1ToCan0;
    QTest::qWait(SocketcandServer::QuietAfterRawMs);
    server.publish(frame);
    QCOMPARE(nextMessage(halfClosed), frameOf(frame));
    QCOMPARE(server.clientCount(), 2);
    ::close(halfClosed);

    // A raw client that closes altogether leaves its place on a quiet bus too. (The one that
    // half-closed keeps its place until the next frame of its interface finds it gone: its end
    // of the line cannot tell.)
    late.command("< open can0 >< rawmode >");
    QCOMPARE(late.next(), QByteArray("< ok >"));
    QCOMPARE(late.next(), QByteArray("< ok >"));
    QCOMPARE(server.clientCount(), 2);
    late.socket.close();
    QTRY_COMPARE(server.clientCount(), 1);
}

// python-can's socketcand client, on the frames of the virtual module, reading in rounds far
// apart so that frames pile up between its reads: it receives every frame, the frames it sends
// reach the module, and it warns of nothing.
void TstSocketcand::pythonCanReadsAndSends()
{
    constexpr int Frames = 10000;
    QTemporaryDir dir;
    const QString hostLog = dir.filePath(QStringLiteral("host.log"));
    SocketcandServer server;
    server.setAllowSend(true);
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));

    const QStringList sends{QStringLiteral("123#DEADBEEF"), QStringLiteral("18DAF110#0102"),
                            QStringLiteral("7FF#")};
    PythonClient python(QStringList{QStringLiteral("rounds"), QStringLiteral("127.0.0.1"),
                                    QString::number(server.serverPort()), QString::number(Frames)} +
                        sends);
    QCOMPARE(python.nextLine(), QByteArray("ready"));

    // The module starts streaming once the port is open.
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--rate"), QStringLiteral("1000"), QStringLiteral("--count"),
                       QString::number(Frames), QStringLiteral("--host-log"), hostLog}));
    QSerialPort port(sim.portName());
    QVERIFY(port.open(QIODevice::ReadWrite));
    CanTester tester(&port);
    QByteArrayList seen;
    QObject::connect(&tester, &CanTester::readyPacket, [&] {
        const TimedPacket frame{tester.lastTime(), tester.lastPacket()};
        server.publish(frame);
        const CanPacket &p = frame.packet;
        seen.append(
            pythonLine(SocketcandServer::interfaceName(SocketcandServer::interfaceOf(p)), p));
    });
    QObject::connect(&server, &SocketcandServer::sendPacket,
                     [&](const CanPacket &packet) { tester.writePacket(packet); });
    QMap<QByteArray, int> figures;
    const QByteArrayList lines = python.finish(figures);
    QCOMPARE(python.process.exitCode(), 0);
    QCOMPARE(figures.value("done"), Frames);
    QCOMPARE(seen.size(), Frames);
    // Per interface in order; the two interfaces' lines interleave as python-can polled them.
    for (const char *iface : {"can0 ", "can1 "}) {
        QByteArrayList want, got;
        for (const QByteArray &line : seen)
            if (line.startsWith(iface))
                want.append(line);
        for (const QByteArray &line : lines)
            if (line.startsWith(iface))
                got.append(line);
        QVERIFY(!want.isEmpty());
        QCOMPARE(got, want);
    }
    // Frames of 64 bytes: each of its reads of 1,024 bytes ends where a frame ends.
    QCOMPARE(figures.value("bad", -1), 0);
    QCOMPARE(figures.value("incomplete", -1), 0);
    QCOMPARE(figures.value("other", -1), 0);

    QByteArrayList expected;
    for (const QString &text : sends) {
        const QStringList parts = text.split(QLatin1Char('#'));
        CanPacket packet =
            dataFrame(parts[0].toUInt(nullptr, 16), QByteArray::fromHex(parts[1].toLatin1()),
                      parts[0].size() > 3 ? CanPacket::Extended : 0);
        expected.append(LineRecord::hostRecord(packet).toHex().toUpper());
    }
    QTRY_COMPARE(readFile(hostLog).trimmed().split('\n'), expected);
}

// python-can's client that keeps up reads each write whole: it gets every frame and warns of
// nothing. Bursts of frames of all lengths, each sent once the last one is in.
void TstSocketcand::pythonCanKeepingUpWarnsOfNothing()
{
    constexpr int Burst = 10; // well inside one of its reads of 1,024 bytes
    constexpr int Frames = 2000;
    SocketcandServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    PythonClient python({QStringLiteral("lockstep"), QStringLiteral("127.0.0.1"),
                         QString::number(server.serverPort()), QString::number(Frames),
                         QString::number(Burst)});
    QCOMPARE(python.nextLine(), QByteArray("ready"));
    QByteArrayList want;
    for (int n = 0; n < Frames; ++n) {
        const QByteArray data = QByteArray::fromHex("0123456789ABCDEF").left(n % 9);
        const CanPacket packet = dataFrame(uint32_t(n * 13) & 0x7FF, data, CanPacket::Can0ToCan1);
        server.publish({1700000000000000 + n * 997, packet});
        want.append(pythonLine("can0", packet));
        // python-can asks for no FD frames: it must see none of these.
        if (n % 5 == 0)
            server.publish({1700000000000000 + n * 997 + 1,
                            fdFrame(0x7E8, countingBytes(64), CanPacket::Can0ToCan1)});
        if ((n + 1) % Burst == 0)
            QCOMPARE(python.nextLine(), QByteArray("got ") + QByteArray::number(n + 1));
    }
    QMap<QByteArray, int> figures;
    const QByteArrayList lines = python.finish(figures);
    QCOMPARE(python.process.exitCode(), 0);
    QCOMPARE(figures.value("done"), Frames);
    QCOMPARE(lines.mid(lines.size() - Frames), want);
    QCOMPARE(figures.value("bad", -1), 0);
    QCOMPARE(figures.value("other", -1), 0);
    QCOMPARE(server.withheldFdFrames(), quint64(Frames / 5));
}

QTEST_GUILESS_MAIN(TstSocketcand)
#include "tst_socketcand.moc"
