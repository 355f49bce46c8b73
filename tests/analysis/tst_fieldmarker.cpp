// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/bitchangecount.h"
#include "analysis/checksumfinder.h"
#include "analysis/fieldmarker.h"
#include "analysis/frameindex.h"
#include "drivecapture.h"
#include "hiddensignals.h"

#include <QtTest>
#include <cstring>
#include <random>
#include <tuple>

using namespace HiddenSignals;

class TestFieldMarker : public QObject
{
    Q_OBJECT

    FrameIndex index;
    std::vector<FieldMark> marks;

    std::vector<FieldMark> marksOf(quint32 id) const
    {
        std::vector<FieldMark> found;
        for (const FieldMark &m : marks) {
            if (m.id == id)
                found.push_back(m);
        }
        return found;
    }
    static const FieldMark *markAt(const std::vector<FieldMark> &marks, quint32 id, int startBit)
    {
        for (const FieldMark &m : marks) {
            if (m.id == id && m.startBit == startBit)
                return &m;
        }
        return nullptr;
    }
    static const FieldMark *at(const std::vector<FieldMark> &marks, int startBit)
    {
        for (const FieldMark &m : marks) {
            if (m.startBit == startBit)
                return &m;
        }
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        for (const TimedPacket &f : capture(7, true))
            index.add(f);
        marks = FieldMarker::mark(index, index.firstTime(), index.lastTime());
    }

    void crcMatchesTheCommonCheckValue()
    {
        // CRC-8 with polynomial 0x07 of "123456789" is 0xF4.
        quint8 text[9];
        std::memcpy(text, "123456789", 9);
        quint64 word = 0;
        for (int k = 7; k >= 0; --k)
            word = (word << 8) | text[k];
        const quint8 first8 = ChecksumFinder::crc8(0x07, 0, word, 8, -1);
        quint8 crc = first8 ^ text[8];
        for (int bit = 0; bit < 8; ++bit)
            crc = quint8(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
        QCOMPARE(crc, quint8(0xF4));
    }

    // Leaving out each byte in turn, all at once, as leaving out one: frames of 1, 8, 12 and 64
    // bytes, a zero byte among them (which must still count as a byte).
    void crcWithoutEachByteMatchesOneByOne()
    {
        std::mt19937 random(5);
        for (int bytes : {1, 8, 12, 64}) {
            quint8 data[64];
            for (quint8 &b : data)
                b = quint8(random());
            data[bytes / 2] = 0;
            for (int p : {0x07, 0x1D, 0x2F, 0xFF}) {
                const auto all = ChecksumFinder::crc8Without(quint8(p), data, bytes);
                for (int k = 0; k < bytes; ++k)
                    QCOMPARE(all[size_t(k)], ChecksumFinder::crc8(quint8(p), 0, data, bytes, k));
            }
        }
    }

    // Bits that change in every frame of a long capture, and bits that change now and then,
    // added in runs of any length: each counts the changes one by one would, read before and
    // after the counts are carried on.
    void bitChangesCountAsOneByOne()
    {
        std::mt19937_64 random(9);
        std::vector<quint64> words(1000);
        for (size_t i = 0; i < words.size(); ++i)
            words[i] = i % 3 == 0 ? ~quint64(0) : (random() & random()) | 1;
        BitChangeCount changes;
        std::array<int, 64> expected{};
        int added = 0;
        for (const int run : {1, 253, 1, 1, 300, 444}) {
            changes.addEach(run, [&](int k) { return words[size_t(added + k)]; });
            for (int k = 0; k < run; ++k) {
                for (size_t b = 0; b < 64; ++b)
                    expected[b] += int((words[size_t(added + k)] >> b) & 1);
            }
            added += run;
            QCOMPARE(changes.counts(), expected);
        }
    }

    void namesCounterXorChecksumConstantAndFlag()
    {
        const auto found = marksOf(CounterId);
        const FieldMark *counter = at(found, 0);
        QVERIFY(counter);
        QCOMPARE(counter->kind, FieldMark::Counter);
        QCOMPARE(counter->length, 4);
        QCOMPARE(counter->detail, QStringLiteral("шаг 1"));
        const FieldMark *checksum = at(found, 56);
        QVERIFY(checksum);
        QCOMPARE(checksum->kind, FieldMark::Checksum);
        QCOMPARE(checksum->detail, QStringLiteral("XOR"));
        const FieldMark *constant = at(found, 48);
        QVERIFY(constant);
        QCOMPARE(constant->kind, FieldMark::Constant);
        QCOMPARE(constant->detail, QStringLiteral("0x5A"));
        const FieldMark *flag = at(found, FlagByte * 8 + FlagBit);
        QVERIFY(flag);
        QCOMPARE(flag->kind, FieldMark::Flag);
        QCOMPARE(flag->length, 1);
        QCOMPARE(flag->kindText(), QStringLiteral("флаг"));
    }

    void findsCrcPolynomialAndInitialValue()
    {
        const auto found = marksOf(CrcId);
        const FieldMark *crc = at(found, 56);
        QVERIFY(crc);
        QCOMPARE(crc->kind, FieldMark::Checksum);
        QCOMPARE(crc->detail, QStringLiteral("CRC-8, полином 0x2F, начальное 0xFF"));
        const FieldMark *counter = at(found, 0);
        QVERIFY(counter);
        QCOMPARE(counter->kind, FieldMark::Counter);
        QCOMPARE(counter->length, 8);
    }

    // Noise is neither a counter nor a checksum.
    void noiseIsNoCounterOrChecksum()
    {
        for (const FieldMark &m : marks) {
            if (m.id >= 0x400 && m.id < 0x400 + NoiseIds) {
                QVERIFY2(m.kind == FieldMark::Value,
                         qPrintable(QStringLiteral("%1 at %2").arg(m.kindText()).arg(m.startBit)));
            }
        }
    }

    void motorolaRampIsOneValue()
    {
        FrameIndex ramp;
        for (int i = 0; i < 4096; ++i) {
            const quint8 d[2] = {quint8(i >> 8), quint8(i)};
            ramp.add(1, false, i, d, 2);
        }
        const auto found = FieldMarker::mark(ramp, 0, 4095);
        QCOMPARE(int(found.size()), 1);
        QCOMPARE(found[0].kind, FieldMark::Value);
        QVERIFY(found[0].motorola);
        QCOMPARE(found[0].startBit, 3);
        QCOMPARE(found[0].length, 12);
    }

    // Two-bit counters in either half, a counter stepping by 3, and one that lost a frame.
    void counterForms()
    {
        FrameIndex counters;
        for (int i = 0; i < 300; ++i) {
            if (i == 150)
                continue;
            const quint8 d[3] = {quint8((i & 3) << 4 | 0x01), quint8((3 * i) & 0xFF), 0x10};
            counters.add(9, false, i, d, 3);
        }
        const auto found = FieldMarker::mark(counters, 0, 300);
        const FieldMark *two = at(found, 4);
        QVERIFY(two);
        QCOMPARE(two->kind, FieldMark::Counter);
        QCOMPARE(two->length, 2);
        const FieldMark *three = at(found, 8);
        QVERIFY(three);
        QCOMPARE(three->kind, FieldMark::Counter);
        QCOMPARE(three->detail, QStringLiteral("шаг 3"));
        QCOMPARE(at(found, 16)->kind, FieldMark::Constant);
    }

    // Real-shaped frames with a twentieth lost: the counters step across the gaps, the
    // checksums are nibble sums and a CRC with a final XOR, and each mark says how much matches.
    void marksCountersAndChecksumsOfADrive()
    {
        namespace Drive = DriveCapture;
        FrameIndex drive;
        for (const TimedPacket &f : Drive::capture())
            drive.add(f);
        const auto all = FieldMarker::mark(drive, drive.firstTime(), drive.lastTime());
        const auto markAt = [&all](quint32 id, int startBit) {
            return TestFieldMarker::markAt(all, id, startBit);
        };
        const FieldMark *counter = markAt(Drive::SpeedId, 60);
        QVERIFY(counter);
        QCOMPARE(counter->kind, FieldMark::Counter);
        QCOMPARE(counter->length, 2);
        QCOMPARE(counter->detail, QStringLiteral("шаг 1"));
        QCOMPARE(counter->share, 1.0); // every gap of k cycles stepped k times
        const FieldMark *nibble = markAt(Drive::SpeedId, 56);
        QVERIFY(nibble);
        QCOMPARE(nibble->kind, FieldMark::Checksum);
        QCOMPARE(nibble->length, 4);
        QCOMPARE(nibble->detail, QStringLiteral("сумма полубайтов"));
        QCOMPARE(nibble->share, 1.0);
        const FieldMark *wide = markAt(Drive::EngineId, 56);
        QVERIFY(wide);
        QCOMPARE(wide->kind, FieldMark::Checksum);
        QCOMPARE(wide->length, 8);
        QCOMPARE(wide->detail,
                 QStringLiteral("сумма полубайтов + 0x11 (с идентификатором: + 0x05)"));
        const FieldMark *crc = markAt(Drive::SteeringId, 56);
        QVERIFY(crc);
        QCOMPARE(crc->detail,
                 QStringLiteral("CRC-8, полином 0x1D, начальное 0xFF, конечный XOR 0xFF"));
        const FieldMark *rolling = markAt(Drive::SteeringId, 16);
        QVERIFY(rolling);
        QCOMPARE(rolling->kind, FieldMark::Counter);
        QCOMPARE(rolling->length, 8);
        QCOMPARE(rolling->share, 1.0);
        for (const FieldMark &m : all) {
            if (m.kind == FieldMark::Value || m.kind == FieldMark::Flag)
                QCOMPARE(m.share, -1.0);
        }
    }

    // The frame's nibbles add up to a constant: every nibble then looks like the checksum, and
    // the last one that changes is taken. Two garbled frames lower the share, not the mark.
    void aConstantNibbleTotalMarksTheLastNibble()
    {
        FrameIndex frames;
        std::mt19937 random(5);
        const quint32 id = 0x1E5;
        for (int i = 0; i < 400; ++i) {
            quint8 d[8] = {quint8(random()),    quint8(i * 7), 0, 0x40, quint8(random()), 0, 0,
                           quint8((i & 3) << 4)};
            const int sum = DriveCapture::nibbleSum(d, 8) + 0x1 + 0xE + 0x5;
            d[7] |= quint8(8 - sum) & 0x0F;
            if (i == 100 || i == 300)
                d[7] ^= 0x05;
            frames.add(id, false, qint64(i) * 10000, d, 8);
        }
        const auto found = FieldMarker::mark(frames, 0, 400 * 10000);
        const FieldMark *checksum = at(found, 56);
        QVERIFY(checksum);
        QCOMPARE(checksum->kind, FieldMark::Checksum);
        QCOMPARE(checksum->length, 4);
        QCOMPARE(checksum->detail,
                 QStringLiteral("минус сумма полубайтов + 0x04 (с идентификатором: + 0x08)"));
        QCOMPARE(checksum->share, 398.0 / 400);
        const FieldMark *counter = at(found, 60);
        QVERIFY(counter);
        QCOMPARE(counter->kind, FieldMark::Counter);
        QCOMPARE(counter->length, 2);
    }

    void sumWithIdentifier()
    {
        FrameIndex sums;
        for (int i = 0; i < 50; ++i) {
            quint8 d[4] = {quint8(i * 7), quint8(i * i), quint8(255 - i), 0};
            d[3] = quint8(d[0] + d[1] + d[2] + 0x12 + 0x34);
            sums.add(0x1234, false, i, d, 4);
        }
        const auto found = FieldMarker::mark(sums, 0, 50);
        const FieldMark *sum = at(found, 24);
        QVERIFY(sum);
        QCOMPARE(sum->detail, QStringLiteral("сумма с идентификатором"));
    }

    // 64-byte FD frames: a CRC-8 of bytes 1..63 in byte 0, a constant in byte 50, a counter in
    // byte 63 and noise between; and a 12-byte FD identifier whose XOR ends it in byte 11.
    void marksFdFrames()
    {
        FrameIndex fd;
        std::mt19937 random(11);
        for (int i = 0; i < 300; ++i) {
            TimedPacket f;
            f.time = qint64(i) * 10000;
            f.packet.id = 0x5F0;
            f.packet.frame = CanPacket::Fd;
            f.packet.setFdLength(64);
            for (quint8 &b : f.packet.data)
                b = quint8(random());
            f.packet.data[50] = 0x77;
            f.packet.data[63] = quint8(i);
            quint8 crc = 0xFF;
            for (int k = 1; k < 64; ++k) {
                crc ^= f.packet.data[k];
                for (int bit = 0; bit < 8; ++bit)
                    crc = quint8(crc & 0x80 ? (crc << 1) ^ 0x1D : crc << 1);
            }
            f.packet.data[0] = crc;
            fd.add(f);
            TimedPacket x = f;
            x.packet.id = 0x5F1;
            x.packet.setFdLength(12);
            x.packet.data[11] = 0;
            for (int k = 0; k < 11; ++k)
                x.packet.data[11] ^= x.packet.data[k];
            fd.add(x);
        }
        const auto found = FieldMarker::mark(fd, fd.firstTime(), fd.lastTime());
        const std::tuple<quint32, int, FieldMark::Kind, int, QString> expected[] = {
            {0x5F0, 0, FieldMark::Checksum, 8, "CRC-8, полином 0x1D, начальное 0xFF"},
            {0x5F0, 8 * 63, FieldMark::Counter, 8, "шаг 1"},
            {0x5F0, 8 * 50, FieldMark::Constant, 8, "0x77"},
            {0x5F1, 8 * 11, FieldMark::Checksum, 8, "XOR"},
        };
        for (const auto &[id, startBit, kind, length, detail] : expected) {
            const FieldMark *m = markAt(found, id, startBit);
            QVERIFY2(m, qPrintable(QString::number(startBit)));
            QCOMPARE(m->kind, kind);
            QCOMPARE(m->length, length);
            QCOMPARE(m->detail, detail);
        }
        for (const FieldMark &m : found) {
            QVERIFY(m.startBit < 8 * (m.id == 0x5F0 ? 64 : 12));
            if (m.id == 0x5F0 && m.startBit / 8 > 0 && m.startBit / 8 < 63 && m.startBit != 400)
                QCOMPARE(m.kind, FieldMark::Value);
        }
    }
};

QTEST_GUILESS_MAIN(TestFieldMarker)
#include "tst_fieldmarker.moc"
