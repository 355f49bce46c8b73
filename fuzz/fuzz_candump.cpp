// SPDX-License-Identifier: GPL-3.0-or-later
#include "candumpparser.h"
#include "fuzzcheck.h"

#include <QList>

#include <cstring>

// The input is one line of a candump log, as the replay reads it from a file.
namespace {

constexpr uint8_t RouteBits = CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0;

void checkFrame(const CandumpParser::Entry &entry)
{
    const CanPacket &p = entry.packet;
    FUZZ_CHECK(entry.timeUs >= 0);
    FUZZ_CHECK(p.length() <= 8);
    FUZZ_CHECK((p.rtl & 0xF0) == 0 || (p.rtl & 0xF0) == 0x10);
    FUZZ_CHECK((p.frame & ~(RouteBits | CanPacket::Extended)) == 0);
    const uint8_t route = p.frame & RouteBits;
    FUZZ_CHECK(route == CanPacket::Can0ToCan1 || route == CanPacket::Can1ToCan0);
    FUZZ_CHECK(p.id <= (p.isExtended() ? 0x1FFFFFFFu : 0x7FFu));
    // A remote frame carries no data, and nothing lies past the length.
    const int carried = p.isRemote() ? 0 : p.length();
    for (int i = carried; i < 8; ++i)
        FUZZ_CHECK(p.data[i] == 0);
    FUZZ_CHECK(p.delay == 1 && p.direct == CanPacket::Received);
}

// The frame written back as a candump line reads the same.
void checkRewritten(const CandumpParser::Entry &entry)
{
    const CanPacket &p = entry.packet;
    QByteArray line = "(" + QByteArray::number(entry.timeUs / 1000000) + "." +
                      QByteArray::number(entry.timeUs % 1000000).rightJustified(6, '0') + ") ";
    line += (p.frame & CanPacket::Can1ToCan0) ? "can1 " : "can0 ";
    line += QByteArray::number(p.id, 16).rightJustified(p.isExtended() ? 8 : 3, '0') + "#";
    if (p.isRemote())
        line += "R" + QByteArray::number(p.length());
    else
        line += QByteArray(reinterpret_cast<const char *>(p.data), p.length()).toHex();
    CandumpParser::Entry again;
    FUZZ_CHECK(CandumpParser::parse(line, again) == CandumpParser::Result::Frame);
    FUZZ_CHECK(again.timeUs == entry.timeUs);
    FUZZ_CHECK(std::memcmp(&again.packet, &p, sizeof p) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray line(reinterpret_cast<const char *>(data), int(size));
    CandumpParser::Entry entry;
    entry.timeUs = -7; // left alone unless a frame is read
    entry.packet.id = 0xDEADBEEF;
    const CandumpParser::Result result = CandumpParser::parse(line, entry);
    FUZZ_CHECK((result == CandumpParser::Result::Blank) == line.simplified().isEmpty());
    if (result != CandumpParser::Result::Frame) {
        FUZZ_CHECK(entry.timeUs == -7 && entry.packet.id == 0xDEADBEEF);
        return 0;
    }
    FUZZ_CHECK(!line.simplified().split(' ').value(2).contains("##")); // CAN FD is never read
    checkFrame(entry);
    checkRewritten(entry);
    return 0;
}
