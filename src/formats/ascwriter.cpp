// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/ascwriter.h"

#include "formats/ascdate.h"
#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/textprint.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"

namespace {

constexpr int MaxLineSize = 512;
constexpr int TimeWidth = 11; // "   0.000000", as the tools align it
constexpr int IdWidth = 15;
constexpr int MicroDigits = 6;

char *putOffset(char *p, qint64 us)
{
    char digits[32];
    char *end = TextPrint::putUnsigned(digits, quint64(us / CivilTime::UsPerSecond));
    *end++ = '.';
    end = TextPrint::putDigits(end, quint64(us % CivilTime::UsPerSecond), MicroDigits);
    const int length = int(end - digits);
    p = TextPrint::fill(p, ' ', TimeWidth - length);
    return TextPrint::putText(p, digits, size_t(length));
}

char *putId(char *p, const CanPacket &packet)
{
    char *const start = p;
    if (packet.isExtended()) {
        p = TextPrint::putHexShort(p, packet.id & FrameRoute::MaxExtendedId);
        *p++ = 'x';
    } else {
        p = TextPrint::putHexShort(p, packet.id & FrameRoute::MaxStandardId);
    }
    return TextPrint::fill(p, ' ', IdWidth - int(p - start));
}

char *putFrameLine(char *p, qint64 offset, const CanPacket &packet)
{
    p = putOffset(p, offset);
    *p++ = ' ';
    *p++ = char('0' + FrameRoute::channelNumber(packet));
    p = TextPrint::putText(p, "  ");
    p = putId(p, packet);
    p = TextPrint::putText(p, FrameRoute::isTransmitted(packet) ? " Tx   " : " Rx   ");
    const int length = FrameRoute::classicLength(packet);
    *p++ = packet.isRemote() ? 'r' : 'd';
    *p++ = ' ';
    *p++ = char('0' + length);
    if (!packet.isRemote())
        p = TextPrint::putSpacedHexBytes(p, packet.data, length);
    *p++ = '\n';
    return p;
}

// The identifier of a CANFD line, right-aligned in eight places, and the blank symbolic name.
char *putFdId(char *p, const CanPacket &packet)
{
    constexpr int FdIdWidth = 8;
    constexpr int NameWidth = 32;
    const uint32_t id =
        packet.id & (packet.isExtended() ? FrameRoute::MaxExtendedId : FrameRoute::MaxStandardId);
    char digits[8];
    const int idDigits = int(TextPrint::putHexShort(digits, id) - digits);
    p = TextPrint::fill(p, ' ', FdIdWidth - idDigits);
    p = TextPrint::putText(p, digits, size_t(idDigits));
    if (packet.isExtended())
        *p++ = 'x';
    return TextPrint::fill(p, ' ', 2 + NameWidth + 1);
}

// The CANFD line as python-can and can-utils' log2asc lay it out: BRS, ESI, the DLC in hex and
// the data length in decimal, the data, then message duration, bit count, flags (EDL, BRS, ESI),
// CRC and the bit timings, of which only the flags are known.
char *putFdLine(char *p, qint64 offset, const CanPacket &packet)
{
    constexpr int ChannelWidth = 3;
    constexpr uint32_t Edl = 0x1000, Brs = 0x2000, Esi = 0x4000;
    const bool brs = packet.frame & CanPacket::BitRateSwitch;
    const bool esi = packet.frame & CanPacket::ErrorState;
    p = putOffset(p, offset);
    p = TextPrint::putText(p, " CANFD ");
    p = TextPrint::putUnsigned(p, uint(FrameRoute::channelNumber(packet)), ChannelWidth);
    p = TextPrint::putText(p, FrameRoute::isTransmitted(packet) ? " Tx   " : " Rx   ");
    p = putFdId(p, packet);
    p = TextPrint::putText(p, brs ? "1 " : "0 ");
    p = TextPrint::putText(p, esi ? "1 " : "0 ");
    *p++ = TextPrint::hexDigits()[packet.rtl & 0x0F];
    *p++ = ' ';
    p = TextPrint::putUnsigned(p, uint(packet.dataLength()), 2);
    p = TextPrint::putSpacedHexBytes(p, packet.data, packet.dataLength());
    p = TextPrint::putText(p, "        0    0     ");
    p = TextPrint::putHex(p, Edl | (brs ? Brs : 0) | (esi ? Esi : 0), 4);
    return TextPrint::putText(p, "        0        0        0        0        0\n");
}

} // namespace

bool AscWriter::write(const TimedPacket &frame)
{
    if (!ok())
        return false;
    const qint64 time = timeOf(frame);
    if (!started)
        writeHeader(time);
    char line[MaxLineSize];
    const qint64 offset = qMax<qint64>(0, CivilTime::add(time, -reference));
    const char *end = frame.packet.isFd() ? putFdLine(line, offset, frame.packet)
                                          : putFrameLine(line, offset, frame.packet);
    buffer().append(line, int(end - line));
    return flushIfFull();
}

// The date line falls on the millisecond of the first frame, so the frame keeps its microseconds.
void AscWriter::writeHeader(qint64 firstTime)
{
    started = true;
    const qint64 wall = clock.wallFromUtc(firstTime);
    const qint64 subMs = wall - CivilTime::floorDiv(wall, CivilTime::UsPerMs) * CivilTime::UsPerMs;
    reference = CivilTime::add(firstTime, -subMs);
    char date[AscDate::MaxText];
    const QByteArray dateText(date, int(AscDate::print(date, wall - subMs) - date));
    buffer() += "date " + dateText + "\nbase hex  timestamps absolute\ninternal events logged\n" +
                "Begin TriggerBlock " + dateText + '\n';
}

bool AscWriter::finish()
{
    if (!started)
        writeHeader(TimeOfDay::nowUsec());
    buffer() += "End TriggerBlock\n";
    return flushAll();
}
