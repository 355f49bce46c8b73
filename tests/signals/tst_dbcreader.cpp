// SPDX-License-Identifier: GPL-3.0-or-later
// What the DBC reader takes from a file: every statement kind, odd order, encodings, broken
// statements with their line numbers, several files into one database.
#include "signals/dbcdatabase.h"

#include <QTemporaryDir>
#include <QtTest>

// Declared ahead of the DBC text: moc does not read raw strings that span lines.
class TestDbcReader : public QObject
{
    Q_OBJECT

private slots:
    void network();
    void messagesAndSignals();
    void commentsAttributesValues();
    void encodings_data();
    void encodings();
    void brokenStatements();
    void namesBeginningWithDigits();
    void severalFiles();
};

namespace {

// Line numbers matter below: keep the lines in place.
const QByteArray Network = R"(VERSION "1.2"
CM_ SG_ 2566853172 Speed "Vehicle speed, \"filtered\"
over 100 ms";
NS_ :
	NS_DESC_
	CM_
	BA_DEF_
BS_:
BU_: Engine Dash
 Gateway
VAL_TABLE_ Gears 0 "P" 1 "R" 2 "N" ;
BA_ "GenMsgCycleTime" BO_ 100 20;
BO_ 100 Engine: 8 Engine
 SG_ Rpm : 0|16@1+ (0.25,0) [0|16383.75] "rpm" Dash,Gateway
 SG_ Gear : 16|3@1+ (1,0) [0|7] "" Dash Gateway
BO_ 2566853172 Body: 8 Vector__XXX
 SG_ Speed : 7|16@0- (0.01,-5) [-300|300] "km/h" Dash
BO_ 2304 BigPlain: 2 Dash
EV_ Env: 0 [0|0] "" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX;
BO_TX_BU_ 100 : Engine,Gateway;
SIG_GROUP_ 100 Group 1 : Rpm Gear;
FOO_ unknown words; skipped
CM_ "Test network";
CM_ BU_ Dash "Instrument
cluster";
CM_ BO_ 100 "Engine state";
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 10000;
BA_DEF_ SG_ "GenSigStartValue" FLOAT -1e9 1e9;
BA_DEF_ BO_ "GenMsgSendType" ENUM "Cyclic","Event";
BA_DEF_ "BusType" STRING;
BA_DEF_DEF_ "GenMsgCycleTime" 100;
BA_DEF_DEF_ "GenMsgSendType" "Cyclic";
BA_ "GenSigStartValue" SG_ 100 Rpm 3200;
BA_ "GenMsgSendType" BO_ 100 1;
BA_ "BusType" "CAN";
VAL_ 100 Gear 0 "P" 1 "R" 2 "N" 3 "D" -1 "Error" ;
)";

const DbcSignal *signalOf(const DbcDatabase &db, uint32_t id, bool extended, const char *name)
{
    const DbcMessage *message = db.message(id, extended);
    const int index = message ? message->signalIndex(QString::fromLatin1(name)) : -1;
    return index < 0 ? nullptr : &message->signalList[size_t(index)];
}

QStringList errorTexts(const DbcDatabase &db)
{
    QStringList texts;
    for (const DbcError &e : db.errors())
        texts << e.text;
    return texts;
}

} // namespace

void TestDbcReader::network()
{
    DbcDatabase db;
    db.read(Network);
    QCOMPARE(errorTexts(db), QStringList());
    QCOMPARE(db.version(), QStringLiteral("1.2"));
    QStringList nodes;
    for (const DbcNode &node : db.nodes())
        nodes << node.name;
    QCOMPARE(nodes, QStringList({"Engine", "Dash", "Gateway"}));
    QCOMPARE(db.comment(), QStringLiteral("Test network"));
    QCOMPARE(db.networkAttributes().value("BusType"), QStringLiteral("CAN"));
    QCOMPARE(*db.valueTables().value("Gears").text(1), QStringLiteral("R"));
}

void TestDbcReader::messagesAndSignals()
{
    DbcDatabase db;
    db.read(Network);
    QCOMPARE(int(db.messages().size()), 3);
    // 2566853172 = 0x98FF1234: bit 31 marks a 29-bit id 0x18FF1234.
    const DbcMessage *body = db.message(0x18FF1234, true);
    QVERIFY(body && !db.message(0x18FF1234, false));
    QCOMPARE(body->transmitter, QString());
    // 2304 = 0x900 without bit 31 does not fit 11 bits: a 29-bit id.
    QVERIFY(db.message(0x900, true) && !db.message(0x900, false));
    const DbcSignal *speed = signalOf(db, 0x18FF1234, true, "Speed");
    QVERIFY(speed);
    QCOMPARE(speed->byteOrder, DbcSignal::ByteOrder::Motorola);
    QVERIFY(speed->isSigned);
    QCOMPARE(speed->factor, 0.01);
    QCOMPARE(speed->offset, -5.0);
    QCOMPARE(speed->minimum, -300.0);
    QCOMPARE(speed->maximum, 300.0);
    QCOMPARE(speed->unit, QStringLiteral("km/h"));
    const DbcSignal *rpm = signalOf(db, 100, false, "Rpm");
    QCOMPARE(rpm->receivers, QStringList({"Dash", "Gateway"}));
    QCOMPARE(signalOf(db, 100, false, "Gear")->receivers, QStringList({"Dash", "Gateway"}));
}

void TestDbcReader::commentsAttributesValues()
{
    DbcDatabase db;
    db.read(Network);
    // The comment comes before its message, with escaped quotes, over two lines.
    QCOMPARE(signalOf(db, 0x18FF1234, true, "Speed")->comment,
             QStringLiteral("Vehicle speed, \"filtered\"\nover 100 ms"));
    QCOMPARE(db.node("Dash")->comment, QStringLiteral("Instrument\ncluster"));
    const DbcMessage *engine = db.message(100, false);
    QCOMPARE(engine->comment, QStringLiteral("Engine state"));
    // Its own cycle time, given before the BO_ and the BA_DEF_; the other takes the default.
    QCOMPARE(engine->cycleTimeMs, 20);
    QCOMPARE(db.message(0x18FF1234, true)->cycleTimeMs, 100);
    QCOMPARE(engine->attributes.value("GenMsgSendType"), QStringLiteral("Event"));
    const DbcSignal *rpm = signalOf(db, 100, false, "Rpm");
    QVERIFY(rpm->hasStartValue);
    QCOMPARE(rpm->startValue, 3200.0);
    QVERIFY(!signalOf(db, 100, false, "Gear")->hasStartValue);
    const DbcSignal *gear = signalOf(db, 100, false, "Gear");
    QCOMPARE(*gear->valueText(3), QStringLiteral("D"));
    QVERIFY(!gear->valueText(5));
}

void TestDbcReader::encodings_data()
{
    QTest::addColumn<QByteArray>("unit");
    QTest::newRow("utf-8") << QByteArray("\xC2\xB0"
                                         "C");
    QTest::newRow("utf-8 with byte order mark") << QByteArray("\xC2\xB0"
                                                              "C");
    QTest::newRow("windows-1252") << QByteArray("\xB0"
                                                "C");
}

void TestDbcReader::encodings()
{
    QFETCH(QByteArray, unit);
    QByteArray text = "BO_ 1 M: 8 X\n SG_ T : 0|8@1+ (1,0) [0|0] \"" + unit + "\" X\n";
    if (QByteArray(QTest::currentDataTag()).contains("mark"))
        text.prepend("\xEF\xBB\xBF");
    DbcDatabase db;
    db.read(text);
    QCOMPARE(errorTexts(db), QStringList());
    QCOMPARE(signalOf(db, 1, false, "T")->unit, QString::fromUtf8("\xC2\xB0"
                                                                  "C"));
}

void TestDbcReader::brokenStatements()
{
    const QByteArray text = "BO_ 1 M: 8 X\n"                        // 1
                            " SG_ A : 0|8@1+ (1,0) [0|0] \"\" X\n"  // 2
                            " SG_ B : 8 8@1+ (1,0) [0|0] \"\" X\n"  // 3: no '|'
                            " SG_ C : 16|8@1+ (1,0) [0|0] \"\" X\n" // 4
                            "BO_ x N: 8 X\n"                        // 5: no id
                            " SG_ D : 0|8@1+ (1,0) [0|0] \"\" X\n"  // 6: goes with it
                            "VAL_ 1 A 0 \"zero\" 1 ;\n"             // 7: no text
                            "CM_ BO_ 7 \"no such message\";\n"      // 8
                            "SG_MUL_VAL_ 1 C A 3-1;\n"              // 9: reversed range
                            "CM_ SG_ 1 C \"unterminated\n"          // 10
                            "BO_ 2 Later: 8 X\n";                   // 11
    DbcDatabase db;
    db.read(text);
    QCOMPARE(errorTexts(db), QStringList({
                                 "строка 3: неверное описание сигнала",
                                 "строка 5: неверное описание сообщения",
                                 "строка 7: неверное описание значений сигнала",
                                 "строка 8: сообщение 0x7 не описано",
                                 "строка 9: неверное описание мультиплексирования",
                                 "строка 10: неверный комментарий",
                             }));
    QVERIFY(db.errors().at(3).warning && !db.errors().at(0).warning);
    const DbcMessage *message = db.message(1, false);
    QCOMPARE(int(message->signalList.size()), 2);
    QVERIFY(message->signalIndex("C") >= 0);
    QCOMPARE(db.message(2, false), nullptr); // swallowed by the unterminated string
}

// Real files name messages, signals and nodes with a leading digit; they are read as written, and
// what is no name or number still fails with its line.
void TestDbcReader::namesBeginningWithDigits()
{
    const QByteArray text = "BU_: 1ECU Gateway\n"                                     // 1
                            "BO_ 1275 2017_5: 8 1ECU\n"                               // 2
                            " SG_ 0_COUNTER : 0|4@1+ (1,0) [0|15] \"\" Gateway,2ND\n" // 3
                            " SG_ 3rd_gear m0 : 8|8@1+ (1,0) [0|255] \"\" Gateway\n"  // 4
                            " SG_ Mux M : 16|8@1+ (1,0) [0|255] \"\" Gateway\n"       // 5
                            "BO_ 12x3 Bad: 8 1ECU\n"                                  // 6
                            "BO_ 1276 Next: 8 1ECU\n"                                 // 7
                            " SG_ 4WD : 0|1@1+ (1,0) [0|1.5e1] \"\" 1ECU\n"           // 8
                            " SG_ Broken : 8|8@1+ (1,0) [0|1x] \"\" 1ECU\n"           // 9
                            "CM_ SG_ 1275 0_COUNTER \"rolling\";\n"                   // 10
                            "VAL_ 1275 0_COUNTER 0 \"zero\" 15 \"wrap\" ;\n"          // 11
                            "BA_DEF_ SG_ \"Start\" INT 0 100;\n"                      // 12
                            "BA_ \"Start\" SG_ 1275 0_COUNTER 0x3;\n";                // 13
    DbcDatabase db;
    db.read(text);
    QCOMPARE(errorTexts(db), QStringList({"строка 6: неверное описание сообщения",
                                          "строка 9: неверное описание сигнала"}));
    const DbcMessage *message = db.message(1275, false);
    QVERIFY(message);
    QCOMPARE(message->name, QStringLiteral("2017_5"));
    QCOMPARE(message->transmitter, QStringLiteral("1ECU"));
    const DbcSignal *counter = signalOf(db, 1275, false, "0_COUNTER");
    QVERIFY(counter);
    QCOMPARE(counter->receivers, QStringList({"Gateway", "2ND"}));
    QCOMPARE(counter->comment, QStringLiteral("rolling"));
    QVERIFY(counter->valueTable.text(15));
    QCOMPARE(*counter->valueTable.text(15), QStringLiteral("wrap"));
    QCOMPARE(counter->attributes.value("Start"), QStringLiteral("0x3"));
    QCOMPARE(signalOf(db, 1275, false, "3rd_gear")->muxValue, qint64(0));
    QCOMPARE(signalOf(db, 1276, false, "4WD")->maximum, 15.0);
    QCOMPARE(db.nodes().front().name, QStringLiteral("1ECU"));
}

void TestDbcReader::severalFiles()
{
    QTemporaryDir dir;
    QFile second(dir.filePath("second.dbc"));
    QVERIFY(second.open(QIODevice::WriteOnly));
    second.write("\nBO_ 1 Renamed: 2 X\nBO_ 3 Added: 1 X\n");
    second.close();
    DbcDatabase db;
    db.read("BO_ 1 First: 8 X\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" X\n", "first.dbc");
    QVERIFY(db.load(second.fileName()));
    QVERIFY(!db.load(dir.filePath("missing.dbc")));
    QCOMPARE(db.message(1, false)->name, QStringLiteral("Renamed"));
    QVERIFY(db.message(1, false)->signalList.empty());
    QVERIFY(db.message(3, false));
    QCOMPARE(db.errors().size(), 2);
    QCOMPARE(db.errors().at(0).text,
             QStringLiteral("строка 2: сообщение 0x1 описано повторно, берётся новое описание"));
    QCOMPARE(db.errors().at(0).file, second.fileName());
    QCOMPARE(db.errors().at(1).line, 0);
}

QTEST_GUILESS_MAIN(TestDbcReader)
#include "tst_dbcreader.moc"
