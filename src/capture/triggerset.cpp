// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/triggerset.h"

#include "formats/candumpwriter.h"
#include "signals/dbcdatabase.h"
#include "signals/dbcmessage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <algorithm>

struct TriggerSet::State
{
    TriggerRule rule;
    std::unique_ptr<QFile> file;
    QByteArray pending;
    qint64 end = 0; // last moment of the open window
    int fired = 0;
    QString lastPath;
    const DbcMessage *message = nullptr; // signal rules
    int signalIndex = -1;
    bool known = false; // a value has been seen
    bool held = false;  // the condition held on the last value
};

TriggerSet::TriggerSet() = default;

TriggerSet::~TriggerSet()
{
    closeAll();
}

void TriggerSet::setRules(const QVector<TriggerRule> &rules, const QString &where)
{
    closeAll();
    states.clear();
    ring.clear();
    directory = where;
    ringSpanUs = 0;
    for (const TriggerRule &rule : rules) {
        states.push_back(std::make_unique<State>());
        states.back()->rule = rule;
        ringSpanUs = std::max(ringSpanUs, rule.preUs);
    }
}

void TriggerSet::setDatabase(const DbcDatabase *database)
{
    for (const auto &state : states) {
        state->message = nullptr;
        state->signalIndex = -1;
        state->known = false;
        if (state->rule.kind != TriggerRule::Kind::Signal || !database)
            continue;
        const QString wanted = state->rule.signalName;
        const int dot = wanted.lastIndexOf(QLatin1Char('.'));
        for (const DbcMessage &message : database->messages()) {
            if (dot >= 0 && message.name != wanted.left(dot))
                continue;
            const int index = message.signalIndex(wanted.mid(dot + 1));
            if (index >= 0) {
                state->message = &message;
                state->signalIndex = index;
                break;
            }
        }
    }
}

const TriggerRule &TriggerSet::rule(int index) const
{
    return states.at(size_t(index))->rule;
}

int TriggerSet::fireCount(int index) const
{
    return states.at(size_t(index))->fired;
}

QString TriggerSet::lastFile(int index) const
{
    return states.at(size_t(index))->lastPath;
}

QString TriggerSet::fileName(const QDateTime &event, const QString &name)
{
    return QStringLiteral("trigger-") + event.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QLatin1Char('-') + name + QStringLiteral(".log");
}

void TriggerSet::add(const TimedPacket &frame)
{
    if (states.empty())
        return;
    ring.push_back(frame);
    trimRing(frame.time);
    for (const auto &state : states) {
        if (state->file && frame.time > state->end)
            close(*state);
        if (state->file)
            write(*state, frame);
        const TriggerRule &rule = state->rule;
        if (rule.matchFrame(frame.packet) ||
            (rule.kind == TriggerRule::Kind::Signal && signalCrossed(*state, frame.packet)))
            fireRule(*state, frame.time);
    }
}

void TriggerSet::trimRing(qint64 newest)
{
    while (!ring.empty() &&
           (ring.front().time < newest - ringSpanUs || ring.size() > MaxRingFrames))
        ring.pop_front();
}

bool TriggerSet::signalCrossed(State &state, const CanPacket &packet)
{
    const DbcMessage *message = state.message;
    if (!message || !message->matches(packet.id, packet.isExtended()) || packet.isRemote())
        return false;
    const int length = packet.dataLength();
    double value = 0;
    if (!message->isActive(state.signalIndex, packet.data, length) ||
        !message->signalList[size_t(state.signalIndex)].decode(packet.data, length, &value))
        return false;
    const bool holds = state.rule.holds(value);
    const bool crossed = state.known && holds && !state.held;
    state.known = true;
    state.held = holds;
    return crossed;
}

void TriggerSet::fire(TriggerRule::Kind kind, qint64 time)
{
    for (const auto &state : states) {
        if (state->rule.kind == kind)
            fireRule(*state, time);
    }
}

void TriggerSet::fireRule(State &state, qint64 time)
{
    ++state.fired;
    if (state.file) {
        state.end = std::max(state.end, time + state.rule.postUs);
        return;
    }
    if (!open(state, time))
        return;
    state.end = time + state.rule.postUs;
    const qint64 from = time - state.rule.preUs;
    for (const TimedPacket &frame : ring) {
        if (frame.time >= from && frame.time <= state.end)
            write(state, frame);
    }
}

bool TriggerSet::open(State &state, qint64 time)
{
    const QDateTime event = QDateTime::fromMSecsSinceEpoch(time / 1000);
    QString path = QDir(directory).filePath(fileName(event, state.rule.name));
    for (int n = 2; QFile::exists(path); ++n) {
        path = QDir(directory).filePath(
            fileName(event, state.rule.name + QLatin1Char('-') + QString::number(n)));
    }
    QDir().mkpath(directory);
    state.file = std::make_unique<QFile>(path);
    if (!state.file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        failure = state.file->errorString() + QStringLiteral(": ") + path;
        state.file.reset();
        return false;
    }
    state.lastPath = path;
    return true;
}

void TriggerSet::write(State &state, const TimedPacket &frame)
{
    CandumpWriter::appendLine(state.pending, frame);
    if (state.pending.size() >= WriteChunk) {
        state.file->write(state.pending);
        state.pending.clear();
    }
}

void TriggerSet::close(State &state)
{
    state.file->write(state.pending);
    state.pending.clear();
    state.file->close();
    state.file.reset();
}

void TriggerSet::check(qint64 time)
{
    for (const auto &state : states) {
        if (!state->file)
            continue;
        if (time > state->end) {
            close(*state);
        } else if (!state->pending.isEmpty()) {
            state->file->write(state->pending);
            state->pending.clear();
            state->file->flush();
        }
    }
}

void TriggerSet::closeAll()
{
    for (const auto &state : states) {
        if (state->file)
            close(*state);
    }
}
