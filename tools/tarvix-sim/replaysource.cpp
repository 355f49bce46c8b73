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
    const QByteArray head = file.peek(CandumpReader::JudgedBytes);
    screen.judge(head.constData(), head.constData() + head.size());
    while (!file.atEnd())
        addLine(file.readLine());
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    if (entries
            .isEmpty()) { // damage costs its own lines only; a file of nothing else is no capture
        error = QStringLiteral("no frame in %1 (%2 bad lines)").arg(path).arg(bad);
        return false;
    }
    finishLoading();
    return true;
}

void ReplaySource::addLine(const QByteArray &line)
{
    CandumpParser::Entry entry;
    switch (CandumpParser::parse(line, entry)) {
    case CandumpParser::Result::Frame:
        entries.append(entry);
        break;
    case CandumpParser::Result::Bad:
        if (!addScreenLine(line))
            ++bad;
        break;
    case CandumpParser::Result::Blank:
        break;
    }
}

// A frame without a time goes with the one before it; the line follows the interface as in a log.
bool ReplaySource::addScreenLine(const QByteArray &line)
{
    const int size = line.endsWith("\r\n") ? line.size() - 2 : line.size() - line.endsWith('\n');
    TimedPacket frame;
    switch (screen.parse(line.constData(), line.constData() + size, frame)) {
    case CandumpScreenLine::Result::Frame:
        break;
    case CandumpScreenLine::Result::Note:
    case CandumpScreenLine::Result::Blank:
        return true;
    case CandumpScreenLine::Result::Skipped:
    case CandumpScreenLine::Result::Broken:
        return false;
    }
    CandumpParser::Entry entry;
    entry.packet = frame.packet;
    entry.packet.direct = CanPacket::Received;
    entry.packet.frame = uint8_t(
        (frame.packet.frame & CanPacket::Extended) |
        CandumpParser::routeOf(QByteArray(screen.interfaceBegin(),
                                          int(screen.interfaceEnd() - screen.interfaceBegin()))));
    const bool timed = frame.time != TimedPacket::NoTime;
    entry.timeUs = timed ? frame.time : entries.isEmpty() ? 0 : entries.last().timeUs;
    entries.append(entry);
    return true;
}

void ReplaySource::finishLoading()
{
    if (entries.isEmpty())
        return;
    const qint64 first = entries.first().timeUs;
    for (CandumpParser::Entry &entry : entries)
        entry.timeUs -= first;
    const qint64 span = qMax<qint64>(0, entries.last().timeUs);
    const qint64 gap = entries.size() > 1 && span > 0 ? span / (entries.size() - 1) : 1000;
    passSpanUs = span + gap;
}

bool ReplaySource::hasNext() const
{
    return pos < entries.size();
}

qint64 ReplaySource::nextTimeUs() const
{
    return hasNext() ? offsetUs + entries[pos].timeUs : offsetUs;
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
