// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cantester.h"

#include "link/linerecord.h"
#include "link/timeofday.h"

#include <QPointer>
#include <QSerialPort>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

CanTester::CanTester(QSerialPort *port, QObject *parent)
    : QObject(parent), port(port), quietTimer(new QTimer(this))
{
    quietTimer->setSingleShot(true);
    quietTimer->setTimerType(Qt::PreciseTimer);
    connect(quietTimer, &QTimer::timeout, this, &CanTester::onQuietCheck);
    connect(port, &QSerialPort::readyRead, this, &CanTester::onReadyRead);
    lastInput.start();
    overrunsAtStart = driverOverruns();
}

int CanTester::writePacket(const CanPacket &packet)
{
    const qint64 written = port->write(LineRecord::hostRecord(packet));
    port->waitForBytesWritten(int(packet.delay));
    return int(written);
}

int CanTester::writeBuffer(const QByteArray &buffer)
{
    const qint64 written = port->write(buffer);
    port->waitForBytesWritten(100);
    return int(written);
}

void CanTester::onReadyRead()
{
    const QByteArray bytes = port->readAll();
    if (!bytes.isEmpty()) {
        readTime = TimeOfDay::nowUsec();
        received += quint64(bytes.size());
        cutter.append(bytes);
        const bool full = port->readBufferSize() > 0 && bytes.size() >= port->readBufferSize();
        lineBehind = full || lastReadFull;
        lastReadFull = full;
        lastInput.restart();
    }
    // A receiver may run an event loop, read again through this slot, or even delete the link.
    const QPointer<CanTester> alive(this);
    QByteArray reply;
    for (;;) {
        if (replyMayGoOn())
            break; // the rest of it is waiting in the driver: the next read completes it
        const RecordCutter::Kind kind = cutter.next(current, reply);
        if (kind == RecordCutter::Kind::None)
            break;
        if (kind == RecordCutter::Kind::Frame) {
            emit readyPacket(TimedPacket{readTime, current});
        } else {
            swallowed += quint64(qMax(0, reply.size() - MaxReplySize));
            emit sendBuffer(reply);
        }
        if (!alive)
            return;
    }
    if (cutter.pendingSize() > 0 && !quietTimer->isActive())
        quietTimer->start(QuietGapMs);
}

// Resynchronisation. The line carries no record marker, so a lost or extra byte would shift every
// later record. The module writes each record in one piece, so part of a record followed by real
// silence is a remnant: once nothing has arrived for QuietGapMs and nothing is waiting, neither in
// the port's buffer nor in the driver, the remnant is given up and the next byte starts a record.
// The gap is measured from the last read, and pending bytes are checked before anything is dropped,
// so a GUI thread that reads late only delays the check; it never makes good data look quiet.
void CanTester::onQuietCheck()
{
    if (cutter.pendingSize() == 0)
        return;
    if (port->bytesAvailable() > 0) {
        onReadyRead(); // completes the tail, and re-arms the check if a new tail is left
        return;
    }
    const qint64 quiet = lastInput.elapsed();
    if (bytesInDriver() > 0) // the port will announce them; look again afterwards
        quietTimer->start(QuietGapMs);
    else if (quiet < QuietGapMs)
        quietTimer->start(int(QuietGapMs - quiet));
    else
        givePendingUp();
}

// A frame remnant is dropped. The start of a reply is handed on as it stands: what the module said
// is still shown, and it cannot swallow the records that follow the silence.
void CanTester::givePendingUp()
{
    if (cutter.holdsFrameTail())
        discarded += quint64(cutter.dropPending());
    else
        emit sendBuffer(cutter.takePending());
}

// A reply is all of the buffer from its first byte on, so it must not be cut where a read ended:
// its tail would be taken for the start of a frame and shift every record after it. The tail may
// still be in the driver, or, while the reader is behind, not yet moved into the driver's read
// buffer at all; then the reply waits for the next read, or for the quiet gap.
bool CanTester::replyMayGoOn() const
{
    return cutter.pendingSize() < MaxReplySize && cutter.pendingSize() > 0 &&
           !cutter.holdsFrameTail() && (lineBehind || bytesInDriver() > 0);
}

qint64 CanTester::bytesInDriver() const
{
#ifdef Q_OS_UNIX
    int pending = 0;
    if (port->isOpen() && ::ioctl(int(port->handle()), FIONREAD, &pending) == 0)
        return pending;
#endif
    return 0;
}

quint64 CanTester::lostFrames() const
{
    const quint64 record = LineRecord::Size;
    const quint64 overruns = driverOverruns();
    return (discarded + record - 1) / record + (swallowed + record - 1) / record +
           (overruns > overrunsAtStart ? overruns - overrunsAtStart : 0);
}

// Characters the serial driver had to drop; 0 where the driver keeps no count (a pty, say).
quint64 CanTester::driverOverruns() const
{
#ifdef Q_OS_LINUX
    serial_icounter_struct counts{};
    if (port->isOpen() && ::ioctl(int(port->handle()), TIOCGICOUNT, &counts) == 0)
        return quint64(counts.overrun) + quint64(counts.buf_overrun);
#endif
    return 0;
}
