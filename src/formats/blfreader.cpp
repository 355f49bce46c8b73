// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/blfreader.h"

#include "formats/blflayout.h"
#include "formats/civiltime.h"
#include "formats/frameroute.h"
#include "formats/localclock.h"
#include "link/timedpacket.h"

#include <QCoreApplication>
#include <QIODevice>
#include <zlib.h>

namespace {

constexpr int ChunkSize = 1 << 20;
constexpr int InnerSize = 256 * 1024;
constexpr quint32 MaxMessageObject = 1024; // a CAN message object is 48..64 bytes
constexpr int MaxFileHeaderSize = 64 * 1024;
constexpr int MaxDlc = 15;
// Far beyond any real capture, and small enough that ten times it still fits in a qint64.
constexpr quint64 MaxTimestamp = quint64(1) << 59;

// SYSTEMTIME: year, month, weekday, day, hour, minute, second, milliseconds.
bool parseSystemTime(const char *p, qint64 &wallUsec)
{
    using namespace BlfLayout;
    const int year = get16(p);
    const int month = get16(p + 2);
    const int day = get16(p + 6);
    const qint64 hour = get16(p + 8);
    const qint64 minute = get16(p + 10);
    const qint64 second = get16(p + 12);
    const qint64 ms = get16(p + 14);
    if (!CivilTime::validDate(year, month, day) || hour > 23 || minute > 59 || second > 59 ||
        ms > 999)
        return false;
    wallUsec = CivilTime::daysFromCivil(year, month, day) * CivilTime::UsPerDay +
               ((hour * 60 + minute) * 60 + second) * CivilTime::UsPerSecond +
               ms * CivilTime::UsPerMs;
    return true;
}

qint64 timestampUs(uint32_t flags, quint64 stamp)
{
    stamp = qMin(stamp, MaxTimestamp);
    if (flags & BlfLayout::TimeOneNanos)
        return qint64((stamp + 500) / 1000);
    return qint64(stamp) * 10;
}

} // namespace

struct BlfReader::Inflater
{
    z_stream stream{};
    bool ready = false;
    ~Inflater()
    {
        if (ready)
            inflateEnd(&stream);
    }
};

void BlfReader::Bytes::compact()
{
    if (pos == 0)
        return;
    std::memmove(data.get(), data.get() + pos, size_t(size - pos));
    size -= pos;
    pos = 0;
}

BlfReader::BlfReader(QIODevice *device)
    : CaptureReader(device), inflater(new Inflater), file(ChunkSize),
      inner(InnerSize + MaxMessageObject)
{
    inflater->ready = inflateInit(&inflater->stream) == Z_OK;
}

BlfReader::~BlfReader() = default;

bool BlfReader::next(TimedPacket &frame)
{
    if (!headerRead && !readFileHeader())
        return false;
    while (!failed()) {
        frame = TimedPacket();
        if (takeInner(frame))
            return true;
        if (failed())
            break;
        if (inContainer) {
            pumpContainer();
            setConsumed(fileOffset + file.pos);
            continue;
        }
        const Step step = topLevelObject(frame);
        setConsumed(fileOffset + file.pos);
        if (step == Step::Frame)
            return true;
        if (step == Step::End) {
            if (innerSkip > 0 || inner.available() >= BlfLayout::BaseHeaderSize)
                truncated(); // an object began in the last container and never ended
            setConsumed(fileOffset + file.size); // what is left is padding
            break;
        }
    }
    return false;
}

bool BlfReader::readFileHeader()
{
    using namespace BlfLayout;
    headerRead = true;
    if (!ensure(MinFileHeaderSize) || !hasSignature(file.at(), FileSignature)) {
        fail(QCoreApplication::translate("BlfReader", "файл не похож на журнал BLF"));
        return false;
    }
    const quint32 headerSize = get32(file.at() + 4);
    if (headerSize < quint32(MinFileHeaderSize) || headerSize > quint32(MaxFileHeaderSize)) {
        corrupt();
        return false;
    }
    qint64 wall = 0;
    if (parseSystemTime(file.at() + StartTimeOffset, wall))
        start = LocalClock().utcFromWall(wall);
    return skipFile(headerSize);
}

// The file buffer holds at least `count` bytes at its position; false at the end or on an error.
bool BlfReader::ensure(int count)
{
    while (file.available() < count) {
        if (!fillFile())
            return false;
    }
    return true;
}

bool BlfReader::fillFile()
{
    if (fileEnded || failed())
        return false;
    fileOffset += file.pos;
    file.compact();
    const qint64 got = device()->read(file.end(), qint64(file.capacity) - file.size);
    if (got < 0)
        fail(QCoreApplication::translate("BlfReader", "ошибка чтения: %1")
                 .arg(device()->errorString()));
    if (got <= 0) {
        fileEnded = true;
        return false;
    }
    file.size += int(got);
    return true;
}

bool BlfReader::skipFile(quint64 count)
{
    while (count > 0) {
        if (file.available() == 0 && !fillFile()) {
            truncated();
            return false;
        }
        const int step = int(qMin<quint64>(count, quint64(file.available())));
        file.pos += step;
        count -= quint64(step);
    }
    return true;
}

// A whole object header right at the position, without padding before it.
bool BlfReader::headerAtPosition(const Bytes &bytes)
{
    return bytes.available() >= BlfLayout::BaseHeaderSize &&
           BlfLayout::hasSignature(bytes.at(), BlfLayout::ObjectSignature);
}

// Where the next object starts in `bytes`: at its position or after the padding; -1 if neither.
int BlfReader::objectStart(const Bytes &bytes, int padding, bool quiet)
{
    using namespace BlfLayout;
    if (hasSignature(bytes.at(), ObjectSignature))
        return 0;
    if (padding > 0 && bytes.available() >= padding + BaseHeaderSize &&
        hasSignature(bytes.at() + padding, ObjectSignature))
        return padding;
    if (!quiet)
        corrupt();
    return -1;
}

// Damage between top-level objects (a zeroed tail, say) costs only itself: reading goes on at the
// next object signature, or ends at the end of the file. False at the end.
bool BlfReader::resync()
{
    using namespace BlfLayout;
    countSkipped();
    topPadding = 0;
    ++file.pos; // what is here is no object
    for (;;) {
        const char *from = file.at();
        for (int i = 0; i + 4 <= file.available(); ++i) {
            if (hasSignature(from + i, ObjectSignature)) {
                file.pos += i;
                return true;
            }
        }
        file.pos = qMax(file.pos, file.size - 3); // a signature may span two reads
        if (!fillFile())
            return false;
    }
}

BlfReader::Step BlfReader::topLevelObject(TimedPacket &frame)
{
    using namespace BlfLayout;
    if (!ensure(BaseHeaderSize + topPadding) && !headerAtPosition(file)) {
        if (file.available() > topPadding)
            truncated();
        return Step::End;
    }
    const int shift = objectStart(file, topPadding, true);
    if (shift < 0)
        return resync() ? Step::More : Step::End;
    file.pos += shift;
    const quint16 headerSize = get16(file.at() + 4);
    const quint32 size = get32(file.at() + 8);
    const quint32 type = get32(file.at() + 12);
    if (headerSize < BaseHeaderSize || size < headerSize)
        return resync() ? Step::More : Step::End;
    topPadding = int(size % 4);
    if (type == LogContainer)
        return startContainer(size);
    if ((type == CanMessage || type == CanMessage2) && size <= MaxMessageObject) {
        if (!ensure(int(size))) {
            truncated();
            return Step::End;
        }
        const bool taken = decodeMessage(file.at(), size, frame);
        file.pos += int(size);
        if (taken)
            return Step::Frame;
        countSkipped();
        return Step::More;
    }
    countSkipped();
    return skipFile(size) ? Step::More : Step::End;
}

BlfReader::Step BlfReader::startContainer(quint32 size)
{
    using namespace BlfLayout;
    if (size < quint32(ContainerHeaderSize)) {
        corrupt();
        return Step::End;
    }
    if (!ensure(ContainerHeaderSize)) {
        truncated();
        return Step::End;
    }
    const quint16 method = get16(file.at() + BaseHeaderSize);
    file.pos += ContainerHeaderSize;
    containerLeft = size - quint32(ContainerHeaderSize);
    if (method != ZlibCompression && method != NoCompression) {
        countSkipped();
        return skipFile(containerLeft) ? Step::More : Step::End;
    }
    compressed = method == ZlibCompression;
    inContainer = true;
    if (compressed && (!inflater->ready || inflateReset(&inflater->stream) != Z_OK))
        fail(QCoreApplication::translate("BlfReader", "нет памяти для распаковки"));
    return Step::More;
}

void BlfReader::pumpContainer()
{
    inner.compact();
    if (containerLeft > 0 && file.available() == 0 && !fillFile()) {
        truncated();
        return;
    }
    const int take = int(qMin<quint64>(containerLeft, quint64(file.available())));
    if (!compressed) {
        inContainer = pumpStored(take);
        return;
    }
    z_stream &z = inflater->stream;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(file.at()));
    z.avail_in = uInt(take);
    z.next_out = reinterpret_cast<Bytef *>(inner.end());
    z.avail_out = uInt(inner.capacity - inner.size);
    const uInt outBefore = z.avail_out;
    const int result = inflate(&z, Z_NO_FLUSH);
    const int used = take - int(z.avail_in);
    const int produced = int(outBefore - z.avail_out);
    file.pos += used;
    containerLeft -= quint64(used);
    inner.size += produced;
    if (result == Z_STREAM_END) {
        inContainer = false;
        skipFile(containerLeft); // anything after the compressed stream is not data
    } else if ((result != Z_OK && result != Z_BUF_ERROR) || (used == 0 && produced == 0)) {
        corrupt();
    }
}

// A container stored without compression: its payload is the inner stream itself.
bool BlfReader::pumpStored(int take)
{
    const int step = qMin(take, inner.capacity - inner.size);
    std::memcpy(inner.end(), file.at(), size_t(step));
    inner.size += step;
    file.pos += step;
    containerLeft -= quint64(step);
    return containerLeft > 0;
}

bool BlfReader::takeInner(TimedPacket &frame)
{
    using namespace BlfLayout;
    for (;;) {
        const int dropped = int(qMin<quint64>(innerSkip, quint64(inner.available())));
        inner.pos += dropped;
        innerSkip -= quint64(dropped);
        if (innerSkip > 0 ||
            (inner.available() < BaseHeaderSize + innerPadding && !headerAtPosition(inner)))
            return false;
        const int shift = objectStart(inner, innerPadding);
        if (shift < 0)
            return false;
        inner.pos += shift;
        innerPadding = 0;
        const quint16 headerSize = get16(inner.at() + 4);
        const quint32 size = get32(inner.at() + 8);
        const quint32 type = get32(inner.at() + 12);
        if (headerSize < BaseHeaderSize || size < headerSize) {
            corrupt();
            return false;
        }
        const bool message =
            (type == CanMessage || type == CanMessage2) && size <= MaxMessageObject;
        if (message && inner.available() < int(size))
            return false; // the rest comes with the next container
        const bool taken = message && decodeMessage(inner.at(), size, frame);
        if (taken)
            setChannelNumber(get16(inner.at() + headerSize));
        innerPadding = int(size % 4);
        if (message)
            inner.pos += int(size);
        else
            innerSkip = size;
        if (taken)
            return true;
        countSkipped();
    }
}

bool BlfReader::decodeMessage(const char *object, quint32 size, TimedPacket &frame) const
{
    using namespace BlfLayout;
    const quint16 headerSize = get16(object + 4);
    if (headerSize < ObjectHeaderSize || size < quint32(headerSize) + MessageSize)
        return false;
    const uint32_t flags = get32(object + BaseHeaderSize);
    const quint64 stamp = get64(object + BaseHeaderSize + 8);
    const char *m = object + headerSize;
    const uint8_t messageFlags = uint8_t(m[2]);
    const int dlc = uint8_t(m[3]);
    const uint32_t rawId = get32(m + 4);
    CanPacket &packet = frame.packet;
    const bool extended = rawId & ExtendedIdFlag;
    packet.id = rawId & ~ExtendedIdFlag;
    if (dlc > MaxDlc || !FrameRoute::validId(packet.id, extended))
        return false;
    packet.frame =
        uint8_t((extended ? CanPacket::Extended : 0) | FrameRoute::routeOfChannel(get16(m)));
    const bool remote = messageFlags & RemoteFlag;
    const int length = qMin(dlc, FrameRoute::MaxClassicLength);
    packet.rtl = uint8_t((remote ? FrameRoute::RemoteFlag : 0) | length);
    for (int i = 0; !remote && i < length; ++i)
        packet.data[i] = uint8_t(m[8 + i]);
    packet.direct = (messageFlags & TransmitFlag) ? CanPacket::Transmitted : CanPacket::Received;
    frame.time = CivilTime::add(start, timestampUs(flags, stamp));
    return true;
}

void BlfReader::truncated()
{
    fail(QCoreApplication::translate("BlfReader", "журнал BLF обрезан"));
}

void BlfReader::corrupt()
{
    fail(QCoreApplication::translate("BlfReader", "журнал BLF повреждён"));
}
