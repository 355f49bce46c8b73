// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/canpacket.h"

#include <QByteArray>
#include <QVariant>
#include <QtTest>
#include <cstddef>

class TestTextForms : public QObject
{
    Q_OBJECT

private slots:
    void packetRecord();
    void hexForms();
    void frameTextForms();
    void bufferForms();
};

void TestTextForms::packetRecord()
{
    // Packed: the identifier follows the flag byte directly, as on the line.
    QCOMPARE(offsetof(CanPacket, id), size_t(1));
    QCOMPARE(offsetof(CanPacket, rtl), size_t(5));
    QCOMPARE(offsetof(CanPacket, data), size_t(6));

    const CanPacket def;
    QCOMPARE(def.frame, uint8_t(0));
    QCOMPARE(def.id, 0u);
    QCOMPARE(def.rtl, uint8_t(0));
    for (uint8_t b : def.data)
        QCOMPARE(b, uint8_t(0));
    QCOMPARE(def.delay, 1u);
    QCOMPARE(def.direct, 64);

    CanPacket p;
    p.rtl = 0x1F;
    QVERIFY(p.isRemote());
    QCOMPARE(p.length(), 15);
    p.frame = 0x11;
    QVERIFY(p.isExtended());

    // Travels through QVariant (as in queued signals) as an independent copy.
    QCOMPARE(QMetaType::typeName(qMetaTypeId<CanPacket>()), "CanPacket");
    p.id = 0x123;
    const QVariant v = QVariant::fromValue(p);
    p.id = 0x456;
    p.data[7] = 9;
    QCOMPARE(v.value<CanPacket>().id, 0x123u);
    QCOMPARE(v.value<CanPacket>().data[7], uint8_t(0));
}

void TestTextForms::hexForms()
{
    QCOMPARE(hexText(0, 2), QStringLiteral("0x00"));
    QCOMPARE(hexText(26, 2), QStringLiteral("0x1A"));
    QCOMPARE(hexText(291, 2), QStringLiteral("0x123"));
    QCOMPARE(hexText(255, 2), QStringLiteral("0xFF"));
    QCOMPARE(hexText(2047, 8), QStringLiteral("0x000007FF"));
    // Identifiers are unsigned: bit 31 never turns into a minus sign.
    QCOMPARE(hexText(0x80000000u, 8), QStringLiteral("0x80000000"));
    QCOMPARE(hexText(0xFFFFFFFFu, 8), QStringLiteral("0xFFFFFFFF"));
    QCOMPARE(hexText(uint(-1), 2), QStringLiteral("0xFFFFFFFF"));
    QCOMPARE(hexText(5, 0), QStringLiteral("0x5"));

    QCOMPARE(hexByteText(10), QStringLiteral("0x0A"));
    QCOMPARE(hexByteText(511), QStringLiteral("0xFF"));
}

void TestTextForms::frameTextForms()
{
    CanPacket p;
    QCOMPARE(frameText(p),
             QStringLiteral("[RX] F: 00 ID: 00000000 RTL: 00 DATA: 00 00 00 00 00 00 00 00"));

    p.frame = 1;
    p.id = 0x1ABC;
    p.rtl = 0x08;
    const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 0x0A};
    std::copy(bytes, bytes + 8, p.data);
    QCOMPARE(frameText(p),
             QStringLiteral("[RX] F: 01 ID: 00001ABC RTL: 08 DATA: 01 02 03 04 05 06 07 0A"));

    p.direct = 128;
    QVERIFY(frameText(p).startsWith(QStringLiteral("[TX] F: 01 ")));
    p.direct = 7;
    QVERIFY(frameText(p).startsWith(QStringLiteral("F: 01 ")));

    p.id = 0x9ABCDEF0;
    p.frame = 0x31;
    p.data[0] = 0xab;
    QVERIFY(frameText(p).contains(QStringLiteral("F: 31 ID: 9ABCDEF0 RTL: 08 DATA: AB ")));
}

void TestTextForms::bufferForms()
{
    QCOMPARE(byteListText(QByteArray()), QString());
    QCOMPARE(byteListText(QByteArray(1, 5)), QStringLiteral(" 0x05"));
    QCOMPARE(byteListText(QByteArray::fromHex("e101e1")), QStringLiteral(" 0xE1 0x01 0xE1"));

    const QString printable = printableText(QByteArray::fromHex("41007f80ff20"));
    QCOMPARE(printable.size(), 6);
    QCOMPARE(printable, QStringLiteral("A*") + QChar(0x7F) + QStringLiteral("** "));
    QCOMPARE(printableText(QByteArray()), QString());
}

QTEST_APPLESS_MAIN(TestTextForms)
#include "tst_textforms.moc"
