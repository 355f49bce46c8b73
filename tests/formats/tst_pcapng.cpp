// SPDX-License-Identifier: GPL-3.0-or-later
// pcapng and pcap: files built byte by byte (both byte orders, time resolutions, sections, other
// link types, damage, CAN FD records) and the field's tool, tshark, reading ours and writing what
// we read.
#include "fdsamples.h"
#include "formattestkit.h"

#include <QTemporaryDir>

using namespace FdSamples;
using namespace FormatTestKit;

namespace {

constexpr qint64 T0 = 1700000000LL * 1000000;
const char *const TsharkQuiet[] = {"--disable-protocol", "autosar-nm",         "--disable-protocol",
                                   "signal_pdu",         "--disable-protocol", "ipdum"};

// Little helpers that write numbers in either byte order.
struct Bytes
{
    bool big = false;

    QByteArray n16(quint16 v) const
    {
        QByteArray b(2, '\0');
        for (int i = 0; i < 2; ++i)
            b[big ? 1 - i : i] = char(v >> (8 * i));
        return b;
    }
    QByteArray n32(quint32 v) const { return big ? n16(v >> 16) + n16(v) : n16(v) + n16(v >> 16); }
    QByteArray n64(quint64 v) const
    {
        return big ? n32(quint32(v >> 32)) + n32(quint32(v)) : n32(quint32(v)) + n32(v >> 32);
    }
    QByteArray option(quint16 code, const QByteArray &value) const
    {
        QByteArray o = n16(code) + n16(quint16(value.size())) + value;
        return o + QByteArray((4 - value.size() % 4) % 4, '\0');
    }
    QByteArray block(quint32 type, const QByteArray &body) const
    {
        const quint32 total = quint32(body.size() + 12);
        return n32(type) + n32(total) + body + n32(total);
    }
    QByteArray section() const
    {
        return block(0x0A0D0D0A, n32(0x1A2B3C4D) + n16(1) + n16(0) + n64(~0ull) +
                                     option(4, "builder") + n32(0));
    }
    QByteArray interface(quint16 linkType, const QByteArray &name, int resolution = -1,
                         qint64 offsetSeconds = 0) const
    {
        QByteArray body = n16(linkType) + n16(0) + n32(0);
        if (!name.isEmpty())
            body += option(2, name);
        if (resolution >= 0)
            body += option(9, QByteArray(1, char(resolution)));
        if (offsetSeconds != 0)
            body += option(14, n64(quint64(offsetSeconds)));
        return block(1, body + n32(0));
    }
    QByteArray packet(quint32 interface, quint64 units, const QByteArray &bytes,
                      int flags = -1) const
    {
        QByteArray body = n32(interface) + n32(quint32(units >> 32)) + n32(quint32(units)) +
                          n32(quint32(bytes.size())) + n32(quint32(bytes.size())) + bytes +
                          QByteArray((4 - bytes.size() % 4) % 4, '\0');
        if (flags >= 0)
            body += option(2, n32(quint32(flags))) + n32(0);
        return block(6, body);
    }
};

// A SocketCAN frame as link type 227 carries it: identifier word big-endian.
QByteArray canFrame(quint32 word, int length, const QByteArray &data = {}, int size = 16)
{
    QByteArray f = Bytes{true}.n32(word) + char(length) + QByteArray(3, '\0') + data;
    f.append(qMax(0, size - f.size()), '\0');
    return f.left(size);
}

// A canfd_frame: identifier word big-endian, length, FD flags, two reserved bytes, data.
QByteArray fdRecord(quint32 word, int length, int flags, const QByteArray &data = {}, int size = 72)
{
    QByteArray f = Bytes{true}.n32(word) + char(length) + char(flags) + QByteArray(2, '\0') + data;
    f.append(qMax(0, size - f.size()), '\0');
    return f.left(size);
}

QStringList lines(const QByteArray &text)
{
    return QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
}

// What tshark shows of a frame we wrote, in the order of the fields asked for below.
QString tsharkLine(const TimedPacket &f)
{
    static const char *const Names[] = {"can0", "can1", "canrx", "cantx"};
    const CanPacket &p = f.packet;
    const int length = qMin(p.length(), 8);
    const int channel = (p.frame & 0x10) ? 0 : (p.frame & 0x20) ? 1 : 3;
    const bool tx = p.direct == CanPacket::Transmitted;
    // A remote frame's length is shown as that many padding bytes of data.
    const QByteArray data =
        p.isRemote() ? QByteArray(length, '\0').toHex()
                     : QByteArray(reinterpret_cast<const char *>(p.data), length).toHex();
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8.%9")
        .arg(Names[channel == 3 ? (tx ? 3 : 2) : channel], tx ? "0x00000002" : "0x00000001")
        .arg(p.id)
        .arg(int(p.isExtended()))
        .arg(int(p.isRemote()))
        .arg(length)
        .arg(QString::fromLatin1(data))
        .arg(f.time / 1000000)
        .arg(QString::number(f.time % 1000000 * 1000).rightJustified(9, '0'));
}

// Frames with everything our writer keeps, an unrouted transmitted one too.
QVector<TimedPacket> allKinds()
{
    QVector<TimedPacket> frames = sampleFrames(true);
    frames.append(
        frame(frames.last().time + 7, 0x18DAF110, true, 0, true, 3, QByteArray::fromHex("022701")));
    frames.append(frame(frames.last().time + 1, 0x100, false, 1, false, 12,
                        QByteArray::fromHex("0102030405060708")));
    return frames;
}

// What a file without channels and directions keeps: the rest, with lengths over 8 as 8.
QVector<TimedPacket> withoutRoutes(QVector<TimedPacket> frames)
{
    for (TimedPacket &f : frames) {
        f.packet.frame &= ~0x30;
        f.packet.direct = CanPacket::Received;
        f.packet.rtl = uint8_t((f.packet.rtl & 0xF0) | qMin(f.packet.length(), 8));
    }
    return frames;
}

QVector<TimedPacket> lengthsCapped(QVector<TimedPacket> frames)
{
    for (TimedPacket &f : frames)
        f.packet.rtl = uint8_t((f.packet.rtl & 0xF0) | qMin(f.packet.length(), 8));
    return frames;
}

// What a file without channels and directions keeps of FD samples.
QVector<TimedPacket> withoutLines(QVector<TimedPacket> frames)
{
    for (TimedPacket &f : frames) {
        f.packet.frame &= ~0x30;
        f.packet.direct = CanPacket::Received;
    }
    return frames;
}

// What tshark shows of a frame of FD samples, in the order of the fields asked for below.
QString tsharkFdLine(const TimedPacket &f)
{
    const CanPacket &p = f.packet;
    const bool tx = p.direct == CanPacket::Transmitted;
    const int route = p.frame & 0x30;
    const char *name = route == 0x10 ? "can0" : route == 0x20 ? "can1" : tx ? "cantx" : "canrx";
    const int length = p.isRemote() ? p.length() : p.dataLength();
    const QByteArray data = p.isRemote()
                                ? QByteArray(length, '\0')
                                : QByteArray(reinterpret_cast<const char *>(p.data), length);
    const QString flags = p.isFd() ? QStringLiteral("%1 %2")
                                         .arg(int(bool(p.frame & CanPacket::BitRateSwitch)))
                                         .arg(int(bool(p.frame & CanPacket::ErrorState)))
                                   : QStringLiteral("- -");
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
        .arg(name, tx ? "0x00000002" : "0x00000001")
        .arg(p.id)
        .arg(int(p.isExtended()))
        .arg(length)
        .arg(flags, data.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(data.toHex()));
}

} // namespace

class TestPcapng : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString path(const QString &name) const { return tmp.filePath(name); }
    QByteArray tshark(const QStringList &args)
    {
        QStringList all;
        for (const char *arg : TsharkQuiet)
            all.append(arg);
        bool ok = false;
        const QByteArray out = run("tshark", all + args, &ok);
        [&] { QVERIFY2(ok, "tshark failed"); }();
        return out;
    }

    // tshark's fields of each frame in `file`, space-separated, the first of repeated ones.
    QStringList tsharkFields(const QString &file, const QStringList &fields)
    {
        QStringList args{"-r", file, "-T", "fields", "-E", "separator=/s", "-E", "occurrence=f"};
        for (const QString &field : fields)
            args << "-e" << field;
        return lines(tshark(args));
    }

private slots:
    void initTestCase()
    {
        useTestZone();
        QVERIFY(tmp.isValid());
    }

    void writtenLayout()
    {
        const QByteArray bytes = writeBytes(CaptureFormat::Pcapng, allKinds());
        QVERIFY(bytes.startsWith(QByteArray::fromHex("0A0D0D0A")));
        QVERIFY(bytes.contains("Quorvex"));
        // One interface per channel used: can0, can1, canrx, cantx, each described once.
        for (const char *name : {"can0", "can1", "canrx", "cantx"})
            QCOMPARE(bytes.count(name), 1);
        QCOMPARE(bytes.count(QByteArray::fromHex("09000100"
                                                 "09")),
                 4); // if_tsresol 9
        const QByteArray empty = writeBytes(CaptureFormat::Pcapng, {});
        const ReadResult read = readBytes(CaptureFormat::Pcapng, empty);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.frames.size(), 0);
    }

    void byteOrdersAndResolutions_data()
    {
        QTest::addColumn<bool>("big");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<quint64>("unitsPerSecond");
        for (const bool big : {false, true}) {
            const char *order = big ? "big-endian" : "little-endian";
            QTest::addRow("%s, default µs", order) << big << -1 << quint64(1000000);
            QTest::addRow("%s, ns", order) << big << 9 << quint64(1000000000);
            QTest::addRow("%s, ms", order) << big << 3 << quint64(1000);
            QTest::addRow("%s, 2^-10 s", order) << big << 0x8A << quint64(1024);
        }
    }

    void byteOrdersAndResolutions()
    {
        QFETCH(bool, big);
        QFETCH(int, resolution);
        QFETCH(quint64, unitsPerSecond);
        const Bytes b{big};
        const quint64 seconds = 1700000000;
        QByteArray file = b.section() + b.interface(227, "vcan1", resolution, 3600);
        file += b.packet(0, seconds * unitsPerSecond, canFrame(0xC0ABCDEF, 4), 0x2);
        file += b.packet(0, (seconds + 1) * unitsPerSecond + unitsPerSecond / 8,
                         canFrame(0x7FF, 2, QByteArray::fromHex("A55A")), 0x1);
        file += b.packet(0, (seconds + 2) * unitsPerSecond, canFrame(0x123, 0));
        const ReadResult read = readBytes(CaptureFormat::Pcapng, file);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(0));
        const qint64 t = qint64(seconds + 3600) * 1000000;
        QCOMPARE(describeAll(read.frames),
                 QStringList({QString::number(t) + " abcdef x r 4 - tx ch2",
                              QString::number(t + 1125000) + " 7ff s d 2 a55a rx ch2",
                              QString::number(t + 2000000) + " 123 s d 0 - rx ch2"}));
    }

    void sectionsAndOtherRecords()
    {
        const Bytes le{false}, be{true};
        QByteArray file = le.section() + le.interface(1, "eth0") + le.interface(227, "cantx");
        file += le.packet(0, 5, QByteArray(60, 'e'));           // Ethernet: skipped
        file += le.packet(1, 10, canFrame(0x42, 1, "\x01"));    // transmitted by its name
        file += le.packet(1, 11, canFrame(0x20000042, 8));      // error frame: skipped
        file += le.packet(1, 12, canFrame(0x42, 0x80, {}, 80)); // CAN XL: skipped
        file += le.packet(7, 13, canFrame(0x42, 1, "\x01"));    // no such interface
        file += le.block(5, le.n32(0) + le.n64(0));             // statistics: ignored
        file += le.block(3, le.n32(16) + canFrame(0x43, 0));    // no time: skipped
        file += be.section() + be.interface(227, "can0");       // numbering restarts
        QByteArray old = be.n16(0) + be.n16(0) + be.n32(0) + be.n32(20) + be.n32(16) + be.n32(16) +
                         canFrame(0x80000001, 0) + be.option(2, be.n32(2));
        file += be.block(2, old + be.n32(0)); // obsolete packet block
        const ReadResult read = readBytes(CaptureFormat::Pcapng, file);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(5));
        QCOMPARE(describeAll(read.frames),
                 QStringList({"10 42 s d 1 01 tx ch3", "20 1 x d 0 - tx ch1"}));
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const Bytes b{false};
        QTest::newRow("pcapng of Ethernet only")
            << b.section() + b.interface(1, "eth0") + b.packet(0, 1, QByteArray(60, 'e'));
        QTest::newRow("pcap of Ethernet") << b.n32(0xA1B2C3D4) + b.n16(2) + b.n16(4) +
                                                 QByteArray(12, '\0') + b.n32(1) + b.n32(0) +
                                                 b.n32(0) + b.n32(4) + b.n32(4) + "abcd";
        QTest::newRow("prose") << QByteArray("Lorem ipsum dolor sit amet, consectetur\n");
        QTest::newRow("other section version")
            << b.block(0x0A0D0D0A, b.n32(0x1A2B3C4D) + b.n16(2) + b.n16(0) + b.n64(0));
        QTest::newRow("bad byte-order magic") << b.block(0x0A0D0D0A, QByteArray(16, 'x'));
    }

    void refused()
    {
        QFETCH(QByteArray, bytes);
        const ReadResult read = readBytes(CaptureFormat::Pcapng, bytes);
        QCOMPARE(read.frames.size(), 0);
        QVERIFY(!read.error.isEmpty());
    }

    void damage()
    {
        QVector<TimedPacket> frames;
        for (int i = 0; i < 3000; ++i) // beyond one read buffer
            frames.append(allKinds()[i % allKinds().size()]);
        const QByteArray whole = writeBytes(CaptureFormat::Pcapng, frames);
        const QStringList all = describeAll(lengthsCapped(frames));
        for (int cut : {3, 10, 40, 150, 151, whole.size() / 2 + 1, whole.size() - 4}) {
            const ReadResult read = readBytes(CaptureFormat::Pcapng, whole.left(cut));
            QVERIFY2(!read.error.isEmpty(), qPrintable(QString::number(cut)));
            QCOMPARE(describeAll(read.frames), all.mid(0, read.frames.size()));
            QVERIFY(read.frames.size() < frames.size());
        }
        // A length pointing far past the end, and one that is no multiple of 4.
        const Bytes b{false};
        QByteArray huge =
            b.section() + b.interface(227, "can0") + b.packet(0, 1, canFrame(0x42, 0));
        QByteArray badLength = huge + b.n32(6) + b.n32(0x7FFFFFF0) + QByteArray(100, 'x');
        ReadResult read = readBytes(CaptureFormat::Pcapng, badLength);
        QCOMPARE(read.frames.size(), 1);
        QVERIFY(!read.error.isEmpty());
        QVERIFY(read.skipped >= 1);
        // Garbage after the last block is no block: counted and noted, not a failure.
        read = readBytes(CaptureFormat::Pcapng, huge + b.n32(6) + b.n32(30) + QByteArray(30, 0));
        QCOMPARE(read.frames.size(), 1);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(1));
        QCOMPARE(damagePlaces(read), QStringList{QStringLiteral("%1+38").arg(huge.size())});
        for (int at = 0; at < 600; at += 7) { // flipped bits never crash nor invent frames
            QByteArray flipped = whole.left(2000);
            flipped[at] = char(flipped[at] ^ 0x5A);
            QVERIFY(readBytes(CaptureFormat::Pcapng, flipped).frames.size() <= 40);
        }
    }

    // One kind of damage each to a file of packets: a damaged block costs that block and nothing
    // else; a block whose length field or trailer alone is wrong costs nothing, the other one
    // telling its length.
    void blockDamage_data()
    {
        QTest::addColumn<bool>("big");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("lost");
        QTest::addColumn<QStringList>("damage");
        for (const bool big : {false, true}) {
            const Bytes b{big};
            QByteArray file = b.section() + b.interface(227, "can0");
            const int interfaceAt = b.section().size();
            QVector<int> at;
            for (int i = 0; i < 40; ++i) {
                at.append(file.size());
                file += b.packet(0, quint64(i), canFrame(quint32(i), 1, QByteArray(1, char(i))));
            }
            at.append(file.size());
            const auto span = [&](int first, int last) {
                return QStringLiteral("%1+%2").arg(at[first]).arg(at[last + 1] - at[first]);
            };
            const auto put = [&](QByteArray bytes, int offset, quint32 value) {
                bytes.replace(offset, 4, b.n32(value));
                return bytes;
            };
            const char *order = big ? "big-endian" : "little-endian";
            QTest::addRow("%s: whole", order) << big << file << QList<int>() << QStringList();
            QTest::addRow("%s: length field", order)
                << big << put(file, at[7] + 4, 0x11C) << QList<int>() << QStringList();
            QTest::addRow("%s: trailer", order)
                << big << put(file, at[8] - 4, 4) << QList<int>() << QStringList();
            QTest::addRow("%s: length field and trailer", order)
                << big << put(put(file, at[7] + 4, 0x10), at[8] - 4, 0x10) << QList<int>{7}
                << QStringList{span(7, 7)};
            QTest::addRow("%s: interface block length", order)
                << big << put(file, interfaceAt + 4, 0x1000) << QList<int>() << QStringList();
            QTest::addRow("%s: unknown type", order)
                << big << put(file, at[12], 0x77) << QList<int>{12} << QStringList{span(12, 12)};
            QTest::addRow("%s: packet turned name resolution", order)
                << big << put(file, at[12], 4) << QList<int>{12} << QStringList{span(12, 12)};
            QByteArray zeroed = file;
            std::memset(zeroed.data() + at[20] + 10, 0, size_t(at[23] - at[20]));
            QTest::addRow("%s: zeroed stretch", order)
                << big << zeroed << QList<int>{20, 21, 22, 23} << QStringList{span(20, 23)};
            QTest::addRow("%s: zeros after the end", order)
                << big << file + QByteArray(3000, '\0') << QList<int>()
                << QStringList{QStringLiteral("%1+3000").arg(file.size())};
            QByteArray magic = file;
            magic[11] = char(magic[11] ^ 0x04);
            QTest::addRow("%s: section header's byte-order magic", order)
                << big << magic << QList<int>() << QStringList();
        }
    }

    // Read whole and through a pipe a few bytes at a time: the same frames, the same notes.
    void blockDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, lost);
        QFETCH(QStringList, damage);
        QStringList expected;
        for (int i = 0; i < 40; ++i) {
            if (!lost.contains(i))
                expected << QStringLiteral("%1 %2 s d 1 %3 rx ch1")
                                .arg(i)
                                .arg(i, 0, 16)
                                .arg(QByteArray(1, char(i)).toHex().constData());
        }
        for (const int step : {0, 3, 50}) {
            const ReadResult read = readInPieces(CaptureFormat::Pcapng, bytes, step);
            QCOMPARE(read.error, QString());
            QCOMPARE(describeAll(read.frames), expected);
            QCOMPARE(read.skipped, quint64(damage.size()));
            QCOMPARE(damagePlaces(read), damage);
        }
    }

    // The last block cut by the end of the file: the frames before it, an error, the place.
    void cutLastBlock()
    {
        const Bytes b{false};
        QByteArray file = b.section() + b.interface(227, "can0");
        for (int i = 0; i < 5; ++i)
            file += b.packet(0, quint64(i), canFrame(quint32(i), 0));
        const int last = file.size() - b.packet(0, 4, canFrame(4, 0)).size();
        const ReadResult read = readBytes(CaptureFormat::Pcapng, file.left(file.size() - 10));
        QCOMPARE(read.frames.size(), 4);
        QCOMPARE(read.error, QStringLiteral("запись pcapng обрезана"));
        QCOMPARE(read.skipped, quint64(1));
        QCOMPARE(read.damage.size(), 1);
        QCOMPARE(read.damage[0].offset, qint64(last));
    }

    void classicPcap_data()
    {
        QTest::addColumn<bool>("big");
        QTest::addColumn<bool>("nano");
        QTest::newRow("little-endian µs") << false << false;
        QTest::newRow("big-endian µs") << true << false;
        QTest::newRow("little-endian ns") << false << true;
        QTest::newRow("big-endian ns") << true << true;
    }

    void classicPcap()
    {
        QFETCH(bool, big);
        QFETCH(bool, nano);
        const Bytes b{big};
        QByteArray file = b.n32(nano ? 0xA1B23C4D : 0xA1B2C3D4) + b.n16(2) + b.n16(4) +
                          QByteArray(8, '\0') + b.n32(262144) + b.n32(227);
        auto record = [&](quint32 seconds, quint32 us, const QByteArray &bytes) {
            return b.n32(seconds) + b.n32(nano ? us * 1000 : us) + b.n32(quint32(bytes.size())) +
                   b.n32(quint32(bytes.size())) + bytes;
        };
        file += record(1700000000, 250017, canFrame(0x9ABCDEF0, 3, "\x01\x02\x03"));
        file += record(1700000001, 1, canFrame(0x20000000, 8)); // error frame
        file += record(1700000002, 999999, canFrame(0x40000555, 8));
        file += record(1700000003, 0, canFrame(0x123, 1, "x")).left(25); // cut
        const ReadResult read = readBytes(CaptureFormat::Pcapng, file);
        QCOMPARE(describeAll(read.frames),
                 QStringList({"1700000000250017 1abcdef0 x d 3 010203 rx ch3",
                              "1700000002999999 555 s r 8 - rx ch3"}));
        QCOMPARE(read.skipped, quint64(2));
        QVERIFY(!read.error.isEmpty());
    }

    // tshark shows every frame of ours with its interface, direction, identifier, flags, length,
    // data and time.
    void tsharkReadsOurs()
    {
        const QVector<TimedPacket> frames = allKinds();
        QVERIFY(writeFile(CaptureFormat::Pcapng, path("ours.pcapng"), frames));
        const QStringList out = tsharkFields(
            path("ours.pcapng"),
            {"frame.interface_name", "frame.packet_flags_direction", "can.id", "can.flags.xtd",
             "can.flags.rtr", "can.len", "data.data", "frame.time_epoch"});
        QStringList expected;
        for (const TimedPacket &f : frames)
            expected.append(tsharkLine(f));
        QStringList seen;
        for (const QString &line : out)
            seen.append(QString(line).replace("  ", " ")); // an empty data field
        for (QString &line : expected)
            line.replace("  ", " ");
        QCOMPARE(seen, expected);
    }

    // CAN FD records as the kernel gives them to a capture, built by hand in either byte order
    // of the file (the identifier is big-endian in both), and in a classic pcap file.
    void fdRecords_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QByteArray>("expected"); // empty: skipped
        const QByteArray data = QByteArray::fromHex("00112233445566778899AABBCCDDEEFF");
        QTest::newRow("FD, marked, BRS")
            << fdRecord(0x123, 12, 0x05, data) << "123 s fdb 12 " + data.left(12).toHex();
        QTest::newRow("FD, 64 bytes, ESI, extended")
            << fdRecord(0x9ABCDEF0, 64, 0x06, data + data + data + data)
            << "1abcdef0 x fde 64 " + (data + data + data + data).toHex();
        QTest::newRow("FD by its size alone, as older kernels wrote it")
            << fdRecord(0x123, 8, 0x01, data) << "123 s fdb 8 " + data.left(8).toHex();
        QTest::newRow("FD of no bytes") << fdRecord(0x7FF, 0, 0x04) << QByteArray("7ff s fd 0 -");
        QTest::newRow("FD in 16 bytes, marked")
            << fdRecord(0x42, 8, 0x04, data, 16) << "42 s fd 8 " + data.left(8).toHex();
        QTest::newRow("FD only as long as its data")
            << fdRecord(0x42, 5, 0x04, data, 13) << "42 s fd 5 " + data.left(5).toHex();
        QTest::newRow("length between FD lengths")
            << fdRecord(0x42, 13, 0x04, data) << "42 s fd 16 " + data.left(13).toHex() + "000000";
        QTest::newRow("remote flag on FD means nothing")
            << fdRecord(0x40000042, 1, 0x04, data) << QByteArray("42 s fd 1 00");
        QTest::newRow("length beyond 64") << fdRecord(0x42, 65, 0x04, data) << QByteArray();
        QTest::newRow("cut before the end of its data")
            << fdRecord(0x42, 12, 0x04, data, 19) << QByteArray();
        QTest::newRow("error frame") << fdRecord(0x20000042, 8, 0x04, data) << QByteArray();
        QTest::newRow("CAN XL") << fdRecord(0x42, 0x80, 0, data, 80) << QByteArray();
        QTest::newRow("longer than an FD frame")
            << fdRecord(0x42, 8, 0x04, data, 76) << QByteArray();
    }

    void fdRecords()
    {
        QFETCH(QByteArray, record);
        QFETCH(QByteArray, expected);
        const QByteArray after = canFrame(0x7FF, 1, "\x01");
        const QStringList frames =
            expected.isEmpty() ? QStringList{"7ff s cc 1 01"}
                               : QStringList{QString::fromLatin1(expected), "7ff s cc 1 01"};
        for (const bool big : {false, true}) {
            const Bytes b{big};
            const QByteArray pcapng = b.section() + b.interface(227, "vcan9") +
                                      b.packet(0, 1, record) + b.packet(0, 2, after);
            QByteArray pcap = b.n32(0xA1B2C3D4) + b.n16(2) + b.n16(4) + QByteArray(8, '\0') +
                              b.n32(262144) + b.n32(227);
            for (const QByteArray &r : {record, after})
                pcap += b.n32(1700000000) + b.n32(0) + b.n32(quint32(r.size())) +
                        b.n32(quint32(r.size())) + r;
            for (const QByteArray &file : {pcapng, pcap}) {
                const ReadResult read = readBytes(CaptureFormat::Pcapng, file);
                QCOMPARE(read.error, QString());
                QCOMPARE(read.skipped, quint64(expected.isEmpty() ? 1 : 0));
                QStringList seen;
                for (const TimedPacket &f : read.frames)
                    seen << describeFd(f, false).section(' ', 1, 5);
                QCOMPARE(seen, frames);
            }
        }
    }

    // Every FD length with its flags through our writer and reader, read whole and in pieces;
    // an FD frame is a 72-byte canfd_frame marked FD.
    void fdRoundTrip()
    {
        const QVector<TimedPacket> frames = fdSampleFrames();
        const QByteArray file = writeBytes(CaptureFormat::Pcapng, frames);
        for (const int step : {0, 11}) {
            const ReadResult read = readInPieces(CaptureFormat::Pcapng, file, step);
            QCOMPARE(read.error, QString());
            QCOMPARE(read.skipped, quint64(0));
            QCOMPARE(describeAllFd(read.frames), describeAllFd(frames));
        }
        const TimedPacket &last = frames.last(); // 0x7FF, 64 bytes, neither BRS nor ESI
        const QByteArray data(reinterpret_cast<const char *>(last.packet.data), 64);
        QVERIFY(file.contains(Bytes{}.n32(72) + Bytes{}.n32(72) + fdRecord(0x7FF, 64, 0x04, data)));
    }

    // tshark decodes our FD frames as CAN FD: identifier, length, BRS, ESI and data exactly.
    void tsharkReadsOurFd()
    {
        const QVector<TimedPacket> frames = fdSampleFrames();
        QVERIFY(writeFile(CaptureFormat::Pcapng, path("fd.pcapng"), frames));
        const QStringList out =
            tsharkFields(path("fd.pcapng"), {"frame.interface_name", "frame.packet_flags_direction",
                                             "can.id", "can.flags.xtd", "can.len",
                                             "canfd.flags.brs", "canfd.flags.esi", "data.data"});
        QStringList expected;
        for (const TimedPacket &f : frames)
            expected.append(tsharkFdLine(f));
        QStringList seen;
        for (const QString &line : out) {
            QStringList fields = line.split(' ');
            for (QString &field : fields)
                field = field.isEmpty() ? QStringLiteral("-") : field;
            seen.append(fields.join(' '));
        }
        QCOMPARE(seen, expected);
    }

    // What tshark writes again of our FD frames in classic pcap, and what its own candump import
    // makes of FD lines.
    void tsharkWritesFd()
    {
        const QVector<TimedPacket> frames = fdSampleFrames();
        QVERIFY(writeFile(CaptureFormat::Pcapng, path("fd-mine.pcapng"), frames));
        tshark({"-r", path("fd-mine.pcapng"), "-w", path("fd-again.pcap"), "-F", "pcap"});
        ReadResult read = readFile(CaptureFormat::Pcapng, path("fd-again.pcap"));
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(0));
        QCOMPARE(describeAllFd(read.frames), describeAllFd(withoutLines(frames)));
        QFile log(path("fd.log"));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("(1700000000.000001) can0 123##3112233445566778899AABBCC\n"
                  "(1700000000.500000) can1 12345678##2AA\n"
                  "(1700000000.600000) can1 7FF##0\n"
                  "(1700000001.000000) can0 123#11\n");
        log.close();
        tshark({"-r", path("fd.log"), "-w", path("fd-log.pcapng"), "-F", "pcapng"});
        read = readFile(CaptureFormat::Pcapng, path("fd-log.pcapng"));
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(0));
        QCOMPARE(describeAllFd(read.frames),
                 QStringList({"1700000000000001 123 s fdbe 12 112233445566778899aabbcc rx ch3",
                              "1700000000500000 12345678 x fde 1 aa rx ch3",
                              "1700000000600000 7ff s fd 0 - rx ch3",
                              "1700000001000000 123 s cc 1 11 rx ch3"}));
    }

    // What tshark writes again of ours, in pcapng with interfaces and flags or in pcap without.
    void tsharkRewritesOurs_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("pcapng") << "pcapng";
        QTest::newRow("pcap") << "pcap";
        QTest::newRow("pcap ns") << "nsecpcap";
    }

    void tsharkRewritesOurs()
    {
        QFETCH(QString, type);
        const QVector<TimedPacket> frames = allKinds();
        QVERIFY(writeFile(CaptureFormat::Pcapng, path("mine.pcapng"), frames));
        tshark({"-r", path("mine.pcapng"), "-w", path("again." + type), "-F", type});
        const ReadResult read = readFile(CaptureFormat::Pcapng, path("again." + type));
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(0));
        const auto expected = type == "pcapng" ? lengthsCapped(frames) : withoutRoutes(frames);
        QCOMPARE(describeAll(read.frames), describeAll(expected));
    }

    // Wireshark's own import of a candump log: every frame exact, the channel and direction
    // apart (tshark keeps neither).
    void tsharkConvertsCandump_data() { tsharkRewritesOurs_data(); }

    void tsharkConvertsCandump()
    {
        QFETCH(QString, type);
        const QVector<TimedPacket> frames = allKinds();
        QVERIFY(writeFile(CaptureFormat::Candump, path("in.log"), frames));
        tshark({"-r", path("in.log"), "-w", path("from-log." + type), "-F", type});
        const ReadResult read = readFile(CaptureFormat::Pcapng, path("from-log." + type));
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(0));
        QCOMPARE(describeAll(read.frames), describeAll(withoutRoutes(frames)));
    }
};

QTEST_GUILESS_MAIN(TestPcapng)
#include "tst_pcapng.moc"
