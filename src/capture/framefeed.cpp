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

namespace {

// Frames that came after one when its identifier's state is fetched, the slot coming first; then
// when the bit times its flips may write are.
constexpr int StateLag = 8;
constexpr int TimesLag = 12;
// Below this many identifiers their state stays in the cache, and frames are taken at once.
constexpr int FetchAheadIds = 256;

quint32 keyOf(const CanPacket &packet)
{
    return KeyIndex::key(packet.id, packet.isExtended());
}

} // namespace

void FrameFeed::add(const TimedPacket &frame)
{
    if (frame.packet.direct != CanPacket::Received) {
        settle(); // in the order they came
        addSent(frame);
        return;
    }
    ++live;
    load.add(frame.packet, frame.time);
    wait(frame, liveOrigin());
    scheduleRefresh();
}

FrameFeed::Origin FrameFeed::liveOrigin() const
{
    return recorder && recorder->isRecording() ? Origin::LiveRecorded : Origin::Live;
}

void FrameFeed::wait(const TimedPacket &frame, Origin origin)
{
    if (waitingCount == 0 && stats->idCount() < FetchAheadIds) {
        take(frame, origin, Found());
        return;
    }
    if (waitingCount == Ahead)
        takeOldest();
    Waiting &w = waiting[waited % Ahead];
    w.frame = frame;
    w.origin = origin;
    w.found = Found{};
    ++waited;
    ++waitingCount;
    fetchAhead();
}

void FrameFeed::fetchAhead()
{
    const quint32 newest = keyOf(waiting[(waited - 1) % Ahead].frame.packet);
    stats->prefetchSlot(newest);
    flips.prefetchSlot(newest);
    if (waitingCount > StateLag) {
        Waiting &w = waiting[(waited - 1 - StateLag) % Ahead];
        const quint32 key = keyOf(w.frame.packet);
        w.found.entry = stats->prefetchEntry(key);
        w.found.state = flips.prefetchState(key);
    }
    if (waitingCount > TimesLag)
        flips.prefetchFlipTimes(waiting[(waited - 1 - TimesLag) % Ahead].found.state);
}

void FrameFeed::takeOldest()
{
    const Waiting &w = waiting[(waited - quint64(waitingCount)) % Ahead];
    --waitingCount;
    take(w.frame, w.origin, w.found);
}

void FrameFeed::take(const TimedPacket &frame, Origin origin, Found found)
{
    if (origin == Origin::Capture) {
        addCaptureFrame(frame, found);
        return;
    }
    qint64 row = -1;
    if (filters.matches(frame.packet)) {
        row = nextRow();
        logLive(frame, origin);
    }
    analyse(frame, row, found);
}

void FrameFeed::settle() const
{
    // Logically const: what the feed shows is as if each frame had been taken as it came.
    auto *self = const_cast<FrameFeed *>(this);
    while (self->waitingCount > 0)
        self->takeOldest();
}

// A frame we sent is counted and, while transmitted frames are shown, logged; the analyses of
// the bus read what the bus carried.
void FrameFeed::addSent(const TimedPacket &frame)
{
    stats->count(frame);
    if (filters.matchDirection(frame.packet) && filters.matchShown(frame.packet))
        logLive(frame, liveOrigin());
    scheduleRefresh();
}

// A live row is in a file only while a recording takes it.
void FrameFeed::logLive(const TimedPacket &frame, Origin origin)
{
    captured.addLiveFrame(frame);
    if (origin != Origin::LiveRecorded)
        ++unfiled;
}

void FrameFeed::analyse(const TimedPacket &frame, qint64 row, Found found)
{
    stats->count(frame, found.entry);
    diag.add(frame, row);
    flips.add(frame, found.state);
}

qint64 FrameFeed::nextRow() const
{
    return model->rowCount() + model->pendingRows();
}

void FrameFeed::beginCapture(bool reread)
{
    settle();
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
        wait(frame, Origin::Capture);
    scheduleRefresh();
}

void FrameFeed::addCaptureFrame(const TimedPacket &frame, Found found)
{
    qint64 row = -1;
    if (filters.matches(frame.packet)) {
        row = nextRow();
        captured.addCaptureFrame(frame);
    }
    if (!captured.isRereading())
        analyse(frame, row, found);
}

void FrameFeed::endCapture()
{
    settle();
    captured.endCapture();
    scheduleRefresh();
}

void FrameFeed::clear()
{
    settle();
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
    settle();
    unfiled = qBound<qint64>(0, model->store().size() - rows, unfiled);
}

void FrameFeed::forgetUnfiled()
{
    settle();
    unfiled = 0;
}

qint64 FrameFeed::unfiledRows() const
{
    settle();
    return unfiled;
}

FrameFilter &FrameFeed::filter()
{
    settle(); // frames that came before a change of the filters meet the filters they met
    return filters;
}

CanDataModel *FrameFeed::log() const
{
    settle();
    return model;
}

CaptureLog &FrameFeed::captureLog()
{
    settle();
    return captured;
}

FrameStatistics *FrameFeed::statistics() const
{
    settle();
    return stats;
}

DiagnosticsLog &FrameFeed::diagnostics()
{
    settle();
    return diag;
}

const BitFlipCounter &FrameFeed::bitFlips() const
{
    settle();
    return flips;
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
    settle();
    refreshTimer->stop();
    lastRefresh.restart();
    if (model->flushRows() > 0)
        emit rowsAdded();
    emit refreshed();
}
