// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <array>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;
struct SocketcandCommand;
struct TimedPacket;

// Shares the capture over TCP in the raw mode of the socketcand protocol: a client opens one of
// the recording's interfaces ("can0", "can1", "canrx", "cantx"), switches to raw mode and then
// gets every frame of that interface as "< frame ID SECONDS.MICROSECONDS DATA >"; with sending
// allowed, "< send ID LEN B0 .. >" hands a frame to the module.
//
// Frames are gathered and handed to the clients every FlushMs, never waiting for one: a client
// whose unsent bytes pass MaxQueueBytes is dropped and counted, so a stalled reader costs memory
// up to that bound and never time. Replies are flushed one by one, and no frames follow the raw
// mode's "< ok >" for QuietAfterRawMs: some clients read each reply with a single receive.
class SocketcandServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxClients = 16;
    static constexpr qint64 MaxQueueBytes = 4 * 1024 * 1024;
    static constexpr int QuietAfterRawMs = 100;
    static constexpr int FlushMs = 5;
    // The kernel's part of a client's queue stays small, so the bound above is what counts.
    static constexpr int SendBufferBytes = 256 * 1024;
    static constexpr int InterfaceCount = 4;
    static constexpr quint16 DefaultPort = 29536;

    explicit SocketcandServer(QObject *parent = nullptr);
    ~SocketcandServer() override;

    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = DefaultPort);
    void close();
    bool isListening() const;
    quint16 serverPort() const;
    QString errorString() const;

    void setAllowSend(bool allow) { allowSend = allow; }
    bool allowsSend() const { return allowSend; }

    // Queues a frame for the clients of its interface.
    void publish(const TimedPacket &frame);
    // Hands queued frames to the clients now.
    void flush();

    int clientCount() const;
    // Clients dropped for falling MaxQueueBytes behind, and turned away past MaxClients.
    quint64 droppedClients() const { return dropped; }
    quint64 refusedClients() const { return refused; }

    // The interface a frame belongs to: 0 "can0", 1 "can1", 2 "canrx", 3 "cantx".
    static int interfaceOf(const CanPacket &packet);
    static const char *interfaceName(int index);
    // Appends "< frame ID SECONDS.MICROSECONDS DATA >".
    static void appendFrame(QByteArray &out, const TimedPacket &frame);

signals:
    // A client asks to transmit a frame (only while sending is allowed).
    void sendPacket(CanPacket packet);

private:
    struct Client;

    void onNewConnection();
    void onReadyRead(Client *client);
    void handle(Client *client, const SocketcandCommand &command);
    void handleOpen(Client *client, const QByteArray &name);
    void handleRawMode(Client *client);
    void handleSend(Client *client, const CanPacket &packet);
    void reply(Client *client, const QByteArray &text);
    void endQuiet(Client *client);
    bool deliver(Client *client, const QByteArray &lines);
    void dropClient(Client *client);
    void purge();

    QTcpServer *server;
    QTimer *flushTimer;
    std::vector<std::unique_ptr<Client>> clients;
    std::array<QByteArray, InterfaceCount> pending;
    quint64 dropped = 0;
    quint64 refused = 0;
    bool allowSend = false;
};
