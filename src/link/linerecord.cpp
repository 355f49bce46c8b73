// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/linerecord.h"

#include <cstring>

CanPacket LineRecord::decode(const char *record)
{
    const auto *b = reinterpret_cast<const uint8_t *>(record);
    CanPacket packet;
    packet.frame = b[0] & ~CanPacket::FdFlags; // the module speaks classic CAN only
    packet.id = (uint32_t(b[1]) << 24) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 8) | b[4];
    packet.rtl = b[5];
    std::memcpy(packet.data, b + 6, 8);
    return packet;
}

void LineRecord::encode(const CanPacket &packet, uint8_t flag, char *record)
{
    auto *b = reinterpret_cast<uint8_t *>(record);
    b[0] = flag;
    b[1] = uint8_t(packet.id >> 24);
    b[2] = uint8_t(packet.id >> 16);
    b[3] = uint8_t(packet.id >> 8);
    b[4] = uint8_t(packet.id);
    b[5] = packet.rtl;
    std::memcpy(b + 6, packet.data, 8);
}

QByteArray LineRecord::hostRecord(const CanPacket &packet)
{
    QByteArray out(Size, Qt::Uninitialized);
    encode(packet, packet.isExtended() ? 1 : 0, out.data());
    return out;
}

QByteArray LineRecord::moduleRecord(const CanPacket &packet)
{
    QByteArray out(Size, Qt::Uninitialized);
    encode(packet, packet.frame, out.data());
    return out;
}
