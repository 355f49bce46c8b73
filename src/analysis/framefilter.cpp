// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framefilter.h"

namespace {
quint64 idKey(uint32_t id, bool extended)
{
    return (quint64(id) << 1) | (extended ? 1u : 0u);
}
} // namespace

void FrameFilter::setMask(uint32_t mask, uint32_t code)
{
    idMask = mask;
    idCode = code;
}

bool FrameFilter::matchDirection(const CanPacket &packet) const
{
    if (packet.direct == CanPacket::Transmitted)
        return showTx;
    const bool received = packet.direct == CanPacket::Received;
    switch (direction) {
    case Can1ToCan0Only:
        return received && (packet.frame & CanPacket::Can1ToCan0);
    case ReceivedOnly:
        return received && packet.frame <= CanPacket::Extended;
    case Can0ToCan1Only:
        return received && (packet.frame & CanPacket::Can0ToCan1);
    default:
        return true;
    }
}

bool FrameFilter::matchId(const CanPacket &packet) const
{
    switch (idMode) {
    case AllIds:
        return true;
    case StandardIds:
        return !packet.isExtended();
    case ExtendedIds:
        return packet.isExtended();
    case StandardMask:
    case ExtendedMask:
        return ((packet.id ^ idCode) & idMask) == 0;
    default:
        return false;
    }
}

void FrameFilter::setHidden(uint32_t id, bool extended, bool hidden)
{
    if (hidden == hideByDefault)
        exceptions.remove(idKey(id, extended));
    else
        exceptions.insert(idKey(id, extended));
}

bool FrameFilter::isHidden(uint32_t id, bool extended) const
{
    return hideByDefault != exceptions.contains(idKey(id, extended));
}

void FrameFilter::showAllIds()
{
    hideByDefault = false;
    exceptions.clear();
}

void FrameFilter::hideAllIds()
{
    hideByDefault = true;
    exceptions.clear();
}

void FrameFilter::showOnly(uint32_t id, bool extended)
{
    hideAllIds();
    setHidden(id, extended, false);
}
