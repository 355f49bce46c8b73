#pragma once

#include "link/canpacket.h"
#include "link/recordcutter.h"

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
    int writePacket(const CanPacket &packet);
    int writeBuffer(const QByteArray &buffer);

    // Bytes of incomplete records given up after a quiet gap, since construction.
    quint64 discardedBytes() const { return discarded; }

signals:
    void readyPacket();
    void sendBuffer(QByteArray buff);

public slots:
    void onReadyRead();

private slots:
    void onQuietCheck();

private:
    qint64 bytesInDriver() const;

    CanPacket current;
    QSerialPort *port;
    RecordCutter cutter; // holds the received bytes not yet taken
    QTimer *quietTimer;
    QElapsedTimer lastInput;
    quint64 discarded = 0;
};
