// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/idfigures.h"
#include "support/testpackets.h"

#include <QtTest>

namespace {
constexpr qint64 Base = 1700000000000000; // a bucket boundary
constexpr qint64 Ms = 1000;

constexpr uint32_t Id = 0x321;

// Frames at 0, 100, 250, 300, 500 ms: cycles 100, 150, 50, 200 ms.
IdFigures sequence()
{
    IdFigures f;
    f.add(hexFrame(Id, "1122"), Base);
    f.add(hexFrame(Id, "1123"), Base + 100 * Ms);     // byte 1 changes
    f.add(hexFrame(Id, "11230000"), Base + 250 * Ms); // bytes 2, 3 appear
    f.add(hexFrame(Id, "12"), Base + 300 * Ms);       // byte 0 changes, 1..3 disappear
    f.add(hexFrame(Id, "122300"), Base + 500 * Ms);   // bytes 1, 2 appear again
    return f;
}
} // namespace

class TestIdFigures : public QObject
{
    Q_OBJECT

private slots:
    void cyclesAndCounts();
    void framesPerSecond();
    void byteChanges();
    void silence();
    void clockStepsBack();
    void fdBytesChange();
};

void TestIdFigures::cyclesAndCounts()
{
    IdFigures f;
    f.add(hexFrame(Id, "AA"), Base);
    QCOMPARE(f.count(), quint64(1));
    QVERIFY(!f.lastCycle() && !f.minCycle() && !f.maxCycle() && !f.averageCycle());

    f = sequence();
    QCOMPARE(f.count(), quint64(5));
    QCOMPARE(f.firstTime(), Base);
    QCOMPARE(f.lastTime(), Base + 500 * Ms);
    QCOMPARE(*f.lastCycle(), 200 * Ms);
    QCOMPARE(*f.minCycle(), 50 * Ms);
    QCOMPARE(*f.maxCycle(), 200 * Ms);
    QCOMPARE(*f.averageCycle(), 125 * Ms);
    QCOMPARE(f.lastLength(), 3);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(f.lastData()), 3),
             QByteArray("\x12\x23\0", 3));
}

void TestIdFigures::framesPerSecond()
{
    const IdFigures f = sequence();
    QCOMPARE(f.framesPerSecond(Base + 500 * Ms), 5.0);
    QCOMPARE(f.framesPerSecond(Base + 1000 * Ms), 5.0);
    // Window 150..1150 ms: frames at 250, 300, 500 and half of the 100..200 ms bucket.
    QCOMPARE(f.framesPerSecond(Base + 1150 * Ms), 3.5);
    QCOMPARE(f.framesPerSecond(Base + 1600 * Ms), 0.0);
}

void TestIdFigures::byteChanges()
{
    IdFigures f = sequence();
    const qint64 expected[] = {300, 500, 500, 250};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(*f.changeTime(i), Base + expected[i] * Ms);
    for (int i = 4; i < 8; ++i)
        QVERIFY(!f.changeTime(i));
    QCOMPARE(f.highlight(0, Base + 800 * Ms), 0.75);
    QCOMPARE(f.highlight(0, Base + 2300 * Ms), 0.0);
    QCOMPARE(f.highlight(0, Base), 1.0); // clock stepped back: just changed
    QCOMPARE(f.highlight(5, Base + 500 * Ms), 0.0);

    // A remote frame carries no data: it changes nothing and is not the next reference.
    f.add(hexFrame(Id, "FFFFFFFFFFFF", true), Base + 600 * Ms);
    f.add(hexFrame(Id, "122300"), Base + 700 * Ms);
    QCOMPARE(*f.changeTime(1), Base + 500 * Ms);
    QVERIFY(!f.changeTime(4));
    QCOMPARE(f.count(), quint64(7));

    IdFigures constant;
    for (int i = 0; i < 5; ++i)
        constant.add(hexFrame(Id, "0102030405060708"), Base + i * Ms);
    for (int i = 0; i < 8; ++i)
        QVERIFY(!constant.changeTime(i));
}

void TestIdFigures::silence()
{
    IdFigures f;
    f.add(hexFrame(Id, ""), Base);
    QVERIFY(!f.isSilent(Base + 3600 * 1000 * Ms)); // no average yet
    f = sequence();                                // average 125 ms, last at 500 ms
    QVERIFY(!f.isSilent(Base + 875 * Ms));
    QVERIFY(f.isSilent(Base + 875 * Ms + 1));
}

void TestIdFigures::clockStepsBack()
{
    IdFigures f;
    f.add(hexFrame(Id, "01"), Base + 1000 * Ms);
    f.add(hexFrame(Id, "02"), Base + 400 * Ms); // 600 ms back: counted as a cycle of 0
    f.add(hexFrame(Id, "03"), Base + 600 * Ms);
    QCOMPARE(*f.minCycle(), 0);
    QCOMPARE(*f.maxCycle(), 200 * Ms);
    QCOMPARE(*f.lastCycle(), 200 * Ms);
    QCOMPARE(*f.averageCycle(), 100 * Ms);
    QCOMPARE(*f.changeTime(0), Base + 600 * Ms);
    QCOMPARE(f.framesPerSecond(Base + 1000 * Ms), 3.0);
}

// The bytes of long FD frames past the eighth change, appear and disappear as the first ones do.
void TestIdFigures::fdBytesChange()
{
    auto fd = [](int length, int at, quint8 value) {
        CanPacket p;
        p.id = Id;
        p.frame = CanPacket::Fd;
        p.setFdLength(length);
        p.data[at] = value;
        return p;
    };
    IdFigures f;
    f.add(fd(64, 40, 1), Base);
    f.add(fd(64, 40, 2), Base + 10 * Ms); // byte 40 changes
    f.add(fd(64, 63, 1), Base + 20 * Ms); // bytes 40 and 63 change
    f.add(fd(12, 0, 0), Base + 30 * Ms);  // 12..63 disappear: no change
    f.add(fd(64, 0, 0), Base + 40 * Ms);  // 12..63 appear again
    QCOMPARE(f.lastLength(), 64);
    QCOMPARE(*f.changeTime(40), Base + 40 * Ms);
    QCOMPARE(*f.changeTime(63), Base + 40 * Ms);
    QVERIFY(!f.changeTime(8));
    QVERIFY(!f.changeTime(0));
    QVERIFY(!f.changeTime(64));
    QCOMPARE(f.highlight(63, Base + 1040 * Ms), 0.5);

    IdFigures quiet;
    for (int i = 0; i < 3; ++i)
        quiet.add(fd(64, 50, 0x55), Base + i * Ms);
    for (int i = 0; i < 64; ++i)
        QVERIFY(!quiet.changeTime(i));
    quiet.add(fd(64, 50, 0x56), Base + 3 * Ms);
    QCOMPARE(*quiet.changeTime(50), Base + 3 * Ms);
}

QTEST_APPLESS_MAIN(TestIdFigures)
#include "tst_idfigures.moc"
