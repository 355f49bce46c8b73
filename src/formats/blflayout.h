// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>

// The parts of Vector's binary log layout that BlfReader and BlfWriter use. All numbers are
// little-endian. A file is a 144-byte header ("LOGG") followed by objects ("LOBJ"), usually
// zlib-compressed LOG_CONTAINER objects whose inflated contents are again a stream of objects;
// an object may be split between two containers. An object of size n is followed by n % 4
// padding bytes.
namespace BlfLayout {

constexpr char FileSignature[4] = {'L', 'O', 'G', 'G'};
constexpr char ObjectSignature[4] = {'L', 'O', 'B', 'J'};
constexpr int FileHeaderSize = 144;
constexpr int MinFileHeaderSize = 72; // up to the end of the stop time
constexpr int StartTimeOffset = 40;   // SYSTEMTIME: 8 16-bit fields
constexpr int StopTimeOffset = 56;
constexpr int BaseHeaderSize = 16;      // signature, header size, version, object size, type
constexpr int ObjectHeaderSize = 32;    // base + version 1 part (flags, client, version, time)
constexpr int ContainerHeaderSize = 32; // base + compression method, uncompressed size
constexpr int UncompressedSizeOffset = 24;
constexpr int MessageSize = 16;  // channel, flags, dlc, id, 8 data bytes
constexpr int Message2Size = 24; // the same + frame length, bit count, reserved
// CAN_FD_MESSAGE: channel (16 bits), flags, DLC, id, frame length, bit count, FD flags, valid
// data bytes, reserved, then 64 data bytes.
constexpr int FdMessageHead = 20;
constexpr int FdMessageSize = FdMessageHead + 64;
// CAN_FD_MESSAGE_64: channel (8 bits), DLC, valid data bytes, transmit count, id, frame length,
// flags (32 bits), two bit timings, two time offsets, bit count, direction, offset of extended
// data, CRC, then the valid data bytes (and perhaps extended data).
constexpr int FdMessage64Head = 40;
constexpr int MaxFdDataBytes = 64;

enum ObjectType : uint32_t {
    CanMessage = 1,
    LogContainer = 10,
    CanMessage2 = 86,
    CanFdMessage = 100,
    CanFdMessage64 = 101,
};

enum : uint32_t {
    TimeTenMicros = 1, // object flags: unit of the timestamp
    TimeOneNanos = 2,
};

enum : uint8_t {
    TransmitFlag = 0x01, // message flags
    RemoteFlag = 0x80,
};

enum : uint8_t {
    FdEdl = 0x01, // CAN_FD_MESSAGE's FD flags: an FD frame, bit rate switch, error state
    FdBrs = 0x02,
    FdEsi = 0x04,
};

enum : uint32_t {
    Fd64Remote = 0x0010, // CAN_FD_MESSAGE_64's flags
    Fd64Edl = 0x1000,
    Fd64Brs = 0x2000,
    Fd64Esi = 0x4000,
};

enum : uint8_t {
    Fd64Received = 0, // CAN_FD_MESSAGE_64's direction; 2 is a transmit request
    Fd64Transmitted = 1,
};

constexpr uint32_t ExtendedIdFlag = 0x80000000;
constexpr uint16_t NoCompression = 0;
constexpr uint16_t ZlibCompression = 2;

inline uint16_t get16(const char *p)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return uint16_t(b[0] | b[1] << 8);
}

inline uint32_t get32(const char *p)
{
    return uint32_t(get16(p)) | uint32_t(get16(p + 2)) << 16;
}

inline uint64_t get64(const char *p)
{
    return uint64_t(get32(p)) | uint64_t(get32(p + 4)) << 32;
}

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

inline void put64(char *p, uint64_t v)
{
    put32(p, uint32_t(v & 0xFFFFFFFFu));
    put32(p + 4, uint32_t(v >> 32));
}

inline bool hasSignature(const char *p, const char (&signature)[4])
{
    return std::memcmp(p, signature, 4) == 0;
}

} // namespace BlfLayout
