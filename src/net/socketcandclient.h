// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/socketcandcommand.h"

#include <QByteArray>
#include <QString>
#include <deque>

// One connection to the socketcand server, as its thread sees it: the socket (non-blocking),
// the commands read so far, and every byte waiting to go out. Frames are shared between the
// clients of an interface (one buffer, referenced by each queue); replies are gathered in
// buffers of the client's own, so a flood of tiny replies costs what it weighs.
class SocketcandClient final
{
public:
    enum class Read { Some, Nothing, Closed, Failed };

    // Takes `fd`; it is closed with the client.
    SocketcandClient(int fd, const QString &peer);
    ~SocketcandClient();
    SocketcandClient(const SocketcandClient &) = delete;
    SocketcandClient &operator=(const SocketcandClient &) = delete;

    int fd() const { return socket; }
    const QString &peer() const { return name; }

    // One receive into the command parser, of no more than what is left of its allowance.
    Read read();
    // Commands may be read again, up to `bytes` until the next refill.
    void refill(int bytes) { allowance = bytes; }
    bool mayRead() const { return !readClosed && allowance > 0; }
    bool nextCommand(SocketcandCommand &command) { return parser.next(command); }
    bool isBroken() const { return parser.isBroken(); }

    // A reply. Once in raw mode every message starts a line of its own (see queueFrames()).
    void reply(const QByteArray &text);
    // Frame lines of the client's interface, each beginning with a line feed; held back while
    // the raw mode is quiet.
    void queueFrames(const QByteArray &lines);
    // Raw mode from now on; frames wait until `quietEnd` (milliseconds of the server's clock).
    void startRaw(qint64 quietEnd);
    bool isQuiet() const { return quiet; }
    // A line feed, now.
    void nudge() { push(QByteArrayLiteral("\n"), true); }
    // The raw mode's quiet time is over: the frames held meanwhile go out.
    void endQuiet();
    // Sends what the socket takes now; false when the connection is broken.
    bool write();
    bool hasOutput() const { return queued > 0; }
    // Every byte queued for the client and not yet handed to its socket.
    qint64 backlog() const { return queued + held.size(); }
    // The socket, apart from its descriptor: the caller closes it politely.
    int release();

    bool isRaw() const { return raw; }
    qint64 quietEnd() const { return quietUntil; }

    int interface = -1;      // opened interface, -1 before "open"
    bool wantsFd = false;    // asked for CAN FD frames
    quint64 withheldFd = 0;  // FD frames it did not get for not asking
    qint64 openDeadline = 0; // closed at this moment unless an interface is open; 0 never
    bool readClosed = false; // the client half-closed: nothing more to read, still served
    bool gone = false;       // to be removed

private:
    void push(const QByteArray &bytes, bool own);

    int socket;
    QString name;
    SocketcandParser parser;
    std::deque<QByteArray> out;
    int allowance = 0;      // bytes of commands it may still send before the next refill
    int offset = 0;         // bytes of out.front() already sent
    qint64 queued = 0;      // bytes in `out` not yet sent
    bool backIsOwn = false; // out.back() is this client's own, so replies may join it
    QByteArray held;
    qint64 quietUntil = 0;
    bool raw = false;
    bool quiet = false;
};
