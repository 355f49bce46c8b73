// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/linerecord.h"
#include "link/recordcutter.h"

#include <QRandomGenerator>
#include <QVector>
#include <QtTest>

namespace {
const QByteArray sample = QByteArray::fromHex("000000 07FF 08 1122334455667788");

struct Cut
{
    QVector<CanPacket> frames;
    QVector<QByteArray> replies;
};

Cut cutAll(RecordCutter &cutter)
{
    Cut out;
    CanPacket packet;
    QByteArray reply;
    for (;;) {
        const auto kind = cutter.next(packet, reply);
        if (kind == RecordCutter::Kind::None)
            return out;
        if (kind == RecordCutter::Kind::Frame)
            out.frames.append(packet);
        else
            out.replies.append(reply);
    }
}

// Identifiers spread over all four bytes, every route and format, lengths 0..8.
CanPacket mixedFrame(uint32_t n)
{
    CanPacket p;
    p.frame = (n % 2 ? CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0) | (n % 3 == 0);
    p.id = n * 2654435761u;
    p.rtl = uint8_t(n % 9);
    for (int i = 0; i < 8; ++i)
        p.data[i] = uint8_t(n >> i);
    return p;
}
} // namespace

class TestRecordCutter : public QObject
{
    Q_OBJECT

private slots:
    void decodesOneRecord();
    void keepsIncompleteTail();
    void takesEveryRecordInOrder();
    void randomSplitsGiveTheSameFrames();
    void replies();
    void dropAndResync();
    void encoders();
};

void TestRecordCutter::decodesOneRecord()
{
    RecordCutter cutter;
    cutter.append(sample);
    const Cut cut = cutAll(cutter);
    QCOMPARE(cut.frames.size(), 1);
    const CanPacket &p = cut.frames.first();
    QCOMPARE(p.frame, uint8_t(0));
    QCOMPARE(p.id, 0x7FFu);
    QCOMPARE(p.rtl, uint8_t(0x08));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(p.data), 8),
             QByteArray::fromHex("1122334455667788"));
    QCOMPARE(p.delay, 1u);
    QCOMPARE(p.direct, 64);
    QCOMPARE(cutter.pendingSize(), 0);

    // Bit 31 and every flag bit come through unchanged.
    RecordCutter odd;
    odd.append(QByteArray::fromHex("31 80000001 1F 0000000000000000"));
    const Cut oddCut = cutAll(odd);
    QCOMPARE(oddCut.frames.size(), 1);
    QCOMPARE(oddCut.frames.first().frame, uint8_t(0x31));
    QCOMPARE(oddCut.frames.first().id, 0x80000001u);
    QCOMPARE(oddCut.frames.first().rtl, uint8_t(0x1F));
}

void TestRecordCutter::keepsIncompleteTail()
{
    RecordCutter cutter;
    cutter.append(sample.left(9));
    QVERIFY(cutAll(cutter).frames.isEmpty());
    QCOMPARE(cutter.pendingSize(), 9);
    QVERIFY(cutter.holdsFrameTail());
    cutter.append(sample.mid(9));
    QCOMPARE(cutAll(cutter).frames.size(), 1);

    // Twenty bytes: one frame, and six bytes that wait for the rest of the next record.
    cutter.append(sample + sample.left(6));
    QCOMPARE(cutAll(cutter).frames.size(), 1);
    QCOMPARE(cutter.pendingSize(), 6);
    cutter.append(sample.mid(6));
    const Cut second = cutAll(cutter);
    QCOMPARE(second.frames.size(), 1);
    QCOMPARE(second.frames.first().id, 0x7FFu);
}

void TestRecordCutter::takesEveryRecordInOrder()
{
    // A 512-byte read holds 36 records and a piece of the 37th.
    QByteArray stream;
    for (uint32_t n = 0; n < 40; ++n)
        stream += LineRecord::moduleRecord(mixedFrame(n));
    RecordCutter cutter;
    cutter.append(stream.left(512));
    Cut cut = cutAll(cutter);
    QCOMPARE(cut.frames.size(), 36);
    cutter.append(stream.mid(512));
    cut.frames += cutAll(cutter).frames;
    QCOMPARE(cut.frames.size(), 40);
    for (uint32_t n = 0; n < 40; ++n) {
        QCOMPARE(cut.frames[int(n)].id, mixedFrame(n).id);
        QCOMPARE(cut.frames[int(n)].frame, mixedFrame(n).frame);
        QCOMPARE(cut.frames[int(n)].data[1], mixedFrame(n).data[1]);
    }
}

void TestRecordCutter::randomSplitsGiveTheSameFrames()
{
    QRandomGenerator rng(12345);
    QByteArray stream;
    const uint32_t count = 5000;
    for (uint32_t n = 0; n < count; ++n)
        stream += LineRecord::moduleRecord(mixedFrame(n));
    RecordCutter cutter;
    QVector<CanPacket> frames;
    for (int at = 0; at < stream.size();) {
        const int piece = qMin(int(rng.bounded(1, 600)), stream.size() - at);
        cutter.append(stream.constData() + at, piece);
        at += piece;
        frames += cutAll(cutter).frames;
    }
    QCOMPARE(frames.size(), int(count));
    for (uint32_t n = 0; n < count; n += 97)
        QCOMPARE(frames[int(n)].id, mixedFrame(n).id);
    QCOMPARE(cutter.pendingSize(), 0);
}

void TestRecordCutter::replies()
{
    RecordCutter cutter;
    // A reply at the start takes the whole buffer.
    const QByteArray reply = QByteArray::fromHex("F1") + QByteArray("SPEED 500 kbit/s OK");
    cutter.append(reply);
    Cut cut = cutAll(cutter);
    QCOMPARE(cut.replies.size(), 1);
    QCOMPARE(cut.replies.first(), reply);
    QVERIFY(cut.frames.isEmpty());

    // A short reply waits until fourteen bytes are there, then takes them all.
    cutter.append(QByteArray::fromHex("EF0141"));
    QVERIFY(cutAll(cutter).replies.isEmpty());
    QVERIFY(!cutter.holdsFrameTail());
    cutter.append(QByteArray(12, 'x'));
    cut = cutAll(cutter);
    QCOMPARE(cut.replies.size(), 1);
    QCOMPARE(cut.replies.first().size(), 15);

    // Frames before a reply in the same read are taken first, in order.
    const QByteArray tail = QByteArray::fromHex("EF02") + QByteArray("FW 2.4.1 build");
    cutter.append(sample + sample + tail);
    cut = cutAll(cutter);
    QCOMPARE(cut.frames.size(), 2);
    QCOMPARE(cut.replies.size(), 1);
    QCOMPARE(cut.replies.first(), tail);
    QCOMPARE(cutter.pendingSize(), 0);
}

void TestRecordCutter::dropAndResync()
{
    RecordCutter cutter;
    // One stray byte shifts every record after it ...
    cutter.append(QByteArray(1, '\x07') + sample + sample.left(12));
    QCOMPARE(cutAll(cutter).frames.size(), 1);
    QCOMPARE(cutter.pendingSize(), 14 - 1);
    // ... until the remnant is given up; the next bytes start a record again.
    QCOMPARE(cutter.dropPending(), 13);
    QCOMPARE(cutter.pendingSize(), 0);
    cutter.append(sample);
    const Cut cut = cutAll(cutter);
    QCOMPARE(cut.frames.size(), 1);
    QCOMPARE(cut.frames.first().id, 0x7FFu);
}

void TestRecordCutter::encoders()
{
    CanPacket p;
    p.frame = 0x31; // route bits and extended flag of a received frame
    p.id = 0x1FFFFFFF;
    p.rtl = 0x18;
    for (int i = 0; i < 8; ++i)
        p.data[i] = uint8_t(0xA0 + i);
    QCOMPARE(LineRecord::hostRecord(p), QByteArray::fromHex("01 1FFFFFFF 18 A0A1A2A3A4A5A6A7"));
    QCOMPARE(LineRecord::moduleRecord(p), QByteArray::fromHex("31 1FFFFFFF 18 A0A1A2A3A4A5A6A7"));
    p.frame = 0x20;
    QCOMPARE(LineRecord::hostRecord(p).at(0), '\0');

    // What the module writes decodes back to the same frame.
    const CanPacket back = LineRecord::decode(LineRecord::moduleRecord(p).constData());
    QCOMPARE(back.frame, p.frame);
    QCOMPARE(back.id, p.id);
    QCOMPARE(back.rtl, p.rtl);
    QCOMPARE(back.data[7], p.data[7]);
}

QTEST_APPLESS_MAIN(TestRecordCutter)
#include "tst_recordcutter.moc"
