// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framebits.h"
#include "link/canpacket.h"

#include <QRandomGenerator>
#include <QVector>
#include <QtTest>

namespace {
// Bit by bit, the way the frame goes out: a second way to get the same count.
int referenceCount(quint32 id, bool extended, bool remote, int dlc, const quint8 *data)
{
    QVector<int> bits{0};
    auto put = [&bits](quint32 value, int n) {
        for (int i = n - 1; i >= 0; --i)
            bits.append(int(value >> i) & 1);
    };
    if (extended) {
        put(id >> 18, 11), put(3, 2), put(id, 18), put(remote, 1), put(0, 2);
    } else {
        put(id, 11), put(remote, 1), put(0, 2);
    }
    put(quint32(dlc), 4);
    for (int i = 0; i < (remote ? 0 : qMin(dlc, 8)); ++i)
        put(data[i], 8);
    quint32 crc = 0;
    for (int bit : bits) {
        const bool next = bit ^ ((crc >> 14) & 1);
        crc = (crc << 1) & 0x7FFF;
        if (next)
            crc ^= 0x4599;
    }
    put(crc, 15);
    int stuffed = 0, run = 0, last = -1;
    for (int bit : bits) {
        run = (bit == last) ? run + 1 : 1;
        last = bit;
        if (run == 5)
            ++stuffed, last = 1 - bit, run = 1;
    }
    return bits.size() + 13 + stuffed;
}

// A CAN FD frame bit by bit: dynamic stuffing up to the last data bit (five equal bits ending
// there have the first fixed stuff bit as theirs), then the stuff count, the CRC and their fixed
// stuff bits, and the 13 bits after.
int referenceFdCount(const CanPacket &p)
{
    QVector<int> bits{0};
    auto put = [&bits](quint32 value, int n) {
        for (int i = n - 1; i >= 0; --i)
            bits.append(int(value >> i) & 1);
    };
    if (p.isExtended())
        put(p.id >> 18, 11), put(3, 2), put(p.id, 18), put(0, 1);
    else
        put(p.id, 11), put(0, 2);
    put(1, 1), put(0, 1);
    put((p.frame & CanPacket::BitRateSwitch) != 0, 1);
    put((p.frame & CanPacket::ErrorState) != 0, 1);
    put(quint32(p.rtl & 0x0F), 4);
    for (int i = 0; i < p.dataLength(); ++i)
        put(p.data[i], 8);
    int stuffed = 0, run = 0, last = -1;
    for (int i = 0; i < bits.size(); ++i) {
        run = (bits[i] == last) ? run + 1 : 1;
        last = bits[i];
        if (run == 5 && i + 1 < bits.size())
            ++stuffed, last = 1 - bits[i], run = 1;
    }
    const int crc = p.dataLength() > 16 ? 21 : 17;
    const int fixed = crc == 17 ? 6 : 7;
    return bits.size() + stuffed + 4 + crc + fixed + 13;
}

CanPacket randomPacket(QRandomGenerator &random)
{
    CanPacket p;
    p.frame = uint8_t(random.bounded(2));
    p.id = random.generate() & (p.frame ? 0x1FFFFFFF : 0x7FF);
    // Long runs of equal bits are what stuffing is about; plain random bytes rarely have them.
    const quint8 fill[] = {0x00, 0xFF, 0x0F, 0xF0, 0x55, 0xAA, 0x1F, 0xE0};
    for (quint8 &b : p.data)
        b = random.bounded(2) ? fill[random.bounded(8)] : quint8(random.generate());
    p.rtl = uint8_t(random.bounded(16) | (random.bounded(8) == 0 ? 0x10 : 0));
    return p;
}
} // namespace

class TestFrameBits : public QObject
{
    Q_OBJECT

private slots:
    void knownFrames_data();
    void knownFrames();
    void agreesWithBitByBit();
    void lengthsAndBounds();
    void fdFrames();
};

void TestFrameBits::knownFrames_data()
{
    QTest::addColumn<uint>("id");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<bool>("remote");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("bits");

    // SOF..CRC, stuff bits in brackets; then 13 unstuffed bits (CRC del, ACK, ACK del, EOF, IFS).
    // 34 zeros, CRC 0x0000:
    // 00000[1]00000[1]00000[1]00000[1]00000[1]00000[1]0000 -> 34 + 6 + 13
    QTest::newRow("0x000 data, 0 bytes") << 0x000u << false << false << 0 << QByteArray() << 53;
    // 0 11111111111 1 00 0000 | CRC 101010011101010 (0x54EA):
    // 011111[0]11111[0]1100000[1]0101010011101010 -> 34 + 3 + 13
    QTest::newRow("0x7FF remote") << 0x7FFu << false << true << 0 << QByteArray() << 50;
    // A stuff bit starts the next run: 0 00001111000 0 00 0000 | CRC 111110101100101 (0x7D65):
    // 00000[1]1111[0]0000[1]00000[1]011111[0]0101100101 -> 34 + 5 + 13
    QTest::newRow("0x078 stuff bits chained")
        << 0x078u << false << false << 0 << QByteArray() << 52;
    // The last five CRC bits are equal, so a stuff bit follows the CRC: CRC 111110000100000:
    // 00000[1]000100100000[1]0011111[0]0000[1]100000[1] -> 34 + 5 + 13
    QTest::newRow("0x009 stuffed after CRC") << 0x009u << false << false << 0 << QByteArray() << 52;
    // 0 10101010101 0 00 1000 10101010 x8 | CRC 111110111001110: one stuff bit, in the CRC.
    QTest::newRow("0x555 0xAA x8") << 0x555u << false << false << 8 << QByteArray(8, '\xAA') << 112;
    // 0 10101010101 0 00 0001 01010101 | CRC 111100010010111:
    // 01010101010100000[1]01010101011111[0]00010010111 -> 42 + 2 + 13
    QTest::newRow("0x555 0x55") << 0x555u << false << false << 1 << QByteArray(1, '\x55') << 57;
    // 0 01101010111 11 111001101111011110000 000 1000 | 0xFF x8 | CRC 001010100000110 (0x1506):
    // 0110101011111[0]10011011110111100000[1]00100011111[0] then [0] after every further 5 ones
    // (12 of them in all), 1111001010100000[1]110 -> 118 + 15 + 13
    QTest::newRow("29-bit, 0xFF x8")
        << 0x1ABCDEF0u << true << false << 8 << QByteArray(8, '\xFF') << 146;
    // 0 00000000000 11 000000000000000000 000 1000 | 0x00 x8 | CRC 011110110101111 (0x3DAF):
    // 00000[1]00000[1]001100000[1]00000[1]00000[1]00000[1]0100000[1] then [1] after every further
    // 5 zeros (13 of them in all), 00011110110101111 -> 118 + 19 + 13
    QTest::newRow("29-bit 0, 0x00 x8") << 0x0u << true << false << 8 << QByteArray(8, '\0') << 150;
    // DLC 12 is sent as 1100 and carries 8 bytes: 0x123 01..08, CRC 000110000001110.
    QTest::newRow("DLC 12") << 0x123u << false << false << 12
                            << QByteArray::fromHex("0102030405060708") << 120;
}

void TestFrameBits::knownFrames()
{
    QFETCH(uint, id);
    QFETCH(bool, extended);
    QFETCH(bool, remote);
    QFETCH(int, dlc);
    QFETCH(QByteArray, data);
    QFETCH(int, bits);

    CanPacket p;
    p.id = id;
    p.frame = extended ? CanPacket::Extended | CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0;
    p.rtl = uint8_t((remote ? 0x10 : 0) | dlc);
    std::copy(data.cbegin(), data.cend(), p.data);
    QCOMPARE(FrameBits::count(p), bits);
    // A remote frame's data bytes are not sent.
    std::fill(p.data, p.data + 8, remote ? 0x5A : 0);
    if (remote)
        QCOMPARE(FrameBits::count(p), bits);
}

void TestFrameBits::agreesWithBitByBit()
{
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i) {
        const CanPacket p = randomPacket(random);
        const int expected = referenceCount(p.id, p.isExtended(), p.isRemote(), p.length(), p.data);
        QCOMPARE(FrameBits::count(p), expected);
        const bool ext = p.isExtended(), remote = p.isRemote();
        QVERIFY(expected >= FrameBits::unstuffedCount(ext, remote, p.length()));
        QVERIFY(expected <= FrameBits::worstCaseCount(ext, remote, p.length()));
    }
}

void TestFrameBits::lengthsAndBounds()
{
    for (int dlc = 0; dlc < 16; ++dlc) {
        const int n = qMin(dlc, 8);
        QCOMPARE(FrameBits::unstuffedCount(false, false, dlc), 47 + 8 * n);
        QCOMPARE(FrameBits::unstuffedCount(true, false, dlc), 67 + 8 * n);
        QCOMPARE(FrameBits::unstuffedCount(false, true, dlc), 47);
        QCOMPARE(FrameBits::unstuffedCount(true, true, dlc), 67);
    }
    QCOMPARE(FrameBits::worstCaseCount(false, false, 8), 135);
    QCOMPARE(FrameBits::worstCaseCount(true, false, 8), 160);
    QCOMPARE(FrameBits::worstCaseCount(false, false, 0), 55);
}

void TestFrameBits::fdFrames()
{
    // Worked out by hand: eleven zero bits of identifier and a zero DLC stuff three times.
    const quint8 none[64] = {};
    QCOMPARE(FrameBits::countFd(0, false, false, false, 0, none), 22 + 3 + 4 + 17 + 6 + 13);
    // 0x555 alternates; the DLC 1111 and the first data bit make the one run of five.
    quint8 alternating[64];
    std::fill(std::begin(alternating), std::end(alternating), quint8(0xAA));
    int dataPhase = 0;
    QCOMPARE(FrameBits::countFd(0x555, false, true, false, 64, alternating, &dataPhase),
             22 + 512 + 1 + 4 + 21 + 7 + 13);
    QCOMPARE(dataPhase, 1 + 4 + 512 + 1 + 4 + 21 + 7);
    FrameBits::countFd(0x555, false, false, false, 64, alternating, &dataPhase);
    QCOMPARE(dataPhase, 0);
    // A length between two FD lengths is sent as the next one.
    QCOMPARE(FrameBits::countFd(0x555, false, false, false, 33, alternating),
             FrameBits::countFd(0x555, false, false, false, 48, alternating));

    QRandomGenerator random(9);
    for (int i = 0; i < 5000; ++i) {
        CanPacket p = randomPacket(random);
        p.rtl &= 0x0F;
        p.frame = quint8((p.frame & CanPacket::Extended) | CanPacket::Fd |
                         (random.bounded(2) ? CanPacket::BitRateSwitch : 0) |
                         (random.bounded(2) ? CanPacket::ErrorState : 0));
        QCOMPARE(FrameBits::count(p), referenceFdCount(p));
    }
}

QTEST_APPLESS_MAIN(TestFrameBits)
#include "tst_framebits.moc"
