// SPDX-License-Identifier: GPL-3.0-or-later
// The signal set's status texts, the decoded CSV and the converter's --decoded output.
#include "link/timedpacket.h"
#include "signals/decodedcsvwriter.h"
#include "signals/signalset.h"
#include "signaltestdbc.h"
#include "support/testfiles.h"
#include "support/testpackets.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestSignalExport : public QObject
{
    Q_OBJECT

private slots:
    void problems_data();
    void problems();
    void decodedCsv();
    void converterDecoded();
    void converterNeedsDbc();

private:
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
};

void TestSignalExport::problems_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // start of the one problem text, empty for none
    QTest::newRow("good") << signalTestDbc() << QString();
    QTest::newRow("warning only") << signalTestDbc() + "CM_ BO_ 999 \"nobody\";\n" << QString();
    QTest::newRow("broken") << signalTestDbc() + "BO_ x y\n" << QStringLiteral("DBC t.dbc: ");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("DBC none.dbc: ");
}

void TestSignalExport::problems()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    const QString file = text.isEmpty() ? path("none.dbc") : path("t.dbc");
    if (!text.isEmpty())
        QVERIFY(writeFile(file, text));
    SignalSet set;
    const QStringList problems = set.load({file});
    QCOMPARE(problems.size(), expected.isEmpty() ? 0 : 1);
    if (!expected.isEmpty())
        QVERIFY2(problems[0].startsWith(expected), qPrintable(problems[0]));
    QCOMPARE(set.message(0x200, true) != nullptr, !text.isEmpty());
    QCOMPARE(set.files(), QStringList{file});
}

void TestSignalExport::decodedCsv()
{
    DbcDatabase db;
    db.read(signalTestDbc());
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    DecodedCsvWriter writer(&out, DecodedCsvWriter::columnsOf(db));
    constexpr qint64 T = 1700000000000000;
    QVERIFY(writer.write(timedFrame(T, 0x100, false, QByteArray::fromHex("0FE01027"))));
    QVERIFY(writer.write(timedFrame(T + 100000, 0x200, true, QByteArray::fromHex("010700"))));
    QVERIFY(writer.write(timedFrame(T + 200000, 0x200, false, QByteArray::fromHex("010700"))));
    QVERIFY(writer.write(timedFrame(T + 250000, 0x200, true, QByteArray::fromHex("02FFFF"))));
    QVERIFY(writer.write(timedFrame(T + 1000001, 0x100, false, QByteArray::fromHex("0050"))));
    QVERIFY(writer.finish());
    QCOMPARE(out.data(), signalTestCsv());
    QCOMPARE(writer.rows(), 4);
}

void TestSignalExport::converterDecoded()
{
    QVERIFY(writeFile(path("a.dbc"), signalTestDbc()));
    QVERIFY(writeFile(path("in.log"), "(1700000000.000000) can0 100#0FE01027\n"
                                      "(1700000000.100000) can0 00000200#010700\n"
                                      "(1700000000.200000) can0 300#11\n"
                                      "(1700000000.250000) can0 00000200#02FFFF\n"
                                      "(1700000001.000001) can0 100#0050\n"));
    QProcess process;
    process.start(QStringLiteral(QUORVEX_CONVERT_PATH),
                  {"--dbc", path("a.dbc"), "--decoded", path("in.log"), path("out.csv")});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    QCOMPARE(readFile(path("out.csv")), signalTestCsv());
}

void TestSignalExport::converterNeedsDbc()
{
    QVERIFY(writeFile(path("in2.log"), "(1.000000) can0 100#00\n"));
    QProcess process;
    process.start(QStringLiteral(QUORVEX_CONVERT_PATH),
                  {"--decoded", path("in2.log"), path("o.csv")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    process.start(QStringLiteral(QUORVEX_CONVERT_PATH),
                  {"--dbc", path("gone.dbc"), "--decoded", path("in2.log"), path("o.csv")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(!QFile::exists(path("o.csv")));
}

QTEST_GUILESS_MAIN(TestSignalExport)
#include "tst_signalexport.moc"
