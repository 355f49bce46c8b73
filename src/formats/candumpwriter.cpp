// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/candumpwriter.h"

#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/textprint.h"
#include "link/timedpacket.h"

namespace {

constexpr int MicroDigits = 6;
constexpr int StandardIdDigits = 3;
constexpr int ExtendedIdDigits = 8;

char *putInterface(char *p, const CanPacket &packet)
{
    if (FrameRoute::isTransmitted(packet))
        return TextPrint::putText(p, "cantx ");
    switch (FrameRoute::channelNumber(packet)) {
    case 1:
        return TextPrint::putText(p, "can0 ");
    case 2:
        return TextPrint::putText(p, "can1 ");
    default:
        return TextPrint::putText(p, "canrx ");
    }
}

char *putFdData(char *p, const CanPacket &packet)
{
    *p++ = '#';
    *p++ = char('0' + ((packet.frame & CanPacket::BitRateSwitch) ? 1 : 0) +
                ((packet.frame & CanPacket::ErrorState) ? 2 : 0));
    for (int i = 0; i < packet.dataLength(); ++i)
        p = TextPrint::putHexByte(p, packet.data[i]);
    return p;
}

char *putFrame(char *p, const CanPacket &packet)
{
    p = packet.isExtended()
            ? TextPrint::putHex(p, packet.id & FrameRoute::MaxExtendedId, ExtendedIdDigits)
            : TextPrint::putHex(p, packet.id & FrameRoute::MaxStandardId, StandardIdDigits);
    *p++ = '#';
    if (packet.isFd())
        return putFdData(p, packet);
    const int length = FrameRoute::classicLength(packet);
    if (packet.isRemote()) {
        *p++ = 'R';
        if (length > 0)
            *p++ = char('0' + length);
        return p;
    }
    for (int i = 0; i < length; ++i)
        p = TextPrint::putHexByte(p, packet.data[i]);
    return p;
}

} // namespace

bool CandumpWriter::write(const TimedPacket &frame)
{
    if (!ok())
        return false;
    TimedPacket timed = frame;
    timed.time = timeOf(frame);
    appendLine(buffer(), timed, interfaceName, directionMarks);
    return flushIfFull();
}

void CandumpWriter::appendLine(QByteArray &out, const TimedPacket &frame,
                               const QByteArray &interfaceName, bool mark)
{
    char first[MaxLineSize];
    const qint64 time = frame.time > 0 ? frame.time : 0;
    char *p = first;
    *p++ = '(';
    p = TextPrint::putUnsigned(p, quint64(time / CivilTime::UsPerSecond));
    *p++ = '.';
    p = TextPrint::putDigits(p, quint64(time % CivilTime::UsPerSecond), MicroDigits);
    *p++ = ')';
    *p++ = ' ';
    if (interfaceName.isEmpty()) {
        p = putInterface(p, frame.packet);
    } else { // a name from a file: of any length, so not through the fixed buffer
        out.append(first, int(p - first));
        out.append(interfaceName).append(' ');
        p = first;
    }
    p = putFrame(p, frame.packet);
    if (mark) {
        *p++ = ' ';
        *p++ = FrameRoute::isTransmitted(frame.packet) ? 'T' : 'R';
    }
    *p++ = '\n';
    out.append(first, int(p - first));
}
