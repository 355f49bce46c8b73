// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/isotpreassembler.h"

#include "diagnostics/diagidtable.h"
#include "link/timedpacket.h"

#include <algorithm>

namespace {

constexpr int ClassicBytes = 8; // a first frame is never shorter; CAN FD's escapes start past it
constexpr uint8_t RouteBits = CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0;
enum FrameType { Single = 0, First = 1, Consecutive = 2 };

} // namespace

struct IsoTpReassembler::Frame
{
    const TimedPacket *timed;
    quint64 number;
    uint64_t key;
    int offset; // 1 when the first byte is an address
    int length;
    const uint8_t *data;
    IsoTpAddressing addressing;

    uint8_t pci() const { return data[offset]; }
    qint64 time() const { return timed->time; }
};

bool IsoTpReassembler::feed(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out)
{
    const CanPacket &p = frame.packet;
    const IsoTpAddressing addressing = ids->addressing(p.id, p.isExtended());
    if (addressing == IsoTpAddressing::None || p.isRemote())
        return false;
    Frame f{&frame,         number, 0,         addressing == IsoTpAddressing::Normal ? 0 : 1,
            p.dataLength(), p.data, addressing};
    if (f.length < f.offset + 1)
        return true;
    f.key = uint64_t(p.id) | uint64_t(p.isExtended()) << 29 | uint64_t(p.frame & RouteBits) << 30 |
            (f.offset ? uint64_t(0x100 | p.data[0]) << 40 : 0);
    switch (f.pci() >> 4) {
    case Single:
        single(f, out);
        break;
    case First:
        first(f, out);
        break;
    case Consecutive:
        consecutive(f, out);
        break;
    default: // flow control and reserved types carry no payload
        break;
    }
    return true;
}

DiagMessage IsoTpReassembler::start(const Frame &f) const
{
    const CanPacket &p = f.timed->packet;
    DiagMessage m;
    m.time = f.time();
    m.route = p.frame & RouteBits;
    m.transmitted = p.direct != CanPacket::Received;
    m.id = p.id;
    m.extended = p.isExtended();
    m.functional = DiagIdTable::isFunctional(p.id, p.isExtended());
    if (m.extended) {
        m.target = int((p.id >> 8) & 0xFF);
        m.source = int(p.id & 0xFF);
    }
    // Extended addressing names the target; mixed addressing on 11 bits has only the address
    // extension, shown in its place.
    if (f.addressing == IsoTpAddressing::Extended || (f.offset && !m.extended))
        m.target = p.data[0];
    m.firstFrame = m.lastFrame = f.number;
    return m;
}

void IsoTpReassembler::interrupt(uint64_t key, const Frame &f, std::vector<DiagMessage> &out)
{
    const auto it = sessions.find(key);
    if (it == sessions.end())
        return;
    if (!it->second.discarding) {
        DiagMessage &m = it->second.message;
        m.status = DiagMessage::Status::Interrupted;
        m.time = f.time();
        out.push_back(std::move(m));
    }
    sessions.erase(it);
}

void IsoTpReassembler::single(const Frame &f, std::vector<DiagMessage> &out)
{
    int declared = f.pci() & 0x0F;
    int begin = f.offset + 1;
    if (declared == 0 && f.length > ClassicBytes) { // CAN FD: the length in the next byte
        declared = f.data[begin];
        ++begin;
    }
    if (declared == 0 || declared > f.length - begin)
        return; // malformed: no message can be told from it
    interrupt(f.key, f, out);
    DiagMessage m = start(f);
    m.payload = QByteArray(reinterpret_cast<const char *>(f.data + begin), declared);
    out.push_back(std::move(m));
}

// The shortest message a first frame of this length may start: one byte more than the longest
// single frame of the same length holds (with CAN FD, the escape single frame).
uint32_t IsoTpReassembler::leastFirstFrame(const Frame &f)
{
    return uint32_t(f.length > ClassicBytes ? f.length - f.offset - 1 : ClassicBytes - f.offset);
}

void IsoTpReassembler::first(const Frame &f, std::vector<DiagMessage> &out)
{
    if (f.length < ClassicBytes)
        return;
    uint32_t declared = uint32_t(f.pci() & 0x0F) << 8 | f.data[f.offset + 1];
    int begin = f.offset + 2;
    if (declared == 0) { // escape form: a 32-bit length follows
        const uint8_t *d = f.data + f.offset + 2;
        declared = uint32_t(d[0]) << 24 | uint32_t(d[1]) << 16 | uint32_t(d[2]) << 8 | d[3];
        begin = f.offset + 6;
        if (declared <= 0xFFF)
            return;
    } else if (declared < leastFirstFrame(f)) {
        return; // would have fitted a single frame
    }
    interrupt(f.key, f, out);
    makeRoom(out);
    Session s;
    s.message = start(f);
    s.declared = declared;
    s.lastTime = f.time();
    const int carried = int(std::min<uint32_t>(uint32_t(f.length - begin), declared));
    s.message.payload.reserve(int(std::min<uint32_t>(declared, 0x1000)));
    s.message.payload.append(reinterpret_cast<const char *>(f.data + begin), carried);
    nextDeadline = std::min(nextDeadline, deadlineOf(s.lastTime));
    sessions.emplace(f.key, std::move(s));
}

void IsoTpReassembler::consecutive(const Frame &f, std::vector<DiagMessage> &out)
{
    const auto it = sessions.find(f.key);
    const int carried = f.length - f.offset - 1;
    if (it == sessions.end()) {
        DiagMessage m = start(f);
        m.status = DiagMessage::Status::Unexpected;
        m.payload = QByteArray(reinterpret_cast<const char *>(f.data + f.offset + 1), carried);
        out.push_back(std::move(m));
        return;
    }
    Session &s = it->second;
    DiagMessage &m = s.message;
    s.lastTime = f.time();
    m.lastFrame = f.number;
    const uint32_t have = uint32_t(m.payload.size());
    const int take = int(std::min<uint32_t>(uint32_t(carried), s.declared - have));
    if (!s.discarding && (f.pci() & 0x0F) != s.nextSequence) {
        m.status = DiagMessage::Status::Sequence;
        m.time = f.time();
        out.push_back(m);
        s.discarding = true; // what follows belongs to the broken message
    }
    s.nextSequence = (s.nextSequence + 1) & 0x0F;
    m.payload.append(reinterpret_cast<const char *>(f.data + f.offset + 1), take);
    if (uint32_t(m.payload.size()) < s.declared)
        return;
    if (!s.discarding) {
        m.time = f.time();
        out.push_back(std::move(m));
    }
    sessions.erase(it);
}

void IsoTpReassembler::makeRoom(std::vector<DiagMessage> &out)
{
    if (int(sessions.size()) < MaxInProgress)
        return;
    auto oldest =
        std::min_element(sessions.begin(), sessions.end(), [](const auto &a, const auto &b) {
            return a.second.lastTime < b.second.lastTime;
        });
    timeOut(oldest->second, out);
    sessions.erase(oldest);
}

void IsoTpReassembler::timeOut(Session &session, std::vector<DiagMessage> &out)
{
    if (session.discarding)
        return;
    DiagMessage &m = session.message;
    m.status = DiagMessage::Status::Timeout;
    m.time = deadlineOf(session.lastTime);
    out.push_back(std::move(m));
}

void IsoTpReassembler::expireSlow(qint64 now, std::vector<DiagMessage> &out)
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
    std::sort(due.begin(), due.end()); // oldest first, in a stable order
    for (const auto &entry : due) {
        const auto it = sessions.find(entry.second);
        timeOut(it->second, out);
        sessions.erase(it);
    }
}

void IsoTpReassembler::finish(std::vector<DiagMessage> &out)
{
    expireSlow(std::numeric_limits<qint64>::max(), out);
}

void IsoTpReassembler::clear()
{
    sessions.clear();
    nextDeadline = std::numeric_limits<qint64>::max();
}
