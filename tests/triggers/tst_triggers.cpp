// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/triggerrule.h"
#include "capture/triggerset.h"
#include "formats/candumpwriter.h"
#include "signals/dbcdatabase.h"
#include "support/fdpackets.h"
#include "support/testfiles.h"
#include "support/testpackets.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr qint64 Start = 1700000000000000; // microseconds
constexpr qint64 StepUs = 1000;            // a paced stream of 1,000 frames/s

TriggerRule rule(const QString &text)
{
    TriggerRule parsed;
    QString error;
    if (!TriggerRule::parse(text, parsed, error))
        qFatal("%s: %s", qPrintable(text), qPrintable(error));
    return parsed;
}

// Frame n of the paced stream: identifier 0x100, data counting n; at Start + n ms.
TimedPacket paced(qint64 n, uint32_t id = 0x100)
{
    TimedPacket frame{Start + n * StepUs, numberedFrame(uint32_t(n))};
    frame.packet.id = id;
    return frame;
}

QByteArray lines(qint64 from, qint64 to, qint64 eventAt = -1, uint32_t eventId = 0)
{
    QByteArray text;
    for (qint64 n = from; n <= to; ++n)
        CandumpWriter::appendLine(text, n == eventAt ? paced(n, eventId) : paced(n));
    return text;
}

QStringList files(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files, QDir::Name);
}

} // namespace

class TstTriggers : public QObject
{
    Q_OBJECT

private slots:
    void parseRules_data();
    void parseRules();
    void frameMatch();
    void fdFrameMatch();
    void fileHoldsExactlyTheWindow();
    void firingInsideTheWindowExtendsIt();
    void severalRulesAtOnce();
    void manualAndLostWithoutFrames();
    void signalCrossing();
    void fdSignalCrossing();
    void ringStaysWithinTheLongestPreWindow();
};

void TstTriggers::parseRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("issue example")
        << "id=0x7E8/0x7FF data=037F/FFFF pre=10 post=30 name=nrc" << true;
    QTest::newRow("signal spaced") << "signal=ENGINE_RPM > 3000 name=rpm" << true;
    QTest::newRow("signal qualified") << "signal=EEC1.EngineSpeed>=1.5e3" << true;
    QTest::newRow("lost") << "lost pre=1 post=2" << true;
    QTest::newRow("manual") << "manual" << true;
    QTest::newRow("data only") << "data=FF" << true;
    QTest::newRow("no event") << "pre=1 post=2" << false;
    QTest::newRow("bad id") << "id=0xZZ" << false;
    QTest::newRow("odd data") << "data=037" << false;
    QTest::newRow("mask longer") << "data=03/FFFF" << false;
    QTest::newRow("64 bytes") << "data=" + QString(128, '0') << true;
    QTest::newRow("65 bytes") << "data=" + QString(130, '0') << false;
    QTest::newRow("from byte 60") << "data@60=11223344/FFFF00FF" << true;
    QTest::newRow("past byte 63") << "data@61=11223344" << false;
    QTest::newRow("start 64") << "data@64=11" << false;
    QTest::newRow("start not a number") << "data@x=11" << false;
    QTest::newRow("bytes and more bytes") << "data=11 data@40=22 name=two" << true;
    QTest::newRow("fd only") << "fd" << true;
    QTest::newRow("fd with id") << "id=0x100 fd pre=1" << true;
    QTest::newRow("fd with value") << "fd=1" << false;
    QTest::newRow("empty data, as before") << "id=1 data=" << true;
    QTest::newRow("negative pre") << "id=1 pre=-1" << false;
    QTest::newRow("long post") << "id=1 post=3601" << false;
    QTest::newRow("path in name") << "id=1 name=../x" << false;
    QTest::newRow("unknown word") << "id=1 colour=red" << false;
    QTest::newRow("signal no value") << "signal=RPM>" << false;
    QTest::newRow("lost with value") << "lost=1" << false;
}

void TstTriggers::parseRules()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    TriggerRule parsed;
    QString error;
    QCOMPARE(TriggerRule::parse(text, parsed, error), ok);
    QCOMPARE(error.isEmpty(), ok);
}

void TstTriggers::frameMatch()
{
    const TriggerRule nrc = rule("id=0x7E8/0x7FF data=037F/FFFF pre=10 post=30 name=nrc");
    QCOMPARE(nrc.name, QStringLiteral("nrc"));
    QCOMPARE(nrc.preUs, qint64(10000000));
    QCOMPARE(nrc.postUs, qint64(30000000));
    QVERIFY(nrc.matchFrame(hexFrame(0x7E8, "037F2231")));
    QVERIFY(nrc.matchFrame(hexFrame(0xFE8, "037F"))); // bits outside the mask
    QVERIFY(!nrc.matchFrame(hexFrame(0x7E9, "037F2231")));
    QVERIFY(!nrc.matchFrame(hexFrame(0x7E8, "037E2231")));
    QVERIFY(!nrc.matchFrame(hexFrame(0x7E8, "03")));         // too short for the data
    QVERIFY(!nrc.matchFrame(hexFrame(0x7E8, "037F", true))); // remote: no data
    const TriggerRule nibble = rule("id=0x18DAF100/0x1FFFFF00 data=A040/F0F0");
    QVERIFY(nibble.matchFrame(hexFrame(0x18DAF1AB, "A54F")));
    QVERIFY(!nibble.matchFrame(hexFrame(0x18DAF1AB, "A55F")));
    QVERIFY(!rule("lost").matchFrame(hexFrame(0x1, "")));
}

// Data words reach any of the 64 bytes of an FD frame; "fd" takes FD frames only. A classic
// frame carries no more than eight bytes, whatever its length code says.
void TstTriggers::fdFrameMatch()
{
    const TriggerRule far = rule("id=0x7E8 data@40=A0/F0");
    CanPacket fd = countingFdFrame(0x7E8, 48, 0, 0x80); // byte 40 is 0xA8
    QVERIFY(far.matchFrame(fd));
    fd.data[40] = 0xB8;
    QVERIFY(!far.matchFrame(fd));
    QVERIFY(!far.matchFrame(countingFdFrame(0x7E8, 32, 0, 0x80))); // too short for byte 40
    const TriggerRule both = rule("data=80 data@63=BF");
    QVERIFY(both.matchFrame(countingFdFrame(0x1, 64, 0, 0x80)));
    QVERIFY(!both.matchFrame(countingFdFrame(0x1, 64, 0, 0x81)));
    QString all;
    for (int i = 0; i < 64; ++i)
        all += QStringLiteral("%1").arg(i, 2, 16, QChar('0'));
    const TriggerRule whole = rule("data=" + all);
    QCOMPARE(whole.dataLength, 64);
    QVERIFY(whole.matchFrame(countingFdFrame(0x1, 64, CanPacket::BitRateSwitch)));
    QVERIFY(!whole.matchFrame(countingFdFrame(0x1, 48)));

    CanPacket classic = hexFrame(0x7E8, "0102030405060708");
    classic.rtl = 0x0F; // code 15: still eight bytes
    classic.data[8] = 0x09;
    QVERIFY(rule("data=0102030405060708").matchFrame(classic));
    QVERIFY(!rule("data=010203040506070809").matchFrame(classic));
    QVERIFY(!rule("data@8=09").matchFrame(classic));

    const TriggerRule fdOnly = rule("id=0x7E8/0x7FF fd");
    QVERIFY(fdOnly.matchFrame(countingFdFrame(0x7E8, 8)));
    QVERIFY(fdOnly.matchFrame(countingFdFrame(0xFE8, 0, CanPacket::Extended)));
    QVERIFY(!fdOnly.matchFrame(classic));
    QVERIFY(!fdOnly.matchFrame(countingFdFrame(0x7E9, 8)));
    QVERIFY(rule("fd").matchFrame(countingFdFrame(0x1, 64)));
    QVERIFY(!rule("fd").matchFrame(classic));
}

// The test: on a paced stream the file holds exactly event - pre .. event + post.
void TstTriggers::fileHoldsExactlyTheWindow()
{
    QTemporaryDir dir;
    TriggerSet set;
    set.setRules({rule("id=0x7E8 pre=0.5 post=1.25 name=nrc")}, dir.path());
    constexpr qint64 Event = 2000;
    for (qint64 n = 0; n <= 5000; ++n)
        set.add(n == Event ? paced(n, 0x7E8) : paced(n));
    set.closeAll();
    QCOMPARE(files(dir).size(), 1);
    QCOMPARE(set.fireCount(0), 1);
    const QString name = files(dir).first();
    QVERIFY2(name.startsWith(QLatin1String("trigger-")) && name.endsWith(QLatin1String("-nrc.log")),
             qPrintable(name));
    QCOMPARE(set.lastFile(0), dir.filePath(name));
    QCOMPARE(readFile(dir.filePath(name)), lines(Event - 500, Event + 1250, Event, 0x7E8));
}

void TstTriggers::firingInsideTheWindowExtendsIt()
{
    QTemporaryDir dir;
    TriggerSet set;
    set.setRules({rule("id=0x7E8 pre=0.1 post=0.2")}, dir.path());
    const QSet<qint64> events{1000, 1150, 1350, 2000}; // 1150 and 1350 inside; 2000 past the end
    for (qint64 n = 0; n <= 3000; ++n)
        set.add(paced(n, events.contains(n) ? 0x7E8 : 0x100));
    set.closeAll();
    QCOMPARE(set.fireCount(0), 4);
    const QStringList names = files(dir);
    QCOMPARE(names.size(), 2);
    QByteArray first, second;
    for (qint64 n = 900; n <= 1550; ++n)
        CandumpWriter::appendLine(first, paced(n, events.contains(n) ? 0x7E8 : 0x100));
    for (qint64 n = 1900; n <= 2200; ++n)
        CandumpWriter::appendLine(second, paced(n, events.contains(n) ? 0x7E8 : 0x100));
    // Both events fall in the same second: the second file takes a number.
    QCOMPARE(readFile(dir.filePath(names.at(0))), first);
    QCOMPARE(readFile(dir.filePath(names.at(1))), second);
}

void TstTriggers::severalRulesAtOnce()
{
    QTemporaryDir dir;
    TriggerSet set;
    set.setRules({rule("id=0x7E8 pre=0.2 post=0.1 name=a"),
                  rule("id=0x7E8 data=08090A/FFFFFF pre=0 post=0 name=b"),
                  rule("id=0x7E8 pre=1 post=0 name=c")},
                 dir.path());
    for (qint64 n = 0; n <= 4000; ++n)
        set.add(n == 3000 ? paced(n, 0x7E8) : paced(n));
    set.closeAll();
    QCOMPARE(set.fireCount(0), 1);
    QCOMPARE(set.fireCount(1), 1); // frame 3000 starts with 08 09 0A
    QCOMPARE(set.fireCount(2), 1);
    QCOMPARE(readFile(set.lastFile(0)), lines(2800, 3100, 3000, 0x7E8));
    QCOMPARE(readFile(set.lastFile(1)), lines(3000, 3000, 3000, 0x7E8));
    QCOMPARE(readFile(set.lastFile(2)), lines(2000, 3000, 3000, 0x7E8));
}

// Events without a frame of their own take their moment from the caller; a window with no
// frame after its end is closed by check().
void TstTriggers::manualAndLostWithoutFrames()
{
    QTemporaryDir dir;
    TriggerSet set;
    set.setRules(
        {rule("manual pre=0.1 post=0.1 name=mark"), rule("lost pre=0 post=0.05 name=lost")},
        dir.path());
    for (qint64 n = 0; n <= 1000; ++n)
        set.add(paced(n));
    set.fire(TriggerRule::Kind::Manual, Start + 1000 * StepUs + 500);
    set.fire(TriggerRule::Kind::Lost, Start + 1000 * StepUs + 500);
    for (qint64 n = 1001; n <= 1040; ++n)
        set.add(paced(n));
    set.check(Start + 1040 * StepUs); // still open: data reaches the file
    QCOMPARE(readFile(set.lastFile(1)), lines(1001, 1040));
    set.check(Start + 2000 * StepUs); // the bus went quiet: both close
    for (qint64 n = 1041; n <= 1200; ++n)
        set.add(paced(n));
    QCOMPARE(readFile(set.lastFile(0)), lines(901, 1040));
    QCOMPARE(readFile(set.lastFile(1)), lines(1001, 1040));
    QCOMPARE(set.fireCount(0), 1);
}

void TstTriggers::signalCrossing()
{
    DbcDatabase database;
    database.read("BO_ 256 EEC1: 8 Vector__XXX\n"
                  " SG_ EngineSpeed : 0|16@1+ (1,0) [0|65535] \"rpm\" Vector__XXX\n");
    QTemporaryDir dir;
    TriggerSet set;
    set.setRules({rule("signal=EngineSpeed > 3000 pre=0 post=0 name=rpm")}, dir.path());
    set.setDatabase(&database);
    // Speed rises through 3000 twice and stays above in between: two crossings.
    const QVector<int> speeds{3500, 1000, 2999, 3000, 3001, 4000, 2000, 3002};
    for (int i = 0; i < speeds.size(); ++i) {
        TimedPacket frame{Start + i * 1000000LL, dataFrame(0x100, QByteArray(8, 0), 0)};
        frame.packet.data[0] = uint8_t(speeds[i] & 0xFF);
        frame.packet.data[1] = uint8_t(speeds[i] >> 8);
        set.add(frame);
        set.add({frame.time + 10, hexFrame(0x101, "FFFF")}); // another message
    }
    set.closeAll();
    QCOMPARE(set.fireCount(0), 2); // not on the first value: nothing crossed yet
    QCOMPARE(files(dir).size(), 2);
}

// A signal in bytes 50..51 of an FD message crosses in FD frames; a classic frame of the same
// identifier and length code 15 carries eight bytes, so whatever lies past them is no value.
void TstTriggers::fdSignalCrossing()
{
    DbcDatabase database;
    database.read("BO_ 1024 Wide: 64 Vector__XXX\n"
                  " SG_ Speed : 400|16@1+ (1,0) [0|65535] \"rpm\" Vector__XXX\n");
    QTemporaryDir dir;
    TriggerSet set;
    set.setRules({rule("signal=Speed > 3000 pre=0 post=0 name=rpm")}, dir.path());
    set.setDatabase(&database);
    const QVector<int> speeds{1000, 4000, 1000, -5000, 1000, 4000};
    for (int i = 0; i < speeds.size(); ++i) {
        TimedPacket frame{Start + i * 1000000LL, CanPacket()};
        frame.packet.id = 0x400;
        if (speeds[i] < 0)
            frame.packet.rtl = 15; // classic: bytes 50..51 are not its own
        else
            frame.packet.setFdLength(64);
        frame.packet.data[50] = uint8_t(std::abs(speeds[i]) & 0xFF);
        frame.packet.data[51] = uint8_t(std::abs(speeds[i]) >> 8);
        set.add(frame);
    }
    set.closeAll();
    QCOMPARE(set.fireCount(0), 2);
}

// The ring keeps the longest pre-window, not more.
void TstTriggers::ringStaysWithinTheLongestPreWindow()
{
    QTemporaryDir dir;
    TriggerSet set;
    set.setRules({rule("id=1 pre=0.25"), rule("id=2 pre=0.5")}, dir.path());
    for (qint64 n = 0; n < 3000; ++n)
        set.add(paced(n));
    QCOMPARE(set.ringSize(), size_t(501));
    QVERIFY(files(dir).isEmpty());
}

QTEST_GUILESS_MAIN(TstTriggers)
#include "tst_triggers.moc"
