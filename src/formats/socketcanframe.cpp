// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/socketcanframe.h"

#include "formats/frameroute.h"
#include "formats/pcapnglayout.h"
#include "link/canpacket.h"

#include <cstring>

namespace {

constexpr uint32_t ExtendedFlag = 0x80000000;
constexpr uint32_t RemoteFlag = 0x40000000;
constexpr uint32_t ErrorFlag = 0x20000000;
constexpr uint8_t CanXlFlag = 0x80; // in the length byte's place
constexpr uint8_t BrsFlag = 0x01;   // in an FD frame's flags byte
constexpr uint8_t EsiFlag = 0x02;
constexpr uint8_t CanFdFlag = 0x04;
constexpr uint16_t DissectorNameTag = 12;
constexpr uint16_t ProtocolNameTag = 1;
constexpr int TagHeaderSize = 4;

bool sameName(const char *value, int size, const char *name)
{
    while (size > 0 && value[size - 1] == '\0')
        --size;
    return size == int(std::strlen(name)) && std::memcmp(value, name, size_t(size)) == 0;
}

} // namespace

int SocketCanFrame::sizeOf(const CanPacket &packet)
{
    return packet.isFd() ? FdSize : ClassicSize;
}

void SocketCanFrame::encode(char *out, const CanPacket &packet)
{
    const bool extended = packet.isExtended();
    const bool fd = packet.isFd();
    uint32_t word = packet.id & (extended ? FrameRoute::MaxExtendedId : FrameRoute::MaxStandardId);
    word |= (extended ? ExtendedFlag : 0) | (packet.isRemote() && !fd ? RemoteFlag : 0);
    out[0] = char(word >> 24);
    out[1] = char(word >> 16);
    out[2] = char(word >> 8);
    out[3] = char(word);
    const int length = fd ? packet.dataLength() : FrameRoute::classicLength(packet);
    out[4] = char(length);
    std::memset(out + 5, 0, size_t(sizeOf(packet) - 5));
    if (fd)
        out[5] = char(CanFdFlag | (packet.frame & CanPacket::BitRateSwitch ? BrsFlag : 0) |
                      (packet.frame & CanPacket::ErrorState ? EsiFlag : 0));
    for (int i = 0; i < length && (fd || !packet.isRemote()); ++i)
        out[HeaderSize + i] = char(packet.data[i]);
}

namespace {

using SocketCanFrame::FdSize;
using SocketCanFrame::HeaderSize;

void setIdentifier(CanPacket &packet, uint32_t id, bool extended)
{
    packet.id = id;
    packet.frame = uint8_t((packet.frame & ~(CanPacket::Extended | CanPacket::FdFlags)) |
                           (extended ? CanPacket::Extended : 0));
    std::memset(packet.data, 0, sizeof packet.data);
}

// An FD frame of `length` bytes (0..64; a length between the FD lengths is carried in the next
// one up, the rest 0). FD frames have no remote form: the flag means nothing there.
bool decodeFd(const char *bytes, int size, uint32_t word, CanPacket &packet)
{
    const int length = uint8_t(bytes[4]);
    const uint8_t flags = uint8_t(bytes[5]);
    const bool extended = word & ExtendedFlag;
    const uint32_t id = word & FrameRoute::MaxExtendedId;
    if (length > CanPacket::MaxFdBytes || size < HeaderSize + length || size > FdSize ||
        !FrameRoute::validId(id, extended))
        return false;
    setIdentifier(packet, id, extended);
    packet.rtl = 0;
    packet.setFdLength(length);
    packet.frame |= uint8_t((flags & BrsFlag ? CanPacket::BitRateSwitch : 0) |
                            (flags & EsiFlag ? CanPacket::ErrorState : 0));
    std::memcpy(packet.data, bytes + HeaderSize, size_t(length));
    return true;
}

bool decodeClassic(const char *bytes, int size, uint32_t word, CanPacket &packet)
{
    const int length = uint8_t(bytes[4]);
    if (length > FrameRoute::MaxClassicLength)
        return false;
    const bool extended = word & ExtendedFlag;
    const bool remote = word & RemoteFlag;
    const uint32_t id = word & FrameRoute::MaxExtendedId;
    if (!FrameRoute::validId(id, extended) || (!remote && size < HeaderSize + length))
        return false;
    setIdentifier(packet, id, extended);
    packet.rtl = uint8_t((remote ? FrameRoute::RemoteFlag : 0) | length);
    if (!remote)
        std::memcpy(packet.data, bytes + HeaderSize, size_t(length));
    return true;
}

// `fd`: the frame is FD whatever its flags and size say.
bool decodeAs(const char *bytes, int size, bool bigEndianId, bool fd, CanPacket &packet)
{
    if (size < HeaderSize)
        return false;
    const uint32_t word = PcapngLayout::get32(bytes, bigEndianId);
    if ((word & ErrorFlag) || (uint8_t(bytes[4]) & CanXlFlag))
        return false;
    if (fd || (bytes[5] & CanFdFlag) || size > SocketCanFrame::ClassicSize)
        return decodeFd(bytes, size, word, packet);
    return decodeClassic(bytes, size, word, packet);
}

} // namespace

bool SocketCanFrame::decode(const char *bytes, int size, bool bigEndianId, CanPacket &packet)
{
    return decodeAs(bytes, size, bigEndianId, false, packet);
}

// Tags are big-endian (tag, length, value); tag 0 ends them. Wireshark writes the host's byte
// order for "can-hostendian" and "canfd": little-endian on the machines it is run on here.
bool SocketCanFrame::decodeExported(const char *bytes, int size, CanPacket &packet)
{
    int pos = 0;
    int bigEndian = -1;
    bool fd = false;
    for (;;) {
        if (size - pos < TagHeaderSize)
            return false;
        const uint16_t tag = PcapngLayout::get16(bytes + pos, true);
        const int length = PcapngLayout::get16(bytes + pos + 2, true);
        pos += TagHeaderSize;
        if (size - pos < length)
            return false;
        if (tag == 0)
            break;
        if (tag == DissectorNameTag || tag == ProtocolNameTag) {
            fd = fd || sameName(bytes + pos, length, "canfd");
            if (fd || sameName(bytes + pos, length, "can-hostendian"))
                bigEndian = 0;
            else if (sameName(bytes + pos, length, "can-bigendian"))
                bigEndian = 1;
        }
        pos += length;
    }
    return bigEndian >= 0 && decodeAs(bytes + pos, size - pos, bigEndian == 1, fd, packet);
}
