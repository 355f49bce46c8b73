// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framefilter.h"
#include "support/testpackets.h"

#include <QtTest>

class TestFrameFilter : public QObject
{
    Q_OBJECT

private slots:
    void hiddenIds_data();
    void hiddenIds();
    void hiddenJoinsTheOtherRules();
};

// Each step: 'h' hide, 's' show (the id 0x100 SFF), 'A' show all, 'H' hide all, 'o' only 0x100
// SFF. Then which of 0x100 SFF, 0x100 EFF and a never-mentioned 0x200 the log shows.
void TestFrameFilter::hiddenIds_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("shown"); // for 0x100 SFF, 0x100 EFF, 0x200: '1' shown
    QTest::newRow("default") << ""
                             << "111";
    QTest::newRow("hide one, format apart") << "h"
                                            << "011";
    QTest::newRow("hide then show") << "hs"
                                    << "111";
    QTest::newRow("show all after hide") << "hA"
                                         << "111";
    QTest::newRow("hide all, new ids too") << "H"
                                           << "000";
    QTest::newRow("hide all, show one") << "Hs"
                                        << "100";
    QTest::newRow("only this") << "o"
                               << "100";
    QTest::newRow("only this, then hide it") << "oh"
                                             << "000";
    QTest::newRow("only this, then show all") << "oA"
                                              << "111";
}

void TestFrameFilter::hiddenIds()
{
    QFETCH(QString, steps);
    QFETCH(QString, shown);
    FrameFilter filter;
    for (const QChar step : steps) {
        switch (step.toLatin1()) {
        case 'h':
            filter.setHidden(0x100, false, true);
            break;
        case 's':
            filter.setHidden(0x100, false, false);
            break;
        case 'A':
            filter.showAllIds();
            break;
        case 'H':
            filter.hideAllIds();
            break;
        case 'o':
            filter.showOnly(0x100, false);
            break;
        }
    }
    const CanPacket frames[] = {testFrame(0x100, 0, 0), testFrame(0x100, CanPacket::Extended, 0),
                                testFrame(0x200, 0, 0)};
    QString got;
    for (const CanPacket &p : frames) {
        QCOMPARE(filter.isHidden(p.id, p.isExtended()), !filter.matchShown(p));
        got += filter.matchShown(p) ? QLatin1Char('1') : QLatin1Char('0');
    }
    QCOMPARE(got, shown);
}

// A frame reaches the log only when every rule lets it.
void TestFrameFilter::hiddenJoinsTheOtherRules()
{
    FrameFilter filter;
    filter.setIdMode(FrameFilter::StandardMask);
    filter.setMask(0x700, 0x100);
    QVERIFY(filter.matches(testFrame(0x123, 0, 0)));
    filter.setHidden(0x123, false, true);
    QVERIFY(!filter.matches(testFrame(0x123, 0, 0)));
    QVERIFY(filter.matches(testFrame(0x124, 0, 0)));
    QVERIFY(!filter.matches(testFrame(0x223, 0, 0))); // shown, but masked out
}

QTEST_GUILESS_MAIN(TestFrameFilter)
#include "tst_framefilter.moc"
