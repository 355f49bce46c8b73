// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"
#include "link/recordcutter.h"
#include "link/timedpacket.h"

#include <QElapsedTimer>
#include <QObject>

class QSerialPort;
class QTimer;

// The link to a Tarvix module on an open serial port: decodes the incoming byte stream into frames
// and module replies, and writes frames and raw command buffers. The port belongs to the caller.
class CanTester : public QObject
{
    Q_OBJECT

public:
    // How long the line must stay silent before an incomplete frame record is given up.
    static constexpr int QuietGapMs = 20;

    explicit CanTester(QSerialPort *port, QObject *parent = nullptr);

    CanPacket lastPacket() const { return current; }
    // When the bytes of the last frame were read: microseconds since the epoch, one clock read
    // per read of the port.
    qint64 lastTime() const { return readTime; }
    int writePacket(const CanPacket &packet);
    int writeBuffer(const QByteArray &buffer);

    // Module replies are short; bytes past this in one reply are frames it swallowed.
    static constexpr int MaxReplySize = 64;

    // Bytes read from the port since construction, and those not yet taken as a record or reply.
    quint64 bytesReceived() const { return received; }
    int pendingBytes() const { return cutter.pendingSize(); }
    // Bytes of incomplete frame records dropped after a quiet gap, since construction.
    quint64 discardedBytes() const { return discarded; }
    // Frames that reached the port but could not be taken, as far as the link can tell: remnants
    // given up after a quiet gap, frames a module reply swallowed, and overruns the driver counted.
    quint64 lostFrames() const;

signals:
    // A frame arrived, with the moment its bytes were read.
    void readyPacket(const TimedPacket &frame);
    void sendBuffer(QByteArray buff);

public slots:
    void onReadyRead();

private slots:
    void onQuietCheck();

private:
    void givePendingUp();
    qint64 bytesInDriver() const;
    bool replyMayGoOn() const;
    quint64 driverOverruns() const;

    CanPacket current;
    QSerialPort *port;
    RecordCutter cutter; // holds the received bytes not yet taken
    QTimer *quietTimer;
    QElapsedTimer lastInput;
    qint64 readTime = 0;
    quint64 received = 0;
    quint64 discarded = 0;
    quint64 swallowed = 0; // bytes of replies past MaxReplySize
    quint64 overrunsAtStart = 0;
    bool lastReadFull = false;
    bool lineBehind = false; // this read or the one before filled the port's buffer
};
