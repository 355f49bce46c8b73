// SPDX-License-Identifier: GPL-3.0-or-later
// The DBC writer: read, write and read again gives the same database, writing is a fixpoint,
// encodings are kept, the converter merges files, and canmatrix reads what we write as it
// reads the file it came from.
#include "signals/dbcdatabase.h"
#include "signals/dbcwriter.h"
#include "support/testfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <limits>

class TestDbcWriter : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void keptForWriting();
    void numbersReadBack();
    void escapingAndEncoding();
    void converterMerges();
    void converterFailures();
    void canmatrixReadsTheSame_data();
    void canmatrixReadsTheSame();
    void canmatrixFdBothWays();
};

namespace {

// Names as real files have them: beginning with a digit.
const QByteArray DigitNames = "VERSION \"\"\nBU_: 1ECU Gateway\n"
                              "BO_ 1275 2017_5: 8 1ECU\n"
                              " SG_ 0_COUNTER : 0|4@1+ (1,0) [0|15] \"\" Gateway,1ECU\n"
                              " SG_ 4WD_Active : 4|1@1+ (1,0) [0|1] \"\" Gateway\n"
                              "BO_ 100 Normal: 2 Gateway\n"
                              " SG_ Mux M : 0|8@1+ (1,0) [0|255] \"\" 1ECU\n"
                              " SG_ 3rd_gear m0 : 8|8@1+ (1,0) [0|255] \"\" 1ECU\n"
                              "CM_ BO_ 1275 \"Named by its year\";\n"
                              "CM_ SG_ 1275 0_COUNTER \"Rolling counter\";\n"
                              "VAL_ 1275 0_COUNTER 0 \"zero\" 15 \"wrap\" ;\n";

// Every statement the reader keeps, with plain and extended multiplexing.
const QByteArray Everything = R"(VERSION "2.0 \"beta\""

NS_ :
	CM_
	BA_DEF_

BS_:

BU_: Engine Dash Gateway

VAL_TABLE_ Gears 0 "P" 1 "R" 2 "N" ;
VAL_TABLE_ OnOff 0 "Off" 1 "On" ;

BO_ 100 Engine: 8 Engine
 SG_ Rpm : 0|16@1+ (0.25,0) [0|16383.75] "rpm" Dash,Gateway
 SG_ Temp : 16|8@1- (0.1,-40.5) [-52.8|-27.7] "degC" Dash
 SG_ Ratio : 24|32@1- (1,0) [-3.4e+38|3.4e+38] "" Vector__XXX
 SG_ Tiny : 63|8@0+ (1e-07,0.30000000000000004) [0|2.55e-05] "" Gateway

BO_ 2566853172 Body: 8 Vector__XXX
 SG_ Speed : 7|16@0- (0.01,-5) [-300|300] "km/h" Dash
 SG_ Wide : 0|64@1+ (1,0) [0|1.8446744073709552e+19] "" Dash

BO_ 200 Muxed: 8 Dash
 SG_ Page M : 0|8@1+ (1,0) [0|255] "" Engine
 SG_ A m0 : 8|16@1+ (1,0) [0|65535] "" Engine
 SG_ B m1 : 8|16@1- (2,1) [-100|100] "V" Engine

BO_ 2147484160 ExtMux: 8 Gateway
 SG_ Sel M : 0|4@1+ (1,0) [0|15] "" Dash
 SG_ Sub m2M : 8|8@1+ (1,0) [0|255] "" Dash
 SG_ Deep m3 : 16|8@1+ (1,0) [0|255] "" Dash
 SG_ Ranged m5 : 24|8@1+ (1,0) [0|255] "" Dash
 SG_ Dbl : 0|64@1+ (1,0) [0|0] "" Dash

BO_ 3 Empty: 0 Engine

BO_TX_BU_ 100 : Engine,Gateway;
EV_ Mode: 0 [0|3] "" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX;

CM_ "Test network, with a \\ and \"quotes\"";
CM_ BU_ Dash "Instrument
cluster";
CM_ BO_ 100 "Engine state";
CM_ SG_ 100 Rpm "Crank speed";
CM_ SG_ 2566853172 Speed "Vehicle speed, \"filtered\"";
CM_ EV_ Mode "Operating mode";
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 10000;
BA_DEF_ SG_ "GenSigStartValue" FLOAT -1e9 1e9;
BA_DEF_ BO_ "GenMsgSendType" ENUM "Cyclic","Event";
BA_DEF_ BU_ "NodeAddress" HEX 0 255;
BA_DEF_ EV_ "EvFlag" INT 0 1;
BA_DEF_ "BusType" STRING;
BA_DEF_ "DBName" STRING;
BA_DEF_DEF_ "GenMsgCycleTime" 100;
BA_DEF_DEF_ "GenMsgSendType" "Cyclic";
BA_DEF_DEF_ "BusType" "";
BA_ "BusType" "CAN";
BA_ "DBName" "Test";
BA_ "NodeAddress" BU_ Engine 17;
BA_ "GenMsgCycleTime" BO_ 100 20;
BA_ "GenMsgSendType" BO_ 100 1;
BA_ "GenSigStartValue" SG_ 100 Rpm 3200;
BA_ "EvFlag" EV_ Mode 1;
VAL_ 100 Temp -1 "Error" 0 "Cold" ;
VAL_ 200 Page 0 "First" 1 "Second" ;
VAL_ 2566853172 Speed 32767 "Invalid" ;
SIG_VALTYPE_ 100 Ratio : 1;
SIG_VALTYPE_ 2147484160 Dbl : 2;
SG_MUL_VAL_ 2147484160 Sub Sel 2-2;
SG_MUL_VAL_ 2147484160 Deep Sub 3-3;
SG_MUL_VAL_ 2147484160 Ranged Sel 4-6, 9-11;
)";

// CAN FD as canmatrix and others write it: the frame format by index into the usual labels; a
// message longer than eight bytes is FD without it; J1939 groups stay what they are.
const QByteArray FdText = R"(VERSION ""
BU_: Ecu Gw
BO_ 291 Wide: 64 Ecu
 SG_ Far : 500|12@1+ (1,0) [0|4095] "" Gw
 SG_ Moto : 87|12@0- (0.5,0) [-1024|1023.5] "Nm" Gw
 SG_ Spill : 260|64@1+ (1,0) [0|0] "" Gw
BO_ 2166572391 ExtFd: 12 Ecu
 SG_ M : 71|16@0+ (1,0) [0|65535] "" Gw
BO_ 300 NoFormat: 20 Ecu
 SG_ X : 150|8@1+ (1,0) [0|255] "" Gw
BO_ 256 Classic: 8 Ecu
 SG_ C : 0|8@1+ (1,0) [0|255] "" Gw
BO_ 2348875518 J1939: 8 Ecu
 SG_ Load : 8|8@1+ (1,-125) [-125|130] "%" Gw
BA_DEF_ BO_ "VFrameFormat" ENUM  "StandardCAN","ExtendedCAN","reserved","J1939PG","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","reserved","StandardCAN_FD","ExtendedCAN_FD";
BA_DEF_  "BusType" STRING;
BA_ "BusType" "CAN FD";
BA_ "VFrameFormat" BO_ 291 14;
BA_ "VFrameFormat" BO_ 2166572391 15;
BA_ "VFrameFormat" BO_ 256 0;
BA_ "VFrameFormat" BO_ 2348875518 3;
)";

QString numberText(double value)
{
    return QString::number(value, 'g', 17);
}

QString hashText(const QHash<QString, QString> &hash)
{
    QStringList keys = hash.keys();
    std::sort(keys.begin(), keys.end());
    QStringList parts;
    for (const QString &key : keys)
        parts << key + QLatin1Char('=') + hash.value(key);
    return parts.join(QLatin1Char(';'));
}

QString tableText(const DbcValueTable &table)
{
    QStringList parts;
    for (const auto &entry : table.entries())
        parts << QString::number(entry.first) + QLatin1Char('=') + entry.second;
    return parts.join(QLatin1Char(';'));
}

QStringList signalText(const DbcSignal &s)
{
    QStringList ranges;
    for (const DbcSignal::Range &r : s.muxRanges)
        ranges << QStringLiteral("%1-%2").arg(r.low).arg(r.high);
    return {QStringLiteral("  SG %1 %2|%3 %4 %5 %6")
                .arg(s.name)
                .arg(s.startBit)
                .arg(s.length)
                .arg(int(s.byteOrder))
                .arg(s.isSigned)
                .arg(int(s.valueType)),
            QStringLiteral("   scale %1 %2 [%3|%4] %5")
                .arg(numberText(s.factor), numberText(s.offset), numberText(s.minimum),
                     numberText(s.maximum), s.unit),
            QStringLiteral("   to %1 comment %2").arg(s.receivers.join(','), s.comment),
            QStringLiteral("   values %1 attrs %2 start %3/%4")
                .arg(tableText(s.valueTable), hashText(s.attributes))
                .arg(s.hasStartValue)
                .arg(s.startValue),
            QStringLiteral("   mux %1 %2 %3 switch %4 ranges %5")
                .arg(s.isMultiplexor)
                .arg(s.muxValue)
                .arg(s.extendedMux)
                .arg(s.switchIndex)
                .arg(ranges.join(','))};
}

// Everything a database holds, in a form two databases can be compared by.
QStringList describe(const DbcDatabase &db)
{
    QStringList lines{QStringLiteral("version ") + db.version(),
                      QStringLiteral("comment ") + db.comment(),
                      QStringLiteral("attributes ") + hashText(db.networkAttributes())};
    for (const DbcNode &n : db.nodes())
        lines << QStringLiteral("BU %1 [%2] %3").arg(n.name, n.comment, hashText(n.attributes));
    QStringList tables = db.valueTables().keys();
    std::sort(tables.begin(), tables.end());
    for (const QString &t : tables)
        lines << QStringLiteral("VT %1 %2").arg(t, tableText(*db.valueTables().constFind(t)));
    QStringList defs = db.attributeDefs().keys();
    std::sort(defs.begin(), defs.end());
    for (const QString &name : defs) {
        const DbcAttributeDef &d = *db.attributeDefs().constFind(name);
        lines << QStringLiteral("DEF %1 %2 %3 %4 %5|%6 %7 %8")
                     .arg(name)
                     .arg(int(d.object))
                     .arg(int(d.type))
                     .arg(d.enumLabels.join(','), d.minimum, d.maximum)
                     .arg(d.hasDefault)
                     .arg(d.defaultValue);
    }
    for (const DbcEnvVar &v : db.envVars())
        lines << QStringLiteral("EV %1 {%2} [%3] %4")
                     .arg(v.name, v.definition, v.comment, hashText(v.attributes));
    for (const DbcMessage &m : db.messages()) {
        lines << QStringLiteral("BO %1 %2 %3 %4 %5 tx %6 [%7] %8 cycle %9 fd %10 j1939 %11")
                     .arg(m.id)
                     .arg(m.extended)
                     .arg(m.name)
                     .arg(m.size)
                     .arg(m.transmitter, m.senders.join(','), m.comment, hashText(m.attributes))
                     .arg(m.cycleTimeMs)
                     .arg(m.fd)
                     .arg(m.j1939);
        for (const DbcSignal &s : m.signalList)
            lines << signalText(s);
    }
    return lines;
}

DbcDatabase readText(const QByteArray &text)
{
    DbcDatabase db;
    db.read(text, QStringLiteral("test.dbc"));
    return db;
}

QStringList errorTexts(const DbcDatabase &db)
{
    QStringList texts;
    for (const DbcError &e : db.errors())
        texts << e.text;
    return texts;
}

int runConvert(const QStringList &arguments, QByteArray *errors = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(QUORVEX_CONVERT_PATH), arguments);
    if (!process.waitForFinished(60000))
        return -1;
    if (errors)
        *errors = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// canmatrix's view of a DBC file: every message and signal with what a user of it sees. Numbers
// are compared as the doubles they stand for: canmatrix keeps the decimal text.
const QByteArray CanmatrixDump = R"(
import json, sys
import canmatrix.formats

def dump(path):
    dbs = canmatrix.formats.loadp(path, import_type="dbc")
    db = list(dbs.values())[0]
    frames = []
    for f in sorted(db.frames, key=lambda f: (f.arbitration_id.id, f.arbitration_id.extended)):
        sigs = []
        for s in f.signals:
            sigs.append([s.name, s.get_startbit(bit_numbering=1, start_little=True), s.size,
                         s.is_little_endian, s.is_signed, float(s.factor), float(s.offset),
                         float(s.min), float(s.max), s.unit,
                         sorted([str(k), v] for k, v in s.values.items()), s.comment or ""])
        frames.append([f.arbitration_id.id, f.arbitration_id.extended, f.name, f.is_fd, f.size,
                       f.comment or "", sorted(sigs)])
    return frames

print(json.dumps([dump(sys.argv[1]), dump(sys.argv[2])]))
)";

// canmatrix on CAN FD, both ways. It reads the file we wrote (argv[1]) and decodes a frame of
// each message; then it writes a file of its own (argv[2]) and encodes values into frames of it.
// Raw values go as decimal text: JSON numbers would lose the low bits of 64-bit ones.
const QByteArray CanmatrixFd = R"(
import json, sys
import canmatrix, canmatrix.formats

data = bytes((i * 151 + 89) & 0xFF for i in range(64))
db = list(canmatrix.formats.loadp(sys.argv[1], import_type="dbc").values())[0]
read = {}
for f in db.frames:
    decoded = f.decode(data[:f.size])
    read[str(f.arbitration_id.id)] = [f.is_fd, f.size,
                                      {k: str(int(v.raw_value)) for k, v in decoded.items()}]

cm = canmatrix.CanMatrix()
def frame(name, ident, extended, size, signals, values):
    f = canmatrix.Frame(name, arbitration_id=canmatrix.ArbitrationId(ident, extended=extended),
                        size=size, is_fd=True)
    for n, start, length, little in signals:
        f.add_signal(canmatrix.Signal(n, start_bit=start, size=length, is_little_endian=little,
                                      is_signed=False))
    cm.add_frame(f)
    return [ident, values, f]
made = [frame("Wide", 0x321, False, 64,
              [("Low", 0, 8, True), ("Mid", 200, 20, True), ("Moto", 300, 14, False),
               ("End", 496, 16, True)],
              {"Low": 0x5A, "Mid": 0xABCDE, "Moto": 0x2A5A, "End": 0xBEEF}),
        frame("Ext", 0x1ABCDE, True, 24, [("Q", 100, 32, False)], {"Q": 0x12345678})]
canmatrix.formats.dumpp({"": cm}, sys.argv[2])
theirs = [[ident, f.encode(values).hex(), {k: str(v) for k, v in values.items()}]
          for ident, values, f in made]
print(json.dumps({"read": read, "theirs": theirs}))
)";

QString rawText(const DbcSignal &s, const uint8_t *data)
{
    const uint64_t raw = s.bits(data);
    return s.isSigned ? QString::number(s.integer(raw)) : QString::number(raw);
}

} // namespace

void TestDbcWriter::roundTrip_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("every statement") << Everything;
    QTest::newRow("names beginning with digits") << DigitNames;
    QTest::newRow("empty") << QByteArray("VERSION \"\"\nBU_:\n");
    QTest::newRow("CAN FD") << FdText;
    QByteArray crlf = Everything;
    crlf.replace("\n", "\r\n");
    QTest::newRow("CRLF lines") << crlf;
}

void TestDbcWriter::roundTrip()
{
    QFETCH(QByteArray, text);
    const DbcDatabase original = readText(text);
    QVERIFY2(original.errors().isEmpty(), qPrintable(errorTexts(original).join('\n')));
    const QByteArray written = DbcWriter(original).bytes();
    const DbcDatabase again = readText(written);
    QVERIFY2(again.errors().isEmpty(), qPrintable(errorTexts(again).join('\n')));
    QCOMPARE(describe(again), describe(original));
    QCOMPARE(DbcWriter(again).bytes(), written);
    QCOMPARE(DbcWriter(original).bytes(), written); // no state carried from one write to the next
}

// What the reader keeps only so that a saved file carries it.
void TestDbcWriter::keptForWriting()
{
    const DbcDatabase db = readText(Everything);
    QCOMPARE(db.message(100, false)->senders, QStringList({"Engine", "Gateway"}));
    QCOMPARE(db.envVars().size(), 1);
    QCOMPARE(db.envVars().front().definition,
             QStringLiteral("EV_ Mode: 0 [0|3] \"\" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX"));
    QCOMPARE(db.envVars().front().comment, QStringLiteral("Operating mode"));
    QCOMPARE(db.envVars().front().attributes.value("EvFlag"), QStringLiteral("1"));
    const DbcAttributeDef def = db.attributeDefs().value("GenSigStartValue");
    QVERIFY(def.hasRange);
    QCOMPARE(def.minimum + ' ' + def.maximum, QStringLiteral("-1e9 1e9"));
    const QByteArray written = DbcWriter(db).bytes();
    QVERIFY(written.contains("BO_TX_BU_ 100 : Engine,Gateway;"));
    QVERIFY(written.contains("BA_ \"GenMsgSendType\" BO_ 100 1;"));
    QVERIFY(written.contains("BA_DEF_DEF_ \"GenMsgSendType\" \"Cyclic\";"));
    QVERIFY(written.contains(" SG_ Sub m2M : 8|8@1+"));
    QVERIFY(written.contains("SG_MUL_VAL_ 2147484160 Ranged Sel 4-6, 9-11;"));
}

void TestDbcWriter::numbersReadBack()
{
    const double values[] = {0.1,
                             1.0 / 3,
                             -1638.35,
                             1e-300,
                             5e-324,
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::max(),
                             123456789012345678.0,
                             0.30000000000000004,
                             -0.0};
    for (double value : values) {
        DbcDatabase db = readText("BO_ 1 M: 8 X\n SG_ S : 0|8@1+ (" +
                                  DbcWriter::number(value).toLatin1() + ",0) [0|0] \"\" X\n");
        QVERIFY2(db.errors().isEmpty(), qPrintable(DbcWriter::number(value)));
        const double read = db.message(1, false)->signalList.front().factor;
        QVERIFY2(read == value && std::signbit(read) == std::signbit(value),
                 qPrintable(DbcWriter::number(value)));
    }
    QCOMPARE(DbcWriter::number(100), QStringLiteral("100"));
    QCOMPARE(DbcWriter::number(0.25), QStringLiteral("0.25"));
}

void TestDbcWriter::escapingAndEncoding()
{
    // A Windows-1252 file stays in its code page; a UTF-8 one stays UTF-8.
    const QByteArray windows = "VERSION \"\"\nBU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|0] "
                               "\"\xB0"
                               "C\" A\nCM_ SG_ 1 S \"Temp\xE9rature \\\\ \\\"x\\\"\";\n";
    const DbcDatabase cp = readText(windows);
    QCOMPARE(cp.encoding(), DbcText::Encoding::Windows1252);
    DbcText::Encoding used = DbcText::Encoding::Utf8;
    const QByteArray cpWritten = DbcWriter(cp).bytes(&used);
    QCOMPARE(used, DbcText::Encoding::Windows1252);
    QVERIFY(cpWritten.contains("\"\xB0"
                               "C\""));
    QVERIFY(cpWritten.contains("Temp\xE9rature \\\\ \\\"x\\\"\""));
    const DbcDatabase cpAgain = readText(cpWritten);
    const DbcSignal &s = cpAgain.message(1, false)->signalList.front();
    QCOMPARE(s.unit, QStringLiteral("°C"));
    QCOMPARE(s.comment, QStringLiteral("Température \\ \"x\""));

    const QByteArray utf8 = QStringLiteral("BO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|0] \"°C\" A\n"
                                           "CM_ BO_ 1 \"Скорость\";\n")
                                .toUtf8();
    const DbcDatabase u = readText(utf8);
    QCOMPARE(u.encoding(), DbcText::Encoding::Utf8);
    QVERIFY(DbcWriter(u).bytes().contains(QStringLiteral("\"Скорость\"").toUtf8()));

    // Text the code page cannot hold goes out as UTF-8 rather than as question marks.
    DbcDatabase mixed = readText(windows);
    mixed.read(QStringLiteral("CM_ \"Сеть\";\n").toUtf8());
    QCOMPARE(mixed.encoding(), DbcText::Encoding::Utf8);
    QCOMPARE(readText(DbcWriter(mixed).bytes()).comment(), QStringLiteral("Сеть"));
}

void TestDbcWriter::converterMerges()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.dbc"));
    const QString b = dir.filePath(QStringLiteral("b.dbc"));
    const QString out = dir.filePath(QStringLiteral("out.dbc"));
    QVERIFY(writeFile(a, Everything));
    QVERIFY(writeFile(b, "BU_: Brake\nBO_ 100 EngineNew: 4 Brake\n SG_ X : 0|8@1+ (1,0) [0|0] "
                         "\"\" Brake\nBO_ 5 Extra: 1 Brake\n"));
    QByteArray errors;
    QCOMPARE(runConvert({"--dbc", a, "--dbc", b, "--write-dbc", out}, &errors), 0);
    DbcDatabase expected = readText(Everything);
    expected.read(readFile(b));
    QCOMPARE(describe(readText(readFile(out))), describe(expected));
    QCOMPARE(readText(readFile(out)).message(100, false)->name, QStringLiteral("EngineNew"));
    QVERIFY(errors.contains("0x64")); // the replaced message is reported
}

void TestDbcWriter::converterFailures()
{
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.dbc"));
    QVERIFY(writeFile(a, Everything));
    QByteArray errors;
    QCOMPARE(
        runConvert({"--dbc", dir.filePath("missing.dbc"), "--write-dbc", dir.filePath("o.dbc")},
                   &errors),
        1);
    QVERIFY(errors.contains("missing.dbc"));
    QVERIFY(!QFile::exists(dir.filePath("o.dbc")));
    QCOMPARE(runConvert({"--dbc", a, "--write-dbc", dir.filePath("no/such/dir/o.dbc")}, &errors),
             1);
    QVERIFY(errors.contains("cannot write"));
    QCOMPARE(runConvert({"--write-dbc", dir.filePath("o.dbc")}, &errors), 2);
}

void TestDbcWriter::canmatrixReadsTheSame_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("every statement") << Everything;
    QTest::newRow("names beginning with digits") << DigitNames;
    // Motorola signals across bytes, long and signed, the forms most often written wrong.
    QTest::newRow("motorola") << QByteArray(
        "VERSION \"\"\nBU_: A B\nBO_ 1280 Motor: 8 A\n"
        " SG_ M1 : 7|12@0+ (0.5,-10) [-10|2037.5] \"Nm\" B\n"
        " SG_ M2 : 11|20@0- (0.001,0) [-524.288|524.287] \"\" B\n"
        " SG_ M3 : 39|32@0+ (1,0) [0|4294967295] \"\" B\n"
        " SG_ I1 : 60|4@1+ (1,0) [0|15] \"\" B\n"
        "BO_ 2348875518 J1939: 8 B\n SG_ Load : 8|8@1+ (1,-125) [-125|130] \"%\" A\n"
        "CM_ SG_ 1280 M2 \"twenty bits\";\nVAL_ 1280 I1 0 \"idle\" 15 \"n/a\" ;\n");
    QTest::newRow("CAN FD") << FdText;
}

void TestDbcWriter::canmatrixReadsTheSame()
{
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.dbc"));
    const QString written = dir.filePath(QStringLiteral("written.dbc"));
    const QString script = dir.filePath(QStringLiteral("dump.py"));
    QVERIFY(writeFile(source, text) && writeFile(script, CanmatrixDump));
    QString why;
    QVERIFY2(DbcWriter::save(readText(text), written, &why), qPrintable(why));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {script, source, written});
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QJsonArray both = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QCOMPARE(both.size(), 2);
    QVERIFY(!both.at(0).toArray().isEmpty());
    QCOMPARE(both.at(1).toArray(), both.at(0).toArray());
}

// Messages made CAN FD here (the file had no frame format at all) with signals past bit 63:
// canmatrix takes them as FD frames of their length and decodes every signal to the raw value we
// decode. A file canmatrix writes reads here as FD, and its encoded frames decode to the values it
// encoded.
void TestDbcWriter::canmatrixFdBothWays()
{
    DbcDatabase db = readText("VERSION \"\"\nBU_: Ecu Gw\nBO_ 256 Classic: 8 Ecu\n"
                              " SG_ C : 4|8@1- (1,0) [0|0] \"\" Gw\n");
    const DbcDatabase fd = readText(FdText);
    for (const uint32_t id : {291u, 0x1234567u}) {
        DbcMessage made = *fd.message(id, id > 0x7FF);
        made.attributes.clear(); // made FD by hand, not by the attribute
        QVERIFY(made.fd);
        db.putMessage(made);
    }
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.dbc"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.dbc"));
    const QString script = dir.filePath(QStringLiteral("fd.py"));
    QString why;
    QVERIFY2(DbcWriter::save(db, ours, &why), qPrintable(why));
    QVERIFY(writeFile(script, CanmatrixFd));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {script, ours, theirs});
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QJsonObject result = QJsonDocument::fromJson(python.readAllStandardOutput()).object();

    uint8_t data[64];
    for (int i = 0; i < 64; ++i)
        data[i] = uint8_t(i * 151 + 89);
    const QJsonObject read = result.value("read").toObject();
    QCOMPARE(read.size(), int(db.messages().size()));
    for (const DbcMessage &m : db.messages()) {
        const QJsonArray seen = read.value(QString::number(m.id)).toArray();
        QCOMPARE(seen.at(0).toBool(), m.fd);
        QCOMPARE(seen.at(1).toInt(), m.size);
        const QJsonObject values = seen.at(2).toObject();
        QCOMPARE(values.size(), int(m.signalList.size()));
        for (const DbcSignal &s : m.signalList)
            QCOMPARE(values.value(s.name).toString(), rawText(s, data));
    }

    DbcDatabase back;
    QVERIFY(back.load(theirs));
    QVERIFY2(back.errors().isEmpty(), qPrintable(errorTexts(back).join('\n')));
    for (const QJsonValue &each : result.value("theirs").toArray()) {
        const QJsonArray frame = each.toArray();
        const uint32_t id = uint32_t(frame.at(0).toInt());
        const DbcMessage *m = back.message(id, id > 0x7FF);
        QVERIFY(m && m->fd);
        const QByteArray bytes = QByteArray::fromHex(frame.at(1).toString().toLatin1());
        QCOMPARE(bytes.size(), m->size);
        uint8_t encoded[64] = {};
        std::memcpy(encoded, bytes.constData(), size_t(bytes.size()));
        const QJsonObject values = frame.at(2).toObject();
        QCOMPARE(values.size(), int(m->signalList.size()));
        for (const DbcSignal &s : m->signalList) {
            QVERIFY(s.isPresent(bytes.size()));
            QCOMPARE(rawText(s, encoded), values.value(s.name).toString());
        }
    }
}

QTEST_GUILESS_MAIN(TestDbcWriter)
#include "tst_dbcwriter.moc"
