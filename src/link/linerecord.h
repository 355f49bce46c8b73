// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"
#include "link/tarvixprotocol.h"

#include <QByteArray>

// The module's 14-byte line record: flag byte, identifier most significant byte first, RTR/length
// byte, eight data bytes. No marker, length or checksum.
namespace LineRecord {
constexpr int Size = 14;

// Module replies are recognised by their first byte.
inline bool isReplyStart(uint8_t byte)
{
    return byte == TarvixProtocol::CommandReply || byte == TarvixProtocol::SpeedReply;
}

// A received record: the flag byte is kept as it came, `delay` 1, `direct` received.
CanPacket decode(const char *record);

// Writes the record for `packet` with `flag` as byte 0.
void encode(const CanPacket &packet, uint8_t flag, char *record);

// What the host sends: byte 0 is 1 for an extended frame, else 0; route bits never reach the line.
QByteArray hostRecord(const CanPacket &packet);

// What the module sends for a received frame: the flag byte as it stands, route bits included.
QByteArray moduleRecord(const CanPacket &packet);
} // namespace LineRecord
