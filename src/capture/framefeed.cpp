// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/framefeed.h"

#include "analysis/framestatistics.h"
#include "capture/capturerecorder.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "log/rowstore.h"

#include <QTimer>

FrameFeed::FrameFeed(QObject *parent, const QString &storeDirectory)
    : QObject(parent), model(new CanDataModel(this, storeDirectory)), captured(model),
      stats(new FrameStatistics(this)), refreshTimer(new QTimer(this))
{
    model->setDeferredInsert(true); // rows reach the views with each refresh
    refreshTimer->setSingleShot(true);
    connect(refreshTimer, &QTimer::timeout, this, &FrameFeed::refresh);
    lastRefresh.start();
}

FrameFeed::~FrameFeed() = default;

void FrameFeed::add(const TimedPacket &frame)
{
    if (frame.packet.direct != CanPacket::Received) {
        addSent(frame);
        return;
    }
    ++live;
    load.add(frame.packet, frame.time);
    qint64 row = -1;
    if (filters.matches(frame.packet)) {
        row = nextRow();
        logLive(frame);
    }
    analyse(frame, row);
    scheduleRefresh();
}

// A frame we sent is counted and, while transmitted frames are shown, logged; the analyses of
// the bus read what the bus carried.
void FrameFeed::addSent(const TimedPacket &frame)
{
    stats->count(frame);
    if (filters.matchDirection(frame.packet) && filters.matchShown(frame.packet))
        logLive(frame);
    scheduleRefresh();
}

// A live row is in a file only while a recording takes it.
void FrameFeed::logLive(const TimedPacket &frame)
{
    captured.addLiveFrame(frame);
    if (!recorder || !recorder->isRecording())
        ++unfiled;
}

void FrameFeed::analyse(const TimedPacket &frame, qint64 row)
{
    stats->count(frame);
    diag.add(frame, row);
    flips.add(frame);
}

qint64 FrameFeed::nextRow() const
{
    return model->rowCount() + model->pendingRows();
}

void FrameFeed::beginCapture(bool reread)
{
    if (reread) { // the statistics already hold every frame of it
        captured.beginReread();
        return;
    }
    captured.beginCapture();
    unfiled = 0;
    diag.clear();
    stats->clear(FrameStatistics::Clock::Capture);
    flips.clear();
    emit cleared();
}

void FrameFeed::addCapture(const QVector<TimedPacket> &batch)
{
    for (const TimedPacket &frame : batch)
        addCaptureFrame(frame);
    scheduleRefresh();
}

void FrameFeed::addCaptureFrame(const TimedPacket &frame)
{
    qint64 row = -1;
    if (filters.matches(frame.packet)) {
        row = nextRow();
        captured.addCaptureFrame(frame);
    }
    if (!captured.isRereading())
        analyse(frame, row);
}

void FrameFeed::endCapture()
{
    captured.endCapture();
    scheduleRefresh();
}

void FrameFeed::clear()
{
    unfiled = 0;
    model->clear();
    captured.clear();
    diag.clear();
    stats->clear();
    flips.clear();
    emit cleared();
}

void FrameFeed::rowsSaved(qint64 rows)
{
    unfiled = qBound<qint64>(0, model->store().size() - rows, unfiled);
}

void FrameFeed::scheduleRefresh()
{
    if (refreshTimer->isActive())
        return;
    const qint64 since = lastRefresh.elapsed();
    refreshTimer->start(since >= RefreshMs ? 0 : int(RefreshMs - since));
}

void FrameFeed::refresh()
{
    refreshTimer->stop();
    lastRefresh.restart();
    if (model->flushRows() > 0)
        emit rowsAdded();
    emit refreshed();
}
