// SPDX-License-Identifier: GPL-3.0-or-later
// Changing a database by hand: where a signal's bits lie, what a change must satisfy, and that
// edits keep multiplexing, decoding and the written file right.
#include "signals/dbcdatabase.h"
#include "signals/dbcrules.h"
#include "signals/dbcwriter.h"
#include "signals/signallayout.h"

#include <QtTest>

class TestDbcEdits : public QObject
{
    Q_OBJECT

private slots:
    void layoutMatchesDecoding_data();
    void layoutMatchesDecoding();
    void selectionToLayout();
    void signalRules();
    void messageRules();
    void editSignals();
    void editMessages();
    void namesKeptFromFiles();
    void fdMessages();
};

namespace {

using Order = DbcSignal::ByteOrder;

const QByteArray Base = R"(BU_: A B
BO_ 100 Engine: 8 A
 SG_ Rpm : 0|16@1+ (0.25,0) [0|16383.75] "rpm" B
 SG_ Temp : 23|8@0- (1,-40) [-168|87] "degC" B
BO_ 2147484160 ExtMux: 8 B
 SG_ Sel M : 0|4@1+ (1,0) [0|15] "" A
 SG_ Sub m2M : 8|8@1+ (1,0) [0|255] "" A
 SG_ Deep m3 : 16|8@1+ (1,0) [0|255] "" A
SG_MUL_VAL_ 2147484160 Sub Sel 2-2;
SG_MUL_VAL_ 2147484160 Deep Sub 3-3;
)";

DbcDatabase base()
{
    DbcDatabase db;
    db.read(Base);
    return db;
}

DbcSignal makeSignal(const QString &name, int start, int length, Order order = Order::Intel)
{
    DbcSignal s;
    s.name = name;
    s.startBit = start;
    s.length = length;
    s.byteOrder = order;
    s.maximum = 1;
    return s;
}

} // namespace

void TestDbcEdits::layoutMatchesDecoding_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("intel");
    QTest::newRow("intel byte") << 8 << 8 << true;
    QTest::newRow("intel across") << 4 << 12 << true;
    QTest::newRow("intel 64") << 0 << 64 << true;
    QTest::newRow("motorola byte") << 15 << 8 << false;
    QTest::newRow("motorola across") << 3 << 12 << false;
    QTest::newRow("motorola 64") << 7 << 64 << false;
    QTest::newRow("motorola one bit") << 60 << 1 << false;
    QTest::newRow("FD intel past byte 8") << 70 << 12 << true;
    QTest::newRow("FD intel last bits") << 500 << 12 << true;
    QTest::newRow("FD intel over nine bytes") << 260 << 64 << true;
    QTest::newRow("FD motorola across") << 87 << 12 << false;
    QTest::newRow("FD motorola over nine bytes") << 267 << 64 << false;
    QTest::newRow("FD motorola last bit") << 504 << 1 << false;
}

// The decoder is the reference: bit i of the signal's value is the bit the layout names.
void TestDbcEdits::layoutMatchesDecoding()
{
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(bool, intel);
    DbcSignal s = makeSignal("S", start, length, intel ? Order::Intel : Order::Motorola);
    s.plan();
    const QVector<int> bits = SignalLayout::bits(start, length, s.byteOrder);
    QCOMPARE(bits.size(), length);
    const int lastByte = *std::max_element(bits.begin(), bits.end()) / 8;
    for (int i = 0; i < length; ++i) {
        uint8_t data[64] = {};
        data[bits[i] / 8] = uint8_t(1u << (bits[i] % 8));
        QCOMPARE(s.bits(data), uint64_t(1) << i);
    }
    QVERIFY(SignalLayout::fits(start, length, s.byteOrder, lastByte + 1));
    QVERIFY(!SignalLayout::fits(start, length, s.byteOrder, lastByte));
    QVERIFY(s.isPresent(lastByte + 1) && !s.isPresent(lastByte));
}

void TestDbcEdits::selectionToLayout()
{
    int start = 0;
    int length = 0;
    // Byte 0 bit 3 to byte 1 bit 4, dragged either way.
    SignalLayout::fromSelection(3, 12, Order::Motorola, &start, &length);
    QCOMPARE(start, 3);
    QCOMPARE(length, 8);
    QCOMPARE(SignalLayout::bits(start, length, Order::Motorola),
             QVector<int>({12, 13, 14, 15, 0, 1, 2, 3}));
    SignalLayout::fromSelection(12, 3, Order::Motorola, &start, &length);
    QCOMPARE(start, 3);
    SignalLayout::fromSelection(12, 3, Order::Intel, &start, &length);
    QCOMPARE(start, 3);
    QCOMPARE(length, 10);
    QVERIFY(SignalLayout::bits(0, 0, Order::Intel).isEmpty());
    QVERIFY(SignalLayout::bits(510, 8, Order::Intel).isEmpty());
    QVERIFY(SignalLayout::bits(504, 8, Order::Motorola).isEmpty()); // runs past byte 63
}

void TestDbcEdits::signalRules()
{
    const DbcDatabase db = base();
    const DbcMessage &m = *db.message(100, false);
    QVERIFY(DbcRules::checkSignal(m, makeSignal("Fresh_1", 16, 7)).isEmpty());
    const auto says = [&](const DbcSignal &s, const char *words, const QString &replacing = {}) {
        const QString problem = DbcRules::checkSignal(m, s, replacing);
        if (!problem.contains(QString::fromUtf8(words)))
            qWarning() << problem;
        return problem.contains(QString::fromUtf8(words));
    };
    QVERIFY(says(makeSignal("1st", 16, 8), "не идентификатор C"));
    QVERIFY(says(makeSignal("Обороты", 16, 8), "не идентификатор C"));
    QVERIFY(says(makeSignal("", 16, 8), "Нет имени"));
    QVERIFY(says(makeSignal("Rpm", 16, 8), "уже есть в сообщении Engine"));
    QVERIFY(DbcRules::checkSignal(m, makeSignal("Rpm", 16, 8), "Rpm").isEmpty());
    QVERIFY(says(makeSignal("Temp", 16, 8), "уже есть", "Rpm")); // renamed onto another
    QVERIFY(says(makeSignal("S", 60, 8), "выходят за сообщение длиной 8 байт"));
    QVERIFY(says(makeSignal("S", 56, 8, Order::Motorola), "выходят за сообщение"));
    QVERIFY(says(makeSignal("S", 0, 0), "от 1 до 64"));
    QVERIFY(says(makeSignal("S", 0, 65), "от 1 до 64"));
    DbcSignal s = makeSignal("S", 0, 8);
    s.factor = 0;
    QVERIFY(says(s, "Множитель"));
    s.factor = 1;
    s.minimum = 2;
    QVERIFY(says(s, "Минимум больше максимума"));
    s.minimum = 0;
    s.muxValue = 1;
    QVERIFY(says(s, "нет мультиплексора"));
    s.valueType = DbcSignal::ValueType::Float;
    s.muxValue = -1;
    QVERIFY(says(s, "32 бит"));
    const DbcMessage &mux = *db.message(0x200, true);
    DbcSignal second = makeSignal("Other", 40, 4);
    second.isMultiplexor = true;
    QVERIFY(DbcRules::checkSignal(mux, second).contains(QStringLiteral("уже есть мультиплексор")));
    QVERIFY(DbcRules::checkRemoveSignal(mux, "Sel").contains(QStringLiteral("переключает")));
    QVERIFY(DbcRules::checkRemoveSignal(mux, "Deep").isEmpty());
}

void TestDbcEdits::messageRules()
{
    const DbcDatabase db = base();
    DbcMessage m;
    m.id = 0x101;
    m.name = QStringLiteral("New");
    m.size = 8;
    QVERIFY(DbcRules::checkMessage(db, m).isEmpty());
    m.id = 100;
    QVERIFY(DbcRules::checkMessage(db, m).contains(QStringLiteral("уже занят сообщением Engine")));
    QVERIFY(DbcRules::checkMessage(db, m, 0).isEmpty()); // the message itself, changed
    m.id = 0x800;
    QVERIFY(DbcRules::checkMessage(db, m).contains(QStringLiteral("11 бит")));
    m.extended = true;
    QVERIFY(DbcRules::checkMessage(db, m).isEmpty());
    m.name = QStringLiteral("Engine");
    QVERIFY(DbcRules::checkMessage(db, m).contains(QStringLiteral("уже есть")));
    m.name = QStringLiteral("a b");
    QVERIFY(DbcRules::checkMessage(db, m).contains(QStringLiteral("не идентификатор C")));
    DbcMessage shrunk = *db.message(100, false);
    shrunk.size = 2;
    QVERIFY(DbcRules::checkMessage(db, shrunk, 0).contains(QStringLiteral("Temp не помещается")));
    shrunk.size = 65;
    QVERIFY(DbcRules::checkMessage(db, shrunk, 0).contains(QStringLiteral("от 0 до 64")));
}

void TestDbcEdits::editSignals()
{
    DbcDatabase db = base();
    DbcMessage mux = *db.message(0x200, true);
    // Renaming a switch keeps what it selects; the decoding follows at once.
    DbcSignal sub = mux.signalList[size_t(mux.signalIndex("Sub"))];
    sub.name = QStringLiteral("Page");
    mux.setSignal(QStringLiteral("Sub"), sub);
    const DbcSignal &deep = mux.signalList[size_t(mux.signalIndex("Deep"))];
    QCOMPARE(mux.signalList[size_t(deep.switchIndex)].name, QStringLiteral("Page"));
    const uint8_t frame[8] = {2, 3, 0x55, 0, 0, 0, 0, 0};
    QVERIFY(mux.isActive(mux.signalIndex("Deep"), frame, 8));
    const uint8_t other[8] = {2, 4, 0x55, 0, 0, 0, 0, 0};
    QVERIFY(!mux.isActive(mux.signalIndex("Deep"), other, 8));
    // Removing a signal before others keeps the ties by name, not by index.
    mux.setSignal(QString(), makeSignal("Spare", 32, 8));
    QVERIFY(mux.removeSignal(QStringLiteral("Sel")) == true);
    QVERIFY(!mux.isActive(mux.signalIndex("Deep"), frame, 8)); // its chain lost its root
    QVERIFY(!mux.removeSignal(QStringLiteral("Sel")));
    // A changed layout decodes at once.
    DbcMessage engine = *db.message(100, false);
    DbcSignal rpm = engine.signalList[0];
    rpm.startBit = 8;
    rpm.length = 8;
    engine.setSignal(QStringLiteral("Rpm"), rpm);
    double value = 0;
    const uint8_t data[8] = {0xFF, 40, 0, 0, 0, 0, 0, 0};
    QVERIFY(engine.signalList[0].decode(data, 8, &value));
    QCOMPARE(value, 10.0);
    // A multiplexor added later picks up the signals it selects.
    DbcSignal a = makeSignal("A", 32, 8);
    a.muxValue = 1;
    engine.setSignal(QString(), a);
    DbcSignal sel = makeSignal("Sel", 40, 8);
    sel.isMultiplexor = true;
    engine.setSignal(QString(), sel);
    const uint8_t one[8] = {0, 0, 0, 0, 9, 1, 0, 0};
    QVERIFY(engine.isActive(engine.signalIndex("A"), one, 8));
}

void TestDbcEdits::editMessages()
{
    DbcDatabase db = base();
    DbcMessage made;
    made.id = 0x123;
    made.name = QStringLiteral("Made");
    made.size = 4;
    made.setSignal(QString(), makeSignal("Bit", 3, 1));
    db.putMessage(made, 1);
    QCOMPARE(db.messagePosition(0x123, false), 1);
    QCOMPARE(db.message(0x200, true)->name, QStringLiteral("ExtMux"));
    QCOMPARE(db.removeMessage(100, false), 0);
    QCOMPARE(db.message(100, false), nullptr);
    QCOMPARE(db.messagePosition(0x123, false), 0);
    QCOMPARE(db.removeMessage(100, false), -1);
    made.comment = QStringLiteral("changed");
    db.putMessage(made);
    QCOMPARE(db.messages().size(), size_t(2));
    // What was edited is what gets written and read back.
    DbcDatabase again;
    again.read(DbcWriter(db).bytes());
    QVERIFY(again.errors().isEmpty());
    QCOMPARE(again.message(0x123, false)->comment, QStringLiteral("changed"));
    QCOMPARE(again.message(0x123, false)->signalList.front().startBit, 3);
    QCOMPARE(again.messages().front().name, QStringLiteral("Made"));
}

// A name a file gave, beginning with a digit, may stay as it is through any change; a name given
// anew must be a C identifier.
void TestDbcEdits::namesKeptFromFiles()
{
    DbcDatabase db;
    db.read("BU_: 1ECU Gateway\nBO_ 1275 2017_5: 8 1ECU\n"
            " SG_ 0_COUNTER : 0|4@1+ (1,0) [0|15] \"\" Gateway\n");
    QVERIFY(db.errors().isEmpty());
    const int position = db.messagePosition(1275, false);
    DbcMessage m = *db.message(1275, false);
    DbcSignal counter = m.signalList.front();
    counter.length = 8;
    QCOMPARE(DbcRules::checkSignal(m, counter, "0_COUNTER"), QString());
    counter.name = QStringLiteral("1_COUNTER");
    QVERIFY(DbcRules::checkSignal(m, counter, "0_COUNTER").contains("не идентификатор C"));
    QVERIFY(DbcRules::checkSignal(m, counter).contains("не идентификатор C"));
    m.comment = QStringLiteral("changed");
    QCOMPARE(DbcRules::checkMessage(db, m, position), QString());
    m.transmitter = QStringLiteral("2ECU");
    QVERIFY(DbcRules::checkMessage(db, m, position).contains("не идентификатор C"));
    m.transmitter = QStringLiteral("1ECU");
    m.name = QStringLiteral("2018_5");
    QVERIFY(DbcRules::checkMessage(db, m, position).contains("не идентификатор C"));
    m.name = QStringLiteral("2017_5");
    m.id = 1276; // a new message under an old name is a name given anew
    QVERIFY(DbcRules::checkMessage(db, m).contains("не идентификатор C"));
}

// A message made CAN FD by hand: only FD lengths past eight, and the VFrameFormat the field's
// tools read, defined when the file had none; made classic again, it says so.
void TestDbcEdits::fdMessages()
{
    DbcDatabase db = base();
    DbcMessage engine = *db.message(100, false);
    engine.size = 12;
    QVERIFY(DbcRules::checkMessage(db, engine, 0).contains(QStringLiteral("только CAN FD")));
    engine.fd = true;
    QVERIFY(DbcRules::checkMessage(db, engine, 0).isEmpty());
    engine.size = 10;
    QVERIFY(DbcRules::checkMessage(db, engine, 0).contains(QStringLiteral("12, 16, 20")));
    engine.size = 64;
    engine.setSignal(QString(), makeSignal("Far", 500, 12));
    QVERIFY(DbcRules::checkMessage(db, engine, 0).isEmpty());
    db.putMessage(engine);
    QVERIFY(db.message(100, false)->fd);
    const DbcAttributeDef format = db.attributeDefs().value(QStringLiteral("VFrameFormat"));
    QCOMPARE(format.type, DbcAttributeDef::Type::Enum);
    QCOMPARE(format.enumLabels.indexOf(QStringLiteral("StandardCAN_FD")), 14);
    QCOMPARE(format.enumLabels.indexOf(QStringLiteral("ExtendedCAN_FD")), 15);
    QByteArray written = DbcWriter(db).bytes();
    QVERIFY(written.contains("BO_ 100 Engine: 64 A"));
    QVERIFY(written.contains("BA_ \"VFrameFormat\" BO_ 100 14;"));
    QVERIFY(written.contains("BA_ \"BusType\" \"CAN FD\";"));
    DbcDatabase again;
    again.read(written);
    QVERIFY(again.errors().isEmpty());
    QVERIFY(again.message(100, false)->fd);
    double value = 0;
    uint8_t data[64] = {};
    data[62] = 0x50;
    data[63] = 0xAB;
    QVERIFY(again.message(100, false)->signalList.back().decode(data, 64, &value));
    QCOMPARE(value, double(0xAB5));
    // An FD message of eight bytes made classic; a length a file gave is kept through a change.
    DbcMessage ext = *db.message(0x200, true);
    ext.fd = true;
    db.putMessage(ext);
    QVERIFY(DbcWriter(db).bytes().contains("BA_ \"VFrameFormat\" BO_ 2147484160 15;"));
    ext = *db.message(0x200, true);
    ext.fd = false;
    db.putMessage(ext);
    QVERIFY(!db.message(0x200, true)->fd);
    QVERIFY(DbcWriter(db).bytes().contains("BA_ \"VFrameFormat\" BO_ 2147484160 1;"));
    DbcDatabase odd;
    odd.read("BO_ 5 Odd: 10 A\n");
    DbcMessage kept = *odd.message(5, false);
    QVERIFY(kept.fd);
    kept.comment = QStringLiteral("changed");
    QVERIFY(DbcRules::checkMessage(odd, kept, 0).isEmpty());
}

QTEST_GUILESS_MAIN(TestDbcEdits)
#include "tst_dbcedits.moc"
