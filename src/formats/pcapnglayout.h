// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The parts of the pcapng and classic pcap layouts that PcapngReader and PcapngWriter use.
// A pcapng file is a run of blocks (type, total length, body, total length again), each a
// multiple of 4 bytes long, in the byte order the Section Header Block announces. A classic pcap
// file is a 24-byte header and 16-byte record headers, in the byte order of its magic number.
namespace PcapngLayout {

constexpr uint32_t SectionHeader = 0x0A0D0D0A;
constexpr uint32_t InterfaceDescription = 1;
constexpr uint32_t ObsoletePacket = 2;
constexpr uint32_t SimplePacket = 3; // without interface or time: not taken
constexpr uint32_t EnhancedPacket = 6;
// Blocks that carry no frames, read past without a word.
constexpr uint32_t NameResolution = 4;
constexpr uint32_t InterfaceStatistics = 5;
constexpr uint32_t SystemdJournal = 9;
constexpr uint32_t DecryptionSecrets = 0x0A;
constexpr uint32_t CustomBlock = 0x00000BAD;
constexpr uint32_t CustomBlockNoCopy = 0x40000BAD;
constexpr uint32_t ByteOrderMagic = 0x1A2B3C4D;
constexpr int BlockHeaderSize = 8;     // type, total length
constexpr int BlockTrailerSize = 4;    // total length again
constexpr int SectionHeaderBody = 16;  // magic, major, minor, section length
constexpr int InterfaceBody = 8;       // link type, reserved, snap length
constexpr int EnhancedPacketBody = 20; // interface, time high, time low, captured, original
constexpr int ObsoletePacketBody = 20; // interface (16 bits), drops, times, captured, original

// Options: code and length (16 bits each), value padded to 4 bytes.
enum OptionCode : uint16_t {
    EndOfOptions = 0,
    Comment = 1,
    ShbHardware = 2,
    ShbOs = 3,
    ShbUserApplication = 4,
    IfName = 2,
    IfDescription = 3,
    IfTimeResolution = 9,
    IfTimeOffset = 14,
    PacketFlags = 2, // epb_flags, and pack_flags of the obsolete packet block
};

// Packet flags: bits 0-1 are the direction.
constexpr uint32_t DirectionMask = 0x3;
constexpr uint32_t Inbound = 0x1;
constexpr uint32_t Outbound = 0x2;

constexpr uint16_t LinkTypeSocketCan = 227;
constexpr uint16_t LinkTypeUpperPdu = 252; // Wireshark's exported PDUs: its own candump import
constexpr uint8_t DefaultTimeResolution = 6;
constexpr uint8_t NanosecondResolution = 9;

// Classic pcap.
constexpr uint32_t PcapMicroMagic = 0xA1B2C3D4;
constexpr uint32_t PcapNanoMagic = 0xA1B23C4D;
constexpr int PcapHeaderSize = 24;
constexpr int PcapRecordHeaderSize = 16;
constexpr uint32_t PcapLinkTypeMask = 0x0FFFFFFF; // the upper bits carry FCS information

inline int padded(int length)
{
    return (length + 3) & ~3;
}

inline uint16_t get16(const char *p, bool bigEndian)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return bigEndian ? uint16_t(b[0] << 8 | b[1]) : uint16_t(b[1] << 8 | b[0]);
}

inline uint32_t get32(const char *p, bool bigEndian)
{
    const uint32_t first = get16(p, bigEndian);
    const uint32_t second = get16(p + 2, bigEndian);
    return bigEndian ? first << 16 | second : second << 16 | first;
}

inline uint64_t get64(const char *p, bool bigEndian)
{
    const uint64_t first = get32(p, bigEndian);
    const uint64_t second = get32(p + 4, bigEndian);
    return bigEndian ? first << 32 | second : second << 32 | first;
}

// Everything this program writes is little-endian.
inline void put16(char *p, uint16_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

inline void put32(char *p, uint32_t v)
{
    put16(p, uint16_t(v & 0xFFFF));
    put16(p + 2, uint16_t(v >> 16));
}

} // namespace PcapngLayout
