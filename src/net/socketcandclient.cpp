// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socketcandclient.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int OwnChunkBytes = 16 * 1024; // replies join the last buffer up to this size
} // namespace

SocketcandClient::SocketcandClient(int fd, const QString &peer) : socket(fd), name(peer)
{
}

SocketcandClient::~SocketcandClient()
{
    if (socket >= 0)
        ::close(socket);
}

int SocketcandClient::release()
{
    const int fd = socket;
    socket = -1;
    return fd;
}

SocketcandClient::Read SocketcandClient::read()
{
    char buffer[16 * 1024];
    const ssize_t got = ::recv(socket, buffer, size_t(qMin<int>(allowance, sizeof buffer)), 0);
    if (got > 0) {
        allowance -= int(got);
        parser.append(buffer, int(got));
        return Read::Some;
    }
    if (got == 0)
        return Read::Closed;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Read::Nothing : Read::Failed;
}

// python-can's client (4.1) drops the character after the last message a receive brought whole,
// and warns of a receive that leaves text without a "<". A line feed before each message, none
// after, gives it exactly that character, and a receive that ends where a write ended (a client
// that keeps up) leaves nothing behind.
void SocketcandClient::reply(const QByteArray &text)
{
    push(raw ? '\n' + text : text, true);
}

void SocketcandClient::queueFrames(const QByteArray &lines)
{
    if (lines.isEmpty())
        return;
    if (quiet)
        held += lines;
    else
        push(lines, false);
}

void SocketcandClient::startRaw(qint64 quietEnd)
{
    raw = true;
    quiet = true;
    quietUntil = quietEnd;
}

void SocketcandClient::endQuiet()
{
    quiet = false;
    if (!held.isEmpty())
        push(held, true);
    held = QByteArray();
}

void SocketcandClient::push(const QByteArray &bytes, bool own)
{
    if (own && backIsOwn && out.back().size() + bytes.size() <= OwnChunkBytes)
        out.back() += bytes;
    else
        out.push_back(bytes);
    backIsOwn = own;
    queued += bytes.size();
}

bool SocketcandClient::write()
{
    while (!out.empty()) {
        const QByteArray &front = out.front();
        const ssize_t sent = ::send(socket, front.constData() + offset,
                                    size_t(front.size() - offset), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        offset += int(sent);
        queued -= sent;
        if (offset < front.size())
            return true;
        out.pop_front();
        offset = 0;
        if (out.empty())
            backIsOwn = false;
    }
    return true;
}
