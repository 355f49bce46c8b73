// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/pcapngreader.h"

#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/pcapnglayout.h"
#include "formats/socketcanframe.h"
#include "link/timedpacket.h"

#include <QCoreApplication>
#include <QIODevice>
#include <cmath>
#include <cstring>

namespace {

using namespace PcapngLayout;

constexpr int ChunkSize = 1 << 20;
constexpr int MaxParsed = 64 * 1024; // of a block or record; the rest of a larger one is skipped
constexpr int MaxInterfaces = 65536;
constexpr quint32 MaxPcapRecord = 16 * 1024 * 1024;
constexpr quint64 MaxUnits = quint64(1) << 62; // far beyond any clock, and safe to scale
constexpr int MinBlockSize = BlockHeaderSize + BlockTrailerSize;

// Calls `take(code, value, length)` for each option in [p, p + size).
template<typename Take> void forEachOption(const char *p, int size, bool big, Take take)
{
    int pos = 0;
    while (size - pos >= 4) {
        const uint16_t code = get16(p + pos, big);
        const int length = get16(p + pos + 2, big);
        pos += 4;
        if (code == EndOfOptions || size - pos < length)
            return;
        take(code, p + pos, length);
        pos += padded(length);
    }
}

qint64 powerOfTen(int n)
{
    qint64 value = 1;
    while (n-- > 0)
        value *= 10;
    return value;
}

// Microseconds from a count of 10^-n or (top bit set) 2^-n seconds, rounded.
qint64 unitsToUs(quint64 units, uint8_t resolution)
{
    units = qMin(units, MaxUnits);
    const int n = resolution & 0x7F;
    if (resolution & 0x80) {
        const long double us = std::ldexp(static_cast<long double>(units) * 1e6L, -n);
        return us >= static_cast<long double>(MaxUnits) ? qint64(MaxUnits)
                                                        : qint64(std::llround(us));
    }
    if (n <= 6)
        return CivilTime::multiply(qint64(units), powerOfTen(6 - n));
    if (n - 6 > 18)
        return 0;
    const quint64 divisor = quint64(powerOfTen(n - 6));
    return qint64(units / divisor + (units % divisor * 2 >= divisor ? 1 : 0));
}

// The line from the number an interface name ends with, as in candump logs.
uint8_t routeOfName(const QByteArray &name)
{
    int digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    if (digits == name.size() || name.size() - digits > 9)
        return 0;
    const int number = name.mid(digits).toInt();
    return number == 0 ? CanPacket::Can0ToCan1 : number == 1 ? CanPacket::Can1ToCan0 : 0;
}

} // namespace

PcapngReader::PcapngReader(QIODevice *device)
    : CaptureReader(device), data(new char[ChunkSize + MaxParsed])
{
}

PcapngReader::~PcapngReader() = default;

bool PcapngReader::next(TimedPacket &frame)
{
    if (kind == Kind::Unknown && !start())
        return false;
    while (!failed()) {
        frame = TimedPacket();
        const Step step = kind == Kind::Pcap ? pcapRecord(frame) : pcapngBlock(frame);
        setConsumed(offset + pos);
        if (step == Step::Frame) {
            ++frames;
            return true;
        }
        if (step == Step::End) {
            noCanFrames();
            break;
        }
    }
    return false;
}

bool PcapngReader::start()
{
    kind = Kind::Pcapng; // stays set: a refused file is not looked at again
    if (ensure(4) && get32(at(), false) == SectionHeader)
        return true;
    if (ensure(PcapHeaderSize)) {
        const uint32_t magic = get32(at(), false);
        bigEndian = magic != PcapMicroMagic && magic != PcapNanoMagic;
        const uint32_t ordered = get32(at(), bigEndian);
        if (ordered == PcapMicroMagic || ordered == PcapNanoMagic) {
            kind = Kind::Pcap;
            nanoseconds = ordered == PcapNanoMagic;
            pcapLinkType = uint16_t(get32(at() + 20, bigEndian) & PcapLinkTypeMask);
            pos += PcapHeaderSize;
            if (pcapLinkType == LinkTypeSocketCan || pcapLinkType == LinkTypeUpperPdu)
                return true;
            fail(QCoreApplication::translate("PcapngReader",
                                             "запись pcap не из кадров CAN (тип канала %1)")
                     .arg(pcapLinkType));
            return false;
        }
    }
    if (!failed())
        fail(
            QCoreApplication::translate("PcapngReader", "файл не похож на запись pcapng или pcap"));
    return false;
}

PcapngReader::Step PcapngReader::pcapngBlock(TimedPacket &frame)
{
    if (!ensure(BlockHeaderSize)) {
        if (available() > 0)
            truncated();
        return Step::End;
    }
    const uint32_t type = get32(at(), bigEndian);
    uint32_t length = 0;
    if (!blockLength(type, length))
        return Step::End;
    const int parsed = int(qMin<quint32>(length, quint32(MaxParsed)));
    if (!ensure(parsed)) {
        truncated();
        return Step::End;
    }
    Block block{type, at(), parsed, parsed == int(length)};
    if (block.whole) {
        block.size -= BlockTrailerSize;
        if (get32(at() + block.size, bigEndian) != length) {
            corrupt();
            return Step::End;
        }
    }
    bool taken = false;
    if (type == SectionHeader)
        sectionHeader(block);
    else if (type == InterfaceDescription)
        interfaceDescription(block);
    else if (type == EnhancedPacket || type == ObsoletePacket)
        taken = packet(block, frame);
    else if (type == SimplePacket)
        countSkipped();
    if (!finishBlock(length, parsed))
        return Step::End;
    return taken ? Step::Frame : Step::More;
}

// Reads the block's total length, in the byte order a section header announces.
bool PcapngReader::blockLength(uint32_t type, uint32_t &length)
{
    if (type == SectionHeader) {
        if (!ensure(BlockHeaderSize + 4)) {
            truncated();
            return false;
        }
        const char *magic = at() + BlockHeaderSize;
        if (get32(magic, false) != ByteOrderMagic && get32(magic, true) != ByteOrderMagic) {
            corrupt();
            return false;
        }
        bigEndian = get32(magic, false) != ByteOrderMagic;
    }
    length = get32(at() + 4, bigEndian);
    const quint32 least =
        type == SectionHeader ? quint32(MinBlockSize + SectionHeaderBody) : quint32(MinBlockSize);
    if (length % 4 != 0 || length < least) {
        corrupt();
        return false;
    }
    return true;
}

// Steps over the block; a part too large to parse is skipped and its trailer checked.
bool PcapngReader::finishBlock(uint32_t length, int parsed)
{
    if (parsed == int(length)) {
        pos += parsed;
        return true;
    }
    pos += parsed;
    if (!skip(length - quint32(parsed) - BlockTrailerSize) || !ensure(BlockTrailerSize)) {
        truncated();
        return false;
    }
    if (get32(at(), bigEndian) != length) {
        corrupt();
        return false;
    }
    pos += BlockTrailerSize;
    return true;
}

void PcapngReader::sectionHeader(const Block &block)
{
    interfaces.clear(); // interface numbers start again in each section
    if (get16(block.at + 12, bigEndian) != 1)
        fail(QCoreApplication::translate("PcapngReader", "версия pcapng %1 не поддерживается")
                 .arg(get16(block.at + 12, bigEndian)));
}

void PcapngReader::interfaceDescription(const Block &block)
{
    const int bodyEnd = block.size;
    const int optionsAt = BlockHeaderSize + InterfaceBody;
    if (bodyEnd < optionsAt || interfaces.size() >= MaxInterfaces) {
        corrupt();
        return;
    }
    Interface interface;
    interface.linkType = get16(block.at + BlockHeaderSize, bigEndian);
    QByteArray name;
    forEachOption(block.at + optionsAt, bodyEnd - optionsAt, bigEndian,
                  [&](uint16_t code, const char *value, int length) {
                      if (code == IfName)
                          name = QByteArray(value, length);
                      else if (code == IfTimeResolution && length >= 1)
                          interface.resolution = uint8_t(value[0]);
                      else if (code == IfTimeOffset && length >= 8)
                          interface.offsetUs = CivilTime::multiply(qint64(get64(value, bigEndian)),
                                                                   CivilTime::UsPerSecond);
                  });
    interface.transmitted = name == "cantx";
    interface.route = name == "cantx" || name == "canrx" ? 0 : routeOfName(name);
    canInterface = canInterface || interface.linkType == LinkTypeSocketCan ||
                   interface.linkType == LinkTypeUpperPdu;
    interfaces.append(interface);
}

// An enhanced packet block, or the obsolete packet block with a 16-bit interface number.
bool PcapngReader::packet(const Block &block, TimedPacket &frame)
{
    const char *body = block.at + BlockHeaderSize;
    const bool obsolete = block.type == ObsoletePacket;
    const int bodySize = block.size - BlockHeaderSize;
    const quint32 captured = bodySize >= EnhancedPacketBody ? get32(body + 12, bigEndian) : 0;
    const quint32 number = obsolete ? get16(body, bigEndian) : get32(body, bigEndian);
    if (bodySize < EnhancedPacketBody || captured > quint32(bodySize - EnhancedPacketBody) ||
        number >= quint32(interfaces.size())) {
        countSkipped();
        return false;
    }
    const Interface &interface = interfaces[int(number)];
    if (!decodeOn(interface, body + EnhancedPacketBody, int(captured), frame.packet)) {
        countSkipped();
        return false;
    }
    const quint64 units = quint64(get32(body + 4, bigEndian)) << 32 | get32(body + 8, bigEndian);
    frame.time = CivilTime::add(unitsToUs(units, interface.resolution), interface.offsetUs);
    frame.packet.frame |= interface.route;
    frame.packet.direct = interface.transmitted ? CanPacket::Transmitted : CanPacket::Received;
    const int optionsAt = EnhancedPacketBody + padded(int(captured));
    forEachOption(body + optionsAt, qMax(0, bodySize - optionsAt), bigEndian,
                  [&](uint16_t code, const char *value, int length) {
                      if (code != PacketFlags || length < 4)
                          return;
                      const uint32_t direction = get32(value, bigEndian) & DirectionMask;
                      if (direction == Inbound)
                          frame.packet.direct = CanPacket::Received;
                      else if (direction == Outbound)
                          frame.packet.direct = CanPacket::Transmitted;
                  });
    return true;
}

bool PcapngReader::decodeOn(const Interface &interface, const char *bytes, int size,
                            CanPacket &packet)
{
    if (interface.linkType == LinkTypeSocketCan)
        return SocketCanFrame::decode(bytes, size, true, packet);
    if (interface.linkType == LinkTypeUpperPdu)
        return SocketCanFrame::decodeExported(bytes, size, packet);
    return false;
}

PcapngReader::Step PcapngReader::pcapRecord(TimedPacket &frame)
{
    if (!ensure(PcapRecordHeaderSize)) {
        if (available() > 0)
            truncated();
        return Step::End;
    }
    const quint32 seconds = get32(at(), bigEndian);
    const quint32 fraction = get32(at() + 4, bigEndian);
    const quint32 captured = get32(at() + 8, bigEndian);
    if (captured > MaxPcapRecord) {
        corrupt();
        return Step::End;
    }
    pos += PcapRecordHeaderSize;
    if (captured > quint32(MaxParsed)) {
        countSkipped();
        if (skip(captured))
            return Step::More;
        truncated();
        return Step::End;
    }
    if (!ensure(int(captured))) {
        truncated();
        return Step::End;
    }
    Interface interface;
    interface.linkType = pcapLinkType;
    const bool taken = decodeOn(interface, at(), int(captured), frame.packet);
    pos += int(captured);
    if (!taken) {
        countSkipped();
        return Step::More;
    }
    const qint64 part = nanoseconds ? (qint64(fraction) + 500) / 1000 : qint64(fraction);
    frame.time = qint64(seconds) * CivilTime::UsPerSecond + part;
    return Step::Frame;
}

// The buffer holds at least `count` (at most MaxParsed) bytes at its position; false at the end.
bool PcapngReader::ensure(int count)
{
    while (available() < count) {
        if (ended || failed())
            return false;
        if (pos > 0) {
            std::memmove(data.get(), data.get() + pos, size_t(available()));
            offset += pos;
            size -= pos;
            pos = 0;
        }
        const qint64 got = device()->read(data.get() + size, qint64(ChunkSize + MaxParsed - size));
        if (got < 0)
            fail(QCoreApplication::translate("PcapngReader", "ошибка чтения: %1")
                     .arg(device()->errorString()));
        if (got <= 0)
            ended = true;
        else
            size += int(got);
    }
    return true;
}

bool PcapngReader::skip(quint64 count)
{
    while (count > 0) {
        if (available() == 0 && !ensure(1))
            return false;
        const int step = int(qMin<quint64>(count, quint64(available())));
        pos += step;
        count -= quint64(step);
    }
    return true;
}

// A capture of other networks only is no CAN capture at all.
void PcapngReader::noCanFrames()
{
    if (frames == 0 && kind == Kind::Pcapng && !canInterface && skipped() > 0)
        fail(QCoreApplication::translate("PcapngReader",
                                         "в записи pcapng нет интерфейсов CAN (SocketCAN)"));
}

void PcapngReader::truncated()
{
    countSkipped();
    fail(kind == Kind::Pcap
             ? QCoreApplication::translate("PcapngReader", "запись pcap обрезана")
             : QCoreApplication::translate("PcapngReader", "запись pcapng обрезана"));
}

void PcapngReader::corrupt()
{
    fail(kind == Kind::Pcap
             ? QCoreApplication::translate("PcapngReader", "запись pcap повреждена")
             : QCoreApplication::translate("PcapngReader", "запись pcapng повреждена"));
}
