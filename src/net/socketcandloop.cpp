// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socketcandloop.h"

#include "net/socketcandclient.h"
#include "net/socketcandcommand.h"
#include "net/socketcandserver.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <limits>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int MaxAcceptsPerTurn = 16;
constexpr int AcceptPauseMs = 100; // out of descriptors: accepting waits this long
constexpr int NiceStep = 5;        // below the capture: a busy server yields to it
constexpr qint64 QueueMiB = SocketcandServer::MaxQueueBytes / (1024 * 1024);

qint64 clockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString peerName(const sockaddr_storage &from)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (from.ss_family == AF_INET) {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&from);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        return QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(v4->sin_port));
    }
    const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&from);
    ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    return QStringLiteral("[%1]:%2").arg(QLatin1String(text)).arg(ntohs(v6->sin6_port));
}

void lowerPriority()
{
    const id_t self = id_t(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, self, std::min(19, now + NiceStep));
}

} // namespace

SocketcandLoop::SocketcandLoop(int fd, const Limits &wanted, Events handlers)
    : listenFd(fd), limits(wanted), events(std::move(handlers)),
      wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), ring(new TimedPacket[RingFrames])
{
    thread = std::thread(&SocketcandLoop::run, this);
}

SocketcandLoop::~SocketcandLoop()
{
    stopping = true;
    const uint64_t one = 1;
    if (::write(wakeFd, &one, sizeof one) < 0) {
        // the counter is full: the thread is awake already
    }
    thread.join();
    for (const Lingering &l : lingering)
        ::close(l.fd);
    clients.clear();
    ::close(wakeFd);
    ::close(listenFd);
}

void SocketcandLoop::publish(const TimedPacket &frame)
{
    if (rawClients.load(std::memory_order_relaxed) == 0)
        return;
    const quint64 h = head.load(std::memory_order_relaxed);
    if (h - tail.load(std::memory_order_acquire) >= quint64(RingFrames)) {
        overflow.store(true, std::memory_order_relaxed);
        return;
    }
    ring[h % RingFrames] = frame;
    head.store(h + 1, std::memory_order_release);
}

void SocketcandLoop::run()
{
    lowerPriority();
    std::vector<pollfd> fds;
    nextFlush = clockMs();
    while (!stopping)
        pollOnce(fds);
}

// One turn: wait for a socket or the next deadline, then serve everything that is due. Clients
// accepted during the turn are polled from the next one on.
void SocketcandLoop::pollOnce(std::vector<pollfd> &fds)
{
    const qint64 before = clockMs();
    const size_t polledClients = preparePoll(fds, before);
    if (::poll(fds.data(), nfds_t(fds.size()), timeoutMs(before)) < 0 && errno != EINTR)
        return;
    const qint64 now = clockMs();
    if (fds[0].revents)
        drainWake();
    if (stopping)
        return;
    if (fds[1].revents)
        acceptAll(now);
    for (size_t i = 0; i < polledClients; ++i)
        serveClient(*clients[i], fds[2 + i].revents, now);
    if (now >= nextFlush) {
        deliverFrames();
        for (const auto &client : clients)
            client->refill(ReadBudget);
        nextFlush = now + SocketcandServer::FlushMs;
    }
    for (const auto &client : clients) {
        checkTimers(*client, now);
        writeClient(*client);
    }
    closeLingering(now);
    purge();
}

// The wake-up, the listening socket and the clients; the number of clients.
size_t SocketcandLoop::preparePoll(std::vector<pollfd> &fds, qint64 now) const
{
    fds.clear();
    fds.push_back({wakeFd, POLLIN, 0});
    fds.push_back({now >= acceptPausedUntil ? listenFd : -1, POLLIN, 0});
    for (const auto &client : clients) {
        const short wanted =
            short((client->mayRead() ? POLLIN : 0) | (client->hasOutput() ? POLLOUT : 0));
        fds.push_back({client->fd(), wanted, 0});
    }
    return clients.size();
}

void SocketcandLoop::drainWake()
{
    uint64_t count = 0;
    if (::read(wakeFd, &count, sizeof count) < 0) {
        // nothing to take: woken for another reason
    }
}

int SocketcandLoop::timeoutMs(qint64 now) const
{
    const bool refill = std::any_of(clients.begin(), clients.end(), [](const auto &client) {
        return !client->readClosed && !client->mayRead();
    });
    qint64 due = rawClients > 0 || refill ? nextFlush : std::numeric_limits<qint64>::max();
    if (acceptPausedUntil > now)
        due = std::min(due, acceptPausedUntil);
    for (const auto &client : clients) {
        if (client->isQuiet())
            due = std::min(due, client->quietEnd());
        if (client->interface < 0 && client->openDeadline > 0)
            due = std::min(due, client->openDeadline);
    }
    for (const Lingering &l : lingering)
        due = std::min(due, l.until);
    if (due == std::numeric_limits<qint64>::max())
        return -1;
    return int(std::clamp<qint64>(due - now, 0, 60000));
}

void SocketcandLoop::acceptAll(qint64 now)
{
    for (int i = 0; i < MaxAcceptsPerTurn; ++i) {
        sockaddr_storage from{};
        socklen_t length = sizeof from;
        const int fd = ::accept4(listenFd, reinterpret_cast<sockaddr *>(&from), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            admit(fd, peerName(from), now);
            continue;
        }
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            acceptPausedUntil = now + AcceptPauseMs;
        return;
    }
}

void SocketcandLoop::admit(int fd, const QString &peer, qint64 now)
{
    auto client = std::make_unique<SocketcandClient>(fd, peer);
    if (int(clients.size()) >= limits.maxClients) {
        ++refused;
        say(*client, QStringLiteral("refused: too many clients (limit %1)").arg(limits.maxClients));
        closePolitely(*client, "< error too many clients >", now);
        return;
    }
    const int one = 1;
    const int sendBuffer = SocketcandServer::SendBufferBytes;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    if (limits.openTimeoutMs > 0)
        client->openDeadline = now + limits.openTimeoutMs;
    client->refill(ReadBudget);
    client->reply("< hi >");
    say(*client, QStringLiteral("connected"));
    clients.push_back(std::move(client));
    connected = int(clients.size());
}

void SocketcandLoop::serveClient(SocketcandClient &client, short revents, qint64 now)
{
    if (client.gone || revents == 0)
        return;
    if (client.mayRead() && (revents & (POLLIN | POLLHUP | POLLERR)))
        readClient(client, now);
    else if (revents & (POLLHUP | POLLERR))
        drop(client, QStringLiteral("left"));
}

void SocketcandLoop::readClient(SocketcandClient &client, qint64 now)
{
    switch (client.read()) {
    case SocketcandClient::Read::Nothing:
        return;
    case SocketcandClient::Read::Failed:
        drop(client, QStringLiteral("left"));
        return;
    case SocketcandClient::Read::Closed:
        client.readClosed = true;
        if (client.isRaw()) {
            // Half-closed or gone altogether: a line feed (white space to the protocol) makes a
            // client that is gone answer with a reset, so it does not hold its place until the
            // next frame of its interface.
            client.nudge();
            say(client, QStringLiteral("closed its side, still served"));
        } else { // nothing more can come that would give it frames
            say(client, QStringLiteral("left"));
            closePolitely(client, QByteArray(), now);
        }
        return;
    case SocketcandClient::Read::Some:
        break;
    }
    SocketcandCommand command;
    while (!client.gone && client.nextCommand(command))
        handle(client, command, now);
    if (!client.gone && client.isBroken()) {
        say(client, QStringLiteral("closed: bytes outside \"< ... >\""));
        closePolitely(client, "< error bad stream >", now);
    }
}

void SocketcandLoop::handle(SocketcandClient &client, const SocketcandCommand &command, qint64 now)
{
    switch (command.kind) {
    case SocketcandCommand::Kind::Open:
        handleOpen(client, command.interfaceName);
        break;
    case SocketcandCommand::Kind::RawMode:
        handleRawMode(client, now);
        break;
    case SocketcandCommand::Kind::Send:
    case SocketcandCommand::Kind::FdSend:
        handleSend(client, command.packet);
        break;
    case SocketcandCommand::Kind::FdFrames:
        client.wantsFd = true;
        client.reply("< ok >");
        break;
    case SocketcandCommand::Kind::Echo:
        client.reply("< echo >");
        break;
    case SocketcandCommand::Kind::Malformed:
        client.reply("< error " + command.error + " >");
        break;
    }
}

void SocketcandLoop::handleOpen(SocketcandClient &client, const QByteArray &name)
{
    if (client.interface >= 0) {
        client.reply("< error interface already open >");
        return;
    }
    for (int i = 0; i < SocketcandServer::InterfaceCount; ++i) {
        if (name == SocketcandServer::interfaceName(i)) {
            client.interface = i;
            client.reply("< ok >");
            return;
        }
    }
    client.reply("< error no such interface >");
}

void SocketcandLoop::handleRawMode(SocketcandClient &client, qint64 now)
{
    if (client.interface < 0) {
        client.reply("< error no interface open >");
        return;
    }
    client.reply("< ok >");
    if (client.isRaw())
        return;
    client.startRaw(now + SocketcandServer::QuietAfterRawMs);
    ++rawClients;
}

void SocketcandLoop::handleSend(SocketcandClient &client, const CanPacket &packet)
{
    if (client.interface < 0)
        client.reply("< error no interface open >");
    else if (!allowSend)
        client.reply("< error sending not allowed >");
    else
        events.send(packet);
}

// Every frame published since the last turn, as text once per interface, to its raw clients:
// classic frames to every client, FD frames to those that asked. Without such clients a classic
// frame costs what it always did.
void SocketcandLoop::deliverFrames()
{
    if (overflow.exchange(false, std::memory_order_relaxed)) {
        for (const auto &client : clients) {
            if (client->isRaw() && !client->gone) {
                ++dropped;
                drop(*client, QStringLiteral("dropped: the server fell behind the capture"));
            }
        }
    }
    constexpr size_t Interfaces = SocketcandServer::InterfaceCount;
    std::array<bool, Interfaces> wantFd{};
    for (const auto &client : clients)
        wantFd[size_t(std::max(client->interface, 0))] |= client->wantsFd && client->isRaw();
    std::array<QByteArray, Interfaces> lines;
    std::array<QByteArray, Interfaces> fdLines; // classic and FD frames in order
    std::array<quint64, Interfaces> fdFrames{};
    const quint64 h = head.load(std::memory_order_acquire);
    quint64 t = tail.load(std::memory_order_relaxed);
    for (; t < h; ++t) {
        const TimedPacket &frame = ring[t % RingFrames];
        const size_t at = size_t(SocketcandServer::interfaceOf(frame.packet));
        if (Q_UNLIKELY(frame.packet.isFd())) {
            ++fdFrames[at];
            if (wantFd[at])
                SocketcandServer::appendFdFrame(fdLines[at], frame);
            continue;
        }
        const int before = lines[at].size();
        SocketcandServer::appendFrame(lines[at], frame);
        if (wantFd[at])
            fdLines[at].append(lines[at].constData() + before, lines[at].size() - before);
    }
    tail.store(t, std::memory_order_release);
    for (const auto &client : clients) {
        if (!client->isRaw() || client->gone)
            continue;
        const size_t at = size_t(client->interface);
        client->queueFrames(client->wantsFd ? fdLines[at] : lines[at]);
        if (!client->wantsFd && fdFrames[at] > 0)
            withhold(*client, fdFrames[at]);
    }
}

// Counted, and said the first time: the client may not know there are FD frames to ask for.
void SocketcandLoop::withhold(SocketcandClient &client, quint64 frames)
{
    if (client.withheldFd == 0)
        say(client, QStringLiteral("CAN FD frames not sent to it: it did not ask for them "
                                   "(\"< fdframes >\")"));
    client.withheldFd += frames;
    withheldFd += frames;
}

void SocketcandLoop::checkTimers(SocketcandClient &client, qint64 now)
{
    if (client.gone)
        return;
    if (client.isQuiet() && now >= client.quietEnd())
        client.endQuiet();
    if (client.interface < 0 && client.openDeadline > 0 && now >= client.openDeadline) {
        ++timedOut;
        say(client, QStringLiteral("closed: no interface opened within %1 s")
                        .arg(limits.openTimeoutMs / 1000.0));
        closePolitely(client, "< error no interface opened in time >", now);
    }
}

// What fits goes; a client with more than MaxQueueBytes still waiting is dropped.
void SocketcandLoop::writeClient(SocketcandClient &client)
{
    if (client.gone)
        return;
    if (client.hasOutput() && !client.write()) {
        drop(client, QStringLiteral("left"));
        return;
    }
    if (client.backlog() > SocketcandServer::MaxQueueBytes) {
        ++dropped;
        drop(client, QStringLiteral("dropped: more than %1 MiB waiting for it").arg(QueueMiB));
    }
}

void SocketcandLoop::drop(SocketcandClient &client, const QString &why)
{
    if (client.gone)
        return;
    say(client, why);
    client.gone = true; // closed, unread bytes and all, by purge()
}

// The last words go out, then the write side closes; the socket stays open a while, unread, so
// that the client can read them before a close with its unread commands resets the connection.
void SocketcandLoop::closePolitely(SocketcandClient &client, const QByteArray &lastWords,
                                   qint64 now)
{
    client.gone = true;
    if (!lastWords.isEmpty())
        client.reply(lastWords);
    client.write();
    if (int(lingering.size()) >= MaxLingering)
        return; // closed at once by purge()
    const int fd = client.release();
    ::shutdown(fd, SHUT_WR);
    lingering.push_back({fd, now + LingerMs});
}

void SocketcandLoop::closeLingering(qint64 now)
{
    const auto due = std::remove_if(lingering.begin(), lingering.end(), [now](const Lingering &l) {
        if (now < l.until)
            return false;
        ::close(l.fd);
        return true;
    });
    lingering.erase(due, lingering.end());
}

void SocketcandLoop::purge()
{
    clients.erase(std::remove_if(clients.begin(), clients.end(),
                                 [](const auto &client) { return client->gone; }),
                  clients.end());
    connected = int(clients.size());
    rawClients = int(std::count_if(clients.begin(), clients.end(),
                                   [](const auto &client) { return client->isRaw(); }));
}

void SocketcandLoop::say(const SocketcandClient &client, const QString &text)
{
    if (events.say)
        events.say(QStringLiteral("socketcand: ") + client.peer() + QStringLiteral(": ") + text);
}
