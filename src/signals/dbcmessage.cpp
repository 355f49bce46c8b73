// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcmessage.h"

#include "diagnostics/j1939id.h"

bool DbcMessage::samePgn(uint32_t frameId) const
{
    return J1939Id::of(frameId).pgn == J1939Id::of(id).pgn;
}

bool DbcMessage::addSignal(DbcSignal signal)
{
    const int existing = signalIndex(signal.name);
    if (existing >= 0) {
        signalList[size_t(existing)] = std::move(signal);
        return false;
    }
    byName.insert(signal.name, int(signalList.size()));
    signalList.push_back(std::move(signal));
    return true;
}

bool DbcMessage::isActive(int index, const uint8_t *data, int frameLength) const
{
    const DbcSignal *signal = &signalList[size_t(index)];
    // Loops were cut at load; the bound only guards against a list changed since.
    for (size_t depth = 0; signal->switchIndex >= 0 && depth < signalList.size(); ++depth) {
        const DbcSignal &selector = signalList[size_t(signal->switchIndex)];
        if (!selector.isPresent(frameLength) ||
            !signal->selectedBy(selector.integer(selector.bits(data))))
            return false;
        signal = &selector;
    }
    return signal->switchIndex == DbcSignal::NoSwitch;
}

int DbcMessage::plainMultiplexor() const
{
    for (size_t i = 0; i < signalList.size(); ++i) {
        if (signalList[i].isMultiplexor && signalList[i].muxValue < 0)
            return int(i);
    }
    return -1;
}

bool DbcMessage::switchLoops(int index) const
{
    int at = signalList[size_t(index)].switchIndex;
    for (size_t steps = 0; at >= 0; ++steps) {
        if (at == index || steps > signalList.size())
            return true;
        at = signalList[size_t(at)].switchIndex;
    }
    return false;
}

QStringList DbcMessage::resolveMultiplexing()
{
    QStringList unresolved;
    const int plain = plainMultiplexor();
    for (DbcSignal &signal : signalList) {
        if (signal.extendedMux || signal.muxValue < 0)
            continue;
        signal.switchIndex = plain < 0 ? DbcSignal::BrokenSwitch : plain;
        signal.muxRanges = {DbcSignal::Range{signal.muxValue, signal.muxValue}};
        if (plain < 0)
            unresolved << signal.name;
    }
    for (size_t i = 0; i < signalList.size(); ++i) {
        if (switchLoops(int(i))) {
            signalList[i].switchIndex = DbcSignal::BrokenSwitch;
            unresolved << signalList[i].name;
        }
    }
    return unresolved;
}

// Extended multiplexing ties a signal to its switch by index: remember it by name over an edit.
QHash<QString, QString> DbcMessage::switchNames() const
{
    QHash<QString, QString> names;
    for (const DbcSignal &signal : signalList) {
        if (signal.extendedMux && signal.switchIndex >= 0)
            names.insert(signal.name, signalList[size_t(signal.switchIndex)].name);
    }
    return names;
}

void DbcMessage::reindex(const QHash<QString, QString> &switches)
{
    byName.clear();
    for (size_t i = 0; i < signalList.size(); ++i)
        byName.insert(signalList[i].name, int(i));
    for (DbcSignal &signal : signalList) {
        signal.plan();
        if (signal.extendedMux) {
            signal.switchIndex = signalIndex(switches.value(signal.name));
            if (signal.switchIndex < 0)
                signal.switchIndex = DbcSignal::BrokenSwitch;
        } else if (signal.muxValue < 0) {
            signal.switchIndex = DbcSignal::NoSwitch;
            signal.muxRanges.clear();
        }
    }
    resolveMultiplexing();
}

void DbcMessage::setSignal(const QString &replacing, DbcSignal signal)
{
    QHash<QString, QString> switches = switchNames();
    const int at = signalIndex(replacing);
    if (at >= 0 && replacing != signal.name) {
        for (QString &switchName : switches) {
            if (switchName == replacing)
                switchName = signal.name;
        }
        if (switches.contains(replacing))
            switches.insert(signal.name, switches.take(replacing));
    }
    if (signal.extendedMux && !switches.contains(signal.name))
        signal.extendedMux = false; // a switch the signal never had: plain multiplexing
    if (at >= 0)
        signalList[size_t(at)] = std::move(signal);
    else
        signalList.push_back(std::move(signal));
    reindex(switches);
}

bool DbcMessage::removeSignal(const QString &signalName)
{
    const int at = signalIndex(signalName);
    if (at < 0)
        return false;
    const QHash<QString, QString> switches = switchNames();
    signalList.erase(signalList.begin() + at);
    reindex(switches);
    return true;
}
