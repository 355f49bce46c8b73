// SPDX-License-Identifier: GPL-3.0-or-later
// Bit flips per identifier, live and over stored rows, and the background of bits that were
// already moving.
#include "analysis/bitbackground.h"
#include "analysis/bitflipcounter.h"
#include "link/timedpacket.h"
#include "log/logrecord.h"
#include "log/rowsnapshot.h"
#include "log/rowstore.h"

#include <QTemporaryDir>
#include <QtTest>

class TestBitFlips : public QObject
{
    Q_OBJECT

private slots:
    void countsFlips();
    void lengthsAndKeys();
    void manyIdentifiers();
    void storedRows();
    void background();
    void byteBehaviour();
    void fdBlocks();
    void fdRowsReadWhole();
    void fdBackground();
};

namespace {

LogRecord record(quint32 id, bool extended, std::initializer_list<quint8> bytes, qint64 time,
                 bool remote = false)
{
    LogRecord r{};
    r.id = id;
    r.frame = extended ? CanPacket::Extended : 0;
    r.rtl = quint8(bytes.size() | (remote ? 0x10 : 0));
    std::copy(bytes.begin(), bytes.end(), r.data);
    r.time = time;
    return r;
}

// A CAN FD frame of `length` bytes: `fill` everywhere, `bytes` from byte `at` on.
TimedPacket fdFrame(quint32 id, int length, qint64 time, int at = 0,
                    std::initializer_list<quint8> bytes = {}, quint8 fill = 0)
{
    TimedPacket f;
    f.time = time;
    f.packet.id = id;
    f.packet.frame = CanPacket::Fd;
    f.packet.setFdLength(length);
    std::fill(std::begin(f.packet.data), std::end(f.packet.data), fill);
    std::copy(bytes.begin(), bytes.end(), f.packet.data + at);
    return f;
}

} // namespace

void TestBitFlips::countsFlips()
{
    BitFlipCounter counter;
    const quint32 key = BitFlipCounter::key(0x100, false);
    const quint8 a[8] = {0x01, 0, 0, 0, 0, 0, 0, 0x80};
    const quint8 b[8] = {0x00, 0, 0, 0, 0, 0, 0, 0x80};
    counter.add(key, a, 8, 10);
    QCOMPARE(counter.activity(key)->changed, quint64(0)); // one frame: nothing to compare with
    counter.add(key, b, 8, 20);
    counter.add(key, a, 8, 30);
    counter.add(key, a, 8, 40);
    const BitActivity &act = *counter.activity(key);
    QCOMPARE(act.frames, quint64(4));
    QCOMPARE(act.flips[0], quint32(2));
    QCOMPARE(act.lastFlip[0], qint64(30));
    QCOMPARE(act.flips[63], quint32(0));
    QVERIFY(act.bit(63) && act.bit(0));
    QCOMPARE(act.byte(7), 0x80);
    QCOMPARE(act.changed, quint64(1));
    QCOMPARE(act.lastTime, qint64(40));
}

void TestBitFlips::lengthsAndKeys()
{
    BitFlipCounter counter;
    // Bytes beyond a frame's length neither flip nor show.
    counter.add(record(0x7, false, {0xFF, 0xFF}, 1));
    counter.add(record(0x7, false, {0x00}, 2));
    counter.add(record(0x7, false, {0x00, 0x00}, 3));
    const BitActivity &act = *counter.activity(BitFlipCounter::key(0x7, false));
    QCOMPARE(act.changed, quint64(0xFF));
    QCOMPARE(act.length, 2);
    // Remote frames carry no bits; 11- and 29-bit identifiers are apart.
    counter.add(record(0x7, false, {0x12, 0x34}, 4, true));
    QCOMPARE(counter.activity(BitFlipCounter::key(0x7, false))->frames, quint64(3));
    counter.add(record(0x7, true, {0xAA}, 5));
    QCOMPARE(counter.activity(BitFlipCounter::key(0x7, true))->frames, quint64(1));
    QCOMPARE(counter.activity(BitFlipCounter::key(0x8, false)), nullptr);
    counter.clear();
    QCOMPARE(counter.activity(BitFlipCounter::key(0x7, false)), nullptr);
}

// The table grows past its first size and keeps every identifier apart.
void TestBitFlips::manyIdentifiers()
{
    BitFlipCounter counter;
    for (int round = 0; round < 2; ++round) {
        for (quint32 id = 0; id < 5000; ++id)
            counter.add(record(id * 7, id % 2, {quint8(round ? id : 0)}, round));
    }
    QCOMPARE(counter.keys().size(), size_t(5000));
    for (quint32 id = 0; id < 5000; ++id) {
        const BitActivity *act = counter.activity(BitFlipCounter::key(id * 7, id % 2));
        QVERIFY(act);
        QCOMPARE(act->frames, quint64(2));
        QCOMPARE(act->changed, quint64(id & 0xFF));
    }
}

void TestBitFlips::storedRows()
{
    QTemporaryDir dir;
    RowStore store(dir.path());
    for (int i = 0; i < 1000; ++i) {
        store.append(record(0x10, false, {quint8(i & 1), quint8(i / 100)}, i * 1000));
        store.append(record(0x20, false, {quint8(i)}, i * 1000 + 1));
    }
    const RowSnapshot rows = store.snapshot();
    BitFlipCounter one;
    std::atomic<qint64> done{0};
    QVERIFY(one.addRows(rows, 0, rows.size(), BitFlipCounter::key(0x10, false), nullptr, &done));
    QCOMPARE(done.load(), qint64(2000));
    QCOMPARE(one.keys().size(), size_t(1));
    QCOMPARE(one.activity(BitFlipCounter::key(0x10, false))->flips[0], quint32(999));
    // The last half second: the rows from 0.5 s on.
    QCOMPARE(BitFlipCounter::firstRowAt(rows, 500000), qint64(1000));
    QCOMPARE(BitFlipCounter::firstRowAt(rows, 500001), qint64(1001));
    QCOMPARE(BitFlipCounter::firstRowAt(rows, 500002), qint64(1002));
    QCOMPARE(BitFlipCounter::firstRowAt(rows, 0), qint64(0));
    QCOMPARE(BitFlipCounter::firstRowAt(rows, 1e12), rows.size());
    BitFlipCounter selected;
    QVERIFY(selected.addRows(rows, 200, 400)); // frames 100..199 of each
    QCOMPARE(selected.activity(BitFlipCounter::key(0x10, false))->flips[8], quint32(0));
    QCOMPARE(selected.activity(BitFlipCounter::key(0x10, false))->frames, quint64(100));
    std::atomic_bool cancel{true};
    BitFlipCounter cancelled;
    QVERIFY(!cancelled.addRows(rows, 0, rows.size(), BitFlipCounter::AnyKey, &cancel));
}

void TestBitFlips::background()
{
    BitFlipCounter counter;
    BitBackground bg;
    const quint32 engine = BitFlipCounter::key(0x100, false);
    const quint32 door = BitFlipCounter::key(0x200, false);
    counter.add(record(0x100, false, {0x00, 0x00}, 1));
    counter.add(record(0x100, false, {0x0F, 0x00}, 2)); // a counter running: background
    counter.add(record(0x200, false, {0x00}, 3));
    QCOMPARE(bg.newBits(engine, *counter.activity(engine)), quint64(0)); // not set yet
    bg.remember(counter);
    QVERIFY(bg.isSet());
    QCOMPARE(bg.mask(engine), quint64(0x0F));
    counter.add(record(0x100, false, {0x03, 0x00}, 4)); // background bits only
    QCOMPARE(bg.newBits(engine, *counter.activity(engine)), quint64(0));
    counter.add(record(0x100, false, {0x03, 0x40}, 5)); // the button
    QCOMPARE(bg.newBits(engine, *counter.activity(engine)), quint64(0x4000));
    QCOMPARE(bg.newBits(door, *counter.activity(door)), quint64(0));
    counter.add(record(0x300, false, {0x00}, 6)); // unseen before: every flip of it is new
    counter.add(record(0x300, false, {0x01}, 7));
    QCOMPARE(bg.newBits(BitFlipCounter::key(0x300, false),
                        *counter.activity(BitFlipCounter::key(0x300, false))),
             quint64(1));
    bg.forget();
    QVERIFY(!bg.isSet());
    QCOMPARE(bg.newBits(engine, *counter.activity(engine)), quint64(0));
}

void TestBitFlips::byteBehaviour()
{
    using B = BitActivity::Behaviour;
    BitFlipCounter counter;
    for (int i = 0; i < 1000; ++i) {
        // Counters in byte 0 and in the high nibble of byte 1, a constant, a noisy byte, a
        // flag that moves once, a value that holds every other frame (not a counter), and a
        // toggling bit with a flag of its own far above.
        const quint8 noisy = quint8((i * 2654435761u) >> 13);
        counter.add(record(0x1, false,
                           {quint8(i), quint8((i & 0xF) << 4), 0x55, noisy, quint8(i > 500),
                            quint8(i / 2), quint8((i & 1) | (i % 7 == 0 ? 0x80 : 0))},
                           i));
    }
    const BitActivity &act = *counter.activity(BitFlipCounter::key(0x1, false));
    QCOMPARE(act.behaviour(0), B::Counter);
    QCOMPARE(act.behaviour(1), B::Counter);
    QCOMPARE(act.behaviour(2), B::Constant);
    QCOMPARE(act.behaviour(3), B::Changing);
    QCOMPARE(act.behaviour(4), B::Changing);
    QCOMPARE(act.behaviour(5), B::Changing);
    QCOMPARE(act.behaviour(6), B::Changing); // a toggling bit, and another far above it
    QCOMPARE(act.behaviour(7), B::Constant); // beyond the frame
}

// A 64-byte FD identifier has blocks of eight bytes up to its last byte: bit 500 (byte 62, bit
// 4) flips and is counted there; a classic identifier stays at one block.
void TestBitFlips::fdBlocks()
{
    BitFlipCounter counter;
    const quint32 fd = BitFlipCounter::key(0x300, false);
    const quint32 classic = BitFlipCounter::key(0x301, false);
    for (int i = 0; i < 10; ++i) {
        counter.add(fdFrame(0x300, 64, i, 62, {quint8((i & 1) << 4)}));
        counter.add(record(0x301, false, {quint8(i)}, i));
    }
    QCOMPARE(counter.blocks(fd), 8);
    QCOMPARE(counter.bytes(fd), 64);
    QCOMPARE(counter.blocks(classic), 1);
    QCOMPARE(counter.bytes(classic), 8);
    QCOMPARE(counter.blocks(BitFlipCounter::key(0x302, false)), 0);
    const BitActivity *last = counter.activity(fd, 500 / 64);
    QVERIFY(last);
    QCOMPARE(last->flips[500 % 64], quint32(9));
    QCOMPARE(last->lastFlip[500 % 64], qint64(9));
    QCOMPARE(last->changed, quint64(1) << (500 % 64));
    QCOMPARE(last->length, 8);
    QCOMPARE(last->frames, quint64(10));
    QCOMPARE(counter.activity(fd)->changed, quint64(0));
    QCOMPARE(counter.activity(fd, 8), nullptr);
    QCOMPARE(counter.activity(classic, 1), nullptr);

    // A shorter frame between two long ones: its missing bytes do not flip.
    counter.add(fdFrame(0x300, 12, 10, 0, {}, 0xFF));
    counter.add(fdFrame(0x300, 64, 11, 0, {}, 0xFF));
    QCOMPARE(counter.activity(fd, 1)->changed, quint64(0xFFFFFFFF));
    QCOMPARE(counter.activity(fd, 7)->changed, quint64(1) << (500 % 64));
    QCOMPARE(counter.activity(fd, 7)->length, 8);
    // So does a classic frame between two long ones.
    counter.add(record(0x300, false, {0xFF}, 12));
    counter.add(fdFrame(0x300, 64, 13, 8, {0x00}, 0xFF));
    QCOMPARE(counter.activity(fd, 1)->flips[0], quint32(1));
    QCOMPARE(counter.activity(fd)->frames, quint64(14));
    // An FD frame of eight bytes or fewer needs no more blocks.
    counter.add(fdFrame(0x400, 8, 12));
    QCOMPARE(counter.blocks(BitFlipCounter::key(0x400, false)), 1);
    counter.clear();
    QCOMPARE(counter.blocks(fd), 0);
}

// Stored FD rows over eight bytes keep their tail apart; counting over rows reads it.
void TestBitFlips::fdRowsReadWhole()
{
    QTemporaryDir dir;
    RowStore store(dir.path());
    for (int i = 0; i < 100; ++i) {
        store.append(fdFrame(0x300, 64, i, 62, {quint8((i & 1) << 4)}), 2 * i + 1);
        store.append(fdFrame(0x301, 8, i, 0, {quint8(i)}), 2 * i + 2);
    }
    const RowSnapshot rows = store.snapshot();
    BitFlipCounter counter;
    QVERIFY(counter.addRows(rows, 0, rows.size(), BitFlipCounter::key(0x300, false)));
    QCOMPARE(counter.activity(BitFlipCounter::key(0x300, false), 7)->flips[500 % 64], quint32(99));
    QCOMPARE(counter.activity(BitFlipCounter::key(0x301, false)), nullptr);
    BitFlipCounter both;
    QVERIFY(both.addRows(rows, 0, rows.size()));
    QCOMPARE(both.activity(BitFlipCounter::key(0x301, false))->flips[0], quint32(99));
    QCOMPARE(both.blocks(BitFlipCounter::key(0x301, false)), 1);
}

// Bits past the eighth byte are background or new like the first ones.
void TestBitFlips::fdBackground()
{
    BitFlipCounter counter;
    BitBackground bg;
    const quint32 fd = BitFlipCounter::key(0x300, false);
    counter.add(fdFrame(0x300, 64, 1));
    counter.add(fdFrame(0x300, 64, 2, 40, {0x01}));
    bg.remember(counter);
    QCOMPARE(bg.mask(fd, 5), quint64(1));
    QVERIFY(!bg.hasNewBits(fd, counter));
    counter.add(fdFrame(0x300, 64, 3, 40, {0x00}));
    QVERIFY(!bg.hasNewBits(fd, counter));
    counter.add(fdFrame(0x300, 64, 4, 63, {0x80}));
    QVERIFY(bg.hasNewBits(fd, counter));
    QCOMPARE(bg.newBits(fd, *counter.activity(fd, 7), 7), quint64(1) << 63);
    QCOMPARE(bg.newBits(fd, *counter.activity(fd)), quint64(0));
}

QTEST_GUILESS_MAIN(TestBitFlips)
#include "tst_bitflips.moc"
