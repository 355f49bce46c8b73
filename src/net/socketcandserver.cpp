// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socketcandserver.h"

#include "formats/textprint.h"
#include "link/timedpacket.h"
#include "net/socketcandflags.h"
#include "net/socketcandloop.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qint64 UsPerSecond = 1000000;
constexpr int MaxFrameText = 72;
constexpr int MaxFdFrameText = 192; // 44 characters, 128 digits of data, " >"
constexpr int MaxDataBytes = 8;
constexpr int ListenBacklog = 64;
const char *const InterfaceNames[] = {"can0", "can1", "canrx", "cantx"};

// The address as the socket API takes it; "any" listens on IPv6 and IPv4 alike.
socklen_t socketAddress(const QHostAddress &address, quint16 port, sockaddr_storage *out)
{
    *out = sockaddr_storage{};
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *v4 = reinterpret_cast<sockaddr_in *>(out);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        v4->sin_addr.s_addr = htonl(address.toIPv4Address());
        return sizeof(sockaddr_in);
    }
    auto *v6 = reinterpret_cast<sockaddr_in6 *>(out);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    std::memcpy(&v6->sin6_addr, bytes.c, sizeof bytes.c);
    return sizeof(sockaddr_in6);
}

// A listening socket, or -1 with `why` set.
int openListener(const QHostAddress &address, quint16 port, QString *why)
{
    sockaddr_storage where;
    const socklen_t length = socketAddress(address, port, &where);
    const int fd = ::socket(where.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    const int zero = 0;
    const bool ok = fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) == 0 &&
                    (address.protocol() != QAbstractSocket::AnyIPProtocol ||
                     ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero) == 0) &&
                    ::bind(fd, reinterpret_cast<const sockaddr *>(&where), length) == 0 &&
                    ::listen(fd, ListenBacklog) == 0;
    if (ok)
        return fd;
    *why = QString::fromLocal8Bit(std::strerror(errno));
    if (fd >= 0)
        ::close(fd);
    return -1;
}

quint16 localPort(int fd)
{
    sockaddr_storage where{};
    socklen_t length = sizeof where;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&where), &length) != 0)
        return 0;
    return ntohs(where.ss_family == AF_INET
                     ? reinterpret_cast<const sockaddr_in *>(&where)->sin_port
                     : reinterpret_cast<const sockaddr_in6 *>(&where)->sin6_port);
}

} // namespace

SocketcandServer::SocketcandServer(QObject *parent) : QObject(parent)
{
}

SocketcandServer::~SocketcandServer()
{
    close();
}

bool SocketcandServer::listen(const QHostAddress &address, quint16 port)
{
    close();
    const int fd = openListener(address, port, &failure);
    if (fd < 0)
        return false;
    failure.clear();
    boundPort = localPort(fd);
    // The loop's events come on its thread, which ends before this object does; they are
    // handed on from this object's thread.
    SocketcandLoop::Events events;
    events.send = [this](const CanPacket &packet) {
        QMetaObject::invokeMethod(
            this, [this, packet] { emit sendPacket(packet); }, Qt::QueuedConnection);
    };
    events.say = [this](const QString &text) {
        QMetaObject::invokeMethod(
            this, [this, text] { emit setStatus(text); }, Qt::QueuedConnection);
    };
    SocketcandLoop::Limits limits;
    limits.maxClients = std::max(1, clientLimit);
    limits.openTimeoutMs = std::max(0, openTimeout);
    loop = std::make_unique<SocketcandLoop>(fd, limits, std::move(events));
    loop->setAllowSend(allowSend);
    return true;
}

void SocketcandServer::close()
{
    if (!loop)
        return;
    droppedBefore += loop->droppedClients();
    refusedBefore += loop->refusedClients();
    timedOutBefore += loop->timedOutClients();
    withheldBefore += loop->withheldFdFrames();
    loop.reset();
    boundPort = 0;
}

void SocketcandServer::setAllowSend(bool allow)
{
    allowSend = allow;
    if (loop)
        loop->setAllowSend(allow);
}

void SocketcandServer::publish(const TimedPacket &frame)
{
    if (loop)
        loop->publish(frame);
}

int SocketcandServer::clientCount() const
{
    return loop ? loop->clientCount() : 0;
}

quint64 SocketcandServer::droppedClients() const
{
    return droppedBefore + (loop ? loop->droppedClients() : 0);
}

quint64 SocketcandServer::refusedClients() const
{
    return refusedBefore + (loop ? loop->refusedClients() : 0);
}

quint64 SocketcandServer::timedOutClients() const
{
    return timedOutBefore + (loop ? loop->timedOutClients() : 0);
}

quint64 SocketcandServer::withheldFdFrames() const
{
    return withheldBefore + (loop ? loop->withheldFdFrames() : 0);
}

int SocketcandServer::interfaceOf(const CanPacket &packet)
{
    if (packet.direct != CanPacket::Received)
        return 3;
    if (packet.frame & CanPacket::Can0ToCan1)
        return 0;
    return (packet.frame & CanPacket::Can1ToCan0) ? 1 : 2;
}

const char *SocketcandServer::interfaceName(int index)
{
    return index >= 0 && index < InterfaceCount ? InterfaceNames[index] : "";
}

namespace {

// "ID SECONDS.MICROSECONDS " of a frame line.
char *putIdAndTime(char *p, const TimedPacket &frame)
{
    const CanPacket &packet = frame.packet;
    const qint64 time = std::max<qint64>(frame.time, 0);
    p = packet.isExtended() ? TextPrint::putHex(p, packet.id & 0x1FFFFFFF, 8)
                            : TextPrint::putHex(p, packet.id & 0x7FF, 3);
    *p++ = ' ';
    p = TextPrint::putUnsigned(p, quint64(time / UsPerSecond));
    *p++ = '.';
    p = TextPrint::putDigits(p, quint64(time % UsPerSecond), 6);
    *p++ = ' ';
    return p;
}

} // namespace

// Each frame begins a line (see SocketcandClient::reply() for the client that needs it so) and
// takes FrameBytes: the same client reads 1,024 bytes at a time, so however far behind it is, each
// read ends where a frame ends.
void SocketcandServer::appendFrame(QByteArray &out, const TimedPacket &frame)
{
    const CanPacket &packet = frame.packet;
    char text[MaxFrameText];
    char *p = TextPrint::putText(text, "\n< frame ");
    p = putIdAndTime(p, frame);
    const int length = packet.isRemote() ? 0 : std::min(packet.length(), MaxDataBytes);
    for (int i = 0; i < length; ++i)
        p = TextPrint::putHex(p, packet.data[i], 2);
    while (p < text + FrameBytes - 2)
        *p++ = ' ';
    p = TextPrint::putText(p, " >");
    out.append(text, int(p - text));
}

// Only clients that asked for FD frames get these; they need no padding (see above), as those
// clients read whatever comes.
void SocketcandServer::appendFdFrame(QByteArray &out, const TimedPacket &frame)
{
    const CanPacket &packet = frame.packet;
    char text[MaxFdFrameText];
    char *p = TextPrint::putText(text, "\n< fdframe ");
    p = putIdAndTime(p, frame);
    p = TextPrint::putHex(p, SocketcandFlags::of(packet), 1);
    *p++ = ' ';
    const int length = packet.dataLength();
    for (int i = 0; i < length; ++i)
        p = TextPrint::putHex(p, packet.data[i], 2);
    p = TextPrint::putText(p, " >");
    out.append(text, int(p - text));
}
