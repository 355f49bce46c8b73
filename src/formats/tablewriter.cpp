// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/tablewriter.h"

#include "formats/frameroute.h"
#include "formats/textprint.h"
#include "link/timedpacket.h"

namespace {

constexpr int MaxLineSize = 512;
constexpr int IdDigits = 8;
constexpr int DataBytes = 8;
const char Header[] =
    "[ID];[FF];[RTR];[LEN];[D0];[D1];[D2];[D3];[D4];[D5];[D6];[D7];[DIR];[TIME];\n";

char *putDirection(char *p, const CanPacket &packet)
{
    if (FrameRoute::isTransmitted(packet))
        return TextPrint::putText(p, "TX;");
    if (packet.frame & CanPacket::Can0ToCan1) // bit 4 wins, as in the log
        return TextPrint::putText(p, "RX (CAN0->CAN1);");
    if (packet.frame & CanPacket::Can1ToCan0)
        return TextPrint::putText(p, "RX (CAN1->CAN0);");
    return TextPrint::putText(p, "RX;");
}

char *putTimeOfDay(char *p, uint ms)
{
    p = TextPrint::putDigits(p, ms / 3600000, 2);
    *p++ = ':';
    p = TextPrint::putDigits(p, ms / 60000 % 60, 2);
    *p++ = ':';
    p = TextPrint::putDigits(p, ms / 1000 % 60, 2);
    *p++ = ':';
    return TextPrint::putDigits(p, ms % 1000, 3);
}

// After the time of a CAN FD frame: "FD" with " BRS" and " ESI" as set, then the data bytes past
// the eighth, each a field of its own.
char *putFdTail(char *p, const CanPacket &packet)
{
    p = TextPrint::putText(p, "FD");
    if (packet.frame & CanPacket::BitRateSwitch)
        p = TextPrint::putText(p, " BRS");
    if (packet.frame & CanPacket::ErrorState)
        p = TextPrint::putText(p, " ESI");
    *p++ = ';';
    for (int i = DataBytes; i < packet.dataLength(); ++i) {
        p = TextPrint::putText(p, "0x");
        p = TextPrint::putHexByte(p, packet.data[i]);
        *p++ = ';';
    }
    return p;
}

} // namespace

TableWriter::TableWriter(QIODevice *device) : CaptureWriter(device)
{
    buffer() += Header;
}

bool TableWriter::write(const TimedPacket &frame)
{
    if (!ok())
        return false;
    const CanPacket &packet = frame.packet;
    char line[MaxLineSize];
    char *p = TextPrint::putText(line, "0x");
    p = TextPrint::putHex(p, packet.id, IdDigits);
    p = TextPrint::putText(p, packet.isExtended() ? ";EFF;" : ";SFF;");
    p = TextPrint::putText(p, packet.isRemote() && !packet.isFd() ? "1;" : "0;");
    p = TextPrint::putUnsigned(p, uint(packet.length()));
    *p++ = ';';
    for (int i = 0; i < DataBytes; ++i) {
        p = TextPrint::putText(p, "0x");
        p = TextPrint::putHexByte(p, packet.data[i]);
        *p++ = ';';
    }
    p = putDirection(p, packet);
    if (frame.time != TimedPacket::NoTime)
        p = putTimeOfDay(p, clock.msOfDay(frame.time));
    *p++ = ';';
    if (packet.isFd())
        p = putFdTail(p, packet);
    *p++ = '\n';
    buffer().append(line, int(p - line));
    return flushIfFull();
}
