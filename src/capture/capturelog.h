// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"
#include "log/rowsnapshot.h"

#include <QVector>

class CanDataModel;

// The log as an opened capture followed by the live frames logged since. The capture's rows come
// first. When the capture is read again (other filters), the live rows already logged are put aside
// and come back after it, and live frames arriving meanwhile wait behind them: the log never mixes
// the two, and a replay can send exactly the capture.
class CaptureLog final
{
public:
    explicit CaptureLog(CanDataModel *model);

    // A capture replaces the whole log.
    void beginCapture();
    // The same capture read again: the live rows logged after it are kept.
    void beginReread();
    void addCaptureFrame(const TimedPacket &frame);
    // The capture is read (to its end, or as far as it could be).
    void endCapture();
    // A live frame the filters let through, received or transmitted.
    void addLiveFrame(const TimedPacket &frame);
    // The log was emptied: no capture any more.
    void clear();

    bool isReading() const { return reading; }
    bool isRereading() const { return reading && rereading; }
    qint64 captureRows() const { return captured; }
    // The rows of the capture as they stand in the log now, without any live row.
    RowSnapshot captureSnapshot() const;
    // The given rows of the log that belong to the capture.
    QVector<qint64> captureRowsOf(const QVector<qint64> &rows) const;

private:
    void restoreLive();

    CanDataModel *model;
    qint64 captured = 0;
    bool reading = false;
    bool rereading = false;
    RowSnapshot liveBefore; // the log before a re-read; rows from liveFrom on are live ones
    qint64 liveFrom = 0;
    QVector<TimedPacket> liveDuring; // arrived while the capture was being read again
};
