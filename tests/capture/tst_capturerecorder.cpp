// SPDX-License-Identifier: GPL-3.0-or-later
// The live recording as other programs read it (python-can, can-utils, tshark), and as it is
// left by a clock stepping back, rotation, a full disk, an unwritable directory and kill -9.

#include "capture/capturerecorder.h"
#include "link/timedpacket.h"
#include "support/filesizelimit.h"
#include "support/testfiles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

constexpr qint64 Epoch = 1700000000123456; // microseconds
const QDateTime Connected(QDate(2024, 3, 5), QTime(7, 8, 9));
const QStringList Interfaces = {"can0", "can1", "canrx", "cantx"};

TimedPacket frame(qint64 time, quint8 flags, quint32 id, int length, bool tx = false,
                  bool remote = false)
{
    TimedPacket f;
    f.time = time;
    f.packet.frame = flags;
    f.packet.id = id;
    f.packet.rtl = quint8((remote ? 0x10 : 0) | length);
    for (int i = 0; i < 8; ++i)
        f.packet.data[i] = quint8(0xA0 + 0x11 * i + length);
    f.packet.direct = tx ? CanPacket::Transmitted : CanPacket::Received;
    return f;
}

// Both lines, no line, transmitted; 11 and 29 bits; remote of length 0 and 3; 0..8 data bytes.
QVector<TimedPacket> sampleFrames()
{
    QVector<TimedPacket> frames;
    const quint8 routes[] = {CanPacket::Can0ToCan1, CanPacket::Can1ToCan0, 0, 0};
    for (int length = 0; length <= 8; ++length) {
        for (int kind = 0; kind < 4; ++kind) {
            const bool extended = (length + kind) % 2 == 1;
            const quint32 id = extended ? 0x1ABCDE00u + quint32(length * 4 + kind)
                                        : 0x700u + quint32(length * 4 + kind);
            frames << frame(Epoch + frames.size() * 1001,
                            quint8(routes[kind] | (extended ? CanPacket::Extended : 0)), id, length,
                            kind == 3);
        }
    }
    frames << frame(Epoch + 50000, CanPacket::Can0ToCan1, 0x001, 0, false, true);
    frames << frame(Epoch + 50001, CanPacket::Can1ToCan0 | CanPacket::Extended, 0x1FFFFFFF, 3,
                    false, true);
    return frames;
}

QString interfaceOf(const CanPacket &p)
{
    if (p.direct == CanPacket::Transmitted)
        return Interfaces[3];
    if (p.frame & CanPacket::Can0ToCan1)
        return Interfaces[0];
    return Interfaces[(p.frame & CanPacket::Can1ToCan0) ? 1 : 2];
}

QString dataHex(const CanPacket &p)
{
    if (p.isRemote() || p.length() == 0)
        return QStringLiteral("-");
    return QByteArray(reinterpret_cast<const char *>(p.data), p.length()).toHex().toUpper();
}

QByteArray run(const QString &program, const QStringList &arguments, bool *ok)
{
    QProcess process;
    process.start(program, arguments);
    *ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    if (!*ok)
        qWarning("%s: %s %s", qPrintable(program), qPrintable(process.errorString()),
                 process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

QStringList lines(const QByteArray &text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Records `frames` into `dir` and returns the first file's path.
QString record(const QString &dir, const QVector<TimedPacket> &frames, qint64 limit = 1 << 30)
{
    CaptureRecorder recorder;
    if (!recorder.start(dir, limit, Connected))
        return QString();
    for (const TimedPacket &f : frames)
        recorder.record(f);
    recorder.stop();
    return QDir(dir).filePath(CaptureRecorder::fileName(Connected, 1));
}

qint64 lineTime(const QByteArray &line)
{
    static const QRegularExpression re(QStringLiteral("^\\((\\d+)\\.(\\d{6})\\) "));
    const auto m = re.match(QString::fromLatin1(line));
    return m.hasMatch() ? m.captured(1).toLongLong() * 1000000 + m.captured(2).toLongLong() : -1;
}

} // namespace

class TestCaptureRecorder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readByPythonCan();
    void readByLog2asc();
    void readByTshark();
    void timeNeverGoesBack();
    void rotatesWithoutSplittingLines();
    void fullDiskStopsTheRecordingOnly();
    void unwritableDirectoryFailsAtStart();
    void killKeepsAllButTheLastSecond();

private:
    QString path(const char *name) const { return tmp->filePath(QLatin1String(name)); }

    std::unique_ptr<QTemporaryDir> tmp;
};

void TestCaptureRecorder::init()
{
    tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp->isValid());
}

void TestCaptureRecorder::readByPythonCan()
{
    const QVector<TimedPacket> frames = sampleFrames();
    const QString log = record(tmp->path(), frames);
    QVERIFY(writeFile(path("read.py"),
                      "import sys, can\n"
                      "for m in can.LogReader(sys.argv[1]):\n"
                      "    print(m.channel, '%X' % m.arbitration_id, int(m.is_extended_id),\n"
                      "          int(m.is_remote_frame), m.dlc, m.data.hex().upper() or '-',\n"
                      "          round(m.timestamp * 1e6))\n"));
    bool ok = false;
    const QByteArray out = run("/usr/bin/python3", {path("read.py"), log}, &ok);
    QVERIFY(ok);
    QStringList expected;
    for (const TimedPacket &f : frames) {
        const CanPacket &p = f.packet;
        expected << QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                        .arg(interfaceOf(p), QString::number(p.id, 16).toUpper())
                        .arg(int(p.isExtended()))
                        .arg(int(p.isRemote()))
                        .arg(p.length())
                        .arg(dataHex(p))
                        .arg(f.time);
    }
    QCOMPARE(lines(out), expected);
}

void TestCaptureRecorder::readByLog2asc()
{
    const QVector<TimedPacket> frames = sampleFrames();
    const QString log = record(tmp->path(), frames);
    bool ok = false;
    const QByteArray out = run("log2asc", QStringList{"-I", log} + Interfaces, &ok);
    QVERIFY(ok);
    QStringList seen;
    for (const QString &line : lines(out)) {
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() >= 6 && f[3] == QLatin1String("Rx"))
            seen << f.mid(1).join(QLatin1Char(' ')).toUpper(); // relative time left out
    }
    QStringList expected;
    for (const TimedPacket &f : frames) {
        const CanPacket &p = f.packet;
        QString text = QStringLiteral("%1 %2%3 RX %4 %5")
                           .arg(Interfaces.indexOf(interfaceOf(p)) + 1)
                           .arg(p.id, 0, 16)
                           .arg(p.isExtended() ? "x" : "")
                           .arg(p.isRemote() ? "r" : "d")
                           .arg(p.length());
        if (!p.isRemote()) {
            for (int i = 0; i < p.length(); ++i)
                text += QStringLiteral(" %1").arg(p.data[i], 2, 16, QLatin1Char('0'));
        }
        expected << text.toUpper();
    }
    QCOMPARE(seen, expected);
}

void TestCaptureRecorder::readByTshark()
{
    const QVector<TimedPacket> frames = sampleFrames();
    const QString log = record(tmp->path(), frames);
    bool ok = false;
    const QByteArray out = run("tshark",
                               {"-r", log, "-T", "fields", "-E", "separator=/s", "-e", "can.id",
                                "-e", "can.flags.xtd", "-e", "can.flags.rtr", "-e", "can.len"},
                               &ok);
    QVERIFY(ok);
    QStringList expected;
    for (const TimedPacket &f : frames) {
        expected << QStringLiteral("%1 %2 %3 %4")
                        .arg(f.packet.id)
                        .arg(int(f.packet.isExtended()))
                        .arg(int(f.packet.isRemote()))
                        .arg(f.packet.length());
    }
    QCOMPARE(lines(out), expected);
}

void TestCaptureRecorder::timeNeverGoesBack()
{
    const qint64 t = Epoch;
    const qint64 fed[] = {t, t + 10, t - 5000000, t + 20, TimedPacket::NoTime, t + 30};
    const qint64 kept[] = {t, t + 10, t + 10, t + 20, t + 20, t + 30};
    QVector<TimedPacket> frames;
    for (const qint64 time : fed)
        frames << frame(time, CanPacket::Can0ToCan1, 0x100, 2);
    const QList<QByteArray> written = readFile(record(tmp->path(), frames)).split('\n');
    QCOMPARE(written.size(), 7); // six lines and the empty piece after the last
    for (int i = 0; i < 6; ++i)
        QCOMPARE(lineTime(written[i]), kept[i]);
}

void TestCaptureRecorder::rotatesWithoutSplittingLines()
{
    QVector<TimedPacket> frames;
    for (int i = 0; i < 300; ++i)
        frames << sampleFrames().value(i % 38);
    const QByteArray whole = readFile(record(tmp->path(), frames));
    QVERIFY(QDir().mkpath(path("parts")));
    const qint64 limit = 2000;
    record(path("parts"), frames, limit);

    const QStringList parts = QDir(path("parts")).entryList(QDir::Files);
    QVERIFY2(parts.size() >= 5, qPrintable(parts.join(' ')));
    QByteArray joined;
    for (int part = 1; part <= parts.size(); ++part) {
        const QString name = CaptureRecorder::fileName(Connected, part);
        QVERIFY2(parts.contains(name), qPrintable(name));
        const QByteArray bytes = readFile(path("parts") + QLatin1Char('/') + name);
        QVERIFY(bytes.endsWith('\n'));
        QVERIFY(bytes.size() < limit + 64); // closed with the line that reached the limit
        joined += bytes;
    }
    QCOMPARE(joined, whole);
}

void TestCaptureRecorder::fullDiskStopsTheRecordingOnly()
{
    QVector<TimedPacket> frames;
    for (int i = 0; i < 3000; ++i)
        frames << frame(Epoch + i, CanPacket::Can1ToCan0, quint32(i & 0x7FF), i % 9);
    const QByteArray reference = readFile(record(tmp->path(), frames));
    QVERIFY(QDir().mkpath(path("full")));

    CaptureRecorder recorder; // makes a write past the limit fail instead of killing us
    QSignalSpy failed(&recorder, &CaptureRecorder::failed);
    const qint64 room = 10007; // not at a line's end
    {
        const FileSizeLimit limit{rlim_t(room)};
        QVERIFY(recorder.start(path("full"), 1 << 30, Connected));
        // Handed on in pieces: the write fails in one, and those after it are already on their
        // way when the recorder learns of it.
        for (int i = 0; i < frames.size(); ++i) {
            recorder.record(frames[i]);
            if (i % 100 == 99)
                recorder.flush();
        }
        recorder.record(frames.first()); // and one still buffered
        QTRY_COMPARE(failed.count(), 1);
    }
    QVERIFY(!recorder.isRecording());
    QVERIFY(!recorder.errorString().isEmpty());
    QCOMPARE(failed.at(0).at(0).toString(), recorder.errorString());
    for (const TimedPacket &f : frames) // the capture goes on
        recorder.record(f);
    recorder.stop();
    QCOMPARE(failed.count(), 1);

    const QByteArray kept = readFile(recorder.filePath());
    QVERIFY(kept.size() > room / 2 && kept.size() <= room);
    QVERIFY(kept.endsWith('\n'));
    QCOMPARE(kept, reference.left(kept.size()));
    // Every frame given while it recorded is in the file or counted, to the frame.
    QCOMPARE(quint64(kept.count('\n')) + recorder.unwrittenFrames(), quint64(frames.size() + 1));
}

void TestCaptureRecorder::unwritableDirectoryFailsAtStart()
{
    QVERIFY(writeFile(path("plain"), "x")); // no directory under a file, root or not
    CaptureRecorder recorder;
    QSignalSpy failed(&recorder, &CaptureRecorder::failed);
    QVERIFY(!recorder.start(path("plain/sub"), 1 << 20, Connected));
    QCOMPARE(failed.count(), 1);
    QVERIFY(!recorder.errorString().isEmpty());
    QVERIFY(!recorder.isRecording());
    recorder.record(sampleFrames().first());
    recorder.stop();
}

// The child records at the two-line limit and tells how far it got every ~100 ms; killed, its
// file must hold every frame it had recorded a second before the kill, in order, in whole lines.
void TestCaptureRecorder::killKeepsAllButTheLastSecond()
{
    QProcess child;
    child.start(QStringLiteral(RECORDER_CHILD_PATH), {tmp->path()});
    QVERIFY(child.waitForStarted());
    QVector<QPair<qint64, qint64>> told; // (ms since the first report, frames recorded)
    QElapsedTimer clock;
    while (told.isEmpty() || clock.elapsed() < 2000) {
        QVERIFY(child.waitForReadyRead(10000));
        if (told.isEmpty())
            clock.start();
        while (child.canReadLine())
            told.append({clock.elapsed(), child.readLine().trimmed().toLongLong()});
    }
    child.kill();
    const qint64 killedAt = clock.elapsed();
    QVERIFY(child.waitForFinished());
    qint64 promised = 0;
    for (const auto &report : told) {
        if (report.first <= killedAt - 1000)
            promised = report.second;
    }
    QVERIFY(promised > 0);

    const QStringList files = QDir(tmp->path()).entryList({"quorvex-*.log"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    QList<QByteArray> written = readFile(tmp->filePath(files[0])).split('\n');
    written.removeLast(); // empty after the last line break, or the one line that may be cut
    QVERIFY2(written.size() >= promised,
             qPrintable(QStringLiteral("%1 < %2").arg(written.size()).arg(promised)));
    static const QRegularExpression whole(
        QStringLiteral("^\\(\\d+\\.\\d{6}\\) can[01] [0-9A-F]{8}#([0-9A-F]{8})0{8}$"));
    qint64 last = 0;
    for (int n = 0; n < written.size(); ++n) {
        const auto m = whole.match(QString::fromLatin1(written[n]));
        QVERIFY2(m.hasMatch(), written[n].constData());
        QCOMPARE(m.captured(1).toLongLong(nullptr, 16), qint64(n));
        QVERIFY(lineTime(written[n]) >= last);
        last = lineTime(written[n]);
    }
}

QTEST_GUILESS_MAIN(TestCaptureRecorder)
#include "tst_capturerecorder.moc"
