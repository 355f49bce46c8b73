// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/blfwriter.h"

#include "formats/blflayout.h"
#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"

#include <QCoreApplication>
#include <QIODevice>
#include <zlib.h>

namespace {

constexpr int ContainerPayload = 128 * 1024;
constexpr int MessageObjectSize = BlfLayout::ObjectHeaderSize + BlfLayout::MessageSize;
constexpr int FdObjectSize = BlfLayout::ObjectHeaderSize + BlfLayout::FdMessageSize;
constexpr int CompressionLevel = Z_BEST_SPEED;
constexpr uint8_t ApplicationVersion[4] = {0, 1, 0, 1};
constexpr uint8_t LogVersion[4] = {4, 1, 0, 0};

void putSystemTime(char *p, qint64 wallUsec)
{
    using BlfLayout::put16;
    const qint64 days = CivilTime::floorDiv(wallUsec, CivilTime::UsPerDay);
    const qint64 ms = (wallUsec - days * CivilTime::UsPerDay) / CivilTime::UsPerMs;
    const CivilTime::Date date = CivilTime::civilFromDays(days);
    put16(p, uint16_t(qBound<qint64>(0, date.year, 0xFFFF)));
    put16(p + 2, uint16_t(date.month));
    put16(p + 4, uint16_t(CivilTime::weekday(days)));
    put16(p + 6, uint16_t(date.day));
    put16(p + 8, uint16_t(ms / 3600000));
    put16(p + 10, uint16_t(ms / 60000 % 60));
    put16(p + 12, uint16_t(ms / 1000 % 60));
    put16(p + 14, uint16_t(ms % 1000));
}

// DLC and data of a CAN_MESSAGE.
void putClassicData(char *m, const CanPacket &packet)
{
    const int length = FrameRoute::classicLength(packet);
    m[3] = char(length);
    for (int i = 0; i < FrameRoute::MaxClassicLength; ++i)
        m[8 + i] = char(i < length && !packet.isRemote() ? packet.data[i] : 0);
}

// What a CAN_FD_MESSAGE has beyond a CAN_MESSAGE: the DLC code, no frame length or bit count
// (not known), the FD flags, the valid data bytes and all 64 data bytes.
void putFdMessage(char *m, const CanPacket &packet)
{
    using namespace BlfLayout;
    const int length = packet.dataLength();
    m[3] = char(packet.rtl & 0x0F);
    std::memset(m + 8, 0, FdMessageSize - 8);
    m[13] = char(FdEdl | (packet.frame & CanPacket::BitRateSwitch ? FdBrs : 0) |
                 (packet.frame & CanPacket::ErrorState ? FdEsi : 0));
    m[14] = char(length);
    std::memcpy(m + FdMessageHead, packet.data, size_t(length));
}

void putObjectBase(char *p, uint16_t headerSize, uint32_t size, uint32_t type)
{
    std::memcpy(p, BlfLayout::ObjectSignature, 4);
    BlfLayout::put16(p + 4, headerSize);
    BlfLayout::put16(p + 6, 1); // header version
    BlfLayout::put32(p + 8, size);
    BlfLayout::put32(p + 12, type);
}

} // namespace

struct BlfWriter::Deflater
{
    z_stream stream{};
    bool ready = false;
    ~Deflater()
    {
        if (ready)
            deflateEnd(&stream);
    }
};

BlfWriter::BlfWriter(QIODevice *device) : CaptureWriter(device), deflater(new Deflater)
{
    deflater->ready = deflateInit(&deflater->stream, CompressionLevel) == Z_OK;
    objects.reserve(ContainerPayload + FdObjectSize);
    headerPos = device->isSequential() ? 0 : device->pos();
}

BlfWriter::~BlfWriter() = default;

bool BlfWriter::write(const TimedPacket &frame)
{
    if (!ok())
        return false;
    const qint64 time = timeOf(frame);
    if (!started)
        begin(time);
    appendMessage(time, frame);
    if (objects.size() >= ContainerPayload && !closeContainer())
        return false;
    return flushIfFull();
}

void BlfWriter::begin(qint64 firstTime)
{
    started = true;
    const qint64 wall = clock.wallFromUtc(firstTime);
    startWall = CivilTime::floorDiv(wall, CivilTime::UsPerMs) * CivilTime::UsPerMs;
    start = CivilTime::add(firstTime, startWall - wall);
    lastTime = start;
    const QByteArray header = fileHeader();
    buffer() += header;
    fileSize += quint64(header.size());
}

void BlfWriter::appendMessage(qint64 time, const TimedPacket &frame)
{
    using namespace BlfLayout;
    const CanPacket &packet = frame.packet;
    const bool fd = packet.isFd();
    char p[FdObjectSize];
    const int size = fd ? FdObjectSize : MessageObjectSize;
    putObjectBase(p, ObjectHeaderSize, uint32_t(size), fd ? CanFdMessage : CanMessage);
    put32(p + 16, TimeOneNanos);
    put32(p + 20, 0); // client index, object version
    const qint64 offset = qMax<qint64>(0, CivilTime::add(time, -start));
    put64(p + 24, quint64(CivilTime::multiply(offset, 1000)));
    char *m = p + ObjectHeaderSize;
    put16(m, uint16_t(FrameRoute::channelNumber(packet)));
    m[2] = char((FrameRoute::isTransmitted(packet) ? TransmitFlag : 0) |
                (packet.isRemote() && !fd ? RemoteFlag : 0));
    put32(m + 4, packet.isExtended() ? (packet.id & FrameRoute::MaxExtendedId) | ExtendedIdFlag
                                     : packet.id & FrameRoute::MaxStandardId);
    if (fd)
        putFdMessage(m, packet);
    else
        putClassicData(m, packet);
    objects.append(p, size);
    lastTime = qMax(lastTime, time);
    ++objectCount;
}

bool BlfWriter::closeContainer()
{
    using namespace BlfLayout;
    if (objects.isEmpty())
        return true;
    z_stream &z = deflater->stream;
    if (!deflater->ready || deflateReset(&z) != Z_OK) {
        fail(QCoreApplication::translate("BlfWriter", "нет памяти для сжатия"));
        return false;
    }
    packed.resize(int(deflateBound(&z, uLong(objects.size()))));
    z.next_in = reinterpret_cast<Bytef *>(objects.data());
    z.avail_in = uInt(objects.size());
    z.next_out = reinterpret_cast<Bytef *>(packed.data());
    z.avail_out = uInt(packed.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
        fail(QCoreApplication::translate("BlfWriter", "ошибка сжатия"));
        return false;
    }
    const uint32_t size = uint32_t(ContainerHeaderSize) + uint32_t(z.total_out);
    char head[ContainerHeaderSize] = {};
    putObjectBase(head, BaseHeaderSize, size, LogContainer);
    put16(head + 16, ZlibCompression);
    put32(head + 24, uint32_t(objects.size()));
    QByteArray &out = buffer();
    out.append(head, ContainerHeaderSize);
    out.append(packed.constData(), int(z.total_out));
    out.append(int(size % 4), '\0'); // the padding readers expect
    fileSize += size + size % 4;
    uncompressedSize += quint64(ContainerHeaderSize) + quint64(objects.size());
    objects.resize(0);
    return true;
}

QByteArray BlfWriter::fileHeader() const
{
    using namespace BlfLayout;
    char p[FileHeaderSize] = {};
    std::memcpy(p, FileSignature, 4);
    put32(p + 4, FileHeaderSize);
    std::memcpy(p + 8, ApplicationVersion, 4);
    std::memcpy(p + 12, LogVersion, 4);
    put64(p + 16, fileSize);
    put64(p + 24, uncompressedSize);
    put32(p + 32, objectCount);
    putSystemTime(p + StartTimeOffset, startWall);
    putSystemTime(p + StopTimeOffset, CivilTime::add(startWall, lastTime - start));
    return QByteArray(p, FileHeaderSize);
}

bool BlfWriter::finish()
{
    if (!started)
        begin(TimeOfDay::nowUsec());
    if (!closeContainer() || !flush())
        return false;
    uncompressedSize += BlfLayout::FileHeaderSize;
    return (device()->isSequential() || rewriteHeader()) && flushAll();
}

bool BlfWriter::rewriteHeader()
{
    const qint64 end = device()->pos();
    const QByteArray header = fileHeader();
    if (!device()->seek(headerPos) || device()->write(header) != header.size() ||
        !device()->seek(end)) {
        fail(QCoreApplication::translate("BlfWriter", "ошибка записи: %1")
                 .arg(device()->errorString()));
        return false;
    }
    return true;
}
