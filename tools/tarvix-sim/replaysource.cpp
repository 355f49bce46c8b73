// SPDX-License-Identifier: GPL-3.0-or-later
#include "replaysource.h"

#include "formats/candumpreader.h"

#include <QFile>

ReplaySource::ReplaySource(bool loop) : loop(loop)
{
}

bool ReplaySource::load(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    CandumpReader reader(&file);
    TimedPacket frame;
    quint64 fdFrames = 0; // the module's records are classic: CAN FD lines are skipped
    while (reader.next(frame)) {
        if (frame.packet.isFd())
            ++fdFrames;
        else
            add(frame);
    }
    bad = int(qMin<quint64>(reader.skipped() + fdFrames, INT_MAX));
    if (!reader.errorString().isEmpty() && entries.isEmpty()) {
        error = QStringLiteral("cannot read %1: %2").arg(path, reader.errorString());
        return false;
    }
    if (entries.isEmpty()) { // damage costs its own lines only; a file of nothing else is none
        error = QStringLiteral("no frame in %1 (%2 bad lines)").arg(path).arg(bad);
        return false;
    }
    finishLoading();
    return true;
}

// The module sends what it receives: every frame goes out as received, on the line its
// interface names. A screen line without a time goes with the frame before it.
void ReplaySource::add(TimedPacket frame)
{
    frame.packet.direct = CanPacket::Received;
    if (frame.time == TimedPacket::NoTime)
        frame.time = entries.isEmpty() ? 0 : entries.last().time;
    entries.append(frame);
}

void ReplaySource::finishLoading()
{
    const qint64 first = entries.first().time;
    for (TimedPacket &entry : entries)
        entry.time -= first;
    const qint64 span = qMax<qint64>(0, entries.last().time);
    const qint64 gap = entries.size() > 1 && span > 0 ? span / (entries.size() - 1) : 1000;
    passSpanUs = span + gap;
}

bool ReplaySource::hasNext() const
{
    return pos < entries.size();
}

qint64 ReplaySource::nextTimeUs() const
{
    return hasNext() ? offsetUs + entries[pos].time : offsetUs;
}

CanPacket ReplaySource::takeNext()
{
    const CanPacket packet = entries[pos++].packet;
    if (loop && pos == entries.size()) {
        pos = 0;
        offsetUs += passSpanUs;
    }
    return packet;
}

double ReplaySource::naturalRate() const
{
    return passSpanUs > 0 ? entries.size() * 1e6 / double(passSpanUs) : 0.0;
}
