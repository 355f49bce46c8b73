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
constexpr quint32 MaxWhole = ChunkSize; // blocks up to this size are checked whole before use
constexpr int BlockAlign = 4;

// Walks code-length-value items, each padded to 4 bytes, up to the one of code 0 (`ended` then
// set). Where they end, or -1 when one does not fit.
int itemsEnd(const char *p, int size, bool big, bool *ended)
{
    int pos = 0;
    *ended = false;
    while (size - pos >= 4) {
        const uint16_t code = get16(p + pos, big);
        const int length = get16(p + pos + 2, big);
        pos += 4;
        if (code == 0) {
            *ended = true;
            return length == 0 ? pos : -1;
        }
        if (padded(length) > size - pos)
            return -1;
        pos += padded(length);
    }
    return pos;
}

// Whether options fill [p, p + size) exactly, as a writer lays them out.
bool wellFormedOptions(const char *p, int size, bool big)
{
    bool ended = false;
    return itemsEnd(p, size, big, &ended) == size;
}

// Name records up to the end record, then options.
bool wellFormedNames(const char *p, int size, bool big)
{
    bool ended = false;
    const int end = itemsEnd(p, size, big, &ended);
    return ended && end >= 0 && wellFormedOptions(p + end, size - end, big);
}

// The block types a reader may meet; anything else found after damage is no block.
bool knownType(uint32_t type)
{
    switch (type) {
    case SectionHeader:
    case InterfaceDescription:
    case ObsoletePacket:
    case SimplePacket:
    case NameResolution:
    case InterfaceStatistics:
    case EnhancedPacket:
    case SystemdJournal:
    case DecryptionSecrets:
    case CustomBlock:
    case CustomBlockNoCopy:
        return true;
    default:
        return false;
    }
}

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
            if (kind == Kind::Pcapng && !sectionRead && frames == 0)
                corrupt(); // not a single block read whole
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
            truncated(offset + pos);
        return Step::End;
    }
    const qint64 start = offset + pos;
    uint32_t length = 0;
    bool big = bigEndian;
    Verdict verdict = checkBlock(bigEndian, length, big);
    if ((verdict == Verdict::Broken || verdict == Verdict::Cut) && mend(length, big))
        verdict = Verdict::Whole;
    if (verdict == Verdict::Broken)
        return skipBroken(start, QT_TRANSLATE_NOOP("PcapngReader", "повреждённый блок"));
    if (verdict == Verdict::Cut) {
        // A damaged length, or the last block cut by the end of the file.
        const Step step =
            skipBroken(start, QT_TRANSLATE_NOOP("PcapngReader", "блок длиннее остатка файла"));
        if (step == Step::End)
            fail(QCoreApplication::translate("PcapngReader", "запись pcapng обрезана"));
        return step;
    }
    bigEndian = big;
    if (verdict == Verdict::Large)
        return finishLarge(start, length, frame);
    const Step step = dispatch(
        {start, get32(at(), bigEndian), at(), int(length) - BlockTrailerSize, true}, frame);
    pos += int(length);
    return step;
}

// A block whose length and trailer check out is Whole, and is in the buffer; one too large to
// hold is Large, and checked only after it is read. The byte order is `big`, or for a section
// header its own, set in `blockBig`.
PcapngReader::Verdict PcapngReader::checkBlock(bool big, uint32_t &length, bool &blockBig)
{
    const uint32_t type = get32(at(), big);
    blockBig = big;
    if (type == SectionHeader) {
        if (!ensure(BlockHeaderSize + 4))
            return Verdict::Cut;
        const char *magic = at() + BlockHeaderSize;
        if (get32(magic, false) != ByteOrderMagic && get32(magic, true) != ByteOrderMagic)
            return Verdict::Broken;
        blockBig = get32(magic, false) != ByteOrderMagic;
    }
    length = get32(at() + 4, blockBig);
    const quint32 least =
        type == SectionHeader ? quint32(MinBlockSize + SectionHeaderBody) : quint32(MinBlockSize);
    if (length % 4 != 0 || length < least)
        return Verdict::Broken;
    if (length > MaxWhole)
        return !device()->isSequential() && offset + pos + qint64(length) > device()->size()
                   ? Verdict::Cut
                   : Verdict::Large;
    if (!ensure(int(length)))
        return Verdict::Cut;
    return get32(at() + length - BlockTrailerSize, blockBig) == length ? Verdict::Whole
                                                                       : Verdict::Broken;
}

// Reads the start of a block too large to hold and steps over the rest; its trailer is checked
// last, and if it is wrong, reading goes on at the next block from there.
PcapngReader::Step PcapngReader::finishLarge(qint64 start, uint32_t length, TimedPacket &frame)
{
    if (!ensure(MaxParsed)) {
        truncated(start);
        return Step::End;
    }
    const Step step = dispatch({start, get32(at(), bigEndian), at(), MaxParsed, false}, frame);
    pos += MaxParsed;
    if (!skip(length - quint32(MaxParsed) - BlockTrailerSize) || !ensure(BlockTrailerSize)) {
        truncated(start);
        return Step::End;
    }
    if (get32(at(), bigEndian) != length)
        return resync(start, QCoreApplication::translate("PcapngReader", "повреждённый блок"))
                   ? Step::More
                   : Step::End;
    pos += BlockTrailerSize;
    return step;
}

// A block whose length, trailer or (in a section header) byte-order magic is damaged: true, with
// its length and byte order, when the rest tells them. Until a section header has been read,
// either byte order may be the file's.
bool PcapngReader::mend(uint32_t &length, bool &big)
{
    for (const bool order : {bigEndian, !bigEndian}) {
        if (order != bigEndian && sectionRead)
            break;
        length = mendedLength(order);
        if (length > 0) {
            big = order;
            return true;
        }
    }
    return false;
}

// A block of a known type whose length or trailer is damaged and the other one right: its length
// is the one after which a whole block follows, or the end of the file. 0 when there is none.
uint32_t PcapngReader::mendedLength(bool big)
{
    const uint32_t type = get32(at(), big);
    if (!knownType(type))
        return 0;
    const int least = type == SectionHeader ? MinBlockSize + SectionHeaderBody : MinBlockSize;
    const uint32_t claimed = get32(at() + 4, big);
    if (claimed % 4 == 0 && claimed >= quint32(least) && claimed <= quint32(MaxParsed) &&
        followedByBlock(int(claimed), big))
        return claimed; // only the trailer is damaged
    for (int end = least; end <= MaxParsed && ensure(end); end += BlockAlign) {
        if (get32(at() + end - BlockTrailerSize, big) == uint32_t(end) && followedByBlock(end, big))
            return uint32_t(end);
    }
    return 0;
}

// Whether a whole small block starts `end` bytes after the position, or the file ends there.
bool PcapngReader::followedByBlock(int end, bool big)
{
    if (!ensure(end + BlockHeaderSize))
        return ensure(end) && available() == end;
    const uint32_t length = get32(at() + end + 4, big);
    return knownType(get32(at() + end, big)) && length % 4 == 0 && length >= MinBlockSize &&
           length <= quint32(MaxParsed) && ensure(end + int(length)) &&
           get32(at() + end + int(length) - BlockTrailerSize, big) == length;
}

// Blocks of no frames are read past; those whose contents are plainly no such block (a packet
// block whose type was damaged, say) are damage.
bool PcapngReader::plausibleOther(const Block &block) const
{
    const char *body = block.at + BlockHeaderSize;
    const int size = block.size - BlockHeaderSize;
    if (!block.whole)
        return true;
    if (block.type == NameResolution)
        return wellFormedNames(body, size, bigEndian);
    if (block.type == InterfaceStatistics)
        return size >= 12 && get32(body, bigEndian) < quint32(interfaces.size()) &&
               wellFormedOptions(body + 12, size - 12, bigEndian);
    return knownType(block.type);
}

PcapngReader::Step PcapngReader::dispatch(const Block &block, TimedPacket &frame)
{
    switch (block.type) {
    case SectionHeader:
        sectionHeader(block);
        return Step::More;
    case InterfaceDescription:
        interfaceDescription(block);
        return Step::More;
    case EnhancedPacket:
    case ObsoletePacket:
        return packet(block, frame) ? Step::Frame : Step::More;
    case SimplePacket:
        countSkipped();
        return Step::More;
    default:
        if (!knownType(block.type)) // a damaged type, or a block of a newer kind
            damaged(block.offset, block.offset + block.size + BlockTrailerSize,
                    QCoreApplication::translate("PcapngReader", "блок неизвестного типа 0x%1")
                        .arg(block.type, 0, 16));
        else if (!plausibleOther(block))
            damaged(block.offset, block.offset + block.size + BlockTrailerSize,
                    QCoreApplication::translate("PcapngReader", "повреждённый блок"));
        return Step::More;
    }
}

// Damage costs only itself: reading goes on at the next block from the position on whose type,
// length and trailer check out, or ends at the end of the file. Blocks start 4 bytes apart, so
// only those places are looked at (a little-endian length read big-endian three bytes early
// would pass for one). The stretch from `from` on is noted. False at the end.
bool PcapngReader::resync(qint64 from, const QString &why)
{
    bool found = false;
    for (;;) {
        while (!found && available() >= MinBlockSize) {
            found = candidateBlock();
            if (!found)
                pos += BlockAlign;
        }
        if (found || ended || failed())
            break;
        ensure(available() + 1);
    }
    damaged(from, found ? offset + pos : offset + size, why);
    return found;
}

// Whether a whole block starts at the position. Until a section header has been read, the byte
// order is not known, and both are tried.
bool PcapngReader::candidateBlock()
{
    for (const bool big : {bigEndian, !bigEndian}) {
        uint32_t length = 0;
        bool blockBig = big;
        if ((big != bigEndian && sectionRead) || !knownType(get32(at(), big)) ||
            checkBlock(big, length, blockBig) != Verdict::Whole)
            continue;
        bigEndian = blockBig;
        return true;
    }
    return false;
}

PcapngReader::Step PcapngReader::skipBroken(qint64 at, const char *why)
{
    pos += BlockAlign;
    return resync(at, QCoreApplication::translate("PcapngReader", why)) ? Step::More : Step::End;
}

void PcapngReader::damaged(qint64 from, qint64 to, const QString &why)
{
    countSkipped();
    noteDamage({from, qMax<qint64>(0, to - from), 0, 0, why});
}

void PcapngReader::sectionHeader(const Block &block)
{
    interfaces.clear(); // interface numbers start again in each section
    const int version = get16(block.at + 12, bigEndian);
    const QString unknown =
        QCoreApplication::translate("PcapngReader", "версия pcapng %1 не поддерживается")
            .arg(version);
    if (version == 1)
        sectionRead = true;
    else if (!sectionRead)
        fail(unknown);
    else // a damaged later section: its blocks are read as those of the first
        damaged(block.offset, block.offset + block.size + BlockTrailerSize, unknown);
}

void PcapngReader::interfaceDescription(const Block &block)
{
    const int bodyEnd = block.size;
    const int optionsAt = BlockHeaderSize + InterfaceBody;
    if (interfaces.size() >= MaxInterfaces)
        return;
    if (bodyEnd < optionsAt) {
        // Its packets are skipped, the numbers of the interfaces after it kept.
        damaged(block.offset, block.offset + block.size + BlockTrailerSize,
                QCoreApplication::translate("PcapngReader", "повреждённое описание интерфейса"));
        interfaces.append(Interface());
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
    if (bodySize < EnhancedPacketBody || captured > quint32(bodySize - EnhancedPacketBody)) {
        damaged(block.offset, block.offset + block.size + BlockTrailerSize,
                QCoreApplication::translate("PcapngReader", "повреждённый пакет"));
        return false;
    }
    if (number >= quint32(interfaces.size())) {
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
    const qint64 record = offset + pos;
    if (!ensure(PcapRecordHeaderSize)) {
        if (available() > 0)
            truncated(record);
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
        truncated(record);
        return Step::End;
    }
    if (!ensure(int(captured))) {
        truncated(record);
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

void PcapngReader::truncated(qint64 from)
{
    if (failed())
        return;
    damaged(from, offset + size,
            QCoreApplication::translate("PcapngReader", "обрезано концом файла"));
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
