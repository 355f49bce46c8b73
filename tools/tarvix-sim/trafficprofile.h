// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "busnode.h"
#include "framesource.h"

#include <functional>
#include <queue>
#include <random>
#include <utility>
#include <vector>

// The built-in traffic: a set of periodic messages that together look like a machine's bus.
// Identifiers are spread evenly over the 11-bit space (three quarters of them, at most 2048) and
// the 29-bit space (the rest), each placed at a seed-chosen point of its own slot, so any count up
// to 100000 gives distinct identifiers. Every node sends its first frame within the first 10 ms,
// so the first `idCount` frames carry every identifier once.
//
// `alike` traffic makes every message the same kind (an engine message of 8 bytes every 10 ms,
// no remote requests) and four in five identifiers 29-bit whatever their count, so that two
// counts of identifiers differ in nothing else.
class TrafficProfile final : public FrameSource
{
public:
    static constexpr int MaxIds = 100000;

    TrafficProfile(int idCount, quint32 seed, bool alike = false);

    bool hasNext() const override { return true; }
    qint64 nextTimeUs() const override { return schedule.top().first; }
    CanPacket takeNext() override;
    double naturalRate() const override;

private:
    using Slot = std::pair<qint64, int>; // due time, node index
    std::vector<uint32_t> makeIds(int count, bool extended);
    void addNodes(const std::vector<uint32_t> &ids, bool extended, bool alike);
    void startSchedule();

    std::mt19937 rng;
    std::vector<BusNode> nodes;
    std::priority_queue<Slot, std::vector<Slot>, std::greater<Slot>> schedule;
};
