// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QByteArray>
#include <QObject>
#include <QString>

struct TimedPacket;

// Where live frames come from: an adapter, a bus on another machine. The capture session opens
// one and listens to its signals; nothing else reads it.
//
// Contract every source keeps:
// - open() returns false when the source cannot start (errorString() says why). True means it is
//   opening: opened() follows once frames can flow (a local device may say so before open()
//   returns), or failed() if it never gets there.
// - readyFrame() hands each frame with its time, in the order the source got them, on the
//   object's thread. A receiver may close or delete the source from within it.
// - failed() is said once when the source goes away or breaks after a successful open(); the
//   source is closed by then and may be opened again. close() itself says nothing.
// - send() writes one frame: the bytes it took on the way to the device, or -1 when it could not
//   be written (errorString() says why). A written frame is not echoed back: the caller keeps
//   what it sent. Frames another program transmits through the
//   same source come back with `direct` Transmitted when the source tells them apart.
// - Sources with one line map it onto the frame's route bits as the capture readers map an
//   interface name (interfacePacket()), so a frame recorded from interface "can1" reads back as
//   the same frame, and a recording, the socketcand server and the formats name it as they name
//   the module's lines.
class CanSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool open() = 0;
    virtual void close() = 0;
    // Opening or open: between a successful open() and close() or failed().
    virtual bool isOpen() const = 0;
    virtual bool canSend() const = 0;
    virtual int send(const CanPacket &packet) = 0;
    // Why CAN FD frames cannot be sent through this source; empty when they can.
    virtual QString fdRefusal() const;
    // Sources with a command channel (the Tarvix module) write its commands: the bytes written,
    // -1 when it could not. Others have none.
    virtual bool hasCommands() const { return false; }
    virtual int sendCommand(const QByteArray &message)
    {
        Q_UNUSED(message)
        return -1;
    }
    // Frames known to have reached the source and not delivered (overruns, frames it cannot
    // carry), since construction.
    virtual quint64 lostFrames() const = 0;
    // What the source reads, for status lines: "socketcan can0", "socketcand host:29536 can1".
    virtual QString description() const = 0;

    QString errorString() const { return error; }

    // An empty frame with the route bits and direction that frames of interface `name` get, as a
    // candump log's interface column gives them: "can0", "vcan0", "slcan0" are line CAN0, names
    // ending in 1 line CAN1, "canrx" and any other name no line; "cantx" holds transmitted frames.
    static CanPacket interfacePacket(const QString &name);

signals:
    void opened();
    void readyFrame(const TimedPacket &frame);
    // The source went away or broke; it is closed now.
    void failed(const QString &reason);
    // What a source with a command channel answered, as it came (the module's replies).
    void readyReply(const QByteArray &reply);

protected:
    void setErrorString(const QString &text) { error = text; }

private:
    QString error;
};
