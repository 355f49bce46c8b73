// SPDX-License-Identifier: GPL-3.0-or-later
#include "trafficprofile.h"

#include <algorithm>

namespace {
constexpr uint32_t StandardSpace = 0x800;
constexpr uint32_t ExtendedSpace = 0x20000000;
constexpr qint64 StartSpreadUs = 10000; // below the shortest period
} // namespace

TrafficProfile::TrafficProfile(int idCount, quint32 seed, bool alike) : rng(seed)
{
    idCount = std::clamp(idCount, 1, MaxIds);
    const int extended =
        std::max(alike ? idCount * 4 / 5 : idCount / 4, idCount - int(StandardSpace));
    addNodes(makeIds(idCount - extended, false), false, alike);
    addNodes(makeIds(extended, true), true, alike);
    std::shuffle(nodes.begin(), nodes.end(), rng); // mix the two formats on the line
    for (size_t i = 7; !alike && i < nodes.size(); i += 16)
        nodes[i].makeRemote();
    startSchedule();
}

std::vector<uint32_t> TrafficProfile::makeIds(int count, bool extended)
{
    // 29-bit identifiers start above the 11-bit range so the two sets never share a number.
    const uint64_t base = extended ? StandardSpace : 0;
    const uint64_t space = extended ? ExtendedSpace - StandardSpace : StandardSpace;
    std::vector<uint32_t> ids;
    ids.reserve(size_t(count));
    for (int k = 0; k < count; ++k) {
        const uint64_t start = uint64_t(k) * space / uint64_t(count);
        const uint64_t end = uint64_t(k + 1) * space / uint64_t(count);
        const uint64_t offset = std::uniform_int_distribution<uint64_t>(0, end - start - 1)(rng);
        ids.push_back(uint32_t(base + start + offset));
    }
    return ids;
}

void TrafficProfile::addNodes(const std::vector<uint32_t> &ids, bool extended, bool alike)
{
    for (uint32_t id : ids) {
        const uint8_t route = nodes.size() % 2 ? CanPacket::Can1ToCan0 : CanPacket::Can0ToCan1;
        nodes.emplace_back(id, extended, route, rng, alike);
    }
}

void TrafficProfile::startSchedule()
{
    const qint64 count = qint64(nodes.size());
    for (qint64 i = 0; i < count; ++i)
        schedule.push({i * StartSpreadUs / count, int(i)});
}

CanPacket TrafficProfile::takeNext()
{
    const Slot slot = schedule.top();
    schedule.pop();
    BusNode &node = nodes[size_t(slot.second)];
    schedule.push({slot.first + node.periodUs(), slot.second});
    return node.nextFrame(rng);
}

double TrafficProfile::naturalRate() const
{
    double rate = 0;
    for (const BusNode &node : nodes)
        rate += 1e6 / double(node.periodUs());
    return rate;
}
