// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator.h"

#include "link/linerecord.h"
#include "ptyline.h"

#include <cstdio>

namespace {
constexpr int TickMs = 1;
// A real module answers in a USB transfer of its own; a short pause after a reply keeps the next
// frames out of the read that picks the reply up. A reader that keeps the line full is behind by
// a whole pseudo-terminal buffer and needs longer to reach the reply.
constexpr int HoldBackMs = 10;
constexpr int HoldBackBehindMs = 50;
constexpr qint64 BehindWindowMs = 200;
constexpr int BatchFrames = 1024;
constexpr int MaxBatchesPerPump = 64; // leaves the event loop time for the host's commands
constexpr int DrainLookMs = 20;
constexpr qint64 DrainLimitMs = 2000;

void status(const char *text)
{
    std::fprintf(stderr, "tarvix-sim: %s\n", text);
}
} // namespace

Simulator::Simulator(PtyLine *line, std::unique_ptr<FrameSource> source, const Pacer &pacer,
                     const Limits &limits, QObject *parent)
    : QObject(parent), line(line), source(std::move(source)), pacer(pacer), limits(limits)
{
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(TickMs);
    holdBack.setSingleShot(true);
    drainWatch.setInterval(DrainLookMs);
    connect(&tick, &QTimer::timeout, this, &Simulator::pump);
    connect(&holdBack, &QTimer::timeout, this, &Simulator::pump);
    connect(&drainWatch, &QTimer::timeout, this, &Simulator::checkDrained);
    connect(line, &PtyLine::readerChanged, this, &Simulator::onReaderChanged);
    connect(line, &PtyLine::hostBytes, this, &Simulator::onHostBytes);
    connect(line, &PtyLine::writable, this, &Simulator::pump);
    connect(line, &PtyLine::replyWritten, this, &Simulator::onReplyWritten);
}

void Simulator::start(bool monitoring)
{
    responder.setMonitoring(monitoring);
    updatePacer();
}

bool Simulator::logHostFrames(const QString &path)
{
    hostLog.setFileName(path);
    if (!hostLog.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    responder.setRecordSink([this](const QByteArray &record) {
        hostLog.write(record.toHex().toUpper() + '\n');
        hostLog.flush(); // read by tests while the module runs
    });
    return true;
}

qint64 Simulator::framesSent() const
{
    return line->framesSent();
}

void Simulator::pump()
{
    if (mayStream()) {
        pacer.sample();
        for (int batch = 0; batch < MaxBatchesPerPump && !line->isBlocked(); ++batch) {
            const QByteArray records = takeDueFrames();
            if (records.isEmpty())
                break;
            line->sendFrames(records);
        }
    }
    checkEnd();
}

QByteArray Simulator::takeDueFrames()
{
    char records[BatchFrames * LineRecord::Size];
    const qint64 allowed = qMin<qint64>(BatchFrames, framesAllowed());
    int taken = 0;
    while (taken < allowed && source->hasNext() && pacer.mayTake(source->nextTimeUs())) {
        const CanPacket packet = source->takeNext();
        LineRecord::encode(packet, packet.frame, records + taken * LineRecord::Size);
        pacer.took();
        ++taken;
    }
    return QByteArray(records, taken * LineRecord::Size);
}

// Frames that may still be queued under --count, counting those already on their way.
qint64 Simulator::framesAllowed() const
{
    if (limits.count < 0)
        return BatchFrames;
    return limits.count - line->framesSent() - line->framesQueued();
}

bool Simulator::mayStream() const
{
    return !ended && pacer.isRunning() && !holdBack.isActive() && !line->holdsReply() &&
           !line->isBlocked();
}

// The clock and the tick run only while frames may flow; an idle module does not wake up.
void Simulator::updatePacer()
{
    if (!ended && line->hasReader() && responder.monitoring()) {
        pacer.resume();
        if (!tick.isActive())
            tick.start();
    } else {
        pacer.pause();
        tick.stop();
    }
}

void Simulator::checkEnd()
{
    if (ended || !limitReached())
        return;
    ended = true;
    updatePacer();
    status("streaming finished");
    if (limits.exitWhenDone) {
        drainClock.start();
        drainWatch.start();
    }
}

bool Simulator::limitReached() const
{
    if (limits.count >= 0 && line->framesSent() >= limits.count)
        return true;
    if (limits.durationUs >= 0 && pacer.elapsedUs() >= limits.durationUs)
        return true;
    return !source->hasNext() && line->framesQueued() == 0;
}

void Simulator::checkDrained()
{
    if (!line->hasReader() || drainClock.elapsed() >= DrainLimitMs) {
        emit finished();
        return;
    }
    // Two empty looks in a row: the second also covers bytes that were still on their way into
    // the reader's buffer at the first.
    const bool empty = line->isIdle() && line->unreadAtReader() == 0;
    quietLooks = empty ? quietLooks + 1 : 0;
    if (quietLooks >= 2)
        emit finished();
}

void Simulator::onReaderChanged(bool present)
{
    status(present ? "reader connected" : "reader gone");
    updatePacer();
    if (present)
        pump();
}

void Simulator::onReplyWritten()
{
    holdBack.start(line->wasFullWithin(BehindWindowMs) ? HoldBackBehindMs : HoldBackMs);
}

void Simulator::onHostBytes(const QByteArray &bytes)
{
    const QList<QByteArray> replies = responder.feed(bytes);
    for (const QByteArray &reply : replies)
        line->sendReply(reply);
    updatePacer();
}
