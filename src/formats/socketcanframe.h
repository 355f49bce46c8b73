// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct CanPacket;

// A classic CAN frame as Linux SocketCAN lays it out (struct can_frame): the identifier word with
// the extended (bit 31), remote (bit 30) and error (bit 29) flags, the length, three bytes of
// padding and flags, and eight data bytes.
namespace SocketCanFrame {

constexpr int ClassicSize = 16;
constexpr int HeaderSize = 8;

// Writes the 16 bytes of `packet`, identifier big-endian as link type 227 has it. Lengths 9..15
// are written as 8; a remote frame keeps its length and carries no data.
void encode(char *out, const CanPacket &packet);

// Decodes a classic data or remote frame; false for error frames, CAN FD and CAN XL frames, cut
// frames and identifiers out of range. Only the identifier, format, remote flag, length and data
// of `packet` are set.
bool decode(const char *bytes, int size, bool bigEndianId, CanPacket &packet);

// Decodes a frame Wireshark exported with a dissector name tag ("can-hostendian" or
// "can-bigendian"), as its candump import writes; false for anything else.
bool decodeExported(const char *bytes, int size, CanPacket &packet);

} // namespace SocketCanFrame
