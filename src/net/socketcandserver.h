// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <memory>

class SocketcandLoop;
struct TimedPacket;

// Shares the capture over TCP in the raw mode of the socketcand protocol: a client opens one of
// the recording's interfaces ("can0", "can1", "canrx", "cantx"), switches to raw mode and then
// gets every frame of that interface as "< frame ID SECONDS.MICROSECONDS DATA >"; with sending
// allowed, "< send ID LEN B0 .. >" hands a frame to the module.
//
// CAN FD: a client that asks with "< fdframes >" (answered "< ok >", at any time) gets FD frames
// too, as "< fdframe ID SECONDS.MICROSECONDS FLAGS DATA >" with FLAGS as candump writes them
// (1 bit rate switch, 2 error state) and up to 64 data bytes, in order with the classic frames;
// it may send them with "< fdsend ID FLAGS B0 .. >". Other clients get the classic frames only,
// exactly as before: the FD frames they miss are counted (withheldFdFrames()) and said once for
// each of them.
//
// The clients are served on a thread of their own (SocketcandLoop): publish() only puts the
// frame in a ring, so no client, however it behaves, holds up the capture. Frames are handed to
// the clients every FlushMs. Every byte queued for a client, frames and replies alike, counts
// against MaxQueueBytes: past it the client is dropped and counted, so a stalled reader costs
// memory up to that bound and never time. A client that has not opened an interface within the
// open timeout is closed; one past the client limit is turned away. Replies leave as soon as
// they are made, and no frames follow the raw mode's "< ok >" for QuietAfterRawMs: some clients
// read each reply with a single receive. What happens to clients is said through setStatus().
class SocketcandServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultMaxClients = 16;
    static constexpr int DefaultOpenTimeoutMs = 10000;
    static constexpr qint64 MaxQueueBytes = 4 * 1024 * 1024;
    static constexpr int QuietAfterRawMs = 100;
    static constexpr int FlushMs = 5;
    // The kernel's part of a client's queue stays small, so the bound above is what counts.
    static constexpr int SendBufferBytes = 256 * 1024;
    static constexpr int InterfaceCount = 4;
    static constexpr int FrameBytes = 64; // a frame's text, padded with spaces before ">"
    static constexpr quint16 DefaultPort = 29536;

    explicit SocketcandServer(QObject *parent = nullptr);
    ~SocketcandServer() override;

    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = DefaultPort);
    void close();
    bool isListening() const { return loop != nullptr; }
    quint16 serverPort() const { return boundPort; }
    QString errorString() const { return failure; }

    void setAllowSend(bool allow);
    bool allowsSend() const { return allowSend; }
    // Taken at the next listen().
    void setMaxClients(int count) { clientLimit = count; }
    int maxClients() const { return clientLimit; }
    // 0: no limit.
    void setOpenTimeoutMs(int ms) { openTimeout = ms; }
    int openTimeoutMs() const { return openTimeout; }

    // Queues a frame for the clients of its interface. From the thread that owns the server.
    void publish(const TimedPacket &frame);

    int clientCount() const;
    // Clients dropped for falling MaxQueueBytes behind, turned away past the client limit, and
    // closed for opening no interface in time.
    quint64 droppedClients() const;
    quint64 refusedClients() const;
    quint64 timedOutClients() const;
    // FD frames not sent to clients that did not ask for them, one for each such client.
    quint64 withheldFdFrames() const;

    // The interface a frame belongs to: 0 "can0", 1 "can1", 2 "canrx", 3 "cantx".
    static int interfaceOf(const CanPacket &packet);
    static const char *interfaceName(int index);
    // Appends "\n< frame ID SECONDS.MICROSECONDS DATA >", FrameBytes in all.
    static void appendFrame(QByteArray &out, const TimedPacket &frame);
    // Appends "\n< fdframe ID SECONDS.MICROSECONDS FLAGS DATA >" for an FD frame.
    static void appendFdFrame(QByteArray &out, const TimedPacket &frame);

signals:
    // A client asks to transmit a frame (only while sending is allowed).
    void sendPacket(CanPacket packet);
    // Clients coming, going, dropped and why: a line for the log.
    void setStatus(const QString &text);

private:
    std::unique_ptr<SocketcandLoop> loop;
    QString failure;
    quint64 droppedBefore = 0; // by servers closed before
    quint64 refusedBefore = 0;
    quint64 timedOutBefore = 0;
    quint64 withheldBefore = 0;
    int clientLimit = DefaultMaxClients;
    int openTimeout = DefaultOpenTimeoutMs;
    quint16 boundPort = 0;
    bool allowSend = false;
};
