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
constexpr uint8_t CanFdFlag = 0x04; // in the flags byte
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

void SocketCanFrame::encode(char *out, const CanPacket &packet)
{
    const bool extended = packet.isExtended();
    uint32_t word = packet.id & (extended ? FrameRoute::MaxExtendedId : FrameRoute::MaxStandardId);
    word |= (extended ? ExtendedFlag : 0) | (packet.isRemote() ? RemoteFlag : 0);
    out[0] = char(word >> 24);
    out[1] = char(word >> 16);
    out[2] = char(word >> 8);
    out[3] = char(word);
    const int length = FrameRoute::classicLength(packet);
    out[4] = char(length);
    std::memset(out + 5, 0, ClassicSize - 5);
    for (int i = 0; i < length && !packet.isRemote(); ++i)
        out[HeaderSize + i] = char(packet.data[i]);
}

bool SocketCanFrame::decode(const char *bytes, int size, bool bigEndianId, CanPacket &packet)
{
    if (size < HeaderSize || size > ClassicSize)
        return false; // CAN FD frames are 72 bytes, CAN XL ones longer
    const uint32_t word = PcapngLayout::get32(bytes, bigEndianId);
    const int length = uint8_t(bytes[4]);
    if ((word & ErrorFlag) || (length & CanXlFlag) || (bytes[5] & CanFdFlag) ||
        length > FrameRoute::MaxClassicLength)
        return false;
    const bool extended = word & ExtendedFlag;
    const bool remote = word & RemoteFlag;
    const uint32_t id = word & FrameRoute::MaxExtendedId;
    if (!FrameRoute::validId(id, extended) || (!remote && size < HeaderSize + length))
        return false;
    packet.id = id;
    packet.frame =
        uint8_t((packet.frame & ~CanPacket::Extended) | (extended ? CanPacket::Extended : 0));
    packet.rtl = uint8_t((remote ? FrameRoute::RemoteFlag : 0) | length);
    std::memset(packet.data, 0, sizeof packet.data);
    if (!remote)
        std::memcpy(packet.data, bytes + HeaderSize, size_t(length));
    return true;
}

// Tags are big-endian (tag, length, value); tag 0 ends them. Wireshark writes the host's byte
// order for "can-hostendian": little-endian on the machines it is run on here.
bool SocketCanFrame::decodeExported(const char *bytes, int size, CanPacket &packet)
{
    int pos = 0;
    int bigEndian = -1;
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
            if (sameName(bytes + pos, length, "can-hostendian"))
                bigEndian = 0;
            else if (sameName(bytes + pos, length, "can-bigendian"))
                bigEndian = 1;
        }
        pos += length;
    }
    return bigEndian >= 0 && decode(bytes + pos, size - pos, bigEndian == 1, packet);
}
