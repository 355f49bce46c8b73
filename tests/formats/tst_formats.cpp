// SPDX-License-Identifier: GPL-3.0-or-later
// Our readers and writers on their own: round trips, what each format keeps, the rules of each
// reader, skipped records, damaged input and the table's exact bytes.
#include "formats/blflayout.h"
#include "formats/candumpreader.h"
#include "formats/tablereader.h"
#include "formattestkit.h"

#include <QDateTime>
#include <QTemporaryDir>

using namespace FormatTestKit;

namespace {

// UTC microseconds of a local date and time, by Qt's own zone rules.
qint64 localUs(int y, int mo, int d, int h, int mi, int s, int us = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime).toMSecsSinceEpoch() * 1000 +
           us;
}

QStringList describeText(CaptureFormat format, const QByteArray &text, quint64 *skipped = nullptr)
{
    const ReadResult read = readBytes(format, text);
    if (skipped)
        *skipped = read.skipped;
    return read.error.isEmpty() ? describeAll(read.frames) : QStringList{"error: " + read.error};
}

// Every frame of candump text read with a base date, times made relative to `originUs`; the
// number of lines skipped last.
QStringList screenFrames(const QByteArray &text, const QDate &date, qint64 originUs)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    CandumpReader reader(&buffer);
    reader.setBaseDate(date);
    QStringList lines;
    TimedPacket f;
    while (reader.next(f)) {
        const QString time = f.time == TimedPacket::NoTime ? QStringLiteral("none")
                                                           : QString::number(f.time - originUs);
        lines.append(time + describe(f, false));
    }
    lines.append(QStringLiteral("skipped %1").arg(reader.skipped()));
    return lines;
}

// What each format keeps of a frame.
TimedPacket kept(CaptureFormat format, TimedPacket f)
{
    if ((format == CaptureFormat::Table || format == CaptureFormat::Candump) &&
        f.packet.direct == CanPacket::Transmitted)
        f.packet.frame &= ~0x30;
    if (format == CaptureFormat::Table) {
        f.time = f.time == TimedPacket::NoTime ? f.time : f.time / 1000 * 1000;
        return f;
    }
    f.packet.rtl = uint8_t((f.packet.rtl & 0xF0) | qMin(f.packet.length(), 8));
    return f;
}

} // namespace

class TestFormats : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useTestZone(); }

    void roundTrip_data()
    {
        QTest::addColumn<int>("format");
        for (const CaptureFormat format : CaptureFormats::all())
            QTest::newRow(qPrintable(CaptureFormats::name(format))) << int(format);
    }

    void roundTrip()
    {
        QFETCH(int, format);
        const auto f = CaptureFormat(format);
        QVector<TimedPacket> frames = sampleFrames(true);
        frames.append(frame(frames.last().time + 1, 0x100, false, 1, false, 12,
                            QByteArray::fromHex("0102030405060708")));
        QVector<TimedPacket> expected;
        for (const TimedPacket &frame : frames)
            expected.append(kept(f, frame));
        QBuffer buffer;
        buffer.setData(writeBytes(f, frames));
        buffer.open(QIODevice::ReadOnly);
        TableReader table(&buffer);
        table.setBaseDate(QDateTime::fromMSecsSinceEpoch(frames[0].time / 1000).date());
        const auto other = CaptureFormats::createReader(f, &buffer);
        CaptureReader &reader = f == CaptureFormat::Table ? table : *other;
        QVector<TimedPacket> read;
        qint64 consumed = 0;
        for (TimedPacket frame; reader.next(frame);) {
            read.append(frame);
            QVERIFY(reader.bytesConsumed() >= consumed);
            consumed = reader.bytesConsumed();
        }
        QCOMPARE(reader.errorString(), QString());
        QCOMPARE(reader.skipped(), quint64(0));
        QCOMPARE(reader.bytesConsumed(), buffer.size());
        QCOMPARE(describeAll(read), describeAll(expected));
    }

    void tableExactBytes()
    {
        QVector<TimedPacket> frames = {
            frame(localUs(2024, 3, 1, 10, 15, 30, 250999), 0x7FF, false, 0, false, 8,
                  QByteArray::fromHex("1122334455667788")),
            frame(localUs(2024, 3, 1, 23, 59, 59, 999000), 0x80000001, true, 2, true, 0x1F,
                  QByteArray::fromHex("00FF0A")),
            frame(TimedPacket::NoTime, 0x12, false, 0x30, false, 0, QByteArray::fromHex("41")),
            frame(localUs(2024, 3, 2, 0, 0, 0, 1000), 0x12, false, 2, false, 1, "A"),
        };
        frames[2].packet.frame = 0x30; // bit 4 wins
        QByteArray bytes = writeBytes(CaptureFormat::Table, frames);
        QCOMPARE(bytes,
                 "[ID];[FF];[RTR];[LEN];[D0];[D1];[D2];[D3];[D4];[D5];[D6];[D7];[DIR];[TIME];\n"
                 "0x000007FF;SFF;0;8;0x11;0x22;0x33;0x44;0x55;0x66;0x77;0x88;RX;10:15:30:250;\n"
                 "0x80000001;EFF;1;15;0x00;0xFF;0x0A;0x00;0x00;0x00;0x00;0x00;TX;23:59:59:999;\n"
                 "0x00000012;SFF;0;0;0x41;0x00;0x00;0x00;0x00;0x00;0x00;0x00;RX (CAN0->CAN1);;\n"
                 "0x00000012;SFF;0;1;0x41;0x00;0x00;0x00;0x00;0x00;0x00;0x00;"
                 "RX (CAN1->CAN0);00:00:00:001;\n");
    }

    void tableDays()
    {
        // A day passes when the time of day goes back by more than 12 hours, never otherwise.
        QByteArray text =
            "[ID];[FF];[RTR];[LEN];[D0];[D1];[D2];[D3];[D4];[D5];[D6];[D7];[DIR];[TIME];\n";
        for (const char *time :
             {"23:59:59:000", "00:00:01:500", "", "12:00:00:000", "00:30:00:000"})
            text += QByteArray("0x00000001;SFF;0;0;0x00;0x00;0x00;0x00;0x00;0x00;0x00;0x00;TX;") +
                    time + ";\n";
        QBuffer buffer(&text);
        buffer.open(QIODevice::ReadOnly);
        TableReader reader(&buffer);
        reader.setBaseDate(QDate(2024, 3, 1));
        QVector<qint64> times;
        for (TimedPacket f; reader.next(f);)
            times.append(f.time);
        const QVector<qint64> expected = {
            localUs(2024, 3, 1, 23, 59, 59), localUs(2024, 3, 2, 0, 0, 1, 500000),
            TimedPacket::NoTime, localUs(2024, 3, 2, 12, 0, 0), localUs(2024, 3, 2, 0, 30, 0)};
        QCOMPARE(times, expected);
    }

    void candumpLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("frame"); // "" when the line is skipped
        QTest::newRow("can0") << QByteArray("(1.000001) can0 123#11")
                              << "1000001 123 s d 1 11 rx ch1";
        QTest::newRow("vcan0, lower case")
            << QByteArray("(1.5) vcan0 1abcdef0#abcd") << "1500000 1abcdef0 x d 2 abcd rx ch1";
        QTest::newRow("slcan1") << QByteArray("(2.0) slcan1 7FF#") << "2000000 7ff s d 0 - rx ch2";
        QTest::newRow("can7") << QByteArray("(2.0) can7 001#R") << "2000000 1 s r 0 - rx ch3";
        QTest::newRow("vcan") << QByteArray("(2.0) vcan 001#R8") << "2000000 1 s r 8 - rx ch3";
        QTest::newRow("cantx") << QByteArray("(2.0) cantx 001#00") << "2000000 1 s d 1 00 tx ch3";
        QTest::newRow("canrx, CRLF")
            << QByteArray("(2.0) canrx 001#00\r") << "2000000 1 s d 1 00 rx ch3";
        QTest::newRow("mark T") << QByteArray("(2.0) can1 001#00 T") << "2000000 1 s d 1 00 tx ch2";
        QTest::newRow("mark R on cantx")
            << QByteArray("(2.0) cantx 001#r3 R") << "2000000 1 s r 3 - rx ch3";
        QTest::newRow("length code 9..F") << QByteArray("(2.0) can0 001#0102030405060708_C")
                                          << "2000000 1 s d 8 0102030405060708 rx ch1";
        QTest::newRow("7 fraction digits round")
            << QByteArray("(2.0000005) can0 001#") << "2000001 1 s d 0 - rx ch1";
        QTest::newRow("CAN FD") << QByteArray("(2.0) can0 123##1112233") << "";
        QTest::newRow("error frame") << QByteArray("(2.0) can0 20000080#0000000000000000") << "";
        QTest::newRow("9 bytes") << QByteArray("(2.0) can0 123#112233445566778899") << "";
        QTest::newRow("11-bit id too big") << QByteArray("(2.0) can0 800#11") << "";
        QTest::newRow("7 id digits") << QByteArray("(2.0) can0 1234567#11") << "";
        QTest::newRow("odd data") << QByteArray("(2.0) can0 123#112") << "";
        QTest::newRow("R9") << QByteArray("(2.0) can0 123#R9") << "";
        QTest::newRow("other mark") << QByteArray("(2.0) can0 123#11 X") << "";
        QTest::newRow("no time") << QByteArray("can0 123#11") << "";
    }

    void candumpLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, frame);
        quint64 skipped = 0;
        // A good line first, so a broken one is counted, not taken for another format.
        const QStringList read =
            describeText(CaptureFormat::Candump, "(0.0) can0 000#\n" + line, &skipped);
        QCOMPARE(read.mid(1), frame.isEmpty() ? QStringList() : QStringList{frame});
        QCOMPARE(skipped, quint64(frame.isEmpty() ? 1 : 0));
    }

    // What candump prints on the screen, a line at a time; times in µs since the epoch.
    void candumpScreenLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("frame"); // "" when the line is skipped
        QTest::newRow("-t a") << QByteArray("(1714557072.123456)  can0  18FCF200   [8]  E1 FF FF "
                                            "FF FF FF FF FF")
                              << "1714557072123456 18fcf200 x d 8 e1ffffffffffffff rx ch1";
        QTest::newRow("log2long, indented, characters")
            << QByteArray("(1714557072.000001)  can1       123   [2]  01 20   '. '")
            << "1714557072000001 123 s d 2 0120 rx ch2";
        QTest::newRow("no time") << QByteArray("  vcan0  7FF   [0]  ") << "none 7ff s d 0 - rx ch1";
        QTest::newRow("-t A, local time")
            << QByteArray("(2024-05-01 10:11:12.123456)  can0  123   [1]  FF")
            << QString::number(localUs(2024, 5, 1, 10, 11, 12, 123456)) + " 123 s d 1 ff rx ch1";
        QTest::newRow("-x RX") << QByteArray("(1714557072.5)  can0  RX - -  123   [1]  AA")
                               << "1714557072500000 123 s d 1 aa rx ch1";
        QTest::newRow("-x TX, extended")
            << QByteArray("  slcan1  TX - -  00000010   [1]  aa") << "none 10 x d 1 aa tx ch2";
        QTest::newRow("remote") << QByteArray("  can0  123   [2]  remote request")
                                << "none 123 s r 2 - rx ch1";
        QTest::newRow("cantx") << QByteArray("  cantx  000   [0]") << "none 0 s d 0 - tx ch3";
        QTest::newRow("can7") << QByteArray("  can7  001   [1]  01") << "none 1 s d 1 01 rx ch3";
        QTest::newRow("error frame")
            << QByteArray("  can0  20000080   [8]  00 00 00 00 00 00 00 00   ERRORFRAME") << "";
        QTest::newRow("CAN FD") << QByteArray("  can0  123  [03]  11 22 33") << "";
        QTest::newRow("CAN FD, -x") << QByteArray("  can0  RX B -  123  [01]  11") << "";
        QTest::newRow("fewer bytes") << QByteArray("  can0  123   [3]  01 02") << "";
        QTest::newRow("4 id digits") << QByteArray("  can0  1234   [1]  01") << "";
        QTest::newRow("11-bit id too big") << QByteArray("  can0  800   [1]  01") << "";
        QTest::newRow("29-bit id too big") << QByteArray("  can0  40000000   [1]  01") << "";
        QTest::newRow("length 9") << QByteArray("  can0  123   [9]  01") << "";
        QTest::newRow("bad byte") << QByteArray("  can0  123   [1]  0G") << "";
        QTest::newRow("month 13") << QByteArray("(2024-13-01 10:11:12.0)  can0  123   [0]") << "";
        QTest::newRow("a time alone") << QByteArray("(000.000000)") << "";
        QTest::newRow("no length") << QByteArray("  can0  123  01 02") << "";
    }

    void candumpScreenLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, frame);
        const QStringList read = screenFrames("  can0  000   [0]\n" + line, QDate(), 0);
        const QStringList expected =
            frame.isEmpty() ? QStringList{"skipped 1"} : QStringList{frame, "skipped 0"};
        QCOMPARE(read.mid(1), expected);
    }

    // Relative times start at local midnight of the base date: since the first frame (-t z), or
    // gaps (-t d), told apart by a time that goes back. An error frame's gap counts, its
    // explanation lines do not.
    void candumpScreenTimes_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QStringList>("frames");
        const QByteArray zero = "(000.000000)  can0  100   [0]\n(000.010000)  can0  101   [0]\n"
                                "(000.025000)  can1  102   [0]\n(002.000000)  can1  103   [0]\n";
        const QStringList zeroRead = {"0 100 s d 0 - rx ch1", "10000 101 s d 0 - rx ch1",
                                      "25000 102 s d 0 - rx ch2", "2000000 103 s d 0 - rx ch2",
                                      "skipped 0"};
        QTest::newRow("-t z") << zero << QDate(2024, 5, 1) << zeroRead;
        QTest::newRow("-t z, no date") << zero << QDate() << zeroRead;
        QTest::newRow("-t d")
            << QByteArray("(000.000000)  can0  100   [0]\n(000.010000)  can0  101   [0]\n"
                          "(000.005000)  can0  20000004   [8]  00 08 00 00 00 00 00 00   "
                          "ERRORFRAME\n\tcontroller-problem{rx-error-warning}\n"
                          "(000.001000)  can0  102   [0]\n")
            << QDate(2024, 5, 1)
            << QStringList{"0 100 s d 0 - rx ch1", "10000 101 s d 0 - rx ch1",
                           "16000 102 s d 0 - rx ch1", "skipped 1"};
    }

    void candumpScreenTimes()
    {
        QFETCH(QByteArray, text);
        QFETCH(QDate, date);
        QFETCH(QStringList, frames);
        const QDate day = date.isValid() ? date : QDate(1970, 1, 1);
        QCOMPARE(screenFrames(text, date, localUs(day.year(), day.month(), day.day(), 0, 0, 0)),
                 frames);
    }

    // A file without a known suffix is candump when its first lines read as candump.
    void candumpByContent()
    {
        QTemporaryDir dir;
        const auto fileOf = [&dir](const char *name, const QByteArray &bytes) {
            const QString path = dir.filePath(QLatin1String(name));
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path
                                                                                        : QString();
        };
        const QByteArray screen = "  can0  123   [1]  01\n  can0  124   [1]  02\ngarbage\n";
        QCOMPARE(CaptureFormats::fromFile(fileOf("dump.txt", screen)), CaptureFormat::Candump);
        QCOMPARE(CaptureFormats::fromFile(fileOf("dump", "(1.0) can0 123#01\n")),
                 CaptureFormat::Candump);
        QCOMPARE(
            CaptureFormats::fromFile(fileOf("notes.txt", "garbage\nmore\n  can0  123   [1]  01\n")),
            std::nullopt);
        QCOMPARE(CaptureFormats::fromFile(fileOf("empty.txt", "")), std::nullopt);
        QCOMPARE(CaptureFormats::fromFile(dir.filePath("missing.txt")), std::nullopt);
        QCOMPARE(CaptureFormats::fromFile(fileOf("capture.asc", screen)), CaptureFormat::Asc);
    }

    void skipped_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("skipped");
        QTest::newRow("asc")
            << int(CaptureFormat::Asc)
            << QByteArray(
                   "date Fri Mar 1 10:00:00 am 2024\nbase hex  timestamps absolute\n"
                   "internal events logged\n// version 13.0.0\nBegin TriggerBlock Fri Mar 1 "
                   "10:00:00 am 2024\n"
                   "   0.000000 Start of measurement\n   0.001 1  123  Rx d 1 01  Length = 1 "
                   "BitCount = 2 ID = 291\n"
                   "   0.002 1  ErrorFrame\n   0.003 CANFD 1 Rx 123 1 0 8 8 0 0 0 0 0 0 0 0\n"
                   "   0.004 1  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\n   0.005 J1939TP "
                   "FEE3p 6 0\n"
                   "   0.006 1  123  TxRq d 1 01\n   0.007 2  12x Tx r\nEnd TriggerBlock\n")
            << 2 << 6;
        QTest::newRow("trc 2.1")
            << int(CaptureFormat::Trc)
            << QByteArray(";$FILEVERSION=2.1\n;$STARTTIME=45352.5\n;$COLUMNS=N,O,T,B,I,d,R,L,D\n"
                          "      1         1.000 DT  1     0123 Rx -  2    01 02\n"
                          "      2         2.000 FD  1     0123 Rx -  2    01 02\n"
                          "      3         3.000 ER  1     -    Rx -  5    0 1 2 3 4\n"
                          "      4         4.000 ST  1     -    Rx -  4    00 00 00 04\n"
                          "      5         5.000 EV  1     -    Rx -  0\n"
                          "      6         6.000 RR  2 12345678 Tx -  3\n")
            << 2 << 4;
        QTest::newRow("trc 1.1")
            << int(CaptureFormat::Trc)
            << QByteArray(";$FILEVERSION=1.1\n;$STARTTIME=45352.5\n"
                          "     1)      1.5  Rx         0123  2  01 02\n"
                          "     2)      2.0  Warng  FFFFFFFF  4  00 00 00 08  BUSHEAVY\n"
                          "     3)      3.0  Error  00000004  5  0 1 2 3 4\n"
                          "     4)      4.0  Tx     12345678  4  RTR\n")
            << 2 << 2;
        QTest::newRow("table")
            << int(CaptureFormat::Table)
            << QByteArray(
                   "[ID];[FF];[RTR];[LEN];[D0];[D1];[D2];[D3];[D4];[D5];[D6];[D7];[DIR];[TIME];\n"
                   "0x00000001;SFF;0;0;0x00;0x00;0x00;0x00;0x00;0x00;0x00;0x00;TX;;\n"
                   "0x00000001;SFF;0;0;0x00;0x00;0x00;0x00;0x00;0x00;0x00;0x00;RX (CAN9);;\n"
                   "0x00000001;SFF;0;0;0x00;0x00;0x00;0x00;0x00;0x00;0x00;TX;;\n")
            << 1 << 2;
    }

    void skipped()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, text);
        QFETCH(int, frames);
        QFETCH(int, skipped);
        const ReadResult read = readBytes(CaptureFormat(format), text);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.frames.size(), frames);
        QCOMPARE(read.skipped, quint64(skipped));
    }

    void ascForms_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("frames");
        const qint64 midnight = localUs(2024, 3, 1, 0, 0, 0);
        const QString m = QString::number(midnight);
        QTest::newRow("12 am, decimal base")
            << QByteArray("date Fri Mar 01 12:00:00.000 am 2024\nbase dec  timestamps absolute\n"
                          "   1.5 2  291  Rx   d 2 1 255\n   2.000001 3  536870911x Tx r 8\n")
            << QStringList{QString::number(midnight + 1500000) + " 123 s d 2 01ff rx ch2",
                           QString::number(midnight + 2000001) + " 1fffffff x r 8 - tx ch3"};
        QTest::newRow("relative, 12 pm, German month")
            << QByteArray("date Fr Mär 1 12:00:00 pm 2024\nbase hex  timestamps relative\n"
                          "   1.0 1  7FF Rx d 0\n   0.5 1  7FF Rx d 0\n")
            << QStringList{QString::number(midnight + 43201000000) + " 7ff s d 0 - rx ch1",
                           QString::number(midnight + 43201500000) + " 7ff s d 0 - rx ch1"};
        QTest::newRow("block date wins, 24-hour")
            << QByteArray(
                   "date Sat Mar 02 00:00:00 2024\nBegin TriggerBlock Fri Mar 1 00:00:00.250 2024\n"
                   "   0.5 1  1 Rx d 9 01 02 03 04 05 06 07 08\n")
            << QStringList{QString::number(midnight + 750000) + " 1 s d 8 0102030405060708 rx ch1"};
    }

    void ascForms()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, frames);
        QCOMPARE(describeText(CaptureFormat::Asc, text), frames);
    }

    void trcVersions_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("frames");
        const qint64 noon = localUs(2024, 3, 1, 12, 0, 0);
        const QString a = QString::number(noon + 1500000); // offset 1500 ms
        QTest::newRow("1.0") << QByteArray("     1)      1500  0123  2  01 02\n")
                             << QStringList{"1500000 123 s d 2 0102 rx ch3"};
        QTest::newRow("1.1") << QByteArray(";$FILEVERSION=1.1\n;$STARTTIME=45352.5\n"
                                           "     1)      1500.0  Tx  0123  4  RTR\n")
                             << QStringList{a + " 123 s r 4 - tx ch3"};
        QTest::newRow("1.3") << QByteArray(";$FILEVERSION=1.3\n;$STARTTIME=45352.5\n"
                                           "     1)      1500.000 2  Rx  00001234 -  1  AA\n")
                             << QStringList{a + " 1234 x d 1 aa rx ch2"};
        QTest::newRow("2.0") << QByteArray(";$FILEVERSION=2.0\n;$STARTTIME=45352.5\n"
                                           "     1      1500.000 DT 0123 Tx 3  01 02 03\n"
                                           "     2      1500.001 RR 00000010 Rx 2\n")
                             << QStringList{a + " 123 s d 3 010203 tx ch3",
                                            QString::number(noon + 1500001) + " 10 x r 2 - rx ch3"};
        QTest::newRow("2.1 own columns")
            << QByteArray(";$FILEVERSION=2.1\n;$STARTTIME=45352.5\n"
                          ";$COLUMNS=N,O,T,I,B,d,L,D\n"
                          "1 1500 DT 7FF 1 Rx 9 01 02 03 04 05 06 07 08\n")
            << QStringList{a + " 7ff s d 8 0102030405060708 rx ch1"};
    }

    void trcVersions()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, frames);
        QCOMPARE(describeText(CaptureFormat::Trc, text), frames);
    }

    void notThisFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("fails");
        QByteArray binary = writeBytes(CaptureFormat::Blf, sampleFrames());
        QByteArray prose;
        for (int i = 0; i < 30; ++i)
            prose += "Lorem ipsum dolor sit amet\n";
        for (const CaptureFormat f : CaptureFormats::all()) {
            const QByteArray name = CaptureFormats::name(f).toLatin1();
            // Binary formats refuse an empty file: it has not even their header.
            const bool isBlf = f == CaptureFormat::Blf;
            const bool isBinary = isBlf || f == CaptureFormat::Pcapng;
            QTest::addRow("%s: empty", name.data()) << int(f) << QByteArray() << isBinary;
            QTest::addRow("%s: prose", name.data()) << int(f) << prose << true;
            if (!isBlf)
                QTest::addRow("%s: binary", name.data()) << int(f) << binary << true;
        }
    }

    void notThisFormat()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, fails);
        const ReadResult read = readBytes(CaptureFormat(format), bytes);
        QCOMPARE(read.frames.size(), 0);
        QCOMPARE(!read.error.isEmpty(), fails);
    }

    // A power cut leaves zeroed blocks at the end; a bad sector leaves a binary line anywhere.
    // Every frame before and after the damage is read, the damaged lines are counted and where
    // they are is noted.
    void damagedText_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("framesAfterDamage");
        QTest::addColumn<int>("damagedLine");
        QTest::addColumn<int>("damagedAt");
        for (const CaptureFormat f : CaptureFormats::all()) {
            if (f == CaptureFormat::Blf || f == CaptureFormat::Pcapng) // binary: own damage tests
                continue;
            const QByteArray name = CaptureFormats::name(f).toLatin1();
            const QByteArray clean = writeBytes(f, sampleFrames());
            QTest::addRow("%s: zero tail", name.data())
                << int(f) << clean + QByteArray(4096, '\0') << 0 << clean.count('\n') + 1
                << clean.size();
            QList<QByteArray> lines = clean.split('\n');
            const int middle = lines.size() - 3; // two frame lines follow it
            const QByteArray before = lines.mid(0, middle).join('\n') + '\n';
            lines.insert(middle, QByteArray("\x00\xff\xfe\x01 (12.5) can0 123#00\x00\x80", 23));
            QTest::addRow("%s: binary line", name.data())
                << int(f) << lines.join('\n') << 2 << middle + 1 << before.size();
        }
    }

    void damagedText()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        QFETCH(int, framesAfterDamage);
        QFETCH(int, damagedLine);
        QFETCH(int, damagedAt);
        const ReadResult clean =
            readBytes(CaptureFormat(format), writeBytes(CaptureFormat(format), sampleFrames()));
        QVERIFY(clean.frames.size() > framesAfterDamage);
        const ReadResult read = readBytes(CaptureFormat(format), bytes);
        QCOMPARE(read.error, QString());
        QCOMPARE(describeAll(read.frames), describeAll(clean.frames));
        QCOMPARE(read.skipped, clean.skipped + 1);
        QCOMPARE(read.damage.size(), 1);
        QCOMPARE(read.damage[0].line, quint64(damagedLine));
        QCOMPARE(read.damage[0].lines, quint64(1));
        QCOMPARE(read.damage[0].offset, qint64(damagedAt));
        QVERIFY(read.damage[0].length > 0);
    }

    // Broken lines one after another are one damaged place; each line is still a skipped record.
    void brokenLinesTogether()
    {
        const QByteArray text = "(1.0) can0 123#01\n\x01garbage\n\x02more\n\x03"
                                "and more\n"
                                "(2.0) can0 124#02\n\x04"
                                "alone\n";
        const ReadResult read = readBytes(CaptureFormat::Candump, text);
        QCOMPARE(read.frames.size(), 2);
        QCOMPARE(read.skipped, quint64(4));
        QCOMPARE(read.damage.size(), 2);
        QCOMPARE(read.damage[0].line, quint64(2));
        QCOMPARE(read.damage[0].lines, quint64(3));
        QCOMPARE(read.damage[0].length, qint64(text.indexOf("(2.0)") - text.indexOf('\x01')));
        QCOMPARE(read.damage[1].line, quint64(6));
    }

    // Only a file in which no line at all is a frame is refused.
    void damagedOnly()
    {
        for (const CaptureFormat f : CaptureFormats::all()) {
            if (f == CaptureFormat::Blf)
                continue;
            const ReadResult read = readBytes(f, QByteArray(4096, '\0') + "\n\x01\x02garbage\n");
            QVERIFY2(!read.error.isEmpty(), qPrintable(CaptureFormats::name(f)));
            QCOMPARE(read.frames.size(), 0);
        }
    }

    void blfObjects()
    {
        // Plain objects outside containers: a CAN_MESSAGE2, an unknown object, a remote frame,
        // the same at a timestamp no clock reaches.
        QByteArray bytes = writeBytes(CaptureFormat::Blf, {});
        QByteArray message(BlfLayout::Message2Size, '\0');
        BlfLayout::put16(message.data(), 2);
        message[3] = 2;
        BlfLayout::put32(message.data() + 4, 0x80000123);
        message[8] = 0x5A;
        message[9] = char(0xA5);
        bytes += blfObject(BlfLayout::CanMessage2, message);
        bytes += blfObject(65, "odd-sized body");
        message[2] = char(BlfLayout::RemoteFlag | BlfLayout::TransmitFlag);
        bytes += blfObject(BlfLayout::CanMessage, message.left(BlfLayout::MessageSize));
        bytes += blfObject(BlfLayout::CanMessage, message.left(BlfLayout::MessageSize), ~0ull);
        const ReadResult read = readBytes(CaptureFormat::Blf, bytes);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(1));
        QCOMPARE(
            describeAll(read.frames, false),
            QStringList({" 123 x d 2 5aa5 rx ch2", " 123 x r 2 - tx ch2", " 123 x r 2 - tx ch2"}));
    }

    void blfDamage()
    {
        QVector<TimedPacket> frames;
        for (int i = 0; i < 20000; ++i) // several containers
            frames.append(sampleFrames(true)[i % 9]);
        const QByteArray whole = writeBytes(CaptureFormat::Blf, frames);
        const QStringList all = describeAll(frames, false);
        for (int cut : {10, 100, 160, 200, whole.size() / 2, whole.size() - 5}) {
            const ReadResult read = readBytes(CaptureFormat::Blf, whole.left(cut));
            QVERIFY2(!read.error.isEmpty(), qPrintable(QString::number(cut)));
            QCOMPARE(describeAll(read.frames, false), all.mid(0, read.frames.size()));
        }
        for (int at : {0, 5, 150, 170, 300, whole.size() / 3, whole.size() - 3}) {
            QByteArray flipped = whole;
            flipped[at] = char(flipped[at] ^ 0x10);
            const ReadResult read = readBytes(CaptureFormat::Blf, flipped);
            QVERIFY(read.frames.size() <= frames.size());
            QVERIFY2(!read.error.isEmpty() || read.skipped > 0 ||
                         read.frames.size() == frames.size(),
                     qPrintable(QString::number(at)));
        }
        // A power cut's zeroed tail after the last object: every frame, the tail counted.
        const ReadResult tail = readBytes(CaptureFormat::Blf, whole + QByteArray(4096, '\0'));
        QCOMPARE(tail.error, QString());
        QCOMPARE(tail.frames.size(), frames.size());
        QCOMPARE(tail.skipped, quint64(1));
        // Garbage between two top-level objects: reading goes on at the next one.
        QByteArray single = writeBytes(CaptureFormat::Blf, {});
        QByteArray body(BlfLayout::MessageSize, '\0');
        BlfLayout::put16(body.data(), 1);
        body[3] = 1;
        BlfLayout::put32(body.data() + 4, 0x123);
        const QByteArray message = blfObject(BlfLayout::CanMessage, body);
        single += message + QByteArray("\0\0\xff\xfegarbage", 11) + message;
        const ReadResult between = readBytes(CaptureFormat::Blf, single);
        QCOMPARE(between.error, QString());
        QCOMPARE(between.frames.size(), 2);
        QCOMPARE(between.skipped, quint64(1));
    }

    void writeFailure_data() { roundTrip_data(); }

    void writeFailure()
    {
        QFETCH(int, format);
        QFile full("/dev/full"); // every write fails: the disk is full
        QVERIFY(full.open(QIODevice::WriteOnly));
        const auto writer = CaptureFormats::createWriter(CaptureFormat(format), &full);
        bool written = true;
        for (int i = 0; i < 20000 && written; ++i)
            written = writer->write(sampleFrames()[i % 8]);
        QVERIFY(!written || !writer->finish());
        QVERIFY(!writer->errorString().isEmpty());
    }

    void formatNames()
    {
        QCOMPARE(CaptureFormats::fromFileName("/a/b.LOG"), CaptureFormat::Candump);
        QCOMPARE(CaptureFormats::fromFileName("x.csv"), CaptureFormat::Table);
        QCOMPARE(CaptureFormats::fromFileName("x.blf.txt"), std::nullopt);
        QCOMPARE(CaptureFormats::fromName("TRC"), CaptureFormat::Trc);
        QCOMPARE(CaptureFormats::fromName("csv"), std::nullopt);
        QCOMPARE(CaptureFormats::fromFileName("x.PCAP"), CaptureFormat::Pcapng);
        QStringList filters;
        for (const CaptureFormat f : CaptureFormats::all()) {
            QCOMPARE(CaptureFormats::fromName(CaptureFormats::name(f)), f);
            QCOMPARE(CaptureFormats::fromFileName("f." + CaptureFormats::suffix(f)), f);
            filters.append(CaptureFormats::dialogFilter(f));
        }
        QCOMPARE(filters,
                 QStringList({"Журнал candump (*.log)", "Vector ASC (*.asc)", "PEAK TRC (*.trc)",
                              "Vector BLF (*.blf)", "Wireshark pcapng (*.pcapng *.pcap)",
                              "Таблица Quorvex (*.csv)"}));
        QCOMPARE(CaptureFormats::dialogFilters(), filters.join(";;"));
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
