// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/triggerrule.h"
#include "link/timedpacket.h"

#include <QString>
#include <QVector>
#include <deque>
#include <memory>
#include <vector>

class DbcDatabase;
class DbcMessage;
class QDateTime;
class QFile;

// Records around events only. The frames of the longest pre-window are kept in a ring in memory;
// when a rule fires at moment T, a file of its own gets the frames from T - pre on and every
// frame up to T + post. Firing again inside that window moves its end to the new T + post, in
// the same file.
class TriggerSet final
{
public:
    // Bounds the ring whatever the pre-windows say: about 100 s of both lines at full load.
    static constexpr size_t MaxRingFrames = 4000000;
    static constexpr int WriteChunk = 64 * 1024;

    TriggerSet();
    ~TriggerSet();

    void setRules(const QVector<TriggerRule> &rules, const QString &directory);
    // Signal rules find their signal here; the database must outlive this set.
    void setDatabase(const DbcDatabase *database);

    void add(const TimedPacket &frame);
    // Fires every rule of `kind` (Lost or Manual) at `time`.
    void fire(TriggerRule::Kind kind, qint64 time);
    // Ends the windows past their end at `time` though no frame came after; writes what waits.
    void check(qint64 time);
    void closeAll();

    int ruleCount() const { return int(states.size()); }
    const TriggerRule &rule(int index) const;
    int fireCount(int index) const;
    QString lastFile(int index) const;
    size_t ringSize() const { return ring.size(); }
    QString errorString() const { return failure; }

    // "trigger-YYYYMMDD-HHMMSS-NAME.log" after the local time of the event.
    static QString fileName(const QDateTime &event, const QString &name);

private:
    struct State;

    void fireRule(State &state, qint64 time);
    bool open(State &state, qint64 time);
    void write(State &state, const TimedPacket &frame);
    void close(State &state);
    bool signalCrossed(State &state, const CanPacket &packet);
    void trimRing(qint64 newest);

    std::vector<std::unique_ptr<State>> states;
    std::deque<TimedPacket> ring;
    qint64 ringSpanUs = 0; // the longest pre-window
    QString directory;
    QString failure;
};
