// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/busload.h"
#include "analysis/framebits.h"
#include "link/canpacket.h"
#include "link/tarvixprotocol.h"

#include <QtTest>

namespace {
constexpr qint64 Base = 1700000000000000; // a bucket boundary
constexpr qint64 Ms = 1000;

CanPacket routed(uint8_t route, int32_t direct = CanPacket::Received)
{
    CanPacket p; // id 0x000, no data: 53 bits
    p.frame = route;
    p.direct = direct;
    return p;
}
} // namespace

class TestBusLoad : public QObject
{
    Q_OBJECT

private slots:
    void speedCodes();
    void slidingWindow_data();
    void slidingWindow();
    void countsOnlyKnownReceivedLines();
    void clampsAndSurvivesClockSteps();
};

void TestBusLoad::speedCodes()
{
    const int rates[] = {0,      1000000, 800000, 500000, 250000, 125000,
                         100000, 50000,   20000,  10000,  0};
    for (int code = -1; code <= 9; ++code)
        QCOMPARE(BusLoad::bitRateForSpeedCode(code), rates[code + 1]);
    // The text the selector and the module show names the rate the load is worked out with.
    for (const TarvixProtocol::Speed &speed : TarvixProtocol::Speeds) {
        const QStringList words = QString::fromLatin1(speed.text).split(QLatin1Char(' '));
        const int unit = words.value(1) == QLatin1String("Mbit/s")   ? 1000000
                         : words.value(1) == QLatin1String("kbit/s") ? 1000
                                                                     : 0;
        QCOMPARE(words.value(0).toInt() * unit, speed.bitRate);
    }
}

void TestBusLoad::slidingWindow_data()
{
    QTest::addColumn<qint64>("now");
    QTest::addColumn<double>("percent");
    // Frames of 53 bits at 0, 100, ..., 900 ms, on a 100 kbit/s bus: 530 bits = 0.53 %.
    QTest::newRow("950 ms: all ten") << 950 * Ms << 0.53;
    QTest::newRow("1000 ms: the first on the edge") << 1000 * Ms << 0.53;
    QTest::newRow("1050 ms: half of the first bucket") << 1050 * Ms << (9 * 53 + 26.5) / 1000;
    QTest::newRow("1100 ms: nine") << 1100 * Ms << 0.477;
    QTest::newRow("2000 ms: none") << 2000 * Ms << 0.0;
    QTest::newRow("before the first") << -10 * Ms << 0.0;
}

void TestBusLoad::slidingWindow()
{
    QFETCH(qint64, now);
    QFETCH(double, percent);
    BusLoad load;
    load.setBitRate(BusLoad::bitRateForSpeedCode(5));
    for (int i = 0; i < 10; ++i)
        load.add(routed(CanPacket::Can0ToCan1), Base + i * 100 * Ms);
    QVERIFY(qAbs(load.percent(BusLoad::Can0ToCan1, Base + now) - percent) < 1e-9);
    QCOMPARE(load.percent(BusLoad::Can1ToCan0, Base + now), 0.0);
}

void TestBusLoad::countsOnlyKnownReceivedLines()
{
    BusLoad load;
    load.setBitRate(10000);
    load.add(routed(CanPacket::Can0ToCan1), Base);
    load.add(routed(CanPacket::Can1ToCan0), Base, 100);
    load.add(routed(CanPacket::Can1ToCan0), Base, 100);
    load.add(routed(CanPacket::Can0ToCan1, CanPacket::Transmitted), Base);
    load.add(routed(0), Base);
    load.add(routed(CanPacket::Can0ToCan1 | CanPacket::Can1ToCan0), Base);
    QCOMPARE(load.percent(BusLoad::Can0ToCan1, Base), 0.53);
    QCOMPARE(load.percent(BusLoad::Can1ToCan0, Base), 2.0);

    load.setBitRate(0); // speed unknown
    QCOMPARE(load.percent(BusLoad::Can0ToCan1, Base), 0.0);
    load.setBitRate(10000);
    load.clear();
    QCOMPARE(load.percent(BusLoad::Can1ToCan0, Base), 0.0);
}

void TestBusLoad::clampsAndSurvivesClockSteps()
{
    BusLoad load;
    load.setBitRate(10000);
    for (int i = 0; i < 300; ++i) // 15900 bits stamped at once: more than a second can carry
        load.add(routed(CanPacket::Can0ToCan1), Base);
    QCOMPARE(load.percent(BusLoad::Can0ToCan1, Base), 100.0);

    // The clock steps back an hour: counting starts again from the new times.
    const qint64 earlier = Base - 3600 * 1000 * Ms;
    load.add(routed(CanPacket::Can0ToCan1), earlier, 100);
    QCOMPARE(load.percent(BusLoad::Can0ToCan1, earlier + 500 * Ms), 1.0);
    QCOMPARE(load.percent(BusLoad::Can0ToCan1, Base), 0.0);
    // A little back, within the window: the frame joins the bucket of its time.
    load.add(routed(CanPacket::Can0ToCan1), earlier - 300 * Ms, 100);
    QCOMPARE(load.percent(BusLoad::Can0ToCan1, earlier), 2.0);
    // Times before the epoch and far jumps ahead.
    load.add(routed(CanPacket::Can1ToCan0), -250 * Ms, 100);
    load.add(routed(CanPacket::Can1ToCan0), -150 * Ms, 100);
    QCOMPARE(load.percent(BusLoad::Can1ToCan0, 0), 2.0);
    load.add(routed(CanPacket::Can1ToCan0), std::numeric_limits<qint64>::max() / 2, 100);
    QCOMPARE(load.percent(BusLoad::Can1ToCan0, std::numeric_limits<qint64>::max() / 2), 1.0);
    QCOMPARE(load.percent(BusLoad::Can1ToCan0, 0), 0.0);
}

QTEST_APPLESS_MAIN(TestBusLoad)
#include "tst_busload.moc"
