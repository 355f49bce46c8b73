// SPDX-License-Identifier: GPL-3.0-or-later
// BLF: damaged files laid out by hand (objects split between containers as python-can writes
// them, then one kind of damage each: a damaged container costs the objects that have bytes in it
// and nothing else; each damaged place is counted and noted where it is), and CAN FD objects,
// built by hand, written by us and exchanged with python-can.
#include "fdsamples.h"
#include "formats/blflayout.h"
#include "formats/blfreader.h"
#include "formattestkit.h"

#include <QTemporaryDir>
#include <zlib.h>

using namespace FdSamples;
using namespace FormatTestKit;
using namespace BlfLayout;

namespace {

constexpr int Messages = 400;
constexpr int Payload = 2000; // inflated bytes a container: objects of 48 bytes are split

struct Layout
{
    QByteArray file;
    QVector<int> containerAt; // in the file, and one past the last container
    QVector<int> innerAt;     // where each container's payload begins in the inner stream
    QVector<int> objectAt;    // where each message begins in the inner stream, and the end
};

// CAN_FD_MESSAGE's body: 64 data bytes, of which `data` the first.
QByteArray fdBody(int channel, int flags, int dlc, uint32_t id, int fdFlags, int valid,
                  const QByteArray &data)
{
    char m[FdMessageSize] = {};
    put16(m, uint16_t(channel));
    m[2] = char(flags);
    m[3] = char(dlc);
    put32(m + 4, id);
    m[13] = char(fdFlags);
    m[14] = char(valid);
    std::memcpy(m + FdMessageHead, data.constData(), size_t(qMin(data.size(), 64)));
    return QByteArray(m, FdMessageSize);
}

// CAN_FD_MESSAGE_64's body: the head, then `data`, then `extra`.
QByteArray fd64Body(int channel, int dlc, int valid, uint32_t id, uint32_t flags, int direction,
                    const QByteArray &data, const QByteArray &extra = {})
{
    char m[FdMessage64Head] = {};
    m[0] = char(channel);
    m[1] = char(dlc);
    m[2] = char(valid);
    put32(m + 4, id);
    put32(m + 12, flags);
    m[34] = char(direction);
    m[35] = char(extra.isEmpty() ? 0 : FdMessage64Head + data.size());
    return QByteArray(m, FdMessage64Head) + data + extra;
}

QByteArray bytesFrom(int first, int count)
{
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b.append(char(first + i));
    return b;
}

// Message `i`: a CAN_MESSAGE, or with `mixed` every third a CAN_FD_MESSAGE and every third a
// CAN_FD_MESSAGE_64, each with the identifier i.
QByteArray message(int i, bool mixed = false)
{
    const QByteArray data = QByteArray(1, char(i)) + char(i >> 8);
    const quint64 stamp = quint64(i) * 100;
    if (mixed && i % 3 == 1)
        return blfObject(CanFdMessage, fdBody(1 + i % 2, 0, 9, uint32_t(i), FdEdl, 12, data),
                         stamp);
    if (mixed && i % 3 == 2)
        return blfObject(CanFdMessage64,
                         fd64Body(1 + i % 2, 2, 2, uint32_t(i), Fd64Edl | Fd64Brs, 0, data), stamp);
    char m[MessageSize] = {};
    put16(m, uint16_t(1 + i % 2));
    m[3] = 2;
    put32(m + 4, uint32_t(i));
    std::memcpy(m + 8, data.constData(), 2);
    return blfObject(CanMessage, QByteArray(m, MessageSize), stamp);
}

QByteArray container(const QByteArray &payload, bool compressed)
{
    QByteArray body = payload;
    if (compressed) {
        uLongf size = compressBound(uLong(payload.size()));
        body.resize(int(size));
        compress(reinterpret_cast<Bytef *>(body.data()), &size,
                 reinterpret_cast<const Bytef *>(payload.constData()), uLong(payload.size()));
        body.resize(int(size));
    }
    char head[ContainerHeaderSize] = {};
    std::memcpy(head, ObjectSignature, 4);
    put16(head + 4, BaseHeaderSize);
    put16(head + 6, 1);
    put32(head + 8, uint32_t(ContainerHeaderSize + body.size()));
    put32(head + 12, LogContainer);
    put16(head + 16, compressed ? ZlibCompression : NoCompression);
    put32(head + 24, uint32_t(payload.size()));
    return QByteArray(head, ContainerHeaderSize) + body +
           QByteArray((ContainerHeaderSize + body.size()) % 4, '\0');
}

// `Messages` messages; `broken` (if any) gets a header size too small for any object.
Layout layout(bool compressed, int broken = -1, bool mixed = false)
{
    Layout l;
    QByteArray inner;
    for (int i = 0; i < Messages; ++i) {
        l.objectAt.append(inner.size());
        QByteArray m = message(i, mixed);
        if (i == broken)
            put16(m.data() + 4, 3);
        inner += m;
    }
    l.objectAt.append(inner.size());
    l.file = writeBytes(CaptureFormat::Blf, {}); // the file header alone
    for (int at = 0; at < inner.size(); at += Payload) {
        l.containerAt.append(l.file.size());
        l.innerAt.append(at);
        l.file += container(inner.mid(at, Payload), compressed);
    }
    l.containerAt.append(l.file.size());
    l.innerAt.append(inner.size());
    return l;
}

// The messages that have no byte in the containers `lost` (and are not `broken`).
QStringList survivors(const Layout &l, const QVector<int> &lost, int broken = -1)
{
    QStringList ids;
    for (int i = 0; i < Messages; ++i) {
        bool gone = i == broken;
        for (const int c : lost)
            gone = gone || (l.objectAt[i] < l.innerAt[c + 1] && l.objectAt[i + 1] > l.innerAt[c]);
        if (!gone)
            ids << QString::number(i, 16);
    }
    return ids;
}

// A file of `objects`, at the top level or in a container.
QByteArray fileOf(const QByteArray &objects, int containerKind)
{
    const QByteArray header = writeBytes(CaptureFormat::Blf, {});
    return containerKind < 0 ? header + objects : header + container(objects, containerKind == 1);
}

// What python-can makes of frames described by FdSamples::describeFd, and of BLF files.
// python3 script.py FRAMES PY.BLF [FILE...]: writes the frames to PY.BLF, then prints "file" and
// the frames of each FILE as describeFd does.
const QByteArray PythonScript = R"PY(
import sys, can
def frames(path):
    for line in open(path):
        t, i, x, k, n, d, tx, ch = line.split()
        yield can.Message(timestamp=int(t) / 1e6, arbitration_id=int(i, 16), is_extended_id=x == 'x',
                          is_remote_frame=k == 'r', is_fd=k.startswith('fd'),
                          bitrate_switch='b' in k, error_state_indicator='e' in k, dlc=int(n),
                          data=bytes.fromhex(d.strip('-')), is_rx=tx == 'rx', channel=int(ch[2:]) - 1)
with can.BLFWriter(sys.argv[2]) as w:
    for m in frames(sys.argv[1]):
        w.on_message_received(m)
for path in sys.argv[3:]:
    print('file')
    for m in can.BLFReader(path):
        kind = 'fd' if m.is_fd else 'r' if m.is_remote_frame else 'cc'
        kind += ('b' if m.bitrate_switch else '') + ('e' if m.error_state_indicator else '')
        data = '-' if m.is_remote_frame or not m.data else m.data.hex()
        print(round(m.timestamp * 1e6), format(m.arbitration_id, 'x'), 'x' if m.is_extended_id else 's',
              kind, m.dlc, data, 'rx' if m.is_rx else 'tx', 'ch%d' % (m.channel + 1))
)PY";

// CAN_FD_MESSAGE_64 objects as Vector's loggers write them, and what they hold; 10 µs apart.
QByteArray fd64Objects()
{
    return blfObject(CanFdMessage64,
                     fd64Body(1, 9, 12, 0x123, Fd64Edl | Fd64Brs, Fd64Received, bytesFrom(0, 12)),
                     1) +
           blfObject(CanFdMessage64,
                     fd64Body(2, 15, 64, 0x81ABCDEF, Fd64Edl | Fd64Esi, Fd64Transmitted,
                              bytesFrom(0x40, 64), QByteArray(24, '\x77')),
                     2) +
           blfObject(CanFdMessage64, fd64Body(1, 3, 3, 0x7FF, 0, Fd64Received, "abc"), 3) +
           blfObject(CanFdMessage64, fd64Body(2, 5, 0, 0x42, Fd64Remote, Fd64Transmitted, {}), 4);
}

const QStringList Fd64Frames = {
    " 123 s fdb 12 000102030405060708090a0b rx ch1",
    " 1abcdef x fde 64 " + bytesFrom(0x40, 64).toHex() + " tx ch2",
    " 7ff s cc 3 616263 rx ch1",
    " 42 s r 5 - tx ch2",
};

QStringList withoutTimes(const QVector<TimedPacket> &frames)
{
    return describeAllFd(frames, false);
}

QStringList ids(const ReadResult &read)
{
    QStringList list;
    for (const TimedPacket &f : read.frames)
        list << QString::number(f.packet.id, 16);
    return list;
}

void flip(QByteArray &bytes, int at, char mask = 0x10)
{
    bytes[at] = char(bytes[at] ^ mask);
}

} // namespace

class TestBlfDamage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useTestZone(); }

    void containers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("damage");
        const Layout l = layout(true);
        const int last = l.containerAt.size() - 2;
        QVERIFY(last >= 8);
        const auto span = [&](int c) {
            return QStringLiteral("%1+%2")
                .arg(l.containerAt[c])
                .arg(l.containerAt[c + 1] - l.containerAt[c]);
        };
        QTest::newRow("whole, objects split between containers")
            << l.file << survivors(l, {}) << QStringList();
        for (const int c : {0, 3, last}) {
            QByteArray bytes = l.file;
            flip(bytes, l.containerAt[c] + ContainerHeaderSize + 40);
            QTest::addRow("byte flipped in compressed container %d", c)
                << bytes << survivors(l, {c}) << QStringList{span(c)};
        }
        QByteArray two = l.file;
        flip(two, l.containerAt[2] + ContainerHeaderSize + 30);
        flip(two, l.containerAt[5] + ContainerHeaderSize + 30);
        QTest::newRow("two damaged containers")
            << two << survivors(l, {2, 5}) << QStringList{span(2), span(5)};
        QByteArray adjacent = l.file;
        flip(adjacent, l.containerAt[2] + ContainerHeaderSize + 30);
        flip(adjacent, l.containerAt[3] + ContainerHeaderSize + 30);
        QTest::newRow("two damaged containers one after the other")
            << adjacent << survivors(l, {2, 3}) << QStringList{span(2), span(3)};
        QByteArray shorter = l.file;
        put32(shorter.data() + l.containerAt[3] + 8,
              get32(shorter.constData() + l.containerAt[3] + 8) - 64);
        QTest::newRow("container length too short")
            << shorter << survivors(l, {3}) << QStringList{span(3)};
        QByteArray longer = l.file;
        flip(longer, l.containerAt[3] + 10, 0x01); // 64 KiB more
        QTest::newRow("container length too long") << longer << survivors(l, {}) << QStringList();
        QByteArray huge = l.file;
        flip(huge, l.containerAt[3] + 11, 0x40);
        QTest::newRow("container length far too long") << huge << survivors(l, {}) << QStringList();
        QByteArray signature = l.file;
        flip(signature, l.containerAt[4] + 1, 0x01);
        QTest::newRow("container signature")
            << signature << survivors(l, {4}) << QStringList{span(4)};
        QByteArray method = l.file;
        flip(method, l.containerAt[4] + 16, 0x04);
        const uint32_t size = get32(method.constData() + l.containerAt[4] + 8);
        QTest::newRow("unknown compression method")
            << method << survivors(l, {4})
            << QStringList{QStringLiteral("%1+%2").arg(l.containerAt[4]).arg(size)};
        QByteArray tail = l.file;
        std::memset(tail.data() + l.containerAt[last] + ContainerHeaderSize + 10, 0,
                    size_t(tail.size() - l.containerAt[last] - ContainerHeaderSize - 10));
        QTest::newRow("zeroed end of the last container")
            << tail << survivors(l, {last}) << QStringList{span(last)};
        QTest::newRow("zeros after the last container")
            << l.file + QByteArray(5000, '\0') << survivors(l, {})
            << QStringList{QStringLiteral("%1+5000").arg(l.file.size())};
        const Layout m = layout(true, -1, true);
        QTest::newRow("whole, CAN FD objects between")
            << m.file << survivors(m, {}) << QStringList();
        QByteArray mixed = m.file;
        flip(mixed, m.containerAt[3] + ContainerHeaderSize + 40);
        QTest::newRow("byte flipped, CAN FD objects between")
            << mixed << survivors(m, {3})
            << QStringList{QStringLiteral("%1+%2")
                               .arg(m.containerAt[3])
                               .arg(m.containerAt[4] - m.containerAt[3])};
    }

    // Read whole and through a pipe a few bytes at a time: the same frames, the same notes.
    void containers()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, damage);
        for (const int step : {0, 7, 61}) {
            const ReadResult read = readInPieces(CaptureFormat::Blf, bytes, step);
            QCOMPARE(read.error, QString());
            QCOMPARE(ids(read), expected);
            QCOMPARE(read.skipped, quint64(damage.size()));
            QCOMPARE(damagePlaces(read), damage);
        }
    }

    // A damaged object costs itself: in a stored container no check covers its bytes, in a
    // compressed one it was written so.
    void damagedObject_data()
    {
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<bool>("mixed");
        QTest::newRow("stored") << false << false;
        QTest::newRow("compressed") << true << false;
        QTest::newRow("stored, CAN FD objects between") << false << true;
        QTest::newRow("compressed, CAN FD objects between") << true << true;
    }

    void damagedObject()
    {
        QFETCH(bool, compressed);
        QFETCH(bool, mixed);
        const Layout whole = layout(compressed, -1, mixed);
        int split = 0; // the object split between the first two containers
        while (whole.objectAt[split + 1] <= Payload)
            ++split;
        for (const int broken : {0, split, split + 1, Messages - 1}) {
            const Layout l = layout(compressed, broken, mixed);
            for (const int step : {0, 5}) {
                const ReadResult read = readInPieces(CaptureFormat::Blf, l.file, step);
                QCOMPARE(read.error, QString());
                QCOMPARE(ids(read), survivors(l, {}, broken));
                QCOMPARE(read.skipped, quint64(1));
                QCOMPARE(read.damage.size(), 1);
            }
        }
    }

    // A stored container whose message signature was hit: that message only.
    void storedSignature()
    {
        Layout l = layout(false);
        const int object = 100;
        const int container = l.objectAt[object] / Payload;
        const int inFile = l.containerAt[container] + ContainerHeaderSize +
                           (l.objectAt[object] - l.innerAt[container]);
        flip(l.file, inFile, 0x01);
        const ReadResult read = readBytes(CaptureFormat::Blf, l.file);
        QCOMPARE(read.error, QString());
        QCOMPARE(ids(read), survivors(l, {}, object));
        QCOMPARE(read.skipped, quint64(1));
    }

    // Cut inside the last container: what its first part gave, and an error that says so.
    void cutInContainer()
    {
        const Layout l = layout(true);
        const int last = l.containerAt.size() - 2;
        const QByteArray cut = l.file.left((l.containerAt[last] + l.containerAt[last + 1]) / 2);
        const ReadResult read = readBytes(CaptureFormat::Blf, cut);
        QVERIFY(!read.error.isEmpty());
        const QStringList before = survivors(l, {last});
        QVERIFY(read.frames.size() > before.size());
        QCOMPARE(ids(read), survivors(l, {}).mid(0, read.frames.size()));
        QCOMPARE(read.damage.size(), 1);
        QCOMPARE(read.damage[0].offset, qint64(l.containerAt[last]));
        QCOMPARE(read.damage[0].offset + read.damage[0].length, qint64(cut.size()));
    }

    // Objects of CAN FD loggers built by hand, at the top level, in a stored and in a compressed
    // container: every kind of frame they hold, and a damaged one costs only itself.
    void fdObjects_data()
    {
        QTest::addColumn<QByteArray>("objects");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("skipped");
        const QByteArray data12 = bytesFrom(0x10, 12);
        const auto fd = [&](int flags, int dlc, uint32_t id, int fdFlags, int valid,
                            const QByteArray &data) {
            return blfObject(CanFdMessage, fdBody(1, flags, dlc, id, fdFlags, valid, data));
        };
        const QByteArray good = fd(0, 9, 0x321, FdEdl | FdBrs, 12, data12);
        const QString goodFrame = " 321 s fdb 12 " + data12.toHex() + " rx ch1";
        QTest::newRow("FD with BRS") << good << QStringList{goodFrame} << 0;
        QTest::newRow("FD, ESI, 64 bytes, extended, transmitted, line 2")
            << blfObject(CanFdMessage, fdBody(2, TransmitFlag, 15, 0x9FFFFFFF, FdEdl | FdEsi, 64,
                                              bytesFrom(1, 64)))
            << QStringList{" 1fffffff x fde 64 " + bytesFrom(1, 64).toHex() + " tx ch2"} << 0;
        QTest::newRow("classic frame in an FD object")
            << fd(0, 3, 0x10, 0, 3, "xyz") << QStringList{" 10 s cc 3 78797a rx ch1"} << 0;
        QTest::newRow("classic remote frame in an FD object")
            << fd(RemoteFlag, 2, 0x10, 0, 0, {}) << QStringList{" 10 s r 2 - rx ch1"} << 0;
        QTest::newRow("remote flag on an FD frame means nothing")
            << fd(RemoteFlag, 1, 0x10, FdEdl, 1, "x") << QStringList{" 10 s fd 1 78 rx ch1"} << 0;
        QTest::newRow("fewer valid bytes than the DLC says")
            << fd(0, 10, 0x10, FdEdl, 5, data12)
            << QStringList{" 10 s fd 16 " + data12.left(5).toHex() + QByteArray(11, '\0').toHex() +
                           " rx ch1"}
            << 0;
        QTest::newRow("DLC beyond 15")
            << fd(0, 16, 0x10, FdEdl, 12, data12) + good << QStringList{goodFrame} << 1;
        QTest::newRow("valid bytes beyond 64")
            << fd(0, 15, 0x10, FdEdl, 65, data12) + good << QStringList{goodFrame} << 1;
        QTest::newRow("identifier out of range")
            << fd(0, 1, 0x800, FdEdl, 1, "x") + good << QStringList{goodFrame} << 1;
        QTest::newRow("FD object cut before its data")
            << blfObject(CanFdMessage, fdBody(1, 0, 1, 0x10, FdEdl, 1, "x").left(19)) + good
            << QStringList{goodFrame} << 1;
        QTest::newRow("FD_64 objects") << fd64Objects() << Fd64Frames << 0;
        QTest::newRow("FD_64 transmit request")
            << blfObject(CanFdMessage64, fd64Body(1, 1, 1, 0x10, Fd64Edl, 2, "x")) + good
            << QStringList{goodFrame} << 1;
        QTest::newRow("FD_64 shorter than its valid bytes")
            << blfObject(CanFdMessage64, fd64Body(1, 9, 12, 0x10, Fd64Edl, 0, data12.left(10))) +
                   good
            << QStringList{goodFrame} << 1;
    }

    void fdObjects()
    {
        QFETCH(QByteArray, objects);
        QFETCH(QStringList, expected);
        QFETCH(int, skipped);
        for (const int kind : {-1, 0, 1}) { // top level, stored, compressed
            const QByteArray file = fileOf(objects, kind);
            for (const int step : {0, 7}) {
                const ReadResult read = readInPieces(CaptureFormat::Blf, file, step);
                QCOMPARE(read.error, QString());
                QCOMPARE(withoutTimes(read.frames), expected);
                QCOMPARE(read.skipped, quint64(skipped));
            }
        }
    }

    // The channel of each frame, FD or classic, in a container or not (python-can and can-utils
    // name channel N can<N-1>).
    void channelNames()
    {
        const QByteArray objects =
            message(0) + message(1, true) + message(2, true) + message(4, true) + message(5, true);
        for (const int kind : {-1, 1}) {
            QBuffer buffer;
            buffer.setData(fileOf(objects, kind));
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            BlfReader reader(&buffer);
            QStringList names;
            for (TimedPacket f; reader.next(f);)
                names << QString::number(f.packet.id) + reader.channelName();
            QCOMPARE(names, QStringList({"0can0", "1can1", "2can0", "4can0", "5can1"}));
        }
    }

    // Classic frames are CAN_MESSAGE objects as before, FD frames CAN_FD_MESSAGE objects with
    // every field where the format has it.
    void writtenObjects()
    {
        const qint64 t0 = 1700000000LL * 1000000;
        const QVector<TimedPacket> frames = {
            frame(t0, 0x123, false, 1, false, 3, QByteArray::fromHex("010203")),
            fdFrame(t0 + 1, 0x1ABCDEF, true, 2, true, 13, brsEsi(true, true), 1)};
        const QByteArray file = writeBytes(CaptureFormat::Blf, frames);
        QCOMPARE(get32(file.constData() + FileHeaderSize + 12), uint32_t(LogContainer));
        QByteArray inner(int(get32(file.constData() + FileHeaderSize + UncompressedSizeOffset)),
                         '\0');
        uLongf size = uLongf(inner.size());
        QCOMPARE(uncompress(reinterpret_cast<Bytef *>(inner.data()), &size,
                            reinterpret_cast<const Bytef *>(file.constData()) + FileHeaderSize +
                                ContainerHeaderSize,
                            uLong(file.size() - FileHeaderSize - ContainerHeaderSize)),
                 Z_OK);
        QCOMPARE(int(size), 48 + 116);
        const char *classic = inner.constData();
        QCOMPARE(get32(classic + 8), 48u);
        QCOMPARE(get32(classic + 12), uint32_t(CanMessage));
        QCOMPARE(QByteArray(classic + 32, 16).toHex(), QByteArray("0100000323010000"
                                                                  "0102030000000000"));
        const char *fd = classic + 48;
        QCOMPARE(get32(fd + 8), 116u);
        QCOMPARE(get32(fd + 12), uint32_t(CanFdMessage));
        QCOMPARE(get64(fd + 24), quint64(1000)); // ns after the first frame
        // Channel 2, transmitted, DLC 10, the id with its flag, no frame length or bit count, EDL,
        // BRS and ESI, 16 valid bytes, then all 64 data bytes.
        QCOMPARE(QByteArray(fd + 32, 20).toHex(), QByteArray("0200010aefcdab810000000000071000"
                                                             "00000000"));
        const QByteArray data(reinterpret_cast<const char *>(frames[1].packet.data), 16);
        QCOMPARE(QByteArray(fd + 52, 64), data + QByteArray(48, '\0'));
    }

    // Every FD length with its flags through our writer and reader, read whole and in pieces.
    void fdRoundTrip()
    {
        const QVector<TimedPacket> frames = fdSampleFrames();
        const QByteArray file = writeBytes(CaptureFormat::Blf, frames);
        for (const int step : {0, 13}) {
            const ReadResult read = readInPieces(CaptureFormat::Blf, file, step);
            QCOMPARE(read.error, QString());
            QCOMPARE(read.skipped, quint64(0));
            QCOMPARE(describeAllFd(read.frames), describeAllFd(frames));
        }
    }

    // python-can reads our FD file exactly, and we read its; both read CAN_FD_MESSAGE_64
    // objects the same.
    void pythonCan()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QDir dir(tmp.path());
        const QVector<TimedPacket> frames = fdSampleFrames();
        QFile list(dir.filePath("frames.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(describeAllFd(frames).join('\n').toUtf8() + '\n');
        list.close();
        QVERIFY(writeFile(CaptureFormat::Blf, dir.filePath("ours.blf"), frames));
        QFile fd64(dir.filePath("fd64.blf"));
        QVERIFY(fd64.open(QIODevice::WriteOnly));
        fd64.write(fileOf(fd64Objects(), 1));
        fd64.close();
        bool ok = false;
        const QByteArray out = runPython(dir, PythonScript,
                                         {dir.filePath("frames.txt"), dir.filePath("py.blf"),
                                          dir.filePath("ours.blf"), dir.filePath("fd64.blf")},
                                         &ok);
        QVERIFY2(ok, "python-can failed");
        const QStringList files = QString::fromUtf8(out).split("file\n", Qt::SkipEmptyParts);
        QCOMPARE(files.size(), 2);
        QCOMPARE(files[0].split('\n', Qt::SkipEmptyParts), describeAllFd(frames));
        QStringList pythonFd64;
        for (const QString &line : files[1].split('\n', Qt::SkipEmptyParts))
            pythonFd64.append(line.mid(line.indexOf(' '))); // its times count from 1970
        QCOMPARE(pythonFd64, Fd64Frames);
        const ReadResult read = readFile(CaptureFormat::Blf, dir.filePath("py.blf"));
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(0));
        QCOMPARE(describeAllFd(read.frames), describeAllFd(frames));
    }

    // A container larger than the reader's buffer is read in parts, its objects all there.
    void largeContainer()
    {
        QByteArray inner;
        for (int i = 0; i < 12000; ++i) // 576 KB
            inner += message(i % 0x800);
        const QByteArray file = writeBytes(CaptureFormat::Blf, {}) + container(inner, true);
        const ReadResult read = readBytes(CaptureFormat::Blf, file);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.frames.size(), 12000);
        QCOMPARE(read.skipped, quint64(0));
    }
};

QTEST_GUILESS_MAIN(TestBlfDamage)
#include "tst_blfdamage.moc"
