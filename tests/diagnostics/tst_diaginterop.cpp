// SPDX-License-Identifier: GPL-3.0-or-later
// quorvex-convert --diagnostics beside Wireshark's dissectors on the same candump logs: every
// message tshark joins, Quorvex joins with the same bytes; UDS services and negative response
// codes and J1939 header fields read the same.
#include "diagnostics/diagdecoder.h"
#include "diagnostics/j1939id.h"
#include "diagtraffic.h"
#include "support/testfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace DiagTraffic;

namespace {

// 0x7DF-0x7EF and 0x18DA0000-0x18DBFFFF, as tshark takes identifier ranges: decimal.
const QString StandardIds = QStringLiteral("iso15765.can.ids:2015-2031");
const QString ExtendedIds = QStringLiteral("iso15765.can.extended_ids:416940032-417071103");

QByteArray run(const QString &program, const QStringList &args, bool *ok)
{
    QProcess process;
    process.start(program, args);
    *ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    if (!*ok)
        qWarning() << program << process.readAllStandardError();
    return process.readAllStandardOutput();
}

// One CSV line in fields, quotes undone.
QStringList csvFields(const QString &line)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            fields.last() += c, ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.append(QString());
        else
            fields.last() += c;
    }
    return fields;
}

struct Row
{
    QString time, channel, id, protocol, source, target, payload, sid, nrc, pgn, status, text;
    int length = 0;
};

QVector<Row> csvRows(const QByteArray &csv)
{
    QVector<Row> rows;
    const QList<QByteArray> lines = csv.split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QStringList f = csvFields(QString::fromUtf8(lines[i]));
        if (f.size() != 13)
            return {};
        Row r{f[0], f[1], f[2],  f[3],  f[4],  f[5],        f[7],
              f[8], f[9], f[10], f[11], f[12], f[6].toInt()};
        rows.append(r);
    }
    return rows;
}

// What tshark says of each frame: fields separated by '|'.
QVector<QStringList> sharkFrames(const QString &log, const QStringList &options,
                                 const QStringList &fields)
{
    QStringList args = {"-r", log, "-T", "fields", "-E", "separator=|", "-E", "occurrence=f"};
    for (const QString &o : options)
        args << o;
    for (const QString &f : fields)
        args << "-e" << f;
    bool ok = false;
    const QByteArray out = run("tshark", args, &ok);
    QVector<QStringList> frames;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty())
            frames.append(QString::fromLatin1(line).split('|'));
    }
    return ok ? frames : QVector<QStringList>();
}

// A message tshark joined: the frame that completed it and its bytes.
struct Joined
{
    QString time;
    QString id;
    QString payload;
};

QVector<Joined> sharkMessages(const QString &log, const QStringList &options)
{
    const QVector<QStringList> frames =
        sharkFrames(log, QStringList{"-o", StandardIds, "-o", ExtendedIds} + options,
                    {"frame.time_epoch", "can.id", "iso15765.message_type",
                     "iso15765.reassembled.length", "data.data"});
    QVector<Joined> joined;
    for (const QStringList &f : frames) {
        const bool single = f.value(2) == "0x00";
        const bool reassembled = !f.value(3).isEmpty();
        if ((single || reassembled) && !f.value(4).isEmpty())
            joined.append(
                {f[0].left(17), QString::number(f[1].toUInt(), 16).toUpper(), f[4].toUpper()});
    }
    return joined;
}

class Files
{
public:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        return writeFile(path, bytes) ? path : QString();
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    Files() { dir.setAutoRemove(qEnvironmentVariableIsEmpty("QVX_KEEP")); }

private:
    QTemporaryDir dir{QDir::tempPath() + "/diag-XXXXXX"};
};

QVector<Row> convert(const QString &in, const QString &out, const QStringList &extra = {})
{
    bool ok = false;
    run(QStringLiteral(QUORVEX_CONVERT_PATH),
        QStringList{"--diagnostics"} + extra + QStringList{in, out}, &ok);
    return ok ? csvRows(readFile(out)) : QVector<Row>();
}

// Every case of the transport layer, several messages in progress at once, and the faults.
Stream mixedTraffic()
{
    Stream s;
    Options unpadded;
    unpadded.padded = false;
    Options escape;
    escape.escape = true;
    s.add(0x7DF, false, QByteArray::fromHex("02010C0000000000"));
    s.add(0x7E8, false, QByteArray::fromHex("04410C1AF8AAAAAA"));
    s.add(0x7E0, false, QByteArray::fromHex("0322F190"));
    s.add(0x7E8, false, QByteArray::fromHex("037F227855555555"));
    s.addAll(0x7E8, false, isoTpFrames(QByteArray::fromHex("62F190") + "WDB2030461A123456"));
    s.add(0x7E0, false, QByteArray::fromHex("03190209"));
    // Two ECUs answer at once.
    const auto a = isoTpFrames(QByteArray::fromHex("5902FF") + pattern(40, 1), unpadded);
    const auto b = isoTpFrames(QByteArray::fromHex("5902FF") + pattern(24, 2));
    for (int i = 0; i < a.size(); ++i) {
        s.add(0x7E8, false, a[i]);
        if (i < b.size())
            s.add(0x7E9, false, b[i]);
    }
    s.addAll(0x7E8, false, isoTpFrames(QByteArray::fromHex("76") + pattern(300, 3))); // wraps
    s.addAll(0x7EA, false, isoTpFrames(QByteArray::fromHex("36") + pattern(4094, 4)));
    s.addAll(0x7EB, false, isoTpFrames(QByteArray::fromHex("36") + pattern(4999, 5), escape));
    s.add(0x18DB33F1, true, QByteArray::fromHex("0210030000000000"));
    s.add(0x18DAF110, true, QByteArray::fromHex("0650030032 01F4"));
    s.addAll(0x18DAF111, true, isoTpFrames(QByteArray::fromHex("62F18C") + "SERIAL-0001-XYZ"));
    s.add(0x18DA11F1, true, QByteArray::fromHex("0227010000000000"));
    s.add(0x18DAF111, true, QByteArray::fromHex("037F2735"));
    // Faults: a lost consecutive frame, a lonely one, an interrupted and a stalled message.
    const auto lost = isoTpFrames(QByteArray::fromHex("62F187") + pattern(30, 6));
    s.addAll(0x7EC, false, {lost[0], lost[1], lost[3], lost[4]});
    s.add(0x7ED, false, QByteArray::fromHex("2501020304050607"));
    s.addAll(0x7EE, false, {lost[0], lost[1]});
    s.add(0x7EE, false, QByteArray::fromHex("027E00AAAAAAAAAA"));
    s.addAll(0x7EF, false, {lost[0], lost[1]});
    s.add(0x123, false, QByteArray::fromHex("0102"), 1500000);
    s.add(0x7E8, false, lost[0]); // open at the end
    return s;
}

} // namespace

class TestDiagInterop : public QObject
{
    Q_OBJECT

private slots:
    void isoTpJoinedAsTshark()
    {
        Files files;
        const Stream s = mixedTraffic();
        const QString log = files.write("mixed.log", s.candump());
        const QVector<Row> rows = convert(log, files.path("mixed.csv"));
        QVERIFY(!rows.isEmpty());
        const QVector<Joined> shark = sharkMessages(log, {});
        QVERIFY(shark.size() >= 14);
        for (const Joined &j : shark) {
            bool found = false;
            for (const Row &r : rows) {
                const bool same = r.time == j.time && r.id == j.id && r.payload == j.payload;
                // tshark joins past a lost frame; Quorvex says where it was lost.
                const bool lost =
                    r.status == "sequence" && r.id == j.id && j.payload.startsWith(r.payload);
                found = found || (same && r.status == "ok") || lost;
            }
            QVERIFY2(found, qPrintable(j.time + ' ' + j.id + ' ' + j.payload));
        }
        // Nothing joined that tshark does not join but the two answers that came interleaved:
        // tshark 4.0 joins neither.
        int ok = 0;
        for (const Row &r : rows)
            ok += r.status == "ok";
        QCOMPARE(ok, shark.size() + 2);
        QStringList faults;
        for (const Row &r : rows) {
            if (r.status != "ok")
                faults.append(r.id + ' ' + r.status);
        }
        QCOMPARE(faults, QStringList({"7EC sequence", "7ED unexpected", "7EE interrupted",
                                      "7EF timeout", "7E8 timeout"}));
    }

    void csvColumns()
    {
        Files files;
        const Stream s = mixedTraffic();
        const QString log = files.write("mixed.log", s.candump());
        const QString out = files.path("mixed.csv");
        const QVector<Row> rows = convert(log, out);
        QVERIFY(readFile(out).startsWith(
            "time,channel,id,protocol,source,target,length,payload,sid,nrc,pgn,status,text\n"));
        const Row &first = rows.value(0);
        QCOMPARE(first.time, QStringLiteral("1700000000.001000"));
        QCOMPARE(first.channel, QStringLiteral("can0"));
        QCOMPARE(first.id, QStringLiteral("7DF"));
        QCOMPARE(first.protocol, QStringLiteral("ISO-TP"));
        QCOMPARE(first.sid, QStringLiteral("01"));
        QCOMPARE(rows.value(1).text, QStringLiteral("Show current data: Engine speed: 1726 rpm"));
        const Row &vin = rows.value(4);
        QCOMPARE(vin.length, 20);
        QCOMPARE(vin.text,
                 QStringLiteral(
                     "ReadDataByIdentifier positive response: F190 VIN = \"WDB2030461A123456\""));
        QCOMPARE(rows.value(3).nrc, QStringLiteral("78"));
        for (const Row &r : rows) {
            if (r.id.size() == 8) {
                QCOMPARE(r.source, r.id.right(2));
                QCOMPARE(r.target, r.id.mid(4, 2));
            } else {
                QVERIFY(r.source.isEmpty() && r.target.isEmpty());
            }
            QCOMPARE(r.payload.size(), 2 * r.length);
            QVERIFY(r.pgn.isEmpty());
        }
    }

    void udsAsTshark()
    {
        Files files;
        const Stream s = mixedTraffic();
        const QString log = files.write("mixed.log", s.candump());
        const QVector<Row> rows = convert(log, files.path("mixed.csv"));
        const QVector<QStringList> frames = sharkFrames(
            log, {"-o", StandardIds, "-o", ExtendedIds, "-d", "iso15765.subdissector,uds"},
            {"frame.time_epoch", "uds.sid", "uds.reply", "uds.err.sid", "uds.err.code"});
        int compared = 0;
        for (const Row &r : rows) {
            const uint sid = r.sid.toUInt(nullptr, 16);
            if (r.status != "ok" || (sid & 0xBF) <= 0x0A) // OBD-II is no UDS
                continue;
            for (const QStringList &f : frames) {
                if (f.value(0).left(17) != r.time || f.value(1).isEmpty())
                    continue;
                ++compared;
                if (sid == 0x7F) {
                    QCOMPARE(f.value(4).toUInt(nullptr, 16), r.nrc.toUInt(nullptr, 16));
                    continue;
                }
                QCOMPARE(f.value(1).toUInt(nullptr, 16), sid & 0xBF);
            }
        }
        QVERIFY(compared >= 8);
    }

    void extendedAddressingAsTshark()
    {
        Files files;
        Stream s;
        Options o;
        o.address = 0x42;
        s.addAll(0x6F1, false, isoTpFrames(QByteArray::fromHex("22F190"), o));
        o.address = 0xF1;
        s.addAll(0x642, false, isoTpFrames(QByteArray::fromHex("62F190") + "WDB2030461A123456", o));
        o.padded = false;
        s.addAll(0x642, false, isoTpFrames(pattern(100, 7), o));
        const QString log = files.write("ext.log", s.candump());
        const QVector<Row> rows =
            convert(log, files.path("ext.csv"), {"--pair", "6F1/642/extended"});
        const QVector<QStringList> frames = sharkFrames(
            log,
            {"-o", "iso15765.can.ids:1585-1777", "-o", "iso15765.addressing:Extended addressing"},
            {"frame.time_epoch", "can.id", "iso15765.message_type", "iso15765.reassembled.length",
             "data.data", "iso15765.address"});
        QStringList theirs, ours;
        for (const QStringList &f : frames) {
            if ((f.value(2) == "0x00" || !f.value(3).isEmpty()) && !f.value(4).isEmpty())
                theirs.append(f[0].left(17) + ' ' + f[4].toUpper());
        }
        for (const Row &r : rows)
            ours.append(r.time + ' ' + r.payload);
        QCOMPARE(ours, theirs);
        QCOMPARE(rows.value(0).target, QStringLiteral("42"));
        QCOMPARE(rows.value(1).target, QStringLiteral("F1"));
    }

    // ISO-TP over CAN FD in a candump log of FD frames: every message tshark joins, the decoder
    // joins with the same bytes, whatever the frame lengths and length forms; what UDS and OBD-II
    // messages say reads as it does over classic CAN.
    void isoTpOverFdAsTshark()
    {
        Files files;
        Stream s;
        Options fd;
        fd.frameBytes = 64;
        Options fd12;
        fd12.frameBytes = 12;
        const QByteArray vin = QByteArray::fromHex("62F190") + "WDB2030461A123456";
        s.addAll(0x7E0, false, isoTpFrames(QByteArray::fromHex("22F190"), fd), 1000, true);
        s.addAll(0x7E8, false, isoTpFrames(vin, fd), 1000, true); // escape single frame
        s.addAll(0x7E0, false, isoTpFrames(QByteArray::fromHex("1902FF"), fd), 1000, true);
        s.addAll(0x7E8, false, isoTpFrames(QByteArray::fromHex("5902FF") + pattern(300, 1), fd),
                 1000, true);
        s.addAll(0x7E9, false, isoTpFrames(QByteArray::fromHex("5902FF") + pattern(90, 2), fd12),
                 1000, true);
        s.addAll(0x7EA, false, isoTpFrames(QByteArray::fromHex("76") + pattern(5000, 3), fd), 1000,
                 true);                                               // 32-bit length
        s.add(0x7DF, false, QByteArray::fromHex("02010C0000000000")); // classic among them
        s.addFd(0x7E8, false, QByteArray::fromHex("04410C1AF8"));
        s.addAll(0x18DAF110, true, isoTpFrames(QByteArray::fromHex("6F") + pattern(40, 4), fd),
                 1000, true);
        const QString log = files.write("fd.log", s.candump());
        QVERIFY(readFile(log).contains("##1"));

        DiagDecoder decoder;
        std::vector<DiagMessage> out;
        for (const TimedPacket &f : s.frames)
            decoder.feed(f, out);
        decoder.finish(out);
        QStringList ours;
        for (const DiagMessage &m : out) {
            QCOMPARE(DiagWords::status(m.status), "ok");
            ours << QStringLiteral("%1.%2 %3 %4")
                        .arg(m.time / 1000000)
                        .arg(m.time % 1000000, 6, 10, QLatin1Char('0'))
                        .arg(QString::number(m.id, 16).toUpper(),
                             QString::fromLatin1(m.payload.toHex().toUpper()));
        }
        QStringList theirs;
        for (const Joined &j : sharkMessages(log, {}))
            theirs << j.time + ' ' + j.id + ' ' + j.payload;
        QCOMPARE(ours.size(), 9);
        QCOMPARE(ours, theirs);
        QCOMPARE(DiagDecoder::describe(out[1]),
                 QStringLiteral(
                     "ReadDataByIdentifier positive response: F190 VIN = \"WDB2030461A123456\""));
        QCOMPARE(DiagDecoder::describe(out[7]),
                 QStringLiteral("Show current data: Engine speed: 1726 rpm"));
        QCOMPARE(out[1].responseTime, 1000);
    }

    void j1939HeadersAsTshark()
    {
        Files files;
        Stream s;
        s.j1939(0x00, 0xFF, 65226, pattern(20, 1));
        s.j1939(0x03, 0xF9, 65260, pattern(40, 2));
        s.add(0x0CF00400, true, QByteArray::fromHex("F07D7D0000FF0FFF")); // EEC1
        s.add(0x18EAFFF9, true, QByteArray::fromHex("EEFE00"));           // request
        s.add(0x19FECA03, true, QByteArray::fromHex("FFFF000000000000"));
        const QString log = files.write("j1939.log", s.candump());
        const QVector<QStringList> frames =
            sharkFrames(log, {"-d", "can.subdissector,j1939"},
                        {"can.id", "j1939.priority", "j1939.pgn", "j1939.src_addr",
                         "j1939.dst_addr", "frame.time_epoch"});
        QCOMPARE(frames.size(), s.frames.size());
        for (const QStringList &f : frames) {
            const J1939Id j = J1939Id::of(f.value(0).toUInt());
            // PDU2 goes to everyone: tshark leaves the destination out.
            const QString destination =
                J1939Id::isPdu1(j.pgn) ? QString::number(j.destination) : QString();
            QCOMPARE(f.mid(1, 4), QStringList({QString::number(j.priority), QString::number(j.pgn),
                                               QString::number(j.source), destination}));
        }
        const QVector<Row> rows = convert(log, files.path("j1939.csv"));
        // The two joined messages, then the groups of one frame; data page 1 is no DM1.
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].pgn, QStringLiteral("65226"));
        QCOMPARE(rows[0].protocol, QStringLiteral("J1939-TP"));
        QCOMPARE(rows[0].id, QStringLiteral("18EBFF00"));
        QCOMPARE(rows[0].payload, QString::fromLatin1(pattern(20, 1).toHex().toUpper()));
        QCOMPARE(rows[1].target, QStringLiteral("F9"));
        QCOMPARE(rows[1].length, 40);
        QVERIFY(rows[1].text.startsWith("Vehicle Identification (VI)"));
        QCOMPARE(rows[2].protocol, QStringLiteral("J1939"));
        QCOMPARE(rows[2].id, QStringLiteral("0CF00400"));
        QCOMPARE(rows[2].payload, QStringLiteral("F07D7D0000FF0FFF"));
        QCOMPARE(rows[2].text, QStringLiteral("Electronic Engine Controller 1 (EEC1): Engine "
                                              "speed: 0 rpm, actual torque: 0 %"));
        QCOMPARE(rows[3].text,
                 QStringLiteral("Request (RQST): PGN 65262 Engine Temperature 1 (ET1)"));
        // Each single-frame row says what tshark says of its frame.
        for (const Row &r : rows.mid(2)) {
            QVERIFY(r.sid.isEmpty() && r.nrc.isEmpty() && r.status == "ok");
            bool found = false;
            for (const QStringList &f : frames) {
                if (f.value(5).left(17) != r.time)
                    continue;
                found = true;
                QCOMPARE(r.pgn, f.value(2));
                QCOMPARE(r.source.toUInt(nullptr, 16), f.value(3).toUInt());
                QCOMPARE(r.target, f.value(4).isEmpty()
                                       ? QStringLiteral("FF")
                                       : QString::number(f.value(4).toUInt(), 16).toUpper());
            }
            QVERIFY2(found, qPrintable(r.time));
        }
    }
};

QTEST_GUILESS_MAIN(TestDiagInterop)
#include "tst_diaginterop.moc"
