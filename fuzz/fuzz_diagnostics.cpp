// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagdecoder.h"
#include "fuzzcheck.h"
#include "link/timedpacket.h"

#include <cstring>

// The input is a stream of frames, 12 bytes each: a time step, identifier bits and the data
// (eight bytes, or an FD frame's up to 64 made from them).
// A few identifiers are favoured so that messages meet, interleave and break.
namespace {

constexpr size_t RecordSize = 12;

TimedPacket frameOf(const uint8_t *r, qint64 &now)
{
    static const uint32_t Ids[] = {0x7DF,      0x7E0,      0x7E8,      0x7E9,
                                   0x18DA10F1, 0x18DAF110, 0x18DB33F1, 0x18EC00F9,
                                   0x18ECF900, 0x18EB00F9, 0x18ECFF03, 0x18EBFF03};
    TimedPacket f;
    now += qint64(r[0]) * 10000; // up to 2.5 s between frames: timeouts happen
    f.time = now;
    const bool extended = (r[1] & 0x80) ? r[2] % 12 >= 4 : (r[1] & 0x40) != 0;
    if (r[1] & 0x80)
        f.packet.id = Ids[r[2] % (sizeof(Ids) / sizeof(Ids[0]))];
    else
        f.packet.id =
            extended
                ? (uint32_t(r[1] & 0x1F) << 24 | uint32_t(r[2]) << 16 | uint32_t(r[3]) << 8 | r[4])
                : (uint32_t(r[2]) << 8 | r[3]) & 0x7FF;
    f.packet.frame = uint8_t((extended ? CanPacket::Extended : 0) |
                             ((r[1] & 0x20) ? CanPacket::Can1ToCan0 : CanPacket::Can0ToCan1));
    f.packet.rtl = uint8_t(r[3] & 0x1F);
    std::memcpy(f.packet.data, r + 4, 8);
    if (r[3] & 0x20) { // CAN FD: the eight bytes again, changed a little each time, up to 64
        f.packet.rtl = 0;
        f.packet.setFdLength(CanPacket::fdLength(r[3] & 0x0F));
        for (int i = 8; i < CanPacket::MaxFdBytes; ++i)
            f.packet.data[i] = uint8_t(r[4 + i % 8] + i / 8);
    }
    return f;
}

void check(const DiagMessage &m)
{
    FUZZ_CHECK(m.payload.size() <= 0x7FFFFFF);
    FUZZ_CHECK(m.lastFrame >= m.firstFrame);
    if (m.protocol == DiagMessage::Protocol::J1939Tp)
        FUZZ_CHECK(m.payload.size() <= J1939Transport::MaxSize);
    if (m.protocol == DiagMessage::Protocol::J1939)
        FUZZ_CHECK(m.payload.size() <= 8 && m.firstFrame == m.lastFrame);
    if (m.ok() && m.protocol == DiagMessage::Protocol::IsoTp)
        FUZZ_CHECK(!m.payload.isEmpty());
    // The meaning never fails on any bytes.
    (void)DiagDecoder::describe(m);
    (void)DiagDecoder::serviceName(m);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QVector<DiagPair> Pairs = {{0x6F1, 0x642, false, IsoTpAddressing::Extended},
                                            {0x700, 0x708, false, IsoTpAddressing::Mixed}};
    DiagDecoder decoder;
    decoder.setPairs(Pairs);
    std::vector<DiagMessage> out;
    qint64 now = 1700000000LL * 1000000;
    for (size_t at = 0; at + RecordSize <= size; at += RecordSize) {
        decoder.feed(frameOf(data + at, now), out);
        FUZZ_CHECK(decoder.inProgress() <=
                   IsoTpReassembler::MaxInProgress + J1939Transport::MaxInProgress);
        for (const DiagMessage &m : out)
            check(m);
        out.clear();
    }
    decoder.finish(out);
    for (const DiagMessage &m : out)
        check(m);
    FUZZ_CHECK(decoder.inProgress() == 0);
    return 0;
}
