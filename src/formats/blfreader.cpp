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
constexpr int InnerSize = 256 * 1024;      // twice a container as writers make them
constexpr quint32 MaxMessageObject = 1024; // a CAN message object is 48..152 bytes
constexpr int MaxHeaderSize = 64;          // of an object header, for telling one in damage
constexpr quint32 MaxObjectType = 1024;    // the object types known run to about 130
constexpr quint64 MaxTrailing = 64 * 1024; // bytes after a container's stream looked past
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

bool isMessage(quint32 type)
{
    using namespace BlfLayout;
    return type == CanMessage || type == CanMessage2 || type == CanFdMessage ||
           type == CanFdMessage64;
}

// The least body of a message object: up to its data, or with them for the classic ones.
int messageHead(quint32 type)
{
    using namespace BlfLayout;
    if (type == CanFdMessage)
        return FdMessageHead;
    return type == CanFdMessage64 ? FdMessage64Head : MessageSize;
}

// What a CAN message object of any kind says of its frame.
struct Message
{
    int channel = 0;
    uint32_t rawId = 0;
    int dlc = 0;
    const char *data = nullptr;
    int carried = 0; // data bytes in the object
    bool transmitted = false;
    bool remote = false;
    bool fd = false;
    bool bitRateSwitch = false;
    bool errorState = false;
};

// CAN_MESSAGE and CAN_MESSAGE2: eight data bytes.
void classicMessage(const char *m, Message &message)
{
    using namespace BlfLayout;
    message.channel = get16(m);
    message.transmitted = m[2] & TransmitFlag;
    message.remote = m[2] & RemoteFlag;
    message.dlc = uint8_t(m[3]);
    message.rawId = get32(m + 4);
    message.data = m + 8;
    message.carried = FrameRoute::MaxClassicLength;
}

// CAN_FD_MESSAGE: the flags of CAN_MESSAGE, and the FD flags apart.
void fdMessage(const char *m, Message &message)
{
    using namespace BlfLayout;
    classicMessage(m, message);
    const uint8_t fdFlags = uint8_t(m[13]);
    message.fd = fdFlags & FdEdl;
    message.bitRateSwitch = fdFlags & FdBrs;
    message.errorState = fdFlags & FdEsi;
    message.carried = uint8_t(m[14]);
    message.data = m + FdMessageHead;
}

// CAN_FD_MESSAGE_64; false for a transmit request, which is no frame on the bus.
bool fdMessage64(const char *m, Message &message)
{
    using namespace BlfLayout;
    message.channel = uint8_t(m[0]);
    message.dlc = uint8_t(m[1]);
    message.carried = uint8_t(m[2]);
    message.rawId = get32(m + 4);
    const uint32_t flags = get32(m + 12);
    message.remote = flags & Fd64Remote;
    message.fd = flags & Fd64Edl;
    message.bitRateSwitch = flags & Fd64Brs;
    message.errorState = flags & Fd64Esi;
    const uint8_t direction = uint8_t(m[34]);
    message.transmitted = direction == Fd64Transmitted;
    message.data = m + FdMessage64Head;
    return direction == Fd64Received || direction == Fd64Transmitted;
}

// The message in a body of `size` bytes of a message object of `type`; false when there is none.
bool readMessage(quint32 type, const char *m, quint32 size, Message &message)
{
    using namespace BlfLayout;
    if (size < quint32(messageHead(type)))
        return false;
    switch (type) {
    case CanFdMessage:
        fdMessage(m, message);
        break;
    case CanFdMessage64:
        if (!fdMessage64(m, message))
            return false;
        break;
    default:
        classicMessage(m, message);
    }
    return quint32(message.data - m) + quint32(message.carried) <= size;
}

// The frame of a message; false when the object cannot be one. An FD frame's length is its DLC's;
// data bytes the object does not carry are 0. FD frames have no remote form: the flag means
// nothing there.
bool packetOf(const Message &message, CanPacket &packet)
{
    const bool extended = message.rawId & BlfLayout::ExtendedIdFlag;
    packet.id = message.rawId & ~BlfLayout::ExtendedIdFlag;
    if (message.dlc > MaxDlc || message.carried > BlfLayout::MaxFdDataBytes ||
        !FrameRoute::validId(packet.id, extended))
        return false;
    packet.frame =
        uint8_t((extended ? CanPacket::Extended : 0) | FrameRoute::routeOfChannel(message.channel));
    packet.direct = message.transmitted ? CanPacket::Transmitted : CanPacket::Received;
    const bool remote = message.remote && !message.fd;
    if (message.fd)
        packet.frame |=
            uint8_t(CanPacket::Fd | (message.bitRateSwitch ? CanPacket::BitRateSwitch : 0) |
                    (message.errorState ? CanPacket::ErrorState : 0));
    const int dlc = message.fd ? message.dlc : qMin(message.dlc, FrameRoute::MaxClassicLength);
    packet.rtl = uint8_t((remote ? FrameRoute::RemoteFlag : 0) | dlc);
    const int length = remote ? 0 : qMin(packet.dataLength(), message.carried);
    std::memcpy(packet.data, message.data, size_t(length));
    return true;
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
        if (inContainer) {
            pumpContainer();
            setConsumed(filePosition());
            continue;
        }
        const Step step = topLevelObject(frame);
        setConsumed(filePosition());
        if (step == Step::Frame)
            return true;
        if (step == Step::End) {
            finishInner();
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
    quint32 headerSize = get32(file.at() + 4);
    if (headerSize < quint32(MinFileHeaderSize) || headerSize > quint32(MaxFileHeaderSize)) {
        // The first object signature after the part every header has shows where it ends.
        damaged(0, MinFileHeaderSize,
                QCoreApplication::translate("BlfReader", "неверный заголовок файла"));
        headerSize = MinFileHeaderSize;
    }
    qint64 wall = 0;
    if (parseSystemTime(file.at() + StartTimeOffset, wall))
        start = LocalClock().utcFromWall(wall);
    if (skipFile(headerSize))
        return true;
    truncated(0);
    return false;
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

// False when the file ended first.
bool BlfReader::skipFile(quint64 count)
{
    while (count > 0) {
        if (file.available() == 0 && !fillFile())
            return false;
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

// Whether a signature found while looking past damage starts an object as writers make them,
// not four bytes of data that happen to spell it. `available` bytes can be looked at.
bool BlfReader::plausibleObject(const char *header, int available, bool inContainer)
{
    using namespace BlfLayout;
    if (available < BaseHeaderSize || !hasSignature(header, ObjectSignature))
        return false;
    const quint16 headerSize = get16(header + 4);
    const quint16 version = get16(header + 6);
    const quint32 size = get32(header + 8);
    const quint32 type = get32(header + 12);
    if (headerSize < BaseHeaderSize || headerSize > MaxHeaderSize || size < headerSize ||
        (version != 1 && version != 2) || type == 0 || type > MaxObjectType)
        return false;
    if (isMessage(type))
        return size >= quint32(headerSize + messageHead(type)) && size <= MaxMessageObject;
    if (type != LogContainer)
        return true;
    if (inContainer || size < quint32(ContainerHeaderSize))
        return false;
    const quint16 method = available >= BaseHeaderSize + 2 ? get16(header + BaseHeaderSize) : 0;
    return method == ZlibCompression || method == NoCompression;
}

// Where the next object starts in `bytes`: at its position or after the padding; -1 if neither.
int BlfReader::objectStart(const Bytes &bytes, int padding)
{
    using namespace BlfLayout;
    if (hasSignature(bytes.at(), ObjectSignature))
        return 0;
    if (padding > 0 && bytes.available() >= padding + BaseHeaderSize &&
        hasSignature(bytes.at() + padding, ObjectSignature))
        return padding;
    return -1;
}

void BlfReader::damaged(qint64 from, qint64 to, const QString &why)
{
    countSkipped();
    noteDamage({from, qMax<qint64>(0, to - from), 0, 0, why});
}

// Damage at the top level costs only itself: reading goes on at the next object signature from
// the position on, or ends at the end of the file. The stretch from `from` on is noted. False at
// the end.
bool BlfReader::resync(qint64 from, const QString &why)
{
    using namespace BlfLayout;
    topPadding = 0;
    bool found = false;
    for (;;) {
        const int need = fileEnded ? BaseHeaderSize : ContainerHeaderSize;
        while (!found && file.available() >= need) {
            found = plausibleObject(file.at(), qMin(file.available(), ContainerHeaderSize), false);
            if (!found)
                ++file.pos;
        }
        if (found || fileEnded || failed())
            break;
        fillFile(); // at the end the last few bytes are looked at once more
    }
    if (!found)
        file.pos = file.size;
    // Fewer bytes than a container header hid no container: an object split between the
    // containers before and after is still whole.
    if (!found || filePosition() - from >= ContainerHeaderSize)
        loseInner();
    damaged(from, filePosition(), why);
    return found;
}

BlfReader::Step BlfReader::topLevelObject(TimedPacket &frame)
{
    using namespace BlfLayout;
    if (!ensure(BaseHeaderSize + topPadding) && !headerAtPosition(file)) {
        if (file.available() > topPadding)
            truncated(filePosition());
        return Step::End;
    }
    const int shift = objectStart(file, topPadding);
    if (shift < 0) {
        file.pos += topPadding; // the damage begins after the padding
        return skipBroken(QT_TRANSLATE_NOOP("BlfReader", "не объект BLF"), 0);
    }
    file.pos += shift;
    topPadding = 0;
    const quint16 headerSize = get16(file.at() + 4);
    const quint32 size = get32(file.at() + 8);
    const quint32 type = get32(file.at() + 12);
    const bool message = isMessage(type);
    if (headerSize < BaseHeaderSize || size < headerSize || (message && size > MaxMessageObject))
        return skipBroken(QT_TRANSLATE_NOOP("BlfReader", "повреждённый заголовок объекта"), 1);
    return topLevelBody(type, size, frame);
}

// The object whose header is at the position.
BlfReader::Step BlfReader::topLevelBody(quint32 type, quint32 size, TimedPacket &frame)
{
    using namespace BlfLayout;
    if (type != LogContainer && beyondEnd(size)) {
        // A damaged size, or an object the end of the file cut.
        const Step step = skipBroken(QT_TRANSLATE_NOOP("BlfReader", "объект длиннее файла"), 1);
        if (step == Step::End)
            fail(QCoreApplication::translate("BlfReader", "журнал BLF обрезан"));
        return step;
    }
    topPadding = int(size % 4);
    if (type == LogContainer)
        return startContainer(size);
    if (isMessage(type))
        return topLevelMessage(size, frame);
    countSkipped();
    const qint64 at = filePosition();
    if (skipFile(size))
        return Step::More;
    truncated(at);
    return Step::End;
}

// What is at the position is no object, or one whose header is damaged: reading goes on at the
// next object from `past` bytes on.
BlfReader::Step BlfReader::skipBroken(const char *why, int past)
{
    const qint64 at = filePosition();
    file.pos += past;
    return resync(at, QCoreApplication::translate("BlfReader", why)) ? Step::More : Step::End;
}

BlfReader::Step BlfReader::topLevelMessage(quint32 size, TimedPacket &frame)
{
    if (!ensure(int(size))) {
        truncated(filePosition());
        return Step::End;
    }
    const bool taken = decodeMessage(file.at(), size, frame);
    file.pos += int(size);
    if (taken)
        return Step::Frame;
    countSkipped();
    return Step::More;
}

// Whether an object of `size` bytes at the position would run past the end of a file whose size
// is known: its size is damaged, or the file was cut inside it.
bool BlfReader::beyondEnd(quint32 size) const
{
    return !device()->isSequential() && filePosition() + qint64(size) > device()->size();
}

BlfReader::Step BlfReader::startContainer(quint32 size)
{
    using namespace BlfLayout;
    containerAt = filePosition();
    if (size < quint32(ContainerHeaderSize))
        return skipBroken(QT_TRANSLATE_NOOP("BlfReader", "повреждённый заголовок контейнера"), 1);
    if (!ensure(ContainerHeaderSize)) {
        truncated(containerAt);
        return Step::End;
    }
    const quint16 method = get16(file.at() + BaseHeaderSize);
    declaredSize = get32(file.at() + UncompressedSizeOffset);
    file.pos += ContainerHeaderSize;
    containerLeft = size - quint32(ContainerHeaderSize);
    if (method != ZlibCompression && method != NoCompression) {
        loseInner();
        const bool whole = skipFile(containerLeft);
        damaged(containerAt, filePosition(),
                QCoreApplication::translate("BlfReader", "контейнер с неизвестным сжатием"));
        return whole ? Step::More : Step::End;
    }
    compressed = method == ZlibCompression;
    inContainer = compressed || containerLeft > 0; // an empty stream is damage, no payload is not
    staged = 0;
    if (compressed && (!inflater->ready || inflateReset(&inflater->stream) != Z_OK))
        fail(QCoreApplication::translate("BlfReader", "нет памяти для распаковки"));
    return Step::More;
}

// Inflates the next piece of the container. Its contents are looked at only once zlib has checked
// the whole stream, so a damaged container gives no frames made of damaged bytes; a container too
// large for the buffer is handed on as it comes.
void BlfReader::pumpContainer()
{
    if (staged == 0)
        inner.compact();
    if (containerLeft == 0) {
        damagedContainer(
            QCoreApplication::translate("BlfReader", "контейнер короче своего сжатого потока"));
        return;
    }
    if (file.available() == 0 && !fillFile()) {
        commitStaged(); // what the cut stream gave is whole data
        inContainer = false;
        cutAt = containerAt;
        return;
    }
    const int take = int(qMin<quint64>(containerLeft, quint64(file.available())));
    if (!compressed) {
        pumpStored(take);
        return;
    }
    if (inner.size + staged == inner.capacity) {
        // A container larger than the buffer: its start goes on before its end is checked. One
        // that said it was smaller is damage making up bytes.
        if (declaredSize > 0 && declaredSize <= quint32(InnerSize))
            damagedContainer(QCoreApplication::translate("BlfReader", "повреждённый контейнер"));
        else
            commitStaged();
        return;
    }
    pumpCompressed(take);
}

void BlfReader::pumpCompressed(int take)
{
    z_stream &z = inflater->stream;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(file.at()));
    z.avail_in = uInt(take);
    z.next_out = reinterpret_cast<Bytef *>(inner.end() + staged);
    z.avail_out = uInt(inner.capacity - inner.size - staged);
    const uInt outBefore = z.avail_out;
    const int result = inflate(&z, Z_NO_FLUSH);
    const int used = take - int(z.avail_in);
    const int produced = int(outBefore - z.avail_out);
    file.pos += used;
    containerLeft -= quint64(used);
    staged += produced;
    if (result == Z_STREAM_END) {
        commitStaged();
        inContainer = false;
        afterStream();
    } else if ((result != Z_OK && result != Z_BUF_ERROR) || (used == 0 && produced == 0)) {
        damagedContainer(
            z.msg ? QCoreApplication::translate("BlfReader", "повреждённый контейнер (zlib: %1)")
                        .arg(z.msg)
                  : QCoreApplication::translate("BlfReader", "повреждённый контейнер"));
    }
}

// A container stored without compression: its payload is the inner stream itself.
void BlfReader::pumpStored(int take)
{
    const int step = qMin(take, inner.capacity - inner.size);
    std::memcpy(inner.end(), file.at(), size_t(step));
    inner.size += step;
    file.pos += step;
    containerLeft -= quint64(step);
    inContainer = containerLeft > 0;
}

// The compressed stream ended. Bytes after it in the container are not data: normally there are
// none. When the next object is not where the container's size says, that size is damaged and the
// next object is looked for from the end of the stream.
void BlfReader::afterStream()
{
    using namespace BlfLayout;
    if (containerLeft == 0)
        return;
    const int rest = int(qMin<quint64>(containerLeft, MaxTrailing + 1));
    const bool nextThere =
        rest <= int(MaxTrailing) && ensure(rest) &&
        (!ensure(rest + topPadding + 4) || hasSignature(file.at() + rest, ObjectSignature) ||
         hasSignature(file.at() + rest + topPadding, ObjectSignature));
    if (nextThere)
        file.pos += rest;
    else // the padding after the stream's true end
        topPadding = int((filePosition() - containerAt) % 4);
    containerLeft = 0;
}

void BlfReader::commitStaged()
{
    inner.size += staged;
    staged = 0;
}

// The container's contents are dropped; so is an object begun in the one before, and the next
// container may begin inside an object this one began.
void BlfReader::damagedContainer(const QString &why)
{
    staged = 0;
    inContainer = false;
    containerLeft = 0;
    loseInner();
    resync(containerAt, why); // from here: the container's size may be damaged too
}

bool BlfReader::takeInner(TimedPacket &frame)
{
    using namespace BlfLayout;
    for (;;) {
        const int dropped = int(qMin<quint64>(innerSkip, quint64(inner.available())));
        inner.pos += dropped;
        innerSkip -= quint64(dropped);
        if (innerSkip > 0 || (innerLost && !findInnerObject()) ||
            (inner.available() < BaseHeaderSize + innerPadding && !headerAtPosition(inner)))
            return false;
        const int shift = objectStart(inner, innerPadding);
        if (shift < 0) {
            damagedInner(QCoreApplication::translate("BlfReader", "не объект BLF в контейнере"));
            continue;
        }
        inner.pos += shift;
        innerPadding = 0;
        const quint16 headerSize = get16(inner.at() + 4);
        const quint32 size = get32(inner.at() + 8);
        const quint32 type = get32(inner.at() + 12);
        const bool message = isMessage(type);
        if (headerSize < BaseHeaderSize || size < headerSize || type == LogContainer ||
            (message && size > MaxMessageObject)) {
            damagedInner(
                QCoreApplication::translate("BlfReader", "повреждённый объект в контейнере"));
            continue;
        }
        if (message && inner.available() < int(size))
            return false; // the rest comes with the next container
        const bool taken = message && decodeMessage(inner.at(), size, frame);
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

// Looks for the next object after a break in the inner stream. False when it needs more bytes;
// the last few stay, as a header may go on in the next container.
bool BlfReader::findInnerObject()
{
    using namespace BlfLayout;
    for (; inner.available() >= BaseHeaderSize; ++inner.pos) {
        if (plausibleObject(inner.at(), inner.available(), true)) {
            innerLost = false;
            innerPadding = 0;
            return true;
        }
    }
    return false;
}

void BlfReader::damagedInner(const QString &why)
{
    damaged(containerAt, containerAt, why);
    ++inner.pos;
    innerLost = true;
    innerPadding = 0;
}

void BlfReader::loseInner()
{
    inner.pos = inner.size;
    innerSkip = 0;
    innerPadding = 0;
    innerLost = true;
}

// At the end of the file: an object begun in the last container and never ended, or a container
// the end cut, is a cut file.
void BlfReader::finishInner()
{
    const bool pending =
        !innerLost && (innerSkip > 0 || inner.available() >= BlfLayout::BaseHeaderSize);
    if (cutAt >= 0 || pending)
        truncated(cutAt >= 0 ? cutAt : containerAt);
}
// A message object of any kind; its channel becomes the reader's.
bool BlfReader::decodeMessage(const char *object, quint32 size, TimedPacket &frame)
{
    using namespace BlfLayout;
    const quint16 headerSize = get16(object + 4);
    Message message;
    if (headerSize < ObjectHeaderSize || size < headerSize ||
        !readMessage(get32(object + 12), object + headerSize, size - headerSize, message) ||
        !packetOf(message, frame.packet))
        return false;
    const uint32_t flags = get32(object + BaseHeaderSize);
    frame.time = CivilTime::add(start, timestampUs(flags, get64(object + BaseHeaderSize + 8)));
    setChannelNumber(message.channel);
    return true;
}

void BlfReader::truncated(qint64 from)
{
    if (failed())
        return;
    damaged(from, fileOffset + file.size,
            QCoreApplication::translate("BlfReader", "обрезано концом файла"));
    fail(QCoreApplication::translate("BlfReader", "журнал BLF обрезан"));
}
