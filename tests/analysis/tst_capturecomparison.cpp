// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/capturecomparison.h"
#include "analysis/frameindex.h"
#include "hiddensignals.h"

#include <QtTest>

using namespace HiddenSignals;

class TestCaptureComparison : public QObject
{
    Q_OBJECT

private slots:
    // The same traffic with other noise, plus one flag bit that toggles in B only.
    void findsTheExtraFlagBitAndNothingElse()
    {
        FrameIndex a;
        FrameIndex b;
        for (const TimedPacket &f : capture(11, false))
            a.add(f);
        for (const TimedPacket &f : capture(12, true))
            b.add(f);
        const auto rows = CaptureComparison::compare(a, b);
        QCOMPARE(int(rows.size()), 4 + NoiseIds);
        const CaptureComparison::Row &top = rows.front();
        QCOMPARE(top.id, CounterId);
        QCOMPARE(top.newInB, quint64(1) << (FlagByte * 8 + FlagBit));
        QCOMPARE(CaptureComparison::Row::bitsText(top.newInB), QStringLiteral("D5.3"));
        QVERIFY(top.valuesOnlyInB[FlagByte].contains(0x48));
        for (const auto &r : rows) {
            QCOMPARE(r.presence, CaptureComparison::Both);
            QCOMPARE(r.newInA, quint64(0));
            if (r.id != CounterId)
                QCOMPARE(r.newInB, quint64(0));
            QCOMPARE(r.framesA, quint64(Frames));
            QVERIFY(qAbs(r.rateB - 50.0) < 0.1);
        }
    }

    void identifiersOfOneSideFirstThenCsv()
    {
        FrameIndex a;
        FrameIndex b;
        const quint8 on[8] = {1};
        const quint8 off[8] = {0};
        for (int i = 0; i < 10; ++i) {
            a.add(0x10, false, i * 1000000, off, 8);
            b.add(0x10, false, i * 1000000, i % 2 ? on : off, 8);
            a.add(0x20, false, i * 1000000, off, 8);
            b.add(0x30, true, i * 1000000, off, 2);
        }
        const auto rows = CaptureComparison::compare(a, b);
        QCOMPARE(int(rows.size()), 3);
        QCOMPARE(rows[0].presence, CaptureComparison::BOnly);
        QCOMPARE(rows[1].presence, CaptureComparison::AOnly);
        QCOMPARE(rows[2].id, quint32(0x10));
        QCOMPARE(rows[2].newInB, quint64(1));
        const QStringList lines = CaptureComparison::csv(rows).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 5); // header, three rows, the final newline
        QCOMPARE(lines[1], QStringLiteral("0x00000030;EFF;только B;0;10;0.00;1.11;;;"));
        QCOMPARE(lines[3], QStringLiteral("0x00000010;SFF;A и B;10;10;1.11;1.11;D0.0;;D0: 0x01"));
    }

    // Bits and values past the eighth byte of FD frames count as the first ones do.
    void fdBytesCount()
    {
        FrameIndex a;
        FrameIndex b;
        quint8 data[64] = {};
        for (int i = 0; i < 10; ++i) {
            data[9] = quint8(i); // moves in both
            data[50] = 0;
            a.add(0x10, false, i * 1000000, data, 64);
            data[50] = quint8(i % 2 ? 0x04 : 0x00);
            b.add(0x10, false, i * 1000000, data, 64);
        }
        const auto rows = CaptureComparison::compare(a, b);
        QCOMPARE(int(rows.size()), 1);
        FrameMask expected;
        expected.set(50 * 8 + 2);
        QVERIFY(rows[0].newInB == expected);
        QVERIFY(!rows[0].newInA.any());
        QCOMPARE(CaptureComparison::Row::bitsText(rows[0].newInB), QStringLiteral("D50.2"));
        QCOMPARE(rows[0].valuesOnlyInB[50], QVector<int>{0x04});
        QCOMPARE(rows[0].valuesText(), QStringLiteral("D50: 0x04"));
    }
};

QTEST_GUILESS_MAIN(TestCaptureComparison)
#include "tst_capturecomparison.moc"
