// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QIODevice;
struct TimedPacket;

// A capture file written frame by frame to an open device it does not own. Output is gathered in
// a buffer and written in big blocks.
class CaptureWriter
{
public:
    explicit CaptureWriter(QIODevice *device);
    virtual ~CaptureWriter() = default;
    CaptureWriter(const CaptureWriter &) = delete;
    CaptureWriter &operator=(const CaptureWriter &) = delete;

    // False once writing has failed; frames after that are dropped.
    virtual bool write(const TimedPacket &frame) = 0;
    // Writes what is buffered and the trailer; false on any I/O error since the start.
    virtual bool finish() = 0;
    QString errorString() const { return error; }

protected:
    static constexpr int BufferSize = 256 * 1024;

    QIODevice *device() const { return output; }
    QByteArray &buffer() { return pending; }
    bool ok() const { return error.isEmpty(); }
    // Writes the buffer once it holds a block's worth.
    bool flushIfFull() { return pending.size() < BufferSize || flush(); }
    bool flush();
    // flush(), then the device's own buffer too: a file keeps small writes until it is closed,
    // and a full disk would go unnoticed.
    bool flushAll();
    void fail(const QString &message);
    // The frame's time, or the one before it for a frame without a time (0 for the first).
    qint64 timeOf(const TimedPacket &frame);

private:
    QIODevice *output;
    QByteArray pending;
    qint64 lastTime = 0;
    QString error;
};
