// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/j1939singleframe.h"

#include "diagnostics/j1939id.h"
#include "diagnostics/j1939meaning.h"
#include "link/timedpacket.h"

#include <algorithm>

namespace {

constexpr uint8_t RouteBits = CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0;
constexpr int FrameBytes = 8;
constexpr uint32_t TorqueSpeedControl = 0;

} // namespace

bool J1939SingleFrame::feed(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out)
{
    const CanPacket &p = frame.packet;
    if (!p.isExtended() || p.isRemote())
        return false;
    const J1939Id j = J1939Id::of(p.id);
    // Every 29-bit identifier below 0x10000 reads as PGN 0 (TSC1): other protocols' small
    // identifiers would all become engine commands, and TSC1 is no diagnostics anyway.
    if (j.pgn == TorqueSpeedControl || !J1939Meaning::isKnown(j.pgn))
        return false;
    DiagMessage m;
    m.time = frame.time;
    m.route = p.frame & RouteBits;
    m.transmitted = p.direct != CanPacket::Received;
    m.id = p.id;
    m.extended = true;
    m.protocol = DiagMessage::Protocol::J1939;
    m.source = j.source;
    m.target = j.destination;
    m.functional = j.destination == J1939Id::Global;
    m.pgn = j.pgn;
    m.payload =
        QByteArray(reinterpret_cast<const char *>(p.data), std::min(p.length(), FrameBytes));
    m.firstFrame = m.lastFrame = number;
    out.push_back(std::move(m));
    return true;
}
