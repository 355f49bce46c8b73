// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cansource.h"

#include "formats/candumptext.h"

QString CanSource::fdRefusal() const
{
    return tr("%1 не передаёт кадры CAN FD").arg(description());
}

CanPacket CanSource::interfacePacket(const QString &name)
{
    const QByteArray text = name.toLatin1();
    const char *begin = text.constData();
    const char *end = begin + text.size();
    CanPacket packet;
    packet.frame = CandumpText::route(begin, end);
    if (CandumpText::isTransmit(begin, end))
        packet.direct = CanPacket::Transmitted;
    return packet;
}
