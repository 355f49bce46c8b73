// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capturereplay.h"

#include "link/timedpacket.h"

#include <QTimer>

namespace {
constexpr qint64 UsPerMs = 1000;
constexpr qint64 DefaultGapUs = 1000; // between loops of a capture without usable times
} // namespace

CaptureReplay::CaptureReplay(QObject *parent) : QObject(parent), timer(new QTimer(this))
{
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &CaptureReplay::onTimer);
}

qint64 CaptureReplay::total() const
{
    return options.rows.isEmpty() ? rows.size() : options.rows.size();
}

qint64 CaptureReplay::rowAt(qint64 index) const
{
    return options.rows.isEmpty() ? index : options.rows[int(index)];
}

void CaptureReplay::start(RowSnapshot snapshot, const Options &chosen)
{
    stop();
    rows = std::move(snapshot);
    options = chosen;
    position = 0;
    loops = 0;
    loopBaseUs = 0;
    if (total() == 0)
        return;
    LogRecord first{};
    rows.read(rowAt(0), &first);
    firstTime = first.time;
    running = true;
    clock.start();
    onTimer(); // the first frame at once
}

void CaptureReplay::stop()
{
    timer->stop();
    if (!running)
        return;
    running = false;
    emit finished();
}

// Microseconds after the start of its loop at which frame `index` is due.
qint64 CaptureReplay::offsetOf(qint64 index) const
{
    if (options.fixedGapUs >= 0)
        return index * options.fixedGapUs;
    LogRecord record{};
    if (!rows.read(rowAt(index), &record) || record.time == TimedPacket::NoTime ||
        firstTime == TimedPacket::NoTime)
        return 0;
    return qMax<qint64>(0, record.time - firstTime);
}

void CaptureReplay::onTimer()
{
    const qint64 now = clock.nsecsElapsed() / 1000;
    for (int burst = 0; running && burst < MaxBurst; ++burst) {
        if (loopBaseUs + offsetOf(position) > now)
            break;
        TimedPacket frame;
        if (rows.readFrame(rowAt(position), &frame)) {
            CanPacket packet = frame.packet;
            packet.direct = CanPacket::Transmitted;
            packet.delay = 0; // the timing is ours: the link must not wait per frame
            emit sendPacket(packet);
        }
        if (++position < total())
            continue;
        if (!options.loop) {
            stop();
            return;
        }
        // The next loop keeps the rhythm: one more gap after the last frame.
        const qint64 span = offsetOf(total() - 1);
        const qint64 gap = options.fixedGapUs >= 0 ? options.fixedGapUs
                           : total() > 1           ? span / (total() - 1)
                                                   : DefaultGapUs;
        loopBaseUs += span + qMax<qint64>(gap, 1);
        position = 0;
        ++loops;
    }
    schedule();
}

void CaptureReplay::schedule()
{
    if (!running)
        return;
    const qint64 due = loopBaseUs + offsetOf(position);
    const qint64 wait = due - clock.nsecsElapsed() / 1000;
    timer->start(int(qBound<qint64>(0, wait / UsPerMs, 1000)));
}
