// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socketcandserver.h"

#include "formats/textprint.h"
#include "link/timedpacket.h"
#include "net/socketcandcommand.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace {

constexpr qint64 UsPerSecond = 1000000;
constexpr int MaxFrameText = 64;
constexpr int MaxDataBytes = 8;
const char *const InterfaceNames[] = {"can0", "can1", "canrx", "cantx"};

} // namespace

struct SocketcandServer::Client
{
    QTcpSocket *socket = nullptr;
    SocketcandParser parser;
    int interface = -1; // opened interface, -1 before "open"
    bool raw = false;
    bool quiet = false; // just switched to raw mode: frames wait in `held`
    bool gone = false;  // disconnected or dropped; removed by purge()
    QByteArray held;
};

SocketcandServer::SocketcandServer(QObject *parent)
    : QObject(parent), server(new QTcpServer(this)), flushTimer(new QTimer(this))
{
    flushTimer->setSingleShot(true);
    flushTimer->setInterval(FlushMs);
    connect(flushTimer, &QTimer::timeout, this, &SocketcandServer::flush);
    connect(server, &QTcpServer::newConnection, this, &SocketcandServer::onNewConnection);
}

SocketcandServer::~SocketcandServer()
{
    close();
}

bool SocketcandServer::listen(const QHostAddress &address, quint16 port)
{
    close();
    return server->listen(address, port);
}

void SocketcandServer::close()
{
    server->close();
    for (const auto &client : clients) {
        client->gone = true;
        client->socket->abort();
    }
    purge();
    for (QByteArray &lines : pending)
        lines.clear();
}

bool SocketcandServer::isListening() const
{
    return server->isListening();
}

quint16 SocketcandServer::serverPort() const
{
    return server->serverPort();
}

QString SocketcandServer::errorString() const
{
    return server->errorString();
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

void SocketcandServer::appendFrame(QByteArray &out, const TimedPacket &frame)
{
    const CanPacket &packet = frame.packet;
    const qint64 time = std::max<qint64>(frame.time, 0);
    char text[MaxFrameText];
    char *p = TextPrint::putText(text, "< frame ");
    p = packet.isExtended() ? TextPrint::putHex(p, packet.id & 0x1FFFFFFF, 8)
                            : TextPrint::putHex(p, packet.id & 0x7FF, 3);
    *p++ = ' ';
    p = TextPrint::putUnsigned(p, quint64(time / UsPerSecond));
    *p++ = '.';
    p = TextPrint::putDigits(p, quint64(time % UsPerSecond), 6);
    *p++ = ' ';
    const int length = packet.isRemote() ? 0 : std::min(packet.length(), MaxDataBytes);
    for (int i = 0; i < length; ++i)
        p = TextPrint::putHex(p, packet.data[i], 2);
    // The line end is free in the protocol, and python-can's client (4.1) drops the character
    // after a message it has taken whole: without it, it loses every frame a socket read splits.
    p = TextPrint::putText(p, " >\n");
    out.append(text, int(p - text));
}

void SocketcandServer::publish(const TimedPacket &frame)
{
    if (clients.empty())
        return;
    appendFrame(pending[size_t(interfaceOf(frame.packet))], frame);
    if (!flushTimer->isActive())
        flushTimer->start();
}

void SocketcandServer::flush()
{
    flushTimer->stop();
    std::vector<Client *> behind;
    for (const auto &client : clients) {
        if (!client->gone && client->raw &&
            !deliver(client.get(), pending[size_t(client->interface)]))
            behind.push_back(client.get());
    }
    for (QByteArray &lines : pending)
        lines.clear();
    for (Client *client : behind) {
        ++dropped;
        dropClient(client);
        client->socket->abort();
    }
}

// False when the client has fallen too far behind.
bool SocketcandServer::deliver(Client *client, const QByteArray &lines)
{
    if (lines.isEmpty())
        return true;
    if (client->socket->bytesToWrite() + client->held.size() + lines.size() > MaxQueueBytes)
        return false;
    if (client->quiet)
        client->held.append(lines);
    else
        client->socket->write(lines);
    return true;
}

void SocketcandServer::onNewConnection()
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        socket->setParent(this);
        if (clientCount() >= MaxClients) {
            ++refused;
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write("< error too many clients >");
            socket->disconnectFromHost();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, SendBufferBytes);
        clients.push_back(std::make_unique<Client>());
        Client *client = clients.back().get();
        client->socket = socket;
        connect(socket, &QTcpSocket::readyRead, this, [this, client] { onReadyRead(client); });
        connect(socket, &QTcpSocket::disconnected, this, [this, client] { dropClient(client); });
        reply(client, "< hi >");
    }
}

void SocketcandServer::onReadyRead(Client *client)
{
    if (client->gone)
        return;
    client->parser.append(client->socket->readAll());
    SocketcandCommand command;
    while (!client->gone && client->parser.next(command))
        handle(client, command);
    if (!client->gone && client->parser.isBroken()) {
        reply(client, "< error bad stream >");
        dropClient(client);
        client->socket->disconnectFromHost();
    }
}

void SocketcandServer::handle(Client *client, const SocketcandCommand &command)
{
    switch (command.kind) {
    case SocketcandCommand::Kind::Open:
        handleOpen(client, command.interfaceName);
        break;
    case SocketcandCommand::Kind::RawMode:
        handleRawMode(client);
        break;
    case SocketcandCommand::Kind::Send:
        handleSend(client, command.packet);
        break;
    case SocketcandCommand::Kind::Echo:
        reply(client, "< echo >");
        break;
    case SocketcandCommand::Kind::Malformed:
        reply(client, "< error " + command.error + " >");
        break;
    }
}

void SocketcandServer::handleOpen(Client *client, const QByteArray &name)
{
    if (client->interface >= 0) {
        reply(client, "< error interface already open >");
        return;
    }
    for (int i = 0; i < InterfaceCount; ++i) {
        if (name == InterfaceNames[i]) {
            client->interface = i;
            reply(client, "< ok >");
            return;
        }
    }
    reply(client, "< error no such interface >");
}

void SocketcandServer::handleRawMode(Client *client)
{
    if (client->interface < 0) {
        reply(client, "< error no interface open >");
        return;
    }
    reply(client, "< ok >");
    if (client->raw)
        return;
    client->raw = true;
    client->quiet = true;
    QTcpSocket *socket = client->socket;
    QTimer::singleShot(QuietAfterRawMs, socket, [this, socket] {
        for (const auto &c : clients) {
            if (c->socket == socket)
                endQuiet(c.get());
        }
    });
}

void SocketcandServer::endQuiet(Client *client)
{
    client->quiet = false;
    if (!client->gone && !client->held.isEmpty())
        client->socket->write(client->held);
    client->held = QByteArray();
}

void SocketcandServer::handleSend(Client *client, const CanPacket &packet)
{
    if (client->interface < 0)
        reply(client, "< error no interface open >");
    else if (!allowSend)
        reply(client, "< error sending not allowed >");
    else
        emit sendPacket(packet);
}

// Each reply leaves at once, on its own.
void SocketcandServer::reply(Client *client, const QByteArray &text)
{
    client->socket->write(text);
    client->socket->flush();
}

// Clients leave in two steps: marked here, from within their own signals, and removed by purge()
// once those have returned.
void SocketcandServer::dropClient(Client *client)
{
    if (client->gone)
        return;
    client->gone = true;
    QTimer::singleShot(0, this, &SocketcandServer::purge);
}

int SocketcandServer::clientCount() const
{
    return int(std::count_if(clients.begin(), clients.end(),
                             [](const auto &client) { return !client->gone; }));
}

void SocketcandServer::purge()
{
    for (auto it = clients.begin(); it != clients.end();) {
        if (!(*it)->gone) {
            ++it;
            continue;
        }
        QTcpSocket *socket = (*it)->socket;
        socket->disconnect(this);
        if (socket->state() == QAbstractSocket::UnconnectedState)
            socket->deleteLater();
        else // still sending its last words
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        it = clients.erase(it);
    }
}
