// SPDX-License-Identifier: GPL-3.0-or-later
// The BLF reader on damaged files laid out by hand: objects split between containers as
// python-can writes them, then one kind of damage each. A damaged container costs the objects
// that have bytes in it and nothing else; each damaged place is counted and noted where it is.
#include "formats/blflayout.h"
#include "formattestkit.h"

#include <zlib.h>

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

QByteArray message(int i)
{
    char m[MessageSize] = {};
    put16(m, 1 + i % 2);
    m[3] = 2;
    put32(m + 4, uint32_t(i));
    m[8] = char(i);
    m[9] = char(i >> 8);
    return blfObject(CanMessage, QByteArray(m, MessageSize), quint64(i) * 100);
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
Layout layout(bool compressed, int broken = -1)
{
    Layout l;
    QByteArray inner;
    for (int i = 0; i < Messages; ++i) {
        l.objectAt.append(inner.size());
        QByteArray m = message(i);
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
    }

    // Read whole and through a pipe a few bytes at a time: the same frames, the same notes.
    void containers()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, damage);
        for (const int step : {0, 7, 61}) {
            const ReadResult read = step == 0 ? readBytes(CaptureFormat::Blf, bytes)
                                              : readInPieces(CaptureFormat::Blf, bytes, step);
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
        QTest::newRow("stored") << false;
        QTest::newRow("compressed") << true;
    }

    void damagedObject()
    {
        QFETCH(bool, compressed);
        for (const int broken : {0, 41, 42, 399}) { // 41 and 42 are split between containers
            const Layout l = layout(compressed, broken);
            for (const int step : {0, 5}) {
                const ReadResult read = step == 0 ? readBytes(CaptureFormat::Blf, l.file)
                                                  : readInPieces(CaptureFormat::Blf, l.file, step);
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
