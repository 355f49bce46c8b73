// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagdecoder.h"

#include "diagnostics/diagtext.h"
#include "diagnostics/j1939meaning.h"
#include "diagnostics/obdmeaning.h"
#include "diagnostics/udsmeaning.h"
#include "link/timedpacket.h"

namespace {

constexpr size_t MaxRequests = 64;
constexpr uint8_t NegativeResponse = 0x7F;
constexpr uint8_t ResponsePending = 0x78;
constexpr uint32_t RequestPgn = 59904;
constexpr uint32_t AcknowledgmentPgn = 59392;
constexpr uint8_t Global = 0xFF;
// A J1939 answer begins within T3 of the request; each further packet of a joined answer may
// take up to T1.
constexpr qint64 AnswerWithin = 1250000;
constexpr qint64 PacketWithin = 750000;

uint32_t pgnAt(const DiagMessage &m, int at)
{
    return uint8_t(m.payload.at(at)) | uint32_t(uint8_t(m.payload.at(at + 1))) << 8 |
           uint32_t(uint8_t(m.payload.at(at + 2))) << 16;
}

uint8_t byteAt(const DiagMessage &m, int at)
{
    return uint8_t(m.payload.at(at));
}

} // namespace

DiagDecoder::DiagDecoder() : isoTp(&ids)
{
}

void DiagDecoder::finish(std::vector<DiagMessage> &out)
{
    const size_t before = out.size();
    isoTp.finish(out);
    j1939.finish(out);
    if (out.size() != before)
        settle(out, before);
}

void DiagDecoder::clear()
{
    isoTp.clear();
    j1939.clear();
    requests.clear();
    groupRequests.clear();
    number = 0;
}

void DiagDecoder::settle(std::vector<DiagMessage> &out, size_t from)
{
    for (size_t i = from; i < out.size(); ++i) {
        if (!out[i].ok())
            continue;
        if (out[i].isJ1939())
            pairGroup(out[i]);
        else if (!out[i].payload.isEmpty())
            pair(out[i]);
    }
}

void DiagDecoder::pair(DiagMessage &m)
{
    if (!isResponse(m)) {
        const Request request{m.id, m.extended, byteAt(m, 0), m.functional, m.time};
        for (auto it = requests.begin(); it != requests.end(); ++it) {
            if (it->id == m.id && it->extended == m.extended) {
                requests.erase(it); // a tester asks one thing at a time on an identifier
                break;
            }
        }
        if (requests.size() == MaxRequests)
            requests.pop_front();
        requests.push_back(request);
        return;
    }
    const int sid = serviceOf(m);
    for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
        // The answer may come back through the other line: the module sits between tester and ECU.
        if (it->sid != sid || it->extended != m.extended || !ids.answers(it->id, m.id, m.extended))
            continue;
        m.responseTime = m.time - it->time;
        // A functional request may be answered by every ECU; a pending answer is no answer yet.
        if (!it->functional && negativeCode(m) != ResponsePending)
            requests.erase(std::next(it).base());
        return;
    }
}

void DiagDecoder::pairGroup(DiagMessage &m)
{
    if (isGroupRequest(m)) {
        if (m.payload.size() < 3)
            return;
        const GroupRequest request{pgnAt(m, 0), uint8_t(m.target), m.time};
        for (auto it = groupRequests.begin(); it != groupRequests.end(); ++it) {
            if (it->pgn == request.pgn && it->to == request.to) {
                groupRequests.erase(it); // asked again: timed from the newest
                break;
            }
        }
        if (groupRequests.size() == MaxRequests)
            groupRequests.pop_front();
        groupRequests.push_back(request);
        return;
    }
    // A NACK answers for the group it names.
    const bool acknowledgment = m.pgn == AcknowledgmentPgn && m.payload.size() >= 8;
    const uint32_t answered = acknowledgment ? pgnAt(m, 5) : m.pgn;
    const qint64 packets = m.protocol == DiagMessage::Protocol::J1939Tp ? m.payload.size() / 7 : 0;
    for (auto it = groupRequests.rbegin(); it != groupRequests.rend(); ++it) {
        if (it->pgn != answered || (it->to != Global && it->to != m.source))
            continue;
        if (m.time - it->time > AnswerWithin + packets * PacketWithin)
            continue; // long unanswered: what comes now is no answer to it
        m.responseTime = m.time - it->time;
        if (it->to != Global) // asked of everyone, everyone may answer
            groupRequests.erase(std::next(it).base());
        return;
    }
}

bool DiagDecoder::isGroupRequest(const DiagMessage &m)
{
    return m.isJ1939() && m.pgn == RequestPgn;
}

bool DiagDecoder::isResponse(const DiagMessage &m)
{
    return m.protocol == DiagMessage::Protocol::IsoTp && !m.payload.isEmpty() &&
           (byteAt(m, 0) & 0x40);
}

int DiagDecoder::serviceOf(const DiagMessage &m)
{
    if (m.protocol != DiagMessage::Protocol::IsoTp || m.payload.isEmpty())
        return -1;
    const uint8_t first = byteAt(m, 0);
    if (first == NegativeResponse)
        return m.payload.size() >= 2 ? byteAt(m, 1) : -1;
    return first & ~0x40;
}

int DiagDecoder::negativeCode(const DiagMessage &m)
{
    const bool negative = m.protocol == DiagMessage::Protocol::IsoTp && m.payload.size() >= 3 &&
                          byteAt(m, 0) == NegativeResponse;
    return negative ? byteAt(m, 2) : -1;
}

QString DiagDecoder::serviceName(const DiagMessage &m)
{
    if (m.isJ1939()) {
        if (!m.hasPgn())
            return {};
        const QString name = J1939Meaning::pgnName(m.pgn);
        return name.isEmpty() ? QStringLiteral("PGN %1").arg(m.pgn) : name;
    }
    const int sid = serviceOf(m);
    if (sid < 0)
        return {};
    if (ObdMeaning::isObd(uint8_t(sid)))
        return ObdMeaning::serviceName(uint8_t(sid));
    const QString name = UdsMeaning::serviceName(uint8_t(sid));
    return name.isEmpty() ? QStringLiteral("0x") + DiagText::hex(uint(sid), 2) : name;
}

QString DiagDecoder::describe(const DiagMessage &m)
{
    if (!m.ok()) // the bytes are incomplete: only what the first of them say
        return m.status == DiagMessage::Status::Unexpected ? QString() : serviceName(m);
    if (m.isJ1939())
        return J1939Meaning::describe(m.pgn, m.payload);
    const uint8_t first = byteAt(m, 0);
    if (ObdMeaning::isObd(first))
        return ObdMeaning::describe(m.payload);
    return UdsMeaning::describe(m.payload);
}
