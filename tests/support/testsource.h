// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/cansource.h"
#include "link/timedpacket.h"

#include <QList>
#include <QVector>

// A source the test drives: frames arrive when the test hands them in, frames and commands sent
// are kept for the test to read, and it goes away when the test says so.
class TestSource final : public CanSource
{
public:
    using CanSource::CanSource;

    bool open() override
    {
        if (refuse) {
            setErrorString(QStringLiteral("refused"));
            return false;
        }
        running = true;
        emit opened();
        return true;
    }
    void close() override { running = false; }
    bool isOpen() const override { return running; }
    bool canSend() const override { return true; }
    int send(const CanPacket &packet) override
    {
        if (!running)
            return -1;
        sent.append(packet);
        return 16;
    }
    bool hasCommands() const override { return true; }
    int sendCommand(const QByteArray &message) override
    {
        if (!running)
            return -1;
        commands.append(message);
        return message.size();
    }
    quint64 lostFrames() const override { return lost; }
    QString description() const override { return QStringLiteral("test source"); }

    void inject(const TimedPacket &frame) { emit readyFrame(frame); }
    void goAway()
    {
        running = false;
        emit failed(QStringLiteral("gone"));
    }

    QVector<CanPacket> sent;
    QList<QByteArray> commands;
    quint64 lost = 0;
    bool refuse = false;

private:
    bool running = false;
};
