// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capturelog.h"

#include "log/candatamodel.h"
#include "log/logrecord.h"

CaptureLog::CaptureLog(CanDataModel *model) : model(model)
{
}

void CaptureLog::beginCapture()
{
    liveBefore = RowSnapshot();
    liveFrom = 0;
    liveDuring.clear();
    model->clear();
    captured = 0;
    reading = true;
    rereading = false;
}

void CaptureLog::beginReread()
{
    if (reading) // a re-read cut short keeps what it had put aside
        return;
    liveBefore = model->snapshot();
    liveFrom = captured;
    liveDuring.clear();
    model->clear();
    captured = 0;
    reading = true;
    rereading = true;
}

void CaptureLog::addCaptureFrame(const TimedPacket &frame)
{
    model->addFrame(frame);
    ++captured;
}

void CaptureLog::endCapture()
{
    if (!reading)
        return;
    reading = false;
    restoreLive();
}

void CaptureLog::restoreLive()
{
    TimedPacket frame;
    for (qint64 row = liveFrom; row < liveBefore.size(); ++row) {
        if (liveBefore.readFrame(row, &frame))
            model->addFrame(frame);
    }
    liveBefore = RowSnapshot();
    liveFrom = 0;
    for (const TimedPacket &frame : qAsConst(liveDuring))
        model->addFrame(frame);
    liveDuring.clear();
}

void CaptureLog::addLiveFrame(const TimedPacket &frame)
{
    if (reading)
        liveDuring.append(frame);
    else
        model->addFrame(frame);
}

void CaptureLog::clear()
{
    liveBefore = RowSnapshot();
    liveFrom = 0;
    liveDuring.clear();
    captured = 0;
    reading = false;
    rereading = false;
}

RowSnapshot CaptureLog::captureSnapshot() const
{
    return model->snapshot().head(captured);
}

QVector<qint64> CaptureLog::captureRowsOf(const QVector<qint64> &rows) const
{
    QVector<qint64> taken;
    for (const qint64 row : rows) {
        if (row >= 0 && row < captured)
            taken.append(row);
    }
    return taken;
}
