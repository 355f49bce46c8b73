#include "signals/dbcmessage.h"

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
