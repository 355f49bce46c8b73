// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socketcandsource.h"

#include "formats/frameroute.h"
#include "formats/linetokens.h"
#include "formats/textprint.h"
#include "formats/textscan.h"
#include "link/timedpacket.h"
#include "net/socketcandflags.h"

#include <QTcpSocket>
#include <QTimer>
#include <cstring>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

constexpr int StandardIdDigits = 3;
constexpr int ExtendedIdDigits = 8;
constexpr int TimeDigits = 6;       // the time is given in microseconds
constexpr int MaxSendCommand = 256; // "< fdsend ID F " and 64 bytes
// An identifier field wider than 29 bits is SocketCAN's can_id with its flags.
constexpr uint32_t ErrorFlag = 0x20000000;
constexpr uint32_t RemoteFlag = 0x40000000;
constexpr uint32_t ExtendedFlag = 0x80000000;

bool isWord(const LineTokens &tokens, int index, const char *word)
{
    const size_t length = std::strlen(word);
    return index < tokens.count() && size_t(tokens.size(index)) == length &&
           std::memcmp(tokens.begin(index), word, length) == 0;
}

// Data bytes as pairs of hex digits, in one field or spread over several, from field `first` to
// the end of the message (past the fields LineTokens keeps: 64 bytes may come one a field); their
// count, or -1.
int parseData(const LineTokens &tokens, int first, int most, CanPacket *packet)
{
    const char *p = first < tokens.count() ? tokens.begin(first) : tokens.lineEnd();
    const char *end = tokens.lineEnd();
    int length = 0;
    while (p != end) {
        if (TextScan::isSpace(*p)) {
            ++p;
            continue;
        }
        if (end - p < 2 || TextScan::isSpace(p[1]))
            return -1; // a field of an odd number of digits
        const int high = TextScan::hexValue(p[0]);
        const int low = TextScan::hexValue(p[1]);
        if (high < 0 || low < 0 || length == most)
            return -1;
        packet->data[length++] = uint8_t(high << 4 | low);
        p += 2;
    }
    return length;
}

// The data of "frame", or FLAGS and data of "fdframe".
bool parsePayload(const LineTokens &tokens, bool fd, CanPacket *packet)
{
    if (!fd) {
        const int length = parseData(tokens, 3, FrameRoute::MaxClassicLength, packet);
        packet->rtl = uint8_t(packet->rtl | std::max(length, 0));
        return length >= 0;
    }
    uint32_t flags = 0;
    if (tokens.count() < 4 || !TextScan::parseHex(tokens.begin(3), tokens.end(3), flags, 1))
        return false;
    const int length = parseData(tokens, 4, CanPacket::MaxFdBytes, packet);
    packet->setFdLength(length);
    packet->rtl &= 0x0F; // FD frames have no remote form
    packet->frame |= SocketcandFlags::frameBits(flags);
    return length >= 0;
}

// "frame ID SECONDS.MICROSECONDS [DATA]" or "fdframe ID SECONDS.MICROSECONDS FLAGS [DATA]"
SocketcandSource::Message frameOf(const LineTokens &tokens, bool fd, const CanPacket &blank,
                                  TimedPacket *frame)
{
    uint32_t id = 0;
    qint64 time = 0;
    if (tokens.count() < 3 ||
        !TextScan::parseHex(tokens.begin(1), tokens.end(1), id, ExtendedIdDigits) ||
        !TextScan::parseScaled(tokens.begin(2), tokens.end(2), TimeDigits, time))
        return SocketcandSource::Message::Malformed;
    if (id & ErrorFlag)
        return SocketcandSource::Message::ErrorFrame;
    frame->packet = blank;
    if (id & RemoteFlag)
        frame->packet.rtl = FrameRoute::RemoteFlag;
    if (!parsePayload(tokens, fd, &frame->packet))
        return SocketcandSource::Message::Malformed;
    const bool extended = (id & ExtendedFlag) || tokens.size(1) > StandardIdDigits ||
                          (id & FrameRoute::MaxExtendedId) > FrameRoute::MaxStandardId;
    frame->packet.id = id & FrameRoute::MaxExtendedId;
    if (extended)
        frame->packet.frame |= CanPacket::Extended;
    frame->time = time;
    return SocketcandSource::Message::Frame;
}

bool isPlainWord(const QString &text)
{
    for (const QChar c : text) {
        if (c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>'))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

SocketcandSource::SocketcandSource(const QString &host, quint16 port, const QString &interfaceName,
                                   QObject *parent)
    : CanSource(parent), host(host), port(port), interfaceName(interfaceName),
      blank(interfacePacket(interfaceName)), answerTimer(new QTimer(this))
{
    answerTimer->setSingleShot(true);
    connect(answerTimer, &QTimer::timeout, this, &SocketcandSource::onAnswerTimeout);
}

SocketcandSource::~SocketcandSource()
{
    dropSocket();
}

QString SocketcandSource::description() const
{
    return QStringLiteral("socketcand %1:%2 %3").arg(host).arg(port).arg(interfaceName);
}

quint64 SocketcandSource::lostFrames() const
{
    return malformed + cutter.overlongMessages();
}

bool SocketcandSource::open()
{
    close();
    if (host.isEmpty() || port == 0 || !isPlainWord(interfaceName)) {
        setErrorString(QStringLiteral("socketcand wants a host, a port and an interface name"));
        return false;
    }
    setErrorString(QString());
    cutter.clear();
    sentAny = sendRefused = fdAnswered = false;
    socket = new QTcpSocket(this);
    socket->setReadBufferSize(ReadBufferBytes);
    connect(socket, &QTcpSocket::connected, this, &SocketcandSource::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &SocketcandSource::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &SocketcandSource::onDisconnected);
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
    connect(socket, &QTcpSocket::errorOccurred, this, &SocketcandSource::onSocketError);
#else
    connect(socket, QOverload<QAbstractSocket::SocketError>::of(&QAbstractSocket::error), this,
            &SocketcandSource::onSocketError);
#endif
    stage = Stage::Connecting;
    answerTimer->start(answerTimeoutMs);
    opening = true;
    socket->connectToHost(host, port);
    opening = false;
    return stage != Stage::Closed;
}

void SocketcandSource::close()
{
    QTcpSocket *s = socket;
    if (s && s->state() == QAbstractSocket::ConnectedState) {
        s->disconnect(this);
        socket = nullptr;
        // What was sent still leaves; the socket goes once it has.
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        s->disconnectFromHost();
    }
    dropSocket();
}

void SocketcandSource::dropSocket()
{
    answerTimer->stop();
    stage = Stage::Closed;
    QTcpSocket *s = socket;
    socket = nullptr;
    if (!s)
        return;
    s->disconnect(this);
    s->abort();
    s->deleteLater();
}

int SocketcandSource::send(const CanPacket &packet)
{
    if (!canSend()) {
        setErrorString(sendRefused ? errorString() : QStringLiteral("not connected"));
        return -1;
    }
    QByteArray command;
    QString why;
    if (!sendText(packet, &command, &why)) {
        setErrorString(why);
        return -1;
    }
    if (socket->write(command) != command.size()) {
        setErrorString(socket->errorString());
        return -1;
    }
    sentAny = true;
    return int(command.size());
}

bool SocketcandSource::sendText(const CanPacket &packet, QByteArray *command, QString *why)
{
    if (!FrameRoute::validId(packet.id, packet.isExtended())) {
        *why = QStringLiteral("identifier out of range: 0x") + QString::number(packet.id, 16);
        return false;
    }
    if (packet.isRemote()) {
        *why = QStringLiteral("socketcand's raw mode sends no remote frames");
        return false;
    }
    const bool fd = packet.isFd();
    const int length = fd ? packet.dataLength() : FrameRoute::classicLength(packet);
    char text[MaxSendCommand];
    char *p = fd ? TextPrint::putText(text, "< fdsend ") : TextPrint::putText(text, "< send ");
    p = TextPrint::putHex(p, packet.id, packet.isExtended() ? ExtendedIdDigits : StandardIdDigits);
    *p++ = ' ';
    p = fd ? TextPrint::putHex(p, SocketcandFlags::of(packet), 1)
           : TextPrint::putUnsigned(p, quint64(length));
    for (int i = 0; i < length; ++i) {
        *p++ = ' ';
        p = TextPrint::putHexByte(p, packet.data[i]);
    }
    p = TextPrint::putText(p, " >");
    *command = QByteArray(text, int(p - text));
    return true;
}

SocketcandSource::Message SocketcandSource::parseFrame(const char *begin, const char *end,
                                                       const CanPacket &blank, TimedPacket *frame)
{
    const LineTokens tokens(begin, end);
    const bool fd = isWord(tokens, 0, "fdframe");
    if (!fd && !isWord(tokens, 0, "frame"))
        return Message::Malformed;
    return frameOf(tokens, fd, blank, frame);
}

void SocketcandSource::onConnected()
{
    stage = Stage::Greeting;
    answerTimer->start(answerTimeoutMs);
    keepAlive(socket->socketDescriptor());
}

// A quiet bus sends nothing for as long as it likes, so silence says nothing. A far end that is
// gone without closing (its machine lost power, a cable pulled) is found by the kernel's probes,
// which a live peer's kernel answers whatever its bus does; the socket then fails.
void SocketcandSource::keepAlive(qintptr descriptor)
{
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int idle = KeepAliveIdleS;
    const int interval = KeepAliveIntervalS;
    const int count = KeepAliveProbes;
    ::setsockopt(int(descriptor), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(int(descriptor), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(int(descriptor), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#else
    Q_UNUSED(descriptor)
#endif
}

void SocketcandSource::onReadyRead()
{
    readAvailable();
}

// A receiver may run an event loop and come back here, or close the source: the cutter is shared,
// so a nested read goes on where this one stands, and a closed source stops reading.
void SocketcandSource::readAvailable()
{
    QTcpSocket *s = socket;
    const QPointer<SocketcandSource> alive(this);
    while (s && socket == s && s->bytesAvailable() > 0) {
        cutter.append(s->read(ReadChunk));
        const char *begin = nullptr;
        const char *end = nullptr;
        while (cutter.next(&begin, &end)) {
            handle(begin, end);
            if (!alive || socket != s)
                return;
        }
    }
}

void SocketcandSource::handle(const char *begin, const char *end)
{
    const LineTokens tokens(begin, end);
    const bool fd = isWord(tokens, 0, "fdframe");
    if ((fd || isWord(tokens, 0, "frame")) && (stage == Stage::Raw || stage == Stage::RawMode)) {
        if (stage == Stage::RawMode) { // the server went ahead of its "< ok >"
            const QPointer<SocketcandSource> alive(this);
            enterRaw();
            if (!alive || stage != Stage::Raw)
                return;
        }
        TimedPacket frame;
        switch (frameOf(tokens, fd, blank, &frame)) {
        case Message::Frame:
            emit readyFrame(frame);
            break;
        case Message::ErrorFrame:
            ++errors;
            break;
        case Message::Malformed:
            ++malformed;
            break;
        }
        return;
    }
    const QByteArray word =
        tokens.count() > 0 ? QByteArray(tokens.begin(0), tokens.size(0)) : QByteArray();
    const QByteArray message = "< " + QByteArray(begin, int(end - begin)).trimmed() + " >";
    if (stage == Stage::Raw)
        handleRaw(word, message);
    else
        handleAnswer(word, message);
}

void SocketcandSource::handleRaw(const QByteArray &word, const QByteArray &message)
{
    if (word == "error") {
        if (sentAny && !sendRefused) {
            sendRefused = true;
            setErrorString(QStringLiteral("the server refused a frame: ") +
                           QString::fromLatin1(message));
        }
        emit readyReply(message);
    }
}

void SocketcandSource::handleAnswer(const QByteArray &word, const QByteArray &message)
{
    const QString said = QString::fromLatin1(message);
    switch (stage) {
    case Stage::Greeting:
        if (word == "hi")
            advance(Stage::Opening, "< open " + interfaceName.toLatin1() + " >");
        else
            fail(QStringLiteral("not a socketcand server: it said ") + said);
        break;
    case Stage::Opening:
        if (word == "ok")
            advance(Stage::FdFrames, "< fdframes >");
        else if (word == "error")
            fail(QStringLiteral("the server cannot open ") + interfaceName + QStringLiteral(": ") +
                 said);
        break;
    case Stage::FdFrames: // an error: a server of classic frames only
        fdAnswered = word == "ok";
        if (word == "ok" || word == "error")
            advance(Stage::RawMode, "< rawmode >");
        break;
    case Stage::RawMode:
        if (word == "ok")
            enterRaw();
        else if (word == "error")
            fail(QStringLiteral("the server refused the raw mode: ") + said);
        break;
    default:
        break;
    }
}

void SocketcandSource::advance(Stage to, const QByteArray &command)
{
    stage = to;
    socket->write(command);
    answerTimer->start(answerTimeoutMs);
}

void SocketcandSource::enterRaw()
{
    stage = Stage::Raw;
    answerTimer->stop();
    emit opened();
}

// The last frames the server sent before it closed are taken first.
void SocketcandSource::onDisconnected()
{
    const QPointer<SocketcandSource> alive(this);
    readAvailable();
    if (alive)
        fail(QStringLiteral("the server closed the connection"));
}

void SocketcandSource::onSocketError()
{
    if (!socket || socket->error() == QAbstractSocket::RemoteHostClosedError)
        return; // disconnected() follows
    fail(QStringLiteral("%1:%2: %3").arg(host).arg(port).arg(socket->errorString()));
}

void SocketcandSource::onAnswerTimeout()
{
    const QString seconds = QString::number(answerTimeoutMs / 1000.0);
    switch (stage) {
    case Stage::Connecting:
        fail(QStringLiteral("no connection to %1:%2 within %3 s").arg(host).arg(port).arg(seconds));
        break;
    case Stage::Greeting:
        fail(QStringLiteral("%1:%2 sent no socketcand greeting within %3 s")
                 .arg(host)
                 .arg(port)
                 .arg(seconds));
        break;
    default:
        fail(QStringLiteral("the server did not answer within %1 s").arg(seconds));
        break;
    }
}

// Said once: the socket is dropped first, so its later signals find nobody.
void SocketcandSource::fail(const QString &reason)
{
    if (stage == Stage::Closed)
        return;
    dropSocket();
    setErrorString(reason);
    if (!opening)
        emit failed(reason);
}
