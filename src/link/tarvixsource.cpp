// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/tarvixsource.h"

#include "link/cantester.h"
#include "link/portprobe.h"

#include <QSerialPort>
#include <QTimer>

TarvixSource::TarvixSource(const QString &portName, int baudRate, QObject *parent)
    : CanSource(parent), requested(portName), name(QSerialPort(portName).portName()),
      baudRate(baudRate)
{
}

TarvixSource::~TarvixSource()
{
    close();
}

bool TarvixSource::open()
{
    close();
    port = new QSerialPort(requested, this);
    port->setBaudRate(baudRate);
    port->setReadBufferSize(512);
    if (!port->open(QIODevice::ReadWrite)) {
        const QString why = PortProbe::problem(requested);
        setErrorString(why.isEmpty() ? port->errorString() : why);
        delete port;
        port = nullptr;
        return false;
    }
    tester = new CanTester(port, this);
    connect(tester, &CanTester::readyPacket, this, &CanSource::readyFrame);
    connect(tester, &CanTester::sendBuffer, this, &CanSource::readyReply);
    // A device that goes away reports a resource error (USB unplugged) or a read error (the line
    // hung up: a tty read returns nothing, again and again). Queued, so the port is closed only
    // after it has finished reporting.
    const QPointer<QSerialPort> watched(port);
    connect(port, &QSerialPort::errorOccurred, this,
            [this, watched](QSerialPort::SerialPortError error) {
                if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
                    return;
                QTimer::singleShot(0, this, [this, watched] {
                    if (watched && watched == port)
                        onError();
                });
            });
    emit opened();
    return true;
}

void TarvixSource::onError()
{
    const QString why = port->errorString();
    close();
    emit failed(why);
}

void TarvixSource::close()
{
    if (tester) {
        tester->onReadyRead(); // a receiver may close the source from within: look again after
        if (tester) {
            lostBefore += tester->lostFrames();
            delete tester.data();
        }
    }
    if (port) {
        port->close();
        port->deleteLater();
        port = nullptr;
    }
}

int TarvixSource::send(const CanPacket &packet)
{
    if (packet.isFd()) {
        setErrorString(fdRefusal());
        return -1;
    }
    return tester ? tester->writePacket(packet) : -1;
}

QString TarvixSource::fdRefusal() const
{
    return tr("модуль Tarvix не передаёт кадры CAN FD");
}

int TarvixSource::sendCommand(const QByteArray &message)
{
    return tester ? tester->writeBuffer(message) : -1;
}

quint64 TarvixSource::lostFrames() const
{
    return lostBefore + (tester ? tester->lostFrames() : 0);
}
