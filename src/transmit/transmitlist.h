// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QByteArray>
#include <QList>
#include <QVariantMap>

// The transmit list file: a JSON object whose "SendPackets" array holds one object per entry.
// Bytes in, bytes out: the file itself is opened by the caller.
namespace TransmitList {

// Twelve members: "pframe", "pid", "prtl", "data0".."data7", "pdelay". `direct` is not stored.
// A CAN FD frame ("pframe" with CanPacket::Fd, its length code in "prtl") longer than eight bytes
// also has "data8" up to its last byte.
QVariantMap packetToMap(const CanPacket &packet);

// Absent or unusable members read as 0 (so no "pdelay" means a delay of 0, not 1);
// every field keeps the low bits of its number. `direct` stays RX. An FD frame reads "data0" up
// to its length.
CanPacket packetFromMap(const QVariantMap &map);

// Any text is accepted: what is not a JSON object with a "SendPackets" array gives no entries,
// and an element that is not an object gives an entry of zeros.
QList<CanPacket> parse(const QByteArray &json);

// Indented JSON, members of each entry in key order.
QByteArray toJson(const QList<CanPacket> &packets);

} // namespace TransmitList
