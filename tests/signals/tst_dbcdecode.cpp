// SPDX-License-Identifier: GPL-3.0-or-later
// Signal values from frames, each worked out bit by bit from a DBC text written here.
#include "link/canpacket.h"
#include "signals/dbcdatabase.h"
#include "signals/decodedsignal.h"
#include "signals/signallayout.h"

#include <QtTest>
#include <cmath>

namespace {

const QByteArray Layouts = R"(BO_ 291 Layouts: 8 Ecu
 SG_ IntelCross : 4|12@1+ (1,0) [0|4095] "" Vector__XXX
 SG_ MotoCross : 7|16@0+ (1,0) [0|0] "" Vector__XXX
 SG_ MotoOdd : 3|10@0+ (1,0) [0|0] "" Vector__XXX
 SG_ IntelSigned : 16|8@1- (0.5,10) [0|0] "" Vector__XXX
 SG_ MotoSigned : 27|12@0- (1,0) [0|0] "" Vector__XXX
 SG_ Whole : 0|64@1+ (1,0) [0|0] "" Vector__XXX
BO_ 292 Floats: 8 Ecu
 SG_ Single : 0|32@1- (2,1) [0|0] "" Vector__XXX
 SG_ Double : 7|64@0- (1,0) [0|0] "" Vector__XXX
SIG_VALTYPE_ 292 Single : 1;
SIG_VALTYPE_ 292 Double : 2;
BO_ 512 Muxed: 4 Ecu
 SG_ Mx M : 0|8@1+ (1,0) [0|0] "" Vector__XXX
 SG_ One m1 : 8|8@1+ (1,0) [0|0] "" Vector__XXX
 SG_ Two m2 : 8|8@1+ (1,0) [0|0] "" Vector__XXX
 SG_ Sub m1M : 16|8@1+ (1,0) [0|0] "" Vector__XXX
 SG_ Deep m3 : 24|8@1+ (1,0) [0|0] "" Vector__XXX
SG_MUL_VAL_ 512 Deep Sub 3-5, 9-9;
SG_MUL_VAL_ 512 Sub Mx 1-1;
BO_ 1024 FdFrame: 64 Ecu
 SG_ Head : 0|8@1+ (1,0) [0|0] "" Vector__XXX
 SG_ Speed : 64|16@1+ (0.01,0) [0|0] "km/h" Vector__XXX
 SG_ Torque : 87|12@0- (0.5,0) [0|0] "Nm" Vector__XXX
 SG_ Tail : 500|12@1+ (1,0) [0|0] "" Vector__XXX
 SG_ Mx M : 256|8@1+ (1,0) [0|0] "" Vector__XXX
 SG_ Page1 m1 : 264|16@1+ (1,0) [0|0] "" Vector__XXX
 SG_ Page2 m2 : 264|16@1+ (1,0) [0|0] "" Vector__XXX
BA_DEF_ BO_ "VFrameFormat" ENUM "StandardCAN","ExtendedCAN","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","StandardCAN_FD","ExtendedCAN_FD";
BA_ "VFrameFormat" BO_ 1024 14;
)";

const DbcSignal &signalOf(const DbcMessage *message, const char *name)
{
    return message->signalList.at(size_t(message->signalIndex(QString::fromLatin1(name))));
}

} // namespace

class TestDbcDecode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layouts_data();
    void layouts();
    void notPresentBeyondLength();
    void floats();
    void multiplexing_data();
    void multiplexing();
    void fdLayoutsBitByBit();
    void fdFrameDecoded_data();
    void fdFrameDecoded();

private:
    DbcDatabase db;
};

void TestDbcDecode::initTestCase()
{
    db.read(Layouts);
    QVERIFY2(db.errors().isEmpty(), qPrintable(db.errors().value(0).text));
}

void TestDbcDecode::layouts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("expected");
    // Frame AB CD FE 08 00 00 00 00.
    // IntelCross: little-endian word ..08FECDAB, bits 4..15 = 0xCDA.
    QTest::newRow("intel across bytes") << "IntelCross" << double(0xCDA);
    // MotoCross: MSB byte0 bit7, 16 bits = bytes 0,1 big-endian = 0xABCD.
    QTest::newRow("motorola across bytes") << "MotoCross" << double(0xABCD);
    // MotoOdd: byte0 bits 3..0 = 1011, then byte1 bits 7..2 = 110011: 1011110011 = 755.
    QTest::newRow("motorola odd start") << "MotoOdd" << 755.0;
    // IntelSigned: byte2 0xFE = -2; -2 * 0.5 + 10 = 9.
    QTest::newRow("intel signed, factor, offset") << "IntelSigned" << 9.0;
    // MotoSigned: byte3 bits 3..0 = 1000, byte4 = 0: 0x800 as 12-bit two's complement = -2048.
    QTest::newRow("motorola signed") << "MotoSigned" << -2048.0;
    // Whole: 0x0000000008FECDAB.
    QTest::newRow("64 bits") << "Whole" << double(0x08FECDABull);
}

void TestDbcDecode::layouts()
{
    QFETCH(QString, name);
    QFETCH(double, expected);
    const uint8_t data[8] = {0xAB, 0xCD, 0xFE, 0x08, 0, 0, 0, 0};
    const DbcMessage *message = db.message(0x123, false);
    QVERIFY(message);
    double value = 0;
    QVERIFY(signalOf(message, name.toLatin1()).decode(data, 8, &value));
    QCOMPARE(value, expected);
}

void TestDbcDecode::notPresentBeyondLength()
{
    const uint8_t data[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const DbcMessage *message = db.message(0x123, false);
    double value = -1;
    // IntelCross needs bytes 0 and 1; MotoSigned bytes 3 and 4.
    QVERIFY(!signalOf(message, "IntelCross").decode(data, 1, &value));
    QVERIFY(signalOf(message, "IntelCross").decode(data, 2, &value));
    QVERIFY(!signalOf(message, "MotoSigned").decode(data, 4, &value));
    QCOMPARE(value, double(0xFFF));
    // All 64 bits set, unsigned: 2^64 - 1.
    QVERIFY(signalOf(message, "Whole").decode(data, 8, &value));
    QCOMPARE(value, 18446744073709551615.0);
}

void TestDbcDecode::floats()
{
    // 1.5f = 0x3FC00000, little-endian bytes 00 00 C0 3F; physical 1.5 * 2 + 1 = 4.
    const uint8_t single[8] = {0x00, 0x00, 0xC0, 0x3F, 0, 0, 0, 0};
    // -2.0 = 0xC000000000000000, big-endian from byte 0.
    const uint8_t doubled[8] = {0xC0, 0, 0, 0, 0, 0, 0, 0};
    const DbcMessage *message = db.message(0x124, false);
    double value = 0;
    QVERIFY(signalOf(message, "Single").decode(single, 8, &value));
    QCOMPARE(value, 4.0);
    QVERIFY(signalOf(message, "Double").decode(doubled, 8, &value));
    QCOMPARE(value, -2.0);
}

void TestDbcDecode::multiplexing_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("active");
    // Mx selects One (1) or Two (2); Sub is there when Mx = 1; Deep when Sub is 3..5 or 9.
    QTest::newRow("mx 1, sub 4") << QByteArray("\x01\x07\x04\x09", 4) << "Mx One Sub Deep";
    QTest::newRow("mx 1, sub 6") << QByteArray("\x01\x07\x06\x09", 4) << "Mx One Sub";
    QTest::newRow("mx 1, sub 9") << QByteArray("\x01\x07\x09\x09", 4) << "Mx One Sub Deep";
    QTest::newRow("mx 2: no sub, no deep") << QByteArray("\x02\x07\x04\x09", 4) << "Mx Two";
    QTest::newRow("no multiplexor byte") << QByteArray() << "Mx";
}

void TestDbcDecode::multiplexing()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, active);
    uint8_t data[8] = {};
    std::memcpy(data, frame.constData(), size_t(frame.size()));
    const DbcMessage *message = db.message(0x200, false);
    QStringList names;
    for (size_t i = 0; i < message->signalList.size(); ++i) {
        if (message->isActive(int(i), data, frame.size()))
            names << message->signalList[i].name;
    }
    QCOMPARE(names.join(' '), active);
}

// Every start bit of a 64-byte frame, in both orders, at lengths that fit a byte, cross bytes and
// spread over nine: the value is the bits the layout names, bit by bit, and the signal is there
// exactly when the frame holds its last byte.
void TestDbcDecode::fdLayoutsBitByBit()
{
    uint8_t data[CanPacket::MaxFdBytes];
    for (int i = 0; i < CanPacket::MaxFdBytes; ++i)
        data[i] = uint8_t(i * 151 + 89); // every byte different, all bit patterns mixed
    for (const auto order : {DbcSignal::ByteOrder::Intel, DbcSignal::ByteOrder::Motorola}) {
        for (const int length : {1, 5, 8, 13, 32, 57, 58, 63, 64}) {
            for (int start = 0; start < CanPacket::MaxFdBytes * 8; ++start) {
                DbcSignal s;
                s.startBit = start;
                s.length = length;
                s.byteOrder = order;
                s.plan();
                const QVector<int> bits = SignalLayout::bits(start, length, order);
                if (bits.isEmpty()) { // leaves the frame
                    QVERIFY(!s.isPresent(CanPacket::MaxFdBytes));
                    continue;
                }
                uint64_t expected = 0;
                int lastByte = 0;
                for (int i = 0; i < length; ++i) {
                    expected |= uint64_t((data[bits[i] / 8] >> (bits[i] % 8)) & 1) << i;
                    lastByte = std::max(lastByte, bits[i] / 8);
                }
                const QByteArray where = QByteArray::number(start) + '|' +
                                         QByteArray::number(length) +
                                         (order == DbcSignal::ByteOrder::Intel ? "@1" : "@0");
                QVERIFY2(s.isPresent(lastByte + 1) && !s.isPresent(lastByte), where);
                QVERIFY2(s.bits(data) == expected, where);
            }
        }
    }
}

void TestDbcDecode::fdFrameDecoded_data()
{
    QTest::addColumn<bool>("fd");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QString>("found");
    const QString all = "Head=0 Speed=100 Torque=-5 Tail=2741 Mx=1 Page1=4660";
    QTest::newRow("FD, 64 bytes") << true << 64 << all;
    QTest::newRow("FD, 48 bytes: no tail")
        << true << 48 << "Head=0 Speed=100 Torque=-5 Mx=1 Page1=4660";
    QTest::newRow("FD, 12 bytes") << true << 12 << "Head=0 Speed=100 Torque=-5";
    QTest::newRow("classic, length code 15") << false << 15 << "Head=0";
}

// A frame of the message, FD or classic, through what the signals page, the plots and the
// decoded export use: only the signals its length holds.
void TestDbcDecode::fdFrameDecoded()
{
    QFETCH(bool, fd);
    QFETCH(int, bytes);
    QFETCH(QString, found);
    const DbcMessage *message = db.message(0x400, false);
    QVERIFY(message && message->fd);
    QVERIFY(!db.message(0x123, false)->fd);
    CanPacket packet;
    packet.id = 0x400;
    if (fd)
        packet.setFdLength(bytes);
    else
        packet.rtl = uint8_t(bytes);
    const QMap<int, uint8_t> data{{8, 0x10},  {9, 0x27},  {10, 0xFF}, {11, 0x60}, {32, 0x01},
                                  {33, 0x34}, {34, 0x12}, {62, 0x50}, {63, 0xAB}};
    for (auto it = data.begin(); it != data.end(); ++it)
        packet.data[it.key()] = it.value();
    QStringList values;
    for (const DecodedSignal &each : DecodedSignal::decode(*message, packet))
        values << each.signal->name + '=' + DecodedSignal::number(each.value);
    QCOMPARE(values.join(' '), found);
}

QTEST_GUILESS_MAIN(TestDbcDecode)
#include "tst_dbcdecode.moc"
