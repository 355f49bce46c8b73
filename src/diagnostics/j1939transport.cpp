// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/j1939transport.h"

#include "diagnostics/j1939id.h"
#include "link/timedpacket.h"

#include <algorithm>

namespace {

constexpr uint8_t RouteBits = CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0;
constexpr int FrameBytes = 8;
constexpr int BytesPerPacket = 7;
constexpr int MinSize = 9;
enum Control : uint8_t { Rts = 16, Cts = 17, EndOfMsgAck = 19, Bam = 32, Abort = 255 };

uint8_t routeOf(const TimedPacket &frame)
{
    return frame.packet.frame & RouteBits;
}

uint32_t pgnAt(const uint8_t *d)
{
    return uint32_t(d[5]) | uint32_t(d[6]) << 8 | uint32_t(d[7]) << 16;
}

} // namespace

bool J1939Transport::feed(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out)
{
    const CanPacket &p = frame.packet;
    if (!isTransport(p.id, p.isExtended()) || p.isRemote())
        return false;
    if (p.length() < FrameBytes)
        return true; // both frame kinds are always eight bytes long
    if (((p.id >> 16) & 0xFF) == 0xEC)
        control(frame, number, out);
    else
        data(frame, number, out);
    return true;
}

void J1939Transport::control(const TimedPacket &frame, quint64 number,
                             std::vector<DiagMessage> &out)
{
    switch (frame.packet.data[0]) {
    case Rts:
    case Bam:
        announce(frame, number, out);
        break;
    case Cts:
        clearToSend(frame);
        break;
    case Abort:
        abort(frame, number, out);
        break;
    default: // EndOfMsgAck: the message was already complete at its last packet
        break;
    }
}

void J1939Transport::announce(const TimedPacket &frame, quint64 number,
                              std::vector<DiagMessage> &out)
{
    const CanPacket &p = frame.packet;
    const J1939Id j = J1939Id::of(p.id);
    const bool broadcast = p.data[0] == Bam;
    const uint8_t destination = broadcast ? J1939Id::Global : j.destination;
    const int size = p.data[1] | p.data[2] << 8;
    const int packets = p.data[3];
    if (size < MinSize || size > MaxSize || packets != (size + BytesPerPacket - 1) / BytesPerPacket)
        return;
    const uint64_t key = keyOf(routeOf(frame), j.source, destination);
    if (const auto it = sessions.find(key); it != sessions.end())
        fail(it, DiagMessage::Status::Interrupted, frame.time, out);
    makeRoom(out);
    Session s;
    DiagMessage &m = s.message;
    m.time = frame.time;
    m.route = routeOf(frame);
    m.transmitted = p.direct != CanPacket::Received;
    m.id = p.id;
    m.extended = true;
    m.protocol = DiagMessage::Protocol::J1939Tp;
    m.source = j.source;
    m.target = destination;
    m.functional = broadcast;
    m.pgn = pgnAt(p.data);
    m.firstFrame = m.lastFrame = number;
    m.payload.reserve(packets * BytesPerPacket);
    s.size = size;
    s.packets = packets;
    s.lastTime = frame.time;
    nextDeadline = std::min(nextDeadline, deadlineOf(s.lastTime));
    sessions.emplace(key, std::move(s));
}

J1939Transport::Sessions::iterator J1939Transport::findAcross(uint8_t route, uint8_t source,
                                                              uint8_t destination)
{
    auto it = sessions.find(keyOf(route, source, destination));
    for (const uint8_t other :
         {uint8_t(0), uint8_t(CanPacket::Can0ToCan1), uint8_t(CanPacket::Can1ToCan0)}) {
        if (it != sessions.end())
            break;
        if (other != route)
            it = sessions.find(keyOf(other, source, destination));
    }
    return it;
}

void J1939Transport::clearToSend(const TimedPacket &frame)
{
    const J1939Id j = J1939Id::of(frame.packet.id);
    // The receiver asks the sender: the session runs the other way.
    const auto it = findAcross(routeOf(frame), j.destination, j.source);
    if (it == sessions.end() || it->second.message.functional)
        return;
    Session &s = it->second;
    s.lastTime = frame.time;
    const uint8_t next = frame.packet.data[2];
    // A packet asked for again is sent again: the count goes back to it.
    if (frame.packet.data[1] > 0 && next >= 1 && next <= s.nextSequence && !s.discarding) {
        s.nextSequence = next;
        s.received = next - 1;
        s.message.payload.truncate(s.received * BytesPerPacket);
    }
}

void J1939Transport::abort(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out)
{
    const J1939Id j = J1939Id::of(frame.packet.id);
    auto it = findAcross(routeOf(frame), j.source, j.destination);
    if (it == sessions.end())
        it = findAcross(routeOf(frame), j.destination, j.source);
    if (it == sessions.end())
        return;
    it->second.message.lastFrame = number;
    fail(it, DiagMessage::Status::Aborted, frame.time, out);
}

void J1939Transport::data(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out)
{
    const CanPacket &p = frame.packet;
    const J1939Id j = J1939Id::of(p.id);
    const auto it = sessions.find(keyOf(routeOf(frame), j.source, j.destination));
    if (it == sessions.end()) {
        DiagMessage m;
        m.time = frame.time;
        m.route = routeOf(frame);
        m.transmitted = p.direct != CanPacket::Received;
        m.id = p.id;
        m.extended = true;
        m.protocol = DiagMessage::Protocol::J1939Tp;
        m.status = DiagMessage::Status::Unexpected;
        m.source = j.source;
        m.target = j.destination;
        m.payload = QByteArray(reinterpret_cast<const char *>(p.data + 1), BytesPerPacket);
        m.firstFrame = m.lastFrame = number;
        out.push_back(std::move(m));
        return;
    }
    Session &s = it->second;
    DiagMessage &m = s.message;
    m.id = p.id;
    m.lastFrame = number;
    s.lastTime = frame.time;
    if (!s.discarding && p.data[0] != s.nextSequence) {
        m.status = DiagMessage::Status::Sequence;
        m.time = frame.time;
        out.push_back(m);
        s.discarding = true;
    }
    ++s.nextSequence;
    ++s.received;
    m.payload.append(reinterpret_cast<const char *>(p.data + 1), BytesPerPacket);
    if (s.received < s.packets)
        return;
    if (!s.discarding) {
        m.payload.truncate(s.size);
        m.time = frame.time;
        out.push_back(std::move(m));
    }
    sessions.erase(it);
}

void J1939Transport::fail(std::unordered_map<uint64_t, Session>::iterator it,
                          DiagMessage::Status status, qint64 time, std::vector<DiagMessage> &out)
{
    if (!it->second.discarding) {
        DiagMessage &m = it->second.message;
        m.status = status;
        m.time = time;
        m.payload.truncate(it->second.size);
        out.push_back(std::move(m));
    }
    sessions.erase(it);
}

void J1939Transport::makeRoom(std::vector<DiagMessage> &out)
{
    if (int(sessions.size()) < MaxInProgress)
        return;
    const auto oldest =
        std::min_element(sessions.begin(), sessions.end(), [](const auto &a, const auto &b) {
            return a.second.lastTime < b.second.lastTime;
        });
    fail(oldest, DiagMessage::Status::Timeout, deadlineOf(oldest->second.lastTime), out);
}

void J1939Transport::expireSlow(qint64 now, std::vector<DiagMessage> &out)
{
    nextDeadline = std::numeric_limits<qint64>::max();
    std::vector<std::pair<qint64, uint64_t>> due;
    for (auto &[key, session] : sessions) {
        const qint64 deadline = deadlineOf(session.lastTime);
        if (now > deadline)
            due.emplace_back(session.lastTime, key);
        else
            nextDeadline = std::min(nextDeadline, deadline);
    }
    std::sort(due.begin(), due.end());
    for (const auto &entry : due) {
        const auto it = sessions.find(entry.second);
        fail(it, DiagMessage::Status::Timeout, deadlineOf(it->second.lastTime), out);
    }
}

void J1939Transport::finish(std::vector<DiagMessage> &out)
{
    expireSlow(std::numeric_limits<qint64>::max(), out);
}

void J1939Transport::clear()
{
    sessions.clear();
    nextDeadline = std::numeric_limits<qint64>::max();
}
