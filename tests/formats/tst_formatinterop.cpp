// SPDX-License-Identifier: GPL-3.0-or-later
// Captures exchanged with the field's tools, every frame compared: python-can's writers and
// readers, can-utils' log2asc / asc2log, tshark.
#include "fdsamples.h"
#include "formats/candumpreader.h"
#include "formats/candumpwriter.h"
#include "formattestkit.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace FdSamples;
using namespace FormatTestKit;

namespace {

// write FRAMES LOG ASC TRC BLF PLAIN_BLF: python-can writes the frames in each format.
// read KIND FILE: python-can reads a file and prints its frames as the test describes them.
const QByteArray Script = R"PY(
import sys, can
def messages(path, remote=True):
    for line in open(path):
        t, i, x, r, n, d, tx, ch = line.split()
        if r == 'r' and not remote:
            continue
        yield can.Message(timestamp=int(t) / 1e6, arbitration_id=int(i, 16), is_extended_id=x == 'x',
                          is_remote_frame=r == 'r', dlc=int(n), data=bytes.fromhex(d.strip('-')),
                          is_rx=tx == 'rx', channel=int(ch[2:]))
def write(writer, path, remote=True, name=None):
    with writer as w:
        for m in messages(path, remote):
            if name:
                m.channel = name[m.channel]
            else:
                m.channel -= 1
            w.on_message_received(m)
if sys.argv[1] == 'write':
    src = sys.argv[2]
    write(can.CanutilsLogWriter(sys.argv[3]), src, name={1: 'can0', 2: 'can1', 3: 'vcan'})
    write(can.ASCWriter(sys.argv[4]), src)
    write(can.TRCWriter(sys.argv[5]), src, remote=False)
    write(can.BLFWriter(sys.argv[6]), src)
    write(can.BLFWriter(sys.argv[7], compression_level=0), src)
else:
    kind, path = sys.argv[2], sys.argv[3]
    reader = {'log': lambda: can.LogReader(path),
              'asc': lambda: can.ASCReader(path, relative_timestamp=False),
              'trc': lambda: can.TRCReader(path), 'blf': lambda: can.BLFReader(path)}[kind]()
    for m in reader:
        ch = m.channel if kind in ('log', 'trc') else m.channel + 1
        data = '-' if m.is_remote_frame or not m.data else m.data.hex()
        print(round(m.timestamp * 1e6), format(m.arbitration_id, 'x'), 'x' if m.is_extended_id else 's',
              'r' if m.is_remote_frame else 'd', m.dlc, data, 'rx' if m.is_rx else 'tx', 'ch%s' % ch)
)PY";

// CAN FD beside classic frames, described as FormatTestKit::describe does.
// write FRAMES LOG ASC: python-can writes the frames as a candump log and an ASC file.
// read KIND FILE [KIND FILE...]: python-can reads each file and prints its frames.
const QByteArray FdScript = R"PY(
import sys, can
def messages(path):
    for line in open(path):
        t, i, x, r, n, d, tx, ch, kind = (line.split() + ['classic'])[:9]
        fd = kind.startswith('fd')
        yield can.Message(timestamp=int(t) / 1e6, arbitration_id=int(i, 16), is_extended_id=x == 'x',
                          is_remote_frame=r == 'r', dlc=None if fd else int(n),
                          data=bytes.fromhex(d.strip('-')), is_rx=tx == 'rx', channel=int(ch[2:]),
                          is_fd=fd, bitrate_switch='+brs' in kind, error_state_indicator='+esi' in kind)
if sys.argv[1] == 'write':
    with can.CanutilsLogWriter(sys.argv[3]) as w:
        for m in messages(sys.argv[2]):
            m.channel = {1: 'can0', 2: 'can1', 3: 'vcan'}[m.channel]
            w.on_message_received(m)
    with can.ASCWriter(sys.argv[4]) as w:
        for m in messages(sys.argv[2]):
            m.channel -= 1
            w.on_message_received(m)
else:
    for kind, path in zip(sys.argv[2::2], sys.argv[3::2]):
        reader = can.LogReader(path) if kind == 'log' else can.ASCReader(path, relative_timestamp=False)
        for m in reader:
            ch = m.channel if kind == 'log' else m.channel + 1
            data = '-' if m.is_remote_frame or not m.data else m.data.hex()
            fd = ['fd' + ('+brs' if m.bitrate_switch else '') + ('+esi' if m.error_state_indicator else '')]
            print(round(m.timestamp * 1e6), format(m.arbitration_id, 'x'), 'x' if m.is_extended_id else 's',
                  'r' if m.is_remote_frame else 'd', m.dlc, data, 'rx' if m.is_rx else 'tx', 'ch%s' % ch,
                  *(fd if m.is_fd else []))
)PY";

QStringList lines(const QByteArray &text)
{
    QStringList out;
    for (const QByteArray &line : text.split('\n')) {
        if (!line.trimmed().isEmpty())
            out.append(QString::fromUtf8(line.trimmed()).replace(QRegularExpression(" +"), " "));
    }
    return out;
}

QVector<TimedPacket> withoutRemote(QVector<TimedPacket> frames)
{
    frames.erase(std::remove_if(frames.begin(), frames.end(),
                                [](const TimedPacket &f) { return f.packet.isRemote(); }),
                 frames.end());
    return frames;
}

// How python-can sees a line of our candump log: the interface name as channel, no direction
// mark, so every frame is received.
QStringList pythonViewOfCandump(const QVector<TimedPacket> &frames)
{
    QStringList out;
    for (TimedPacket f : frames) {
        const bool tx = f.packet.direct == CanPacket::Transmitted;
        const int route = f.packet.frame & 0x30;
        const QString name = tx ? "cantx" : route & 0x10 ? "can0" : route ? "can1" : "canrx";
        f.packet.direct = CanPacket::Received;
        out.append(describe(f, true, name));
    }
    return out;
}

// "(sec.usec) iface id#data [R|T]" lines of asc2log, "id##Fdata" for CAN FD (F the flags
// digit), described with times from the first line.
QStringList describeCandumpText(const QByteArray &text)
{
    static const QRegularExpression line(
        R"(^\((\d+)\.(\d{6})\) can(\d) ([0-9A-F]+)#(R\d?|[0-9A-F]*|#[0-9A-F][0-9A-F]*) ([RT])$)");
    QVector<TimedPacket> frames;
    for (const QString &text : lines(text)) {
        const auto m = line.match(text);
        if (!m.hasMatch())
            return {"unexpected line: " + text};
        const QString body = m.captured(5);
        const bool remote = body.startsWith('R');
        const bool fd = body.startsWith('#');
        const QByteArray data = QByteArray::fromHex(body.mid(fd ? 2 : 0).toLatin1());
        TimedPacket f = frame(m.captured(1).toLongLong() * 1000000 + m.captured(2).toLongLong(),
                              m.captured(4).toUInt(nullptr, 16), m.captured(4).size() == 8,
                              m.captured(3).toInt() + 1, m.captured(6) == "T",
                              remote ? 0x10 | body.mid(1).toInt() : data.size(), data);
        if (fd) {
            const int flags = body.mid(1, 1).toInt(nullptr, 16);
            f.packet.rtl = 0;
            f.packet.setFdLength(data.size());
            f.packet.frame |= ((flags & 1) ? CanPacket::BitRateSwitch : 0) |
                              ((flags & 2) ? CanPacket::ErrorState : 0);
            std::copy(data.cbegin(), data.cend(), f.packet.data);
        }
        frames.append(f);
    }
    return describeAll(relative(frames));
}

// What candump keeps of a frame: no line of a transmitted one.
QVector<TimedPacket> candumpKept(QVector<TimedPacket> frames)
{
    for (TimedPacket &f : frames) {
        if (f.packet.direct == CanPacket::Transmitted)
            f.packet.frame &= ~0x30;
    }
    return frames;
}

// log2long's lines with their times as candump's other -t options print them (-t a as they
// are; "none" without a time) or with -x's columns.
QByteArray screenVariant(const QByteArray &log2long, const QString &variant)
{
    static const QRegularExpression timed(R"(^\((\d+)\.(\d{6})\)  +(\S+)  (.*)$)");
    QByteArray out;
    qint64 first = -1;
    qint64 previous = -1;
    for (const QString &text : QString::fromLatin1(log2long).split('\n', Qt::SkipEmptyParts)) {
        const auto m = timed.match(text);
        if (!m.hasMatch())
            return "unexpected line: " + text.toLatin1();
        const qint64 us = m.captured(1).toLongLong() * 1000000 + m.captured(2).toLongLong();
        first = first < 0 ? us : first;
        const qint64 shown = variant == "z" ? us - first : previous < 0 ? 0 : us - previous;
        previous = us;
        const auto relative = [](qint64 t) {
            return QStringLiteral("(%1.%2)")
                .arg(t / 1000000, 3, 10, QLatin1Char('0'))
                .arg(t % 1000000, 6, 10, QLatin1Char('0'));
        };
        QString time = m.captured(0).section(' ', 0, 0);
        if (variant == "A")
            time = "(" + QDateTime::fromMSecsSinceEpoch(us / 1000).toString("yyyy-MM-dd HH:mm:ss") +
                   "." + m.captured(2) + ")";
        else if (variant == "z" || variant == "d")
            time = relative(shown);
        else if (variant == "none")
            time.clear();
        const QString extra = variant == "x" ? QStringLiteral("  RX - -") : QString();
        out += (time + "  " + m.captured(3) + extra + "  " + m.captured(4) + "\n").toLatin1();
    }
    return out;
}

} // namespace

class TestFormatInterop : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString path(const QString &name) const { return tmp.filePath(name); }
    QByteArray python(const QStringList &args)
    {
        bool ok = false;
        const QByteArray out = runPython(QDir(tmp.path()), Script, args, &ok);
        [&] { QVERIFY2(ok, "python-can failed"); }();
        return out;
    }

    // python-can writes `frames` as NAME.log, .asc, .trc, .blf and NAME-plain.blf (stored).
    void pythonWrites(const QVector<TimedPacket> &frames, const QString &name)
    {
        QFile list(path("frames.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(describeAll(frames).join('\n').toUtf8() + '\n');
        list.close();
        python({"write", path("frames.txt"), path(name + ".log"), path(name + ".asc"),
                path(name + ".trc"), path(name + ".blf"), path(name + "-plain.blf")});
    }

private slots:
    void initTestCase()
    {
        useTestZone();
        QVERIFY(tmp.isValid());
    }

    void pythonWritesQuorvexReads_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("format");
        QTest::newRow("candump") << "py.log" << int(CaptureFormat::Candump);
        QTest::newRow("asc") << "py.asc" << int(CaptureFormat::Asc);
        QTest::newRow("trc") << "py.trc" << int(CaptureFormat::Trc);
        QTest::newRow("blf") << "py.blf" << int(CaptureFormat::Blf);
        QTest::newRow("blf, not compressed") << "py-plain.blf" << int(CaptureFormat::Blf);
    }

    void pythonWritesQuorvexReads()
    {
        QFETCH(QString, file);
        QFETCH(int, format);
        const QVector<TimedPacket> frames = sampleFrames(true);
        pythonWrites(frames, "py");
        const ReadResult read = readFile(CaptureFormat(format), path(file));
        QCOMPARE(read.error, QString());
        QVector<TimedPacket> expected = frames;
        for (TimedPacket &f : expected) { // python-can writes every remote frame as "ID#R"
            if (format == int(CaptureFormat::Candump) && f.packet.isRemote())
                f.packet.rtl = 0x10;
        }
        if (format == int(CaptureFormat::Trc)) // no remote frames; its start time is not kept
            QCOMPARE(describeAll(relative(read.frames)),
                     describeAll(relative(withoutRemote(frames))));
        else
            QCOMPARE(describeAll(read.frames), describeAll(expected));
    }

    // python-can splits objects between its containers. One flipped byte in a container makes
    // python-can give up at it; we lose only the frames with a byte in that container.
    void pythonBlfWithDamagedContainer()
    {
        QVector<TimedPacket> frames;
        for (int i = 0; i < 9000; ++i) // four containers
            frames.append(frame(1700000000LL * 1000000 + i * 1000, uint32_t(i % 0x7FF), false,
                                1 + i % 2, false, 2, QByteArray::fromHex("0102")));
        pythonWrites(frames, "d");
        QFile file(path("d.blf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        const int second = bytes.indexOf("LOBJ", bytes.indexOf("LOBJ") + 4);
        QVERIFY(second > 0);
        bytes[second + 200] = char(bytes[second + 200] ^ 0x10);
        const ReadResult read = readBytes(CaptureFormat::Blf, bytes);
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(1));
        const QStringList all = describeAll(frames);
        const QStringList kept = describeAll(read.frames);
        const int lost = all.size() - kept.size();
        QVERIFY2(lost >= 2730 && lost <= 2732, qPrintable(QString::number(lost))); // 128 KiB
        int first = 0;
        while (first < kept.size() && kept[first] == all[first])
            ++first;
        QVERIFY(first >= 2730); // the first container whole, with the object split from it
        QCOMPARE(kept.mid(first), all.mid(first + lost));
    }

    void quorvexWritesPythonReads_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("format");
        QTest::newRow("candump") << "log" << int(CaptureFormat::Candump);
        QTest::newRow("asc") << "asc" << int(CaptureFormat::Asc);
        QTest::newRow("trc") << "trc" << int(CaptureFormat::Trc);
        QTest::newRow("blf") << "blf" << int(CaptureFormat::Blf);
    }

    void quorvexWritesPythonReads()
    {
        QFETCH(QString, kind);
        QFETCH(int, format);
        const QVector<TimedPacket> frames = sampleFrames(true);
        const QString file = path("ours." + kind);
        QVERIFY(writeFile(CaptureFormat(format), file, frames));
        const QStringList seen = lines(python({"read", kind, file}));
        if (format == int(CaptureFormat::Candump))
            QCOMPARE(seen, pythonViewOfCandump(frames));
        else if (format == int(CaptureFormat::Trc)) // python-can reads neither RR nor the start
            QCOMPARE(describeAll(relative(readBack(seen))),
                     describeAll(relative(withoutRemote(frames))));
        else
            QCOMPARE(seen, describeAll(frames));
    }

    void log2ascOutputReads()
    {
        // log2asc dates its file to the second of the first frame, in local time.
        const QVector<TimedPacket> frames = sampleFrames();
        QStringList log;
        for (const TimedPacket &f : frames) {
            QByteArray line;
            CandumpWriter::appendLine(line, f);
            const bool tx = f.packet.direct == CanPacket::Transmitted;
            log.append(QString::fromLatin1(line.trimmed())
                           .replace("cantx", (f.packet.frame & 0x10) ? "can0" : "can1") +
                       (tx ? " T" : " R"));
        }
        QFile in(path("tool.log"));
        QVERIFY(in.open(QIODevice::WriteOnly));
        in.write(log.join('\n').toLatin1() + '\n');
        in.close();
        bool ok = false;
        run("log2asc", {"-I", path("tool.log"), "-O", path("tool.asc"), "can0", "can1"}, &ok);
        QVERIFY(ok);
        const ReadResult read = readFile(CaptureFormat::Asc, path("tool.asc"));
        QCOMPARE(read.error, QString());
        QCOMPARE(describeAll(read.frames), describeAll(frames));
    }

    void candumpLogReadByLog2asc()
    {
        // Our own interface names: can0, can1, canrx, cantx become ASC channels 1..4.
        const QVector<TimedPacket> frames = sampleFrames(true);
        QVERIFY(writeFile(CaptureFormat::Candump, path("ours-l.log"), frames));
        bool ok = false;
        run("log2asc",
            {"-I", path("ours-l.log"), "-O", path("ours-l.asc"), "can0", "can1", "canrx", "cantx"},
            &ok);
        QVERIFY(ok);
        const ReadResult read = readFile(CaptureFormat::Asc, path("ours-l.asc"));
        QCOMPARE(read.frames.size(), frames.size());
        for (int i = 0; i < frames.size(); ++i) {
            TimedPacket expected = frames[i];
            expected.packet.direct = CanPacket::Received; // no mark: log2asc takes all as Rx
            if (frames[i].packet.direct == CanPacket::Transmitted)
                expected.packet.frame &= ~0x30;
            QCOMPARE(describe(read.frames[i]), describe(expected));
        }
    }

    void ascReadByAsc2log()
    {
        // asc2log reads the date only under an installed en_US locale: compare relative times.
        const QVector<TimedPacket> frames = sampleFrames();
        QVERIFY(writeFile(CaptureFormat::Asc, path("ours.asc"), frames));
        bool ok = false;
        const QByteArray log = run("asc2log", {"-I", path("ours.asc")}, &ok);
        QVERIFY(ok);
        QCOMPARE(describeCandumpText(log), describeAll(relative(frames)));
    }

    // What candump prints on the screen, as can-utils' log2long writes it from a log, is the
    // log's frames; so are the lines with candump's other times and -x's columns.
    void candumpScreenOfLog2long_data()
    {
        QTest::addColumn<QString>("variant");
        for (const char *variant : {"a", "A", "z", "d", "x", "none"})
            QTest::newRow(variant) << variant;
    }

    void candumpScreenOfLog2long()
    {
        QFETCH(QString, variant);
        const QVector<TimedPacket> frames = sampleFrames(true);
        QVERIFY(writeFile(CaptureFormat::Candump, path("long.log"), frames));
        QProcess log2long;
        log2long.setStandardInputFile(path("long.log"));
        log2long.start("log2long", QStringList());
        QVERIFY(log2long.waitForFinished(60000) && log2long.exitCode() == 0);
        const QByteArray screen = screenVariant(log2long.readAllStandardOutput(), variant);
        QVector<TimedPacket> expected = readFile(CaptureFormat::Candump, path("long.log")).frames;
        const QDate day(2023, 11, 14);
        const qint64 midnight =
            QDateTime(day, QTime(0, 0), Qt::LocalTime).toMSecsSinceEpoch() * 1000;
        for (TimedPacket &f : expected) {
            if (variant == "z" || variant == "d")
                f.time = midnight + f.time - frames.first().time;
            else if (variant == "none")
                f.time = TimedPacket::NoTime;
            else if (variant == "x")
                f.packet.direct = CanPacket::Received;
        }
        QBuffer buffer;
        buffer.setData(screen);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        CandumpReader reader(&buffer);
        reader.setBaseDate(day);
        QVector<TimedPacket> read;
        TimedPacket f;
        while (reader.next(f))
            read.append(f);
        QCOMPARE(reader.errorString(), QString());
        QCOMPARE(reader.skipped(), quint64(0));
        QCOMPARE(describeAll(read), describeAll(expected));
    }

    void candumpLogReadByTshark()
    {
        const QVector<TimedPacket> frames = sampleFrames(true);
        QVERIFY(writeFile(CaptureFormat::Candump, path("shark.log"), frames));
        bool ok = false;
        const QByteArray out =
            run("tshark",
                {"-r", path("shark.log"), "-T", "fields", "-E", "separator=/s", "-e",
                 "frame.time_epoch", "-e", "can.id", "-e", "can.flags.xtd", "-e", "can.flags.rtr",
                 "-e", "can.len", "-e", "exported_pdu.exported_pdu"},
                &ok);
        QVERIFY(ok);
        QStringList expected;
        for (const TimedPacket &f : frames) {
            const CanPacket &p = f.packet;
            const QByteArray data = QByteArray(reinterpret_cast<const char *>(p.data), p.length());
            const QString micro = QString::number(f.time % 1000000).rightJustified(6, '0');
            expected.append(
                QStringLiteral("%1.%2 %3 %4 %5 %6%7")
                    .arg(f.time / 1000000)
                    .arg(micro + "000")
                    .arg(p.id)
                    .arg(p.isExtended())
                    .arg(p.isRemote())
                    .arg(p.length())
                    .arg(p.isRemote() || p.length() == 0 ? QString() : " " + data.toHex()));
        }
        // The exported frame is the kernel's: id, length, 3 bytes, then the data. The data
        // dissectors guess at payloads, so the raw frame is compared.
        QStringList seen;
        for (const QString &line : lines(out)) {
            QStringList f = line.split(' ');
            const int length = f.value(4).toInt();
            const QString data = f.value(5).mid(16, 2 * length);
            f[5] = f.value(3) == "1" || data.isEmpty() ? QString() : " " + data;
            seen.append(f.mid(0, 5).join(' ') + f[5]);
        }
        QCOMPARE(seen, expected);
    }

    // CAN FD frames of every length with their flags, among classic ones: what python-can writes
    // as a candump log and as ASC we read exactly, and it reads ours exactly.
    void fdWithPython()
    {
        const QVector<TimedPacket> frames = sampleFdFrames();
        QFile list(path("fd-frames.txt"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(describeAll(frames).join('\n').toUtf8() + '\n');
        list.close();
        bool ok = false;
        runPython(QDir(tmp.path()), FdScript,
                  {"write", path("fd-frames.txt"), path("fd-py.log"), path("fd-py.asc")}, &ok);
        QVERIFY(ok);
        const ReadResult log = readFile(CaptureFormat::Candump, path("fd-py.log"));
        QCOMPARE(log.error, QString());
        QCOMPARE(log.skipped, quint64(0));
        QCOMPARE(describeAll(log.frames), describeAll(frames));
        const ReadResult asc = readFile(CaptureFormat::Asc, path("fd-py.asc"));
        QCOMPARE(asc.error, QString());
        QCOMPARE(describeAll(asc.frames), describeAll(frames));

        QVERIFY(writeFile(CaptureFormat::Candump, path("fd-ours.log"), frames));
        QVERIFY(writeFile(CaptureFormat::Asc, path("fd-ours.asc"), frames));
        const QStringList seen =
            lines(runPython(QDir(tmp.path()), FdScript,
                            {"read", "log", path("fd-ours.log"), "asc", path("fd-ours.asc")}, &ok));
        QVERIFY(ok);
        QStringList expected;
        for (TimedPacket f : frames) { // the interface names the line; no mark, so all received
            const int route = f.packet.frame & 0x30;
            const bool tx = f.packet.direct == CanPacket::Transmitted;
            f.packet.direct = CanPacket::Received;
            expected << describe(f, true,
                                 tx             ? "cantx"
                                 : route & 0x10 ? "can0"
                                 : route        ? "can1"
                                                : "canrx");
        }
        for (const TimedPacket &f : frames) {
            // python-can 4.1 takes a CANFD line of no data for a remote frame, whatever its flags
            // say: the line is the one it writes itself.
            QString line = describe(f);
            if (f.packet.isFd() && f.packet.dataLength() == 0)
                line.replace(" s d 0 - ", " s r 0 - ").replace(" x d 0 - ", " x r 0 - ");
            expected << line;
        }
        QCOMPARE(seen, expected);
    }

    // can-utils' log2asc writes our FD candump log (direction marks on) as CANFD lines we read
    // exactly; asc2log turns our ASC file back into the same frames.
    void fdWithCanUtils()
    {
        const QVector<TimedPacket> frames = sampleFdFrames();
        QFile log(path("fd-tool.log"));
        QVERIFY(log.open(QIODevice::WriteOnly));
        CandumpWriter writer(&log);
        writer.setDirectionMarks(true);
        for (const TimedPacket &f : frames)
            writer.write(f);
        QVERIFY(writer.finish());
        log.close();
        bool ok = false;
        run("log2asc",
            {"-I", path("fd-tool.log"), "-O", path("fd-tool.asc"), "can0", "can1", "canrx",
             "cantx"},
            &ok);
        QVERIFY(ok);
        const ReadResult read = readFile(CaptureFormat::Asc, path("fd-tool.asc"));
        QCOMPARE(read.error, QString());
        QCOMPARE(read.skipped, quint64(0));
        QCOMPARE(describeAll(read.frames), describeAll(candumpKept(frames)));

        QVERIFY(writeFile(CaptureFormat::Asc, path("fd-ours2.asc"), frames));
        const QByteArray back = run("asc2log", {"-I", path("fd-ours2.asc")}, &ok);
        QVERIFY(ok);
        const QStringList got = describeCandumpText(back);
        const QStringList want = describeAll(relative(frames));
        if (got != want) // a list of another length is told only by its size
            qWarning().noquote() << "asc2log printed:\n" << back;
        QCOMPARE(got, want);
    }

    // Wireshark reads the FD lines of a candump log (a recording's) with their flags.
    void fdCandumpReadByTshark()
    {
        const qint64 t0 = 1700000000LL * 1000000;
        const QVector<TimedPacket> frames = {
            fdTextFrame(t0, 0x123, false, 1, false, 12, CanPacket::BitRateSwitch),
            fdTextFrame(t0 + 1, 0x18DAF100, true, 2, false, 64, CanPacket::ErrorState),
            fdTextFrame(t0 + 2, 0x7FF, false, 0, true, 0)};
        QVERIFY(writeFile(CaptureFormat::Candump, path("fd-shark.log"), frames));
        bool ok = false;
        const QByteArray out =
            run("tshark",
                {"-r", path("fd-shark.log"), "-T", "fields", "-E", "separator=/s", "-e", "can.id",
                 "-e", "can.len", "-e", "canfd.flags.brs", "-e", "canfd.flags.esi", "-e",
                 "exported_pdu.exported_pdu"},
                &ok);
        QVERIFY(ok);
        QStringList seen; // the exported frame: id, length, flags, 2 bytes, then the data
        for (const QString &line : lines(out)) {
            const QStringList f = line.split(' ');
            seen << f.mid(0, 4).join(' ') + ' ' + f.value(4).mid(16, 2 * f.value(1).toInt());
        }
        QCOMPARE(seen,
                 QStringList({"291 12 1 0 b0b7bec5ccd3dae1e8eff6fd",
                              "417001728 64 0 1 " + QString(describe(frames[1]).section(' ', 5, 5)),
                              "2047 0 0 0 "}));
    }

private:
    static QVector<TimedPacket> readBack(const QStringList &described)
    {
        QVector<TimedPacket> frames;
        for (const QString &line : described) {
            const QStringList f = line.split(' ');
            const QByteArray data = QByteArray::fromHex(f.value(5).toLatin1().replace('-', ""));
            const bool remote = f.value(3) == "r";
            frames.append(frame(f.value(0).toLongLong(), f.value(1).toUInt(nullptr, 16),
                                f.value(2) == "x", f.value(7).mid(2).toInt(), f.value(6) == "tx",
                                (remote ? 0x10 : 0) | f.value(4).toInt(), data));
        }
        return frames;
    }
};

QTEST_GUILESS_MAIN(TestFormatInterop)
#include "tst_formatinterop.moc"
