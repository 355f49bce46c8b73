// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/cansource.h"
#include "link/cantester.h"

#include <QPointer>

class QSerialPort;

// The Tarvix module on a serial port: each open() takes a fresh port (115200 8N1 or the rate
// given, no flow control) and cuts its byte stream into frames and module replies (CanTester).
// A device that goes away (unplugged, or the line hung up) closes the source and says failed().
class TarvixSource final : public CanSource
{
    Q_OBJECT

public:
    TarvixSource(const QString &portName, int baudRate, QObject *parent = nullptr);
    ~TarvixSource() override;

    bool open() override;
    // Takes what has arrived first, so no frame read is left behind.
    void close() override;
    bool isOpen() const override { return !tester.isNull(); }
    bool canSend() const override { return isOpen(); }
    int send(const CanPacket &packet) override;
    QString fdRefusal() const override;
    bool hasCommands() const override { return true; }
    int sendCommand(const QByteArray &message) override;
    quint64 lostFrames() const override;
    QString description() const override { return name; }

    // The port's name as the port gives it.
    QString portName() const { return name; }
    // The link while open, for measurements of its own.
    CanTester *link() const { return tester; }

private:
    void onError();

    QString requested;
    QString name;
    int baudRate;
    QSerialPort *port = nullptr;
    QPointer<CanTester> tester;
    quint64 lostBefore = 0; // on earlier opens
};
