// SPDX-License-Identifier: GPL-3.0-or-later
// DBC messages marked as J1939 parameter groups (VFrameFormat "J1939PG") take the frames of
// their PGN from any source: in the database lookup, after edits, in the decoded CSV and in
// signal triggers; everything else still matches by its exact identifier. canmatrix reads the
// same groups from the same file.
#include "capture/triggerrule.h"
#include "capture/triggerset.h"
#include "diagnostics/j1939id.h"
#include "signals/dbcdatabase.h"
#include "signals/decodedcsvwriter.h"
#include "support/testfiles.h"
#include "support/testpackets.h"

#include <QBuffer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// EEC1 from FE; TSC1 to 00 and to 0F (PDU1); CCVS from FE and from 0B; a proprietary group and
// an 11-bit message that are no J1939 groups.
const QByteArray Groups = R"(VERSION ""
BU_: Engine Brake Tester
BO_ 2364540158 EEC1: 8 Engine
 SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" Vector__XXX
BO_ 2348810494 TSC1: 8 Tester
 SG_ RequestedSpeed : 8|16@1+ (0.125,0) [0|8031.875] "rpm" Vector__XXX
BO_ 2348814334 TSC1_Retarder: 8 Tester
 SG_ RequestedTorque : 24|8@1+ (1,-125) [-125|125] "%" Vector__XXX
BO_ 2566844926 CCVS: 8 Brake
 SG_ WheelSpeed : 8|16@1+ (0.00390625,0) [0|250.996] "km/h" Vector__XXX
BO_ 2566844683 CCVS_Brake: 8 Brake
 SG_ BrakeSwitch : 28|2@1+ (1,0) [0|3] "" Vector__XXX
BO_ 2566853374 Proprietary: 8 Engine
 SG_ Raw : 0|8@1+ (1,0) [0|255] "" Vector__XXX
BO_ 256 Plain: 8 Engine
 SG_ P : 0|8@1+ (1,0) [0|255] "" Vector__XXX
BA_DEF_ BO_ "VFrameFormat" ENUM "StandardCAN","ExtendedCAN","reserved","J1939PG";
BA_DEF_DEF_ "VFrameFormat" "StandardCAN";
BA_ "VFrameFormat" BO_ 2364540158 3;
BA_ "VFrameFormat" BO_ 2348810494 3;
BA_ "VFrameFormat" BO_ 2348814334 3;
BA_ "VFrameFormat" BO_ 2566844926 3;
BA_ "VFrameFormat" BO_ 2566844683 3;
BA_ "VFrameFormat" BO_ 2566853374 1;
)";

DbcDatabase database(const QByteArray &text)
{
    DbcDatabase db;
    db.read(text);
    return db;
}

QString nameOf(const DbcDatabase &db, uint32_t id, bool extended)
{
    const DbcMessage *m = db.message(id, extended);
    return m ? m->name : QString();
}

TimedPacket extendedFrame(qint64 time, uint32_t id, const char *hex)
{
    return timedFrame(time, id, true, QByteArray::fromHex(hex));
}

// canmatrix's view: each frame's name, whether it is a J1939 group and its PGN.
const QByteArray CanmatrixGroups = R"(
import json, sys
import canmatrix.formats
db = list(canmatrix.formats.loadp(sys.argv[1], import_type="dbc").values())[0]
out = []
for f in db.frames:
    a = f.arbitration_id
    out.append([f.name, bool(f.is_j1939), a.pgn if a.extended else -1])
print(json.dumps(out))
)";

} // namespace

class TestDbcJ1939 : public QObject
{
    Q_OBJECT

private slots:
    void framesMatchByPgn_data()
    {
        QTest::addColumn<uint>("id");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QString>("expected");
        QTest::newRow("its own identifier") << 0x0CF004FEu << true << "EEC1";
        QTest::newRow("another source") << 0x0CF00400u << true << "EEC1";
        QTest::newRow("another priority") << 0x18F00403u << true << "EEC1";
        QTest::newRow("data page 1 is another PGN") << 0x0DF00400u << true << "";
        QTest::newRow("PDU1 to the written destination") << 0x0C000003u << true << "TSC1";
        QTest::newRow("PDU1 to another written one") << 0x0C000F03u << true << "TSC1_Retarder";
        QTest::newRow("PDU1 to one not written") << 0x0C002103u << true << "TSC1";
        QTest::newRow("exact identifier first") << 0x18FEF10Bu << true << "CCVS_Brake";
        QTest::newRow("else the first of the PGN") << 0x18FEF117u << true << "CCVS";
        QTest::newRow("not a J1939 group") << 0x18FF1203u << true << "";
        QTest::newRow("still by its identifier") << 0x18FF12FEu << true << "Proprietary";
        QTest::newRow("another PGN") << 0x18FEF200u << true << "";
        QTest::newRow("11-bit") << 0x100u << false << "Plain";
        QTest::newRow("11-bit, not J1939") << 0x0FEu << false << "";
        QTest::newRow("29-bit 0x100: TSC1 to 01") << 0x100u << true << "TSC1";
    }
    void framesMatchByPgn()
    {
        QFETCH(uint, id);
        QFETCH(bool, extended);
        QFETCH(QString, expected);
        const DbcDatabase db = database(Groups);
        QVERIFY(db.errors().isEmpty());
        QCOMPARE(nameOf(db, id, extended), expected);
        // A message says the same of the frame, whichever message the lookup gave.
        for (const DbcMessage &m : db.messages()) {
            const bool same = m.name == expected || (m.j1939 && m.extended && extended &&
                                                     J1939Id::of(m.id).pgn == J1939Id::of(id).pgn);
            QCOMPARE(m.matches(id, extended), same);
        }
    }

    void defaultAndWrittenForms()
    {
        // The default says J1939PG: every 29-bit message without its own value is a group; an
        // 11-bit one never is; a value as a string counts as its label.
        const DbcDatabase db = database(R"(BU_: Engine
BO_ 2364540158 EEC1: 8 Engine
 SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" Vector__XXX
BO_ 2566844926 CCVS: 8 Engine
 SG_ WheelSpeed : 8|16@1+ (0.00390625,0) [0|250.996] "km/h" Vector__XXX
BO_ 2566853374 Proprietary: 8 Engine
 SG_ Raw : 0|8@1+ (1,0) [0|255] "" Vector__XXX
BO_ 1024 Plain: 8 Engine
 SG_ P : 0|8@1+ (1,0) [0|255] "" Vector__XXX
BA_DEF_ BO_ "VFrameFormat" ENUM "StandardCAN","ExtendedCAN","reserved","J1939PG";
BA_DEF_DEF_ "VFrameFormat" "J1939PG";
BA_ "VFrameFormat" BO_ 2566844926 "J1939PG";
BA_ "VFrameFormat" BO_ 2566853374 "ExtendedCAN";
BA_ "VFrameFormat" BO_ 1024 0;
)");
        QVERIFY(db.errors().isEmpty());
        QCOMPARE(nameOf(db, 0x0CF00400, true), QStringLiteral("EEC1"));
        QCOMPARE(nameOf(db, 0x18FEF100, true), QStringLiteral("CCVS"));
        QCOMPARE(nameOf(db, 0x18FF1200, true), QString());
        QVERIFY(!db.message(1024, false)->j1939);
        // Without the attribute at all nothing changes.
        const DbcDatabase plain = database("BO_ 2364540158 EEC1: 8 Engine\n");
        QVERIFY(!plain.messages().front().j1939);
        QCOMPARE(nameOf(plain, 0x0CF00400, true), QString());
        QCOMPARE(nameOf(plain, 0x0CF004FE, true), QStringLiteral("EEC1"));
    }

    void editsKeepTheGroups()
    {
        DbcDatabase db = database(Groups);
        // Marked by hand as an ordinary 29-bit message: only its own identifier then.
        DbcMessage ccvs = *db.message(0x18FEF1FE, true);
        ccvs.attributes.insert("VFrameFormat", "ExtendedCAN");
        db.putMessage(ccvs);
        QCOMPARE(nameOf(db, 0x18FEF117, true), QStringLiteral("CCVS_Brake"));
        db.removeMessage(0x18FEF10B, true);
        QCOMPARE(nameOf(db, 0x18FEF117, true), QString());
        QCOMPARE(nameOf(db, 0x18FEF1FE, true), QStringLiteral("CCVS"));
        // A new group in front of the others: indexes move, the lookup follows.
        DbcMessage et1;
        et1.id = 0x18FEEE00;
        et1.extended = true;
        et1.name = "ET1";
        et1.attributes.insert("VFrameFormat", "J1939PG");
        db.putMessage(et1, 0);
        QCOMPARE(nameOf(db, 0x18FEEE03, true), QStringLiteral("ET1"));
        QCOMPARE(nameOf(db, 0x0CF00400, true), QStringLiteral("EEC1"));
        QCOMPARE(nameOf(db, 0x0C000F03, true), QStringLiteral("TSC1_Retarder"));
    }

    void decodedCsvFromAnySource()
    {
        const DbcDatabase db = database(Groups);
        QBuffer out;
        QVERIFY(out.open(QIODevice::WriteOnly));
        const DbcMessage *eec1 = db.message(0x0CF004FE, true);
        const DbcMessage *ccvs = db.message(0x18FEF1FE, true);
        DecodedCsvWriter writer(&out, {{eec1, 0}, {ccvs, 0}});
        const qint64 t = 1700000000000000;
        QVERIFY(writer.write(extendedFrame(t, 0x0CF00400, "FFFFFF2003FFFFFF")));     // 100 rpm
        QVERIFY(writer.write(extendedFrame(t + 1, 0x18F00417, "FFFFFF4006FFFFFF"))); // another
        QVERIFY(writer.write(extendedFrame(t + 2, 0x18FEF10B, "FF0032FFFFFFFFFF"))); // 50 km/h
        QVERIFY(writer.write(extendedFrame(t + 3, 0x18FF1203, "01")));
        QVERIFY(writer.write(extendedFrame(t + 4, 0x0DF00400, "FFFFFF2003FFFFFF")));
        QVERIFY(writer.finish());
        QCOMPARE(QString::fromLatin1(out.data()),
                 QStringLiteral("time,EEC1.EngineSpeed,CCVS.WheelSpeed\n"
                                "1700000000.000000,100,\n"
                                "1700000000.000001,200,\n"
                                "1700000000.000002,,50\n"));
    }

    void triggerFromAnySource()
    {
        const DbcDatabase db = database(Groups);
        QTemporaryDir dir;
        TriggerSet set;
        TriggerRule rule;
        QString error;
        QVERIFY(TriggerRule::parse("signal=EEC1.EngineSpeed > 1000 pre=0 post=0", rule, error));
        set.setRules({rule}, dir.path());
        set.setDatabase(&db);
        const qint64 t = 1700000000000000;
        set.add(extendedFrame(t, 0x0CF00400, "FFFFFF2003FFFFFF"));           // 100 rpm
        set.add(extendedFrame(t + 1000000, 0x0CF00400, "FFFFFF803EFFFFFF")); // 2000 rpm
        set.add(extendedFrame(t + 2000000, 0x0CF00400, "FFFFFF2003FFFFFF")); // back down
        set.add(extendedFrame(t + 3000000, 0x18FF1203, "FFFFFF803EFFFFFF")); // no EEC1
        set.add(extendedFrame(t + 4000000, 0x0DF00400, "FFFFFF803EFFFFFF")); // nor this
        set.closeAll();
        QCOMPARE(set.fireCount(0), 1);
    }

    void canmatrixReadsTheSameGroups()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("groups.dbc");
        QVERIFY(writeFile(path, Groups));
        QProcess python;
        python.start("/usr/bin/python3", {"-c", QString::fromUtf8(CanmatrixGroups), path});
        QVERIFY(python.waitForFinished(60000));
        QCOMPARE(python.exitCode(), 0);
        const QByteArray json = python.readAllStandardOutput();
        const QJsonArray theirs = QJsonDocument::fromJson(json.mid(json.indexOf('['))).array();
        const DbcDatabase db = database(Groups);
        QCOMPARE(theirs.size(), int(db.messages().size()));
        for (const QJsonValue &value : theirs) {
            const QJsonArray frame = value.toArray();
            const DbcMessage *ours = nullptr;
            for (const DbcMessage &m : db.messages())
                ours = m.name == frame[0].toString() ? &m : ours;
            QVERIFY2(ours, qPrintable(frame[0].toString()));
            QCOMPARE(ours->j1939, frame[1].toBool());
            if (ours->extended)
                QCOMPARE(int(J1939Id::of(ours->id).pgn), frame[2].toInt());
        }
    }
};

QTEST_GUILESS_MAIN(TestDbcJ1939)
#include "tst_dbcj1939.moc"
