#pragma once

#include <QString>
#include <QtGlobal>

class QIODevice;
struct TimedPacket;

// A capture file read frame by frame from an open device it does not own. Readers stream: they
// hold one chunk of the input at a time, whatever the file size.
class CaptureReader
{
public:
    explicit CaptureReader(QIODevice *device) : input(device) {}
    virtual ~CaptureReader() = default;
    CaptureReader(const CaptureReader &) = delete;
    CaptureReader &operator=(const CaptureReader &) = delete;

    // The next classic CAN frame; false at the end or on an error that stops reading.
    virtual bool next(TimedPacket &frame) = 0;

    // Records or events seen and not taken (CAN FD, error frames, broken lines, other objects).
    // Comments and headers are not counted.
    quint64 skipped() const { return skippedCount; }
    // Empty unless reading failed: unreadable device, not this format at all, I/O error.
    QString errorString() const { return error; }
    // Input bytes processed so far, for a progress bar.
    qint64 bytesConsumed() const { return consumed; }

protected:
    QIODevice *device() const { return input; }
    void countSkipped() { ++skippedCount; }
    void setConsumed(qint64 bytes) { consumed = qMax(consumed, bytes); }
    // Keeps the first failure: later ones are consequences of it.
    void fail(const QString &message)
    {
        if (error.isEmpty())
            error = message;
    }
    bool failed() const { return !error.isEmpty(); }

private:
    QIODevice *input;
    quint64 skippedCount = 0;
    qint64 consumed = 0;
    QString error;
};
