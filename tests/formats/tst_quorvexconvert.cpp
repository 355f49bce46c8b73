// SPDX-License-Identifier: GPL-3.0-or-later
// The converter as a user runs it: formats from suffixes or options, standard streams, exit
// status, counts, and no half-written output.
#include "fdsamples.h"
#include "formats/candumpwriter.h"
#include "formattestkit.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace FdSamples;
using namespace FormatTestKit;

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Run convert(const QStringList &args, const QByteArray &input = {})
{
    QProcess process;
    process.start(QStringLiteral(QUORVEX_CONVERT_PATH), args);
    process.write(input);
    process.closeWriteChannel();
    Run run;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        run.code = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

const QByteArray Log = "(1700000000.000001) can0 123#11\n(1700000000.5) can1 12345678#R2\n"
                       "(1700000001.0) can0 123##0AA\n(1700000002.0) cantx 7FF#0102\n";
const QByteArray Old = "old contents\n";

} // namespace

class TestQuorvexConvert : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString path(const QString &name) const { return tmp.filePath(name); }

private slots:
    void initTestCase()
    {
        useTestZone();
        QVERIFY(tmp.isValid());
        QVERIFY(::writeFile(path("in.log"), Log));
        QByteArray broken = writeBytes(CaptureFormat::Blf, sampleFrames()); // one container
        broken[broken.size() - 20] = char(broken[broken.size() - 20] ^ 0x10);
        QVERIFY(::writeFile(path("broken.blf"), broken));
    }

    void convertsBySuffix_data()
    {
        QTest::addColumn<QString>("suffix");
        for (const CaptureFormat f : CaptureFormats::all())
            QTest::newRow(qPrintable(CaptureFormats::suffix(f))) << CaptureFormats::suffix(f);
    }

    void convertsBySuffix()
    {
        // Each format and back again gives the frames of the log (the direction through the
        // candump marks).
        QFETCH(QString, suffix);
        const Run there = convert({path("in.log"), path("out." + suffix)});
        QCOMPARE(there.code, 0);
        QCOMPARE(there.err, QByteArray("frames read 4, written 4, skipped 0\n"));
        const QStringList args = {"--date", "2023-11-15", path("out." + suffix), "-",
                                  "--to",   "candump",    "--direction-marks"};
        const Run back = convert(args);
        QCOMPARE(back.code, 0);
        // What each format keeps of a CAN FD frame is for its own tests: here the frame is seen
        // as its first bytes.
        const auto classicView = [&](const QByteArray &log) {
            QVector<TimedPacket> frames = readBytes(CaptureFormat::Candump, log).frames;
            for (TimedPacket &f : frames)
                f.packet.frame &= ~CanPacket::FdFlags;
            return describeAll(frames, suffix != "csv");
        };
        QCOMPARE(classicView(back.out), classicView(Log));
    }

    // A recording cut by a power cut (zeroed tail) with a binary line inside converts whole:
    // every frame around the damage, the two damaged lines counted as skipped.
    void damagedInput_data()
    {
        QTest::addColumn<int>("format");
        for (const CaptureFormat f : CaptureFormats::all()) {
            if (f != CaptureFormat::Blf && f != CaptureFormat::Pcapng) // text formats only
                QTest::newRow(qPrintable(CaptureFormats::suffix(f))) << int(f);
        }
    }

    void damagedInput()
    {
        QFETCH(int, format);
        const CaptureFormat f = CaptureFormat(format);
        const QByteArray clean = writeBytes(f, sampleFrames());
        QList<QByteArray> lines = clean.split('\n');
        lines.insert(lines.size() - 3, QByteArray("\x01\x00\xff binary\x00", 12));
        const QString in = path("damaged." + CaptureFormats::suffix(f));
        QVERIFY(::writeFile(in, lines.join('\n') + QByteArray(4096, '\0')));
        const Run run = convert({in, "-", "--to", "candump", "--date", "2023-11-15"});
        QCOMPARE(run.code, 0);
        const ReadResult expected = readBytes(f, clean);
        const QList<QByteArray> said = run.err.trimmed().split('\n');
        QCOMPARE(said.value(0), QStringLiteral("frames read %1, written %1, skipped %2")
                                    .arg(expected.frames.size())
                                    .arg(expected.skipped + 2)
                                    .toLatin1());
        QCOMPARE(said.size(), 3); // where: the binary line, the zeroed tail
        QVERIFY2(said[1].startsWith("quorvex-convert: " + QFile::encodeName(in) + ": line "),
                 said[1]);
        QVERIFY2(said[2].contains(": line "), said[2]);
    }

    // A binary capture damaged part-way converts whole but for its damage: every frame read is
    // written, the counts are what the file holds, where the damage was is said, and the exit
    // status is 0; a cut one the same, with the cut said.
    void damagedBinaryInput_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("cut");
        QVector<TimedPacket> frames;
        for (int i = 0; i < 9000; ++i) // four BLF containers
            frames.append(sampleFrames(true)[i % 9]);
        const QByteArray blf = writeBytes(CaptureFormat::Blf, frames);
        QByteArray flipped = blf;
        flipped[blf.size() / 3] = char(flipped[blf.size() / 3] ^ 0x10);
        QTest::newRow("blf, one container damaged") << int(CaptureFormat::Blf) << flipped << false;
        QTest::newRow("blf, cut") << int(CaptureFormat::Blf) << blf.left(blf.size() * 2 / 3)
                                  << true;
        const QByteArray pcapng = writeBytes(CaptureFormat::Pcapng, frames);
        QByteArray zeroed = pcapng;
        std::memset(zeroed.data() + pcapng.size() / 2, 0, 500);
        QTest::newRow("pcapng, zeroed stretch") << int(CaptureFormat::Pcapng) << zeroed << false;
        QTest::newRow("pcapng, cut")
            << int(CaptureFormat::Pcapng) << pcapng.left(pcapng.size() - 7) << true;
    }

    void damagedBinaryInput()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, cut);
        const CaptureFormat f = CaptureFormat(format);
        const QString in = path("damaged." + CaptureFormats::suffix(f));
        const QString out = path("damaged-out.blf");
        QVERIFY(::writeFile(in, bytes));
        QFile::remove(out);
        const Run run = convert({in, out});
        QCOMPARE(run.code, 0);
        const ReadResult direct = readBytes(f, bytes);
        QVERIFY(direct.frames.size() > 1000 && direct.skipped == 1);
        const ReadResult written = readFile(CaptureFormat::Blf, out);
        QCOMPARE(describeAll(written.frames), describeAll(direct.frames));
        const QList<QByteArray> said = run.err.trimmed().split('\n');
        QCOMPARE(said.value(0), QStringLiteral("frames read %1, written %1, skipped 1")
                                    .arg(direct.frames.size())
                                    .toLatin1());
        const CaptureDamage &d = direct.damage.value(0);
        QCOMPARE(said.value(1), (QStringLiteral("quorvex-convert: %1: bytes %2-%3 skipped: %4")
                                     .arg(in)
                                     .arg(d.offset)
                                     .arg(d.offset + d.length - 1)
                                     .arg(d.what))
                                    .toLocal8Bit());
        QCOMPARE(said.size(), cut ? 3 : 2);
        if (cut)
            QCOMPARE(said[2], ("quorvex-convert: " + in + ": " + direct.error).toLocal8Bit());
    }

    // What candump printed on the screen, in a file without a candump suffix or through a pipe:
    // relative times on the day given, damaged lines counted.
    void candumpScreenOutput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("by content") << QStringList{path("screen.txt"), "-", "--to", "candump"};
        QTest::newRow("named") << QStringList{"--from", "candump", "-", "-", "--to", "candump"};
    }

    void candumpScreenOutput()
    {
        QFETCH(QStringList, args);
        const QByteArray screen = "(000.000000)  can0  123   [2]  01 02\n"
                                  "(000.250000)  can1  12345678   [0]  remote request\n"
                                  "(000.2\x01 damaged\n"
                                  "(001.500000)  can0  7FF   [1]  FF\n";
        QVERIFY(::writeFile(path("screen.txt"), screen));
        const Run run = convert(args + QStringList{"--date", "2024-05-01"}, screen);
        QVERIFY2(run.err.startsWith("frames read 3, written 3, skipped 1\n"), run.err.constData());
        QVERIFY2(run.err.contains(": line 3 skipped: "), run.err.constData());
        QCOMPARE(run.code, 0);
        // Local midnight in the test's zone, three hours east of UTC.
        QCOMPARE(run.out, QByteArray("(1714510800.000000) can0 123#0102\n"
                                     "(1714510800.250000) can1 12345678#R\n"
                                     "(1714510801.500000) can0 7FF#FF\n"));
    }

    void standardStreams()
    {
        const Run run = convert({"--from", "candump", "--to", "asc", "-", "-"}, Log);
        QCOMPARE(run.code, 0);
        QVERIFY(run.out.startsWith("date Wed Nov 15 01:13:20.000 am 2023\n"));
        QCOMPARE(readBytes(CaptureFormat::Asc, run.out).frames.size(), 4);
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no files") << QStringList() << 2;
        QTest::newRow("one file") << QStringList{"in.log"} << 2;
        QTest::newRow("unknown --to") << QStringList{"in.log", "x.log", "--to", "pcap"} << 2;
        QTest::newRow("stdin without --from") << QStringList{"-", "x.asc"} << 2;
        QTest::newRow("unknown output suffix") << QStringList{"in.log", "x.txt"} << 2;
        QTest::newRow("bad date") << QStringList{"in.log", "x.asc", "--date", "15.11.2023"} << 2;
        QTest::newRow("unknown input suffix") << QStringList{"in.txt", "x.asc"} << 1;
        QTest::newRow("missing input") << QStringList{"absent.log", "x.asc"} << 1;
        QTest::newRow("not that format") << QStringList{"in.log", "x.asc", "--from", "blf"} << 1;
        QTest::newRow("nothing but damage") << QStringList{"broken.blf", "x.asc"} << 1;
        QTest::newRow("unwritable output") << QStringList{"in.log", "absent/x.asc"} << 1;
    }

    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QVERIFY(::writeFile(path("x.asc"), Old));
        for (QString &arg : args) {
            if (arg.contains('.') && !arg.startsWith("15"))
                arg = path(arg);
        }
        QCOMPARE(convert(args).code, code);
        QCOMPARE(::readFile(path("x.asc")), Old); // a failed run leaves the old file alone
    }

    void writeFailureLeavesNoFile()
    {
        // A file size limit makes writes fail for every user, root included; the child inherits
        // the limit and the ignored signal.
        QByteArray big;
        for (int i = 0; i < 2000; ++i) // classic frames: all are read before the first write
            big += QByteArray(Log).replace("(1700000001.0) can0 123##0AA\n", "");
        QVERIFY(::writeFile(path("big.log"), big));
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QProcess process;
        process.start(QStringLiteral(QUORVEX_CONVERT_PATH), {path("big.log"), path("big.asc")});
        const bool started = process.waitForStarted();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(started && process.waitForFinished());
        QCOMPARE(process.exitCode(), 1);
        const QByteArray said = process.readAllStandardError();
        QVERIFY(said.contains("cannot write"));
        QVERIFY2(said.startsWith("frames read 6000, written 0, skipped 0\n"), said); // no file
        QVERIFY(!QFile::exists(path("big.asc")));
        QCOMPARE(QDir(tmp.path()).entryList({"big*"}), QStringList{"big.log"});
    }

    void writesIntoPipes()
    {
        // A named pipe is written, not replaced by a renamed file.
        const QString fifo = path("pipe");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QProcess process;
        process.start(QStringLiteral(QUORVEX_CONVERT_PATH), {path("in.log"), fifo, "--to", "blf"});
        QFile pipe(fifo);
        QVERIFY(pipe.open(QIODevice::ReadOnly));
        const ReadResult read = readBytes(CaptureFormat::Blf, pipe.readAll());
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(read.frames.size(), 4);
        QVERIFY(!QFileInfo(fifo).isFile());
    }

    // Each frame keeps its channel as the input names it; the direction marks only on request.
    void channelsAndDirectionMarks()
    {
        const QByteArray in = "(1700000000.000001) vcan3 52B#544F T\n"
                              "(1700000000.500000) can1 12345678#R2 R\n"
                              "(1700000002.000000) can1 7FF#0102 T\n";
        const Run plain = convert({"-", "-", "--from", "candump", "--to", "candump"}, in);
        QCOMPARE(plain.code, 0);
        QCOMPARE(plain.out, QByteArray("(1700000000.000001) vcan3 52B#544F\n"
                                       "(1700000000.500000) can1 12345678#R2\n"
                                       "(1700000002.000000) can1 7FF#0102\n"));
        const Run marked =
            convert({"-", "-", "--from", "candump", "--to", "candump", "--direction-marks"}, in);
        QCOMPARE(marked.code, 0);
        QCOMPARE(marked.out, in);
        // A transmitted frame on ASC channel 2 is can1, as python-can and asc2log name it.
        const QByteArray asc =
            "date Tue Nov 14 10:13:20.000 pm 2023\nbase hex  timestamps absolute\n"
            "   0.250000 2  52B             Tx   d 2 54 4F\n"
            "   0.500000 1  100             Rx   d 1 11\n";
        const Run fromAsc =
            convert({"-", "-", "--from", "asc", "--to", "candump", "--direction-marks"}, asc);
        QCOMPARE(fromAsc.code, 0);
        const QList<QByteArray> lines = fromAsc.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].endsWith(") can1 52B#544F T"), lines[0]);
        QVERIFY2(lines[1].endsWith(") can0 100#11 R"), lines[1]);
    }

    // python-can reads the marks and the channels back.
    void pythonReadsTheMarks()
    {
        const QByteArray in =
            "(1700000000.000001) vcan3 52B#544F T\n(1700000000.5) can1 100#11 R\n";
        QVERIFY(::writeFile(path("marks-in.log"), in));
        QCOMPARE(convert({path("marks-in.log"), path("marks.log"), "--direction-marks"}).code, 0);
        QCOMPARE(convert({path("marks-in.log"), path("plain.log")}).code, 0);
        const QByteArray script = "import sys, can\n"
                                  "for m in can.LogReader(sys.argv[1]):\n"
                                  "    print(m.channel, format(m.arbitration_id, 'x'), "
                                  "'rx' if m.is_rx else 'tx')\n";
        bool ok = false;
        QCOMPARE(runPython(QDir(tmp.path()), script, {path("marks.log")}, &ok),
                 QByteArray("vcan3 52b tx\ncan1 100 rx\n"));
        QVERIFY(ok);
        QCOMPARE(runPython(QDir(tmp.path()), script, {path("plain.log")}, &ok),
                 QByteArray("vcan3 52b rx\ncan1 100 rx\n")); // no marks: no direction
        QVERIFY(ok);
    }

    // CAN FD frames of every length with their flags, among classic ones, through every pair of
    // the text formats: all bytes and flags arrive (the table keeps milliseconds; it and our
    // candump log keep no line of a transmitted frame).
    void fdThroughTextFormats_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        const QList<CaptureFormat> text = {CaptureFormat::Candump, CaptureFormat::Asc,
                                           CaptureFormat::Trc, CaptureFormat::Table};
        for (const CaptureFormat from : text) {
            for (const CaptureFormat to : text) {
                if (from != to)
                    QTest::addRow("%s to %s", qPrintable(CaptureFormats::name(from)),
                                  qPrintable(CaptureFormats::name(to)))
                        << int(from) << int(to);
            }
        }
    }

    void fdThroughTextFormats()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        const QVector<TimedPacket> frames = sampleFdFrames();
        const QString in = path("fd-in." + CaptureFormats::suffix(CaptureFormat(from)));
        const QString out = path("fd-out." + CaptureFormats::suffix(CaptureFormat(to)));
        QByteArray input = writeBytes(CaptureFormat(from), frames);
        if (from == int(CaptureFormat::Candump)) { // with the direction, as the other formats
            QBuffer buffer(&input);
            buffer.open(QIODevice::WriteOnly | QIODevice::Truncate);
            CandumpWriter writer(&buffer);
            writer.setDirectionMarks(true);
            for (const TimedPacket &f : frames)
                writer.write(f);
            QVERIFY(writer.finish());
        }
        QVERIFY(::writeFile(in, input));
        const Run run = convert({"--date", "2023-11-15", "--direction-marks", in, out});
        QCOMPARE(run.err, QByteArray("frames read 67, written 67, skipped 0\n"));
        QCOMPARE(run.code, 0);
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto reader = CaptureFormats::createReader(CaptureFormat(to), &file);
        reader->setBaseDate(QDate(2023, 11, 15)); // the table's day
        QVector<TimedPacket> read;
        for (TimedPacket f; reader->next(f);)
            read.append(f);
        QCOMPARE(reader->skipped(), quint64(0));
        const bool table = from == int(CaptureFormat::Table) || to == int(CaptureFormat::Table);
        const bool lineless = table || from == int(CaptureFormat::Candump);
        QVector<TimedPacket> expected = frames;
        for (TimedPacket &f : expected) {
            if (lineless && f.packet.direct == CanPacket::Transmitted)
                f.packet.frame &= ~0x30;
            if (table)
                f.time = f.time / 1000 * 1000;
        }
        QCOMPARE(describeAll(read), describeAll(expected));
    }

    // CAN FD frames, every length with their flags, from BLF to pcapng and back, exact.
    void fdThroughBinaryFormats()
    {
        const QVector<TimedPacket> frames = fdSampleFrames();
        QVERIFY(writeFile(CaptureFormat::Blf, path("fd-in.blf"), frames));
        const QByteArray counts =
            QStringLiteral("frames read %1, written %1, skipped 0\n").arg(frames.size()).toLatin1();
        Run run = convert({path("fd-in.blf"), path("fd.pcapng")});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.err, counts);
        run = convert({path("fd.pcapng"), path("fd-out.blf")});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.err, counts);
        const ReadResult read = readFile(CaptureFormat::Blf, path("fd-out.blf"));
        QCOMPARE(read.error, QString());
        QCOMPARE(describeAllFd(read.frames), describeAllFd(frames));
    }

    void help()
    {
        const Run run = convert({"--help"});
        QCOMPARE(run.code, 0);
        for (const char *word :
             {"candump", "asc", "trc", "blf", "table", "--from", "--to", "--date",
              "--direction-marks", "carries no direction", "Exit status"})
            QVERIFY2(run.out.contains(word), word);
    }
};

QTEST_GUILESS_MAIN(TestQuorvexConvert)
#include "tst_quorvexconvert.moc"
