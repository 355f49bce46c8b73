// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturedamage.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>
#include <cstring>

class QDate;
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

    // The next CAN frame, classic or FD; false at the end or on an error that stops reading.
    virtual bool next(TimedPacket &frame) = 0;
    // The day of a format whose times do not say it (a time of day, a time since the start);
    // others ignore it.
    virtual void setBaseDate(const QDate &date) { Q_UNUSED(date) }

    static constexpr int MaxDamageNotes = 100;

    // Records or events seen and not taken (CAN FD, error frames, broken lines, other objects;
    // a damaged stretch of a binary file counts once). Comments and headers are not counted.
    quint64 skipped() const { return skippedCount; }
    // The damaged stretches stepped over, the first MaxDamageNotes of them, in file order.
    const QVector<CaptureDamage> &damage() const { return notes; }
    // All of them, noted or not.
    quint64 damageCount() const { return damagedCount; }
    // Empty unless reading failed: unreadable device, not this format at all, I/O error, a file
    // cut off in a record. Damage that reading stepped over is no failure.
    QString errorString() const { return error; }
    // Input bytes processed so far, for a progress bar.
    qint64 bytesConsumed() const { return consumed; }
    // The channel of the frame last read as a candump interface name: a candump log's own name,
    // "can<N-1>" for channel N of ASC, TRC and BLF (counted from 1; python-can and can-utils'
    // asc2log name them so); empty when the record names no channel.
    const QByteArray &channelName() const { return channel; }

protected:
    QIODevice *device() const { return input; }
    void countSkipped() { ++skippedCount; }
    void setConsumed(qint64 bytes) { consumed = qMax(consumed, bytes); }
    // Notes where a damaged stretch is (counting it as skipped is the caller's part). Broken lines
    // right after broken lines of the same kind lengthen the stretch instead.
    void noteDamage(CaptureDamage damage);
    // Keeps the first failure: later ones are consequences of it.
    void fail(const QString &message)
    {
        if (error.isEmpty())
            error = message;
    }
    bool failed() const { return !error.isEmpty(); }
    // Called per frame: the text is copied only when the channel changes.
    void setChannelName(const char *begin, const char *end)
    {
        const int size = int(end - begin);
        if (channel.size() != size || std::memcmp(channel.constData(), begin, size_t(size)) != 0)
            channel = QByteArray(begin, size);
        channelNumber = -1;
    }
    void setChannelNumber(qint64 number)
    {
        if (number == channelNumber)
            return;
        channelNumber = number;
        channel = number >= 1 ? "can" + QByteArray::number(number - 1) : QByteArray();
    }

private:
    QIODevice *input;
    quint64 skippedCount = 0;
    quint64 damagedCount = 0;
    QVector<CaptureDamage> notes;
    CaptureDamage lastDamage; // noted or, beyond MaxDamageNotes, only counted
    qint64 consumed = 0;
    QString error;
    QByteArray channel;
    qint64 channelNumber = 0; // 0: none; -1: a name, not a number
};
