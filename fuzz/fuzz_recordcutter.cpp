// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzzcheck.h"
#include "link/linerecord.h"
#include "link/recordcutter.h"

#include <algorithm>
#include <cstring>

// Input: one byte N (low four bits), N control bytes, then the stream. Control bytes are used in
// turn, one per piece: low six bits the piece size, 0x40 an extra empty append, 0x80 giving up
// whatever is left waiting after the piece is drained (dropped, or taken as it is with 0x40).
namespace {

struct Tally
{
    const char *stream = nullptr;
    int fed = 0;      // bytes appended so far
    int consumed = 0; // bytes taken as frames, replies or dropped
    int frames = 0;
    int replyBytes = 0;
    int dropped = 0;
    int taken = 0;
};

bool samePacket(const CanPacket &a, const CanPacket &b)
{
    return a.frame == b.frame && a.id == b.id && a.rtl == b.rtl &&
           std::memcmp(a.data, b.data, sizeof a.data) == 0 && a.delay == b.delay &&
           a.direct == b.direct;
}

void checkFrame(Tally &t, const CanPacket &packet)
{
    FUZZ_CHECK(t.fed - t.consumed >= LineRecord::Size);
    const char *record = t.stream + t.consumed;
    FUZZ_CHECK(!LineRecord::isReplyStart(uint8_t(record[0])));
    FUZZ_CHECK(samePacket(packet, LineRecord::decode(record)));
    FUZZ_CHECK(packet.delay == 1 && packet.direct == CanPacket::Received);
    t.consumed += LineRecord::Size;
    ++t.frames;
}

void checkReply(Tally &t, const RecordCutter &cutter, const QByteArray &reply)
{
    // A reply is everything received from its first byte on.
    FUZZ_CHECK(reply.size() >= LineRecord::Size);
    FUZZ_CHECK(reply.size() == t.fed - t.consumed);
    FUZZ_CHECK(std::memcmp(reply.constData(), t.stream + t.consumed, size_t(reply.size())) == 0);
    FUZZ_CHECK(LineRecord::isReplyStart(uint8_t(reply.at(0))));
    FUZZ_CHECK(cutter.pendingSize() == 0);
    t.consumed += reply.size();
    t.replyBytes += reply.size();
}

void drain(Tally &t, RecordCutter &cutter)
{
    CanPacket packet;
    QByteArray reply;
    for (;;) {
        const RecordCutter::Kind kind = cutter.next(packet, reply);
        if (kind == RecordCutter::Kind::None)
            break;
        if (kind == RecordCutter::Kind::Frame)
            checkFrame(t, packet);
        else
            checkReply(t, cutter, reply);
    }
    const int pending = t.fed - t.consumed;
    FUZZ_CHECK(cutter.pendingSize() == pending);
    FUZZ_CHECK(pending < LineRecord::Size);
    const bool frameTail = pending > 0 && !LineRecord::isReplyStart(uint8_t(t.stream[t.consumed]));
    FUZZ_CHECK(cutter.holdsFrameTail() == frameTail);
}

void drop(Tally &t, RecordCutter &cutter)
{
    const int waiting = t.fed - t.consumed;
    FUZZ_CHECK(cutter.dropPending() == waiting);
    FUZZ_CHECK(cutter.pendingSize() == 0 && !cutter.holdsFrameTail());
    t.consumed += waiting;
    t.dropped += waiting;
}

void take(Tally &t, RecordCutter &cutter)
{
    const int waiting = t.fed - t.consumed;
    const QByteArray pending = cutter.takePending();
    FUZZ_CHECK(pending.size() == waiting);
    FUZZ_CHECK(std::memcmp(pending.constData(), t.stream + t.consumed, size_t(waiting)) == 0);
    FUZZ_CHECK(cutter.pendingSize() == 0 && !cutter.holdsFrameTail());
    t.consumed += waiting;
    t.taken += waiting;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t controlCount = std::min<size_t>(data[0] & 0x0F, size - 1);
    const uint8_t *controls = data + 1;
    Tally t;
    t.stream = reinterpret_cast<const char *>(data + 1 + controlCount);
    const int streamSize = int(size - 1 - controlCount);

    RecordCutter cutter;
    for (size_t piece = 0; t.fed < streamSize; ++piece) {
        const uint8_t control = controlCount ? controls[piece % controlCount] : 0;
        // Without control bytes the stream arrives whole; a zero size still moves one byte on.
        const int wanted = controlCount ? std::max(control & 0x3F, 1) : streamSize;
        const int length = std::min(wanted, streamSize - t.fed);
        if (control & 0x40)
            cutter.append(t.stream + t.fed, 0);
        cutter.append(t.stream + t.fed, length);
        t.fed += length;
        drain(t, cutter);
        if ((control & 0xC0) == 0xC0)
            take(t, cutter);
        else if (control & 0x80)
            drop(t, cutter);
    }
    const int pending = cutter.pendingSize();
    FUZZ_CHECK(t.frames * LineRecord::Size + t.replyBytes + pending + t.dropped + t.taken ==
               streamSize);
    return 0;
}
