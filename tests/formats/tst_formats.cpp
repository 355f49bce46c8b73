// SPDX-License-Identifier: GPL-3.0-or-later
// Our readers and writers on their own: round trips, what each format keeps, the rules of each
// reader, skipped records, damaged input and the table's exact bytes.
#include "fdsamples.h"
#include "formats/blflayout.h"
#include "formats/candumpreader.h"
#include "formats/tablereader.h"
#include "formattestkit.h"

#include <QDateTime>
#include <QTemporaryDir>

using namespace FdSamples;
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

// Writes `frames` in `format` and reads them back (the table on the first frame's day).
ReadResult writeAndRead(CaptureFormat format, const QVector<TimedPacket> &frames)
{
    QBuffer buffer;
    buffer.setData(writeBytes(format, frames));
    buffer.open(QIODevice::ReadOnly);
    const auto reader = CaptureFormats::createReader(format, &buffer);
    reader->setBaseDate(QDateTime::fromMSecsSinceEpoch(frames[0].time / 1000).date());
    ReadResult read;
    for (TimedPacket frame; reader->next(frame);)
        read.frames.append(frame);
    read.skipped = reader->skipped();
    read.error = reader->errorString();
    return read;
}

// Bytes 00 01 02 ... as one hex string, or spaced.
QByteArray countingHex(int count, const char *separator = "")
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += (i > 0 ? QByteArray(separator) : QByteArray()) +
                QByteArray::number(i, 16).rightJustified(2, '0').toUpper();
    return text;
}

QString countingData(int count)
{
    return QString::fromLatin1(countingHex(count).toLower());
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
        QTest::newRow("CAN FD") << QByteArray("(2.0) can0 123##1112233")
                                << "2000000 123 s d 3 112233 rx ch1 fd+brs";
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
        QTest::newRow("CAN FD") << QByteArray("  can0  123  [03]  11 22 33")
                                << "none 123 s d 3 112233 rx ch1 fd";
        QTest::newRow("CAN FD, -x")
            << QByteArray("  can0  RX B -  123  [01]  11") << "none 123 s d 1 11 rx ch1 fd+brs";
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
            << 3 << 5;
        QTest::newRow("trc 2.1")
            << int(CaptureFormat::Trc)
            << QByteArray(";$FILEVERSION=2.1\n;$STARTTIME=45352.5\n;$COLUMNS=N,O,T,B,I,d,R,L,D\n"
                          "      1         1.000 DT  1     0123 Rx -  2    01 02\n"
                          "      2         2.000 FD  1     0123 Rx -  2    01 02\n"
                          "      3         3.000 ER  1     -    Rx -  5    0 1 2 3 4\n"
                          "      4         4.000 ST  1     -    Rx -  4    00 00 00 04\n"
                          "      5         5.000 EV  1     -    Rx -  0\n"
                          "      6         6.000 RR  2 12345678 Tx -  3\n")
            << 3 << 3;
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

    // CAN FD frames of every length 0..64 with their flags, among classic frames, through each
    // text format and back: every byte and flag is kept (the table keeps milliseconds, and the
    // table and candump no line of a transmitted frame, as for classic frames).
    void fdRoundTrip_data()
    {
        QTest::addColumn<int>("format");
        for (const CaptureFormat f :
             {CaptureFormat::Candump, CaptureFormat::Asc, CaptureFormat::Trc, CaptureFormat::Table})
            QTest::newRow(qPrintable(CaptureFormats::name(f))) << int(f);
    }

    void fdRoundTrip()
    {
        QFETCH(int, format);
        const auto f = CaptureFormat(format);
        const QVector<TimedPacket> frames = sampleFdFrames();
        QVector<TimedPacket> expected = frames;
        for (TimedPacket &e : expected) {
            if ((f == CaptureFormat::Table || f == CaptureFormat::Candump) &&
                e.packet.direct == CanPacket::Transmitted)
                e.packet.frame &= ~0x30;
            if (f == CaptureFormat::Table)
                e.time = e.time / 1000 * 1000;
        }
        const ReadResult read = writeAndRead(f, frames);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(0));
        QCOMPARE(describeAll(read.frames), describeAll(expected));
    }

    // The lines of FD frames as each writer makes them: candump's "##", the CANFD line of ASC
    // as python-can and log2asc lay it out, TRC's FD types with the DLC, the table's FD tail.
    void fdLinesWritten()
    {
        const qint64 t0 = localUs(2024, 3, 1, 10, 0, 0);
        QVector<TimedPacket> frames = {
            fdTextFrame(t0, 0x123, false, 1, false, 12, CanPacket::BitRateSwitch),
            fdTextFrame(t0 + 1500, 0x1ABCDEF0, true, 2, true, 0, CanPacket::ErrorState),
            fdTextFrame(t0 + 2000000, 0x7FF, false, 0, false, 9,
                        CanPacket::BitRateSwitch | CanPacket::ErrorState),
        };
        const QByteArray twelve = "B0 B7 BE C5 CC D3 DA E1 E8 EF F6 FD";
        const QByteArray nine = "B0 B7 BE C5 CC D3 DA E1 E8 00 00 00"; // padded to 12
        QCOMPARE(writeBytes(CaptureFormat::Candump, frames),
                 "(1709276400.000000) can0 123##1" + QByteArray(twelve).replace(" ", "") +
                     "\n(1709276400.001500) cantx 1ABCDEF0##2\n"
                     "(1709276402.000000) canrx 7FF##3" +
                     QByteArray(nine).replace(" ", "") + "\n");
        const QList<QByteArray> asc = writeBytes(CaptureFormat::Asc, frames).split('\n');
        const QByteArray name(35, ' ');
        QCOMPARE(asc.mid(4, 3),
                 QList<QByteArray>(
                     {"   0.000000 CANFD   1 Rx        123" + name + "1 0 9 12 " + twelve +
                          "        0    0     3000        0        0        0        0        0",
                      "   0.001500 CANFD   2 Tx   1ABCDEF0x" + name +
                          "0 1 0  0        0    0     5000        0        0        0        0"
                          "        0",
                      "   2.000000 CANFD   3 Rx        7FF" + name + "1 1 9 12 " + nine +
                          "        0    0     7000        0        0        0        0        0"}));
        const QList<QByteArray> trc = writeBytes(CaptureFormat::Trc, frames).split('\n');
        QCOMPARE(trc.mid(trc.size() - 4, 3),
                 QList<QByteArray>({"      1         0.000 FB  1     0123 Rx -  9    " + twelve,
                                    "      2         1.500 FE  2 1ABCDEF0 Tx -  0",
                                    "      3      2000.000 BI  3     07FF Rx -  9    " + nine}));
        QCOMPARE(writeBytes(CaptureFormat::Table, frames).split('\n').mid(1),
                 QList<QByteArray>({"0x00000123;SFF;0;12;0xB0;0xB7;0xBE;0xC5;0xCC;0xD3;0xDA;0xE1;"
                                    "RX (CAN0->CAN1);10:00:00:000;FD BRS;0xE8;0xEF;0xF6;0xFD;",
                                    "0x1ABCDEF0;EFF;0;0;0x00;0x00;0x00;0x00;0x00;0x00;0x00;0x00;"
                                    "TX;10:00:00:001;FD ESI;",
                                    "0x000007FF;SFF;0;12;0xB0;0xB7;0xBE;0xC5;0xCC;0xD3;0xDA;0xE1;"
                                    "RX;10:00:02:000;FD BRS ESI;0xE8;0x00;0x00;0x00;",
                                    ""}));
    }

    // FD records in each text format as the field's tools write them, and the damaged ones.
    // Frames without times; "skipped N" last.
    void fdLinesRead_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("frames");
        const int candump = int(CaptureFormat::Candump);
        const QString d64 = countingData(64);
        const QByteArray h64 = countingHex(64);
        const QByteArray s64 = countingHex(64, " ");
        QTest::newRow("candump: flags 0..3, F, 5")
            << candump
            << QByteArray("(1.0) can0 123##0\n(1.0) can1 1ABCDEF0##1" + countingHex(12) +
                          "\n(1.0) vcan 7FF##2AABB\n(1.0) can0 001##3aabbcc\n"
                          "(1.0) can0 002##F00\n(1.0) can0 003##500\n")
            << QStringList{" 123 s d 0 - rx ch1 fd",
                           " 1abcdef0 x d 12 " + countingData(12) + " rx ch2 fd+brs",
                           " 7ff s d 2 aabb rx ch3 fd+esi",
                           " 1 s d 3 aabbcc rx ch1 fd+brs+esi",
                           " 2 s d 1 00 rx ch1 fd+brs+esi",
                           " 3 s d 1 00 rx ch1 fd+brs",
                           "skipped 0"};
        QTest::newRow("candump: 64 bytes, 11 padded, marks")
            << candump
            << QByteArray("(1.0) cantx 123##1" + h64 + " T\n(1.0) can1 123##0" + countingHex(11) +
                          " R\n")
            << QStringList{" 123 s d 64 " + d64 + " tx ch3 fd+brs",
                           " 123 s d 12 " + countingData(11) + "00 rx ch2 fd", "skipped 0"};
        QTest::newRow("candump: damaged")
            << candump
            << QByteArray("(1.0) can0 123##1" + h64 +
                          "40\n(1.0) can0 123##1AAB\n"
                          "(1.0) can0 123##\n(1.0) can0 123##G00\n(1.0) can0 123##1AA_C\n"
                          "(1.0) can0 123##1AA\n")
            << QStringList{" 123 s d 1 aa rx ch1 fd+brs", "skipped 5"};
        QTest::newRow("candump screen")
            << candump
            << QByteArray("  can0  123  [12]  " + countingHex(12, " ") +
                          "\n(1714557072.5)  can0  RX B E  18DAF100  [64]  " + s64 +
                          "\n  can1  TX - E  123  [03]  11 22 33\n  can0  123  [11]  " +
                          countingHex(11, " ") +
                          "\n(1700000001.000000)  can0       7FF  [00]                            "
                          "''\n  can0  RX - -  456  [02]  01 02   '..'\n")
            << QStringList{" 123 s d 12 " + countingData(12) + " rx ch1 fd",
                           " 18daf100 x d 64 " + d64 + " rx ch1 fd+brs+esi",
                           " 123 s d 3 112233 tx ch2 fd+esi",
                           " 123 s d 12 " + countingData(11) + "00 rx ch1 fd",
                           " 7ff s d 0 - rx ch1 fd",
                           " 456 s d 2 0102 rx ch1 fd",
                           "skipped 0"};
        QTest::newRow("candump screen: damaged")
            << candump
            << QByteArray("  can0  123  [65]  " + s64 +
                          " 40\n  can0  123  [02]  remote request\n"
                          "  can0  123  [08]  11\n  can0  123  [001]  11\n  can0  123  [01]  11\n")
            << QStringList{" 123 s d 1 11 rx ch1 fd", "skipped 4"};
        const QByteArray ascHead = "date Fri Mar 1 10:00:00.000 am 2024\nbase hex  timestamps "
                                   "absolute\nBegin Triggerblock Fri Mar 1 10:00:00.000 am 2024\n";
        const int asc = int(CaptureFormat::Asc);
        const QByteArray trail = "   130000  130     ";
        QTest::newRow("asc: python-can, log2asc, names, no tail")
            << asc
            << ascHead +
                   " 0.000000 CANFD   1 Rx        123                                   1 0 "
                   "9 12 " +
                   countingHex(12, " ") +
                   "        0    0     3000        0        0        0        0        0\n"
                   "   0.500000 CANFD   2 Tx   1ABCDEF0x                                  0 1 f "
                   "64 " +
                   s64 + trail + "5000 0 0 0 0 0\n   1.0 CANFD 3 Rx 7FF MyMessage 1 1 0 0 " +
                   trail + "7000 0 0 0 0 0\n   1.5 CANFD 1 Tx 10 0 0 5 5 00 01 02 03 04\n"
            << QStringList{" 123 s d 12 " + countingData(12) + " rx ch1 fd+brs",
                           " 1abcdef0 x d 64 " + d64 + " tx ch2 fd+esi",
                           " 7ff s d 0 - rx ch3 fd+brs+esi",
                           " 10 s d 5 " + countingData(5) + " tx ch1 fd", "skipped 0"};
        QTest::newRow("asc: classic frames on CANFD lines (log2asc -f)")
            << asc
            << ascHead + "   0.0 CANFD   1 Rx        123      0 0 2  2 11 22" + trail +
                   "0 0 0 0 0 0\n   0.2 CANFD   1 Rx   12345678x 0 0 3  0" + trail +
                   "10 0 0 0 0 0\n   0.3 CANFD   2 Rx   123   0 0 c  8 01 02 03 04 05 06 07 08" +
                   trail + "0 0 0 0 0 0\n"
            << QStringList{" 123 s d 2 1122 rx ch1", " 12345678 x r 3 - rx ch1",
                           " 123 s d 12 0102030405060708 rx ch2", "skipped 0"};
        QTest::newRow("asc: 11 padded, decimal base, error frame, damaged")
            << asc
            << QByteArray("date Fri Mar 1 10:00:00.000 am 2024\nbase dec  timestamps absolute\n"
                          "   0.1 CANFD 1 Rx 291 0 0 9 11 0 1 2 3 4 5 6 7 8 9 10\n"
                          "   0.2 CANFD 1 Rx ErrorFrame 0 0 0 0 0\n"
                          "   0.3 CANFD 1 Rx 291 0 0 15 65 " +
                          QByteArray(" 0").repeated(65) +
                          "\n   0.4 CANFD 1 Rx 291 0 0 9 12 1 2\n"
                          "   0.5 CANFD 1 Rx 291 2 0 1 1 7\n"
                          "   0.6 CANFD 1 Rx 291 0 0 1 1 7 0 0 xyz\n")
            << QStringList{" 123 s d 12 " + countingData(11) + "00 rx ch1 fd", "skipped 5"};
        const int trc = int(CaptureFormat::Trc);
        const QByteArray trc21 = ";$FILEVERSION=2.1\n;$STARTTIME=45352.5\n"
                                 ";$COLUMNS=N,O,T,B,I,d,R,L,D\n";
        QTest::newRow("trc 2.1")
            << trc
            << trc21 + "      1      1059.900 FD  1     0300 Rx -  9    " + countingHex(12, " ") +
                   "\n      2      1283.231 FB  2 12345678 Tx - 15    " + s64 +
                   "\n      3      1283.500 FE  1     0001 Rx -  0\n"
                   "      4      1284.000 BI  0     0002 Rx -  1    AA\n"
                   "      5      1285.000 FD  1     0003 Rx -  9    00 01 02 03 04 05 06 07\n"
                   "      6      1286.000 FD  1     0004 Rx - 16    00\n"
            << QStringList{" 300 s d 12 " + countingData(12) + " rx ch1 fd",
                           " 12345678 x d 64 " + d64 + " tx ch2 fd+brs", " 1 s d 0 - rx ch1 fd+esi",
                           " 2 s d 1 aa rx ch3 fd+brs+esi", "skipped 2"};
        QTest::newRow("trc 2.0: data length")
            << trc
            << QByteArray(";$FILEVERSION=2.0\n;$STARTTIME=45352.5\n"
                          "     1      1500.000 FD 0123 Tx 12 " +
                          countingHex(12, " ") + "\n     2      1500.001 FB 00000010 Rx 11 " +
                          countingHex(11, " ") + "\n     3      1500.002 FD 0123 Rx 65 " + s64 +
                          " 40\n")
            << QStringList{" 123 s d 12 " + countingData(12) + " tx ch3 fd",
                           " 10 x d 12 " + countingData(11) + "00 rx ch3 fd+brs", "skipped 1"};
        const QByteArray tableHead =
            "[ID];[FF];[RTR];[LEN];[D0];[D1];[D2];[D3];[D4];[D5];[D6];[D7];[DIR];[TIME];\n";
        const QByteArray eight = "0x00;0x01;0x02;0x03;0x04;0x05;0x06;0x07;";
        const int table = int(CaptureFormat::Table);
        QTest::newRow("table") << table
                               << tableHead + "0x00000123;SFF;0;12;" + eight +
                                      "RX;;FD BRS;0x08;0x09;0x0A;0x0B;\n" + "0x00000123;SFF;0;3;" +
                                      eight + "TX;;FD;\n" + "0x12345678;EFF;0;11;" + eight +
                                      "RX (CAN1->CAN0);;FD ESI BRS;0x08;0x09;0x0A;  \n"
                               << QStringList{" 123 s d 12 " + countingData(12) + " rx ch3 fd+brs",
                                              " 123 s d 3 000102 tx ch3 fd",
                                              " 12345678 x d 12 " + countingData(11) +
                                                  "00 rx ch2 fd+brs+esi",
                                              "skipped 0"};
        QTest::newRow("table: damaged")
            << table
            << tableHead + "0x00000123;SFF;0;12;" + eight + "RX;;FD;0x08;0x09;0x0A;\n" +
                   "0x00000123;SFF;0;12;" + eight + "RX;;FD;0x08;0x09;0x0A;0x0B;0x0C;\n" +
                   "0x00000123;SFF;0;9;" + eight + "RX;;FD XYZ;0x08;\n" + "0x00000123;SFF;1;3;" +
                   eight + "RX;;FD;\n" + "0x00000123;SFF;0;65;" + eight + "RX;;FD;" +
                   QByteArray("0x00;").repeated(57) + "\n" + "0x00000123;SFF;0;9;" + eight +
                   "RX;;FDX;0x08;\n" + "0x00000123;SFF;0;9;" + eight + "RX;;FD;0x08;\n"
            << QStringList{" 123 s d 12 " + countingData(9) + "000000 rx ch3 fd", "skipped 6"};
    }

    void fdLinesRead()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, text);
        QFETCH(QStringList, frames);
        const ReadResult read = readBytes(CaptureFormat(format), text);
        QCOMPARE(read.error, QString());
        QCOMPARE(describeAll(read.frames, false) << QStringLiteral("skipped %1").arg(read.skipped),
                 frames);
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
