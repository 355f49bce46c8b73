// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct CanPacket;

// A CAN frame as Linux SocketCAN lays it out. A classic frame (struct can_frame, 16 bytes): the
// identifier word with the extended (bit 31), remote (bit 30) and error (bit 29) flags, the
// length, three bytes of padding and flags, and eight data bytes. A CAN FD frame (struct
// canfd_frame, 72 bytes): the identifier word, the length in bytes, the FD flags (bit rate switch,
// error state, and since Linux 6.x "this is FD"), two reserved bytes and 64 data bytes.
namespace SocketCanFrame {

constexpr int ClassicSize = 16;
constexpr int FdSize = 72;
constexpr int HeaderSize = 8;

// The size encode() writes for `packet`.
int sizeOf(const CanPacket &packet);

// Writes `packet` in sizeOf(packet) bytes, identifier big-endian as link type 227 has it. Classic
// lengths 9..15 are written as 8; a remote frame keeps its length and carries no data. An FD
// frame is marked FD by its flag as well as by its size.
void encode(char *out, const CanPacket &packet);

// Decodes a classic data or remote frame, or a CAN FD frame (marked by its flag or, as older
// captures have it, by its size alone); false for error frames, CAN XL frames, cut frames and
// identifiers out of range. Only the identifier, format, FD flags, remote flag, length and data
// of `packet` are set.
bool decode(const char *bytes, int size, bool bigEndianId, CanPacket &packet);

// Decodes a frame Wireshark exported with a dissector name tag ("can-hostendian",
// "can-bigendian", or "canfd" for an FD frame with its identifier in host order), as its candump
// import writes; false for anything else.
bool decodeExported(const char *bytes, int size, CanPacket &packet);

} // namespace SocketCanFrame
