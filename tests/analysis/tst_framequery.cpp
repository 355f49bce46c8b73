// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framequery.h"
#include "support/fdpackets.h"
#include "support/testpackets.h"

#include <QtTest>

class TestFrameQuery : public QObject
{
    Q_OBJECT

private slots:
    void badInput_data();
    void badInput();
    void matching_data();
    void matching();
    void fdFrames();
};

void TestFrameQuery::badInput_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("error");
    const QString badId = QStringLiteral("Неверный идентификатор");
    const QString badData = QStringLiteral("Неверный шаблон данных");
    QTest::newRow("id not hex") << "12G" << QString() << badId;
    QTest::newRow("id 9 digits") << "123456789" << QString() << badId;
    QTest::newRow("id only 0x") << "0x" << QString() << badId;
    QTest::newRow("id signed") << "-1" << QString() << badId;
    QTest::newRow("id wildcard") << "1?" << QString() << badId;
    QTest::newRow("odd run") << QString() << "123" << badData;
    QTest::newRow("not hex") << QString() << "11 G2" << badData;
    QTest::newRow("9 bytes") << QString() << "11 22 33 44 55 66 77 88 99" << badData;
}

void TestFrameQuery::badInput()
{
    QFETCH(QString, id);
    QFETCH(QString, data);
    QFETCH(QString, error);
    FrameQuery query;
    QVERIFY(query.parse(QStringLiteral("7FF"), QStringLiteral("01"), nullptr));
    QString message;
    QVERIFY(!query.parse(id, data, &message));
    QCOMPARE(message, error);
    // The previous query stays.
    QVERIFY(query.matches(hexFrame(0x7FF, "01")));
    QVERIFY(!query.matches(hexFrame(0x7FE, "01")));
}

void TestFrameQuery::matching_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("data");
    QTest::addColumn<uint>("frameId");
    QTest::addColumn<QByteArray>("frameData");
    QTest::addColumn<bool>("remote");
    QTest::addColumn<bool>("matches");
    const QByteArray d = QByteArray("1122334455667788");
    QTest::newRow("empty") << QString() << QString() << 0x1u << QByteArray() << false << true;
    QTest::newRow("id") << "0x123" << QString() << 0x123u << d << false << true;
    QTest::newRow("other id") << "123" << QString() << 0x124u << d << false << false;
    QTest::newRow("at end") << QString() << "77 88" << 0x1u << d << false << true;
    QTest::newRow("wildcard") << QString() << "33 ?? 55" << 0x1u << d << false << true;
    QTest::newRow("wildcard wrong") << QString() << "33 ?? 66" << 0x1u << d << false << false;
    QTest::newRow("run together") << QString() << "4455" << 0x1u << d << false << true;
    QTest::newRow("digit wildcards") << QString() << "1? x2" << 0x1u << d << false << true;
    QTest::newRow("single chars") << QString() << "? 2 xx" << 0x1u << QByteArray("11020304")
                                  << false << true;
    QTest::newRow("0x bytes") << QString() << "0x22 0x3" << 0x1u << QByteArray("112203") << false
                              << true;
    QTest::newRow("id and data, id differs") << "2"
                                             << "22" << 0x1u << d << false << false;
    QTest::newRow("whole 8 bytes")
        << QString() << "11 22 33 44 55 66 77 88" << 0x1u << d << false << true;
    // Only the bytes within the frame's length count.
    QTest::newRow("beyond length")
        << QString() << "33" << 0x1u << QByteArray("1122") << false << false;
    QTest::newRow("longer than frame")
        << QString() << "?? ?? ??" << 0x1u << QByteArray("1122") << false << false;
    QTest::newRow("as long as frame")
        << QString() << "?? ??" << 0x1u << QByteArray("1122") << false << true;
    QTest::newRow("remote has no data")
        << QString() << "??" << 0x1u << QByteArray("11") << true << false;
    QTest::newRow("remote by id") << "1" << QString() << 0x1u << QByteArray("11") << true << true;
}

void TestFrameQuery::matching()
{
    QFETCH(QString, id);
    QFETCH(QString, data);
    QFETCH(uint, frameId);
    QFETCH(QByteArray, frameData);
    QFETCH(bool, remote);
    QFETCH(bool, matches);
    FrameQuery query;
    QString error;
    QVERIFY2(query.parse(id, data, &error), qPrintable(error));
    QCOMPARE(query.isEmpty(), id.trimmed().isEmpty() && data.trimmed().isEmpty());
    CanPacket p = hexFrame(frameId, frameData.constData(), remote);
    QCOMPARE(query.matches(p), matches);
    // Bytes past the length are never looked at; DLC 9..15 carries 8 bytes.
    std::fill(p.data + p.length(), p.data + 8, 0x33);
    QCOMPARE(query.matches(p), matches);
    if (p.length() == 8) {
        p.rtl = uint8_t((p.rtl & 0xF0) | 15);
        QCOMPARE(query.matches(p), matches);
    }
}

// A pattern of up to eight bytes anywhere in the bytes an FD frame carries, up to 64.
void TestFrameQuery::fdFrames()
{
    const auto matches = [](const char *data, const CanPacket &packet) {
        FrameQuery query;
        return query.parse(QString(), QLatin1String(data), nullptr) && query.matches(packet);
    };
    const CanPacket long64 = countingFdFrame(0x100, 64);
    QVERIFY(matches("3E 3F", long64));
    QVERIFY(matches("38 39 3A 3B 3C 3D 3E 3F", long64));
    QVERIFY(matches("06 07 08 09", long64));
    QVERIFY(matches("?? 2? 30", long64));
    QVERIFY(!matches("3F 40", long64));
    const CanPacket twelve = countingFdFrame(0x100, 12, CanPacket::BitRateSwitch, 0xA0);
    QVERIFY(matches("AA AB", twelve));
    QVERIFY(!matches("AB AC", twelve)); // byte 12 is there, but past the length
    const CanPacket five = countingFdFrame(0x100, 5);
    QVERIFY(matches("03 04", five));
    QVERIFY(!matches("04 05", five));
    FrameQuery id;
    QVERIFY(id.parse(QStringLiteral("100"), QStringLiteral("3F"), nullptr));
    QVERIFY(id.matches(long64) && !id.matches(twelve));
}

QTEST_APPLESS_MAIN(TestFrameQuery)
#include "tst_framequery.moc"
