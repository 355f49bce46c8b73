// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capturesession.h"
#include "capture/recordingpruner.h"
#include "support/filesizelimit.h"
#include "support/simprocess.h"
#include "support/testfiles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

constexpr int WaitMs = 120000; // a hang guard only

// The recorder with its own empty settings folder, never the user's.
class Recorder
{
public:
    explicit Recorder(const QTemporaryDir &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
    }
    ~Recorder()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    void start(const QStringList &arguments)
    {
        process.start(QStringLiteral(QUORVEX_RECORD_PATH), arguments);
    }
    void signal(int number) { ::kill(pid_t(process.processId()), number); }
    // Waits without blocking the event loop; the exit code, or -1 after the guard.
    int finish()
    {
        QElapsedTimer timer;
        timer.start();
        while (process.state() != QProcess::NotRunning && timer.elapsed() < WaitMs)
            QTest::qWait(20);
        return process.state() == QProcess::NotRunning ? process.exitCode() : -1;
    }

    QProcess process;
};

QStringList recordings(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("quorvex-*.log")}, QDir::Files, QDir::Name);
}

// Lines of all recordings, oldest first.
QByteArrayList recordedLines(const QString &dir)
{
    QByteArrayList lines;
    for (const QString &name : recordings(dir)) {
        const QByteArray text = readFile(QDir(dir).filePath(name));
        if (!text.isEmpty())
            lines += text.trimmed().split('\n');
    }
    return lines;
}

} // namespace

class TstQuorvexRecord : public QObject
{
    Q_OBJECT

private slots:
    void helpAndVersionWithoutDisplay();
    void badUsage_data();
    void badUsage();
    void recordsThroughUnplugAndHangup();
    void manualTriggerOnly();
    void fullDiskKeepsTheLinkAndResumes();
    void prunesOnlyItsOldestRecordings();
};

void TstQuorvexRecord::helpAndVersionWithoutDisplay()
{
    QTemporaryDir home;
    Recorder help(home);
    help.start({QStringLiteral("--help")});
    QCOMPARE(help.finish(), 0);
    const QByteArray text = help.process.readAllStandardOutput();
    for (const char *option : {"--port", "--socketcand", "--allow-send", "--keep-gb"})
        QVERIFY2(text.contains(option), option);
    Recorder version(home);
    version.start({QStringLiteral("--version")});
    QCOMPARE(version.finish(), 0);
    QVERIFY(version.process.readAllStandardOutput().startsWith("quorvex-record "));
}

void TstQuorvexRecord::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("speed") << QStringList{"--can-speed", "9"};
    QTest::newRow("keep") << QStringList{"--keep-gb", "-1"};
    QTest::newRow("server") << QStringList{"--socketcand", "127.0.0.1:99999"};
    QTest::newRow("address") << QStringList{"--socketcand", "nowhere:1"};
    QTest::newRow("extra") << QStringList{"file"};
    QTest::newRow("unknown") << QStringList{"--trace"};
}

void TstQuorvexRecord::badUsage()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir home;
    Recorder recorder(home);
    recorder.start(arguments);
    QCOMPARE(recorder.finish(), 2);
    QVERIFY(recorder.process.readAllStandardError().startsWith("quorvex-record: "));
}

// Every frame the module sent while connected is in the recordings: across a hang-up (new file)
// and an unplug (new file once the module is back).
void TstQuorvexRecord::recordsThroughUnplugAndHangup()
{
    QTemporaryDir home;
    const QString link = home.filePath(QStringLiteral("module"));
    const QString dir = home.filePath(QStringLiteral("rec"));
    auto module = std::make_unique<SimProcess>();
    QVERIFY(module->start({"--rate", "2000", "--count", "2000", "--link", link}));
    Recorder recorder(home);
    recorder.start({"--port", link, "--dir", dir, "--quiet"});
    QTRY_COMPARE_WITH_TIMEOUT(recordedLines(dir).size(), 2000, WaitMs);

    recorder.signal(SIGHUP);
    QTRY_COMPARE_WITH_TIMEOUT(recordings(dir).size(), 2, WaitMs);
    const qint64 first = SimProcess::count(module->stop(), QStringLiteral("frames sent"));
    QCOMPARE(first, 2000);
    module.reset();
    QTest::qWait(1500); // unplugged for a while

    module = std::make_unique<SimProcess>();
    QVERIFY(module->start({"--rate", "2000", "--count", "1000", "--link", link}));
    QTRY_COMPARE_WITH_TIMEOUT(recordedLines(dir).size(), 3000, WaitMs);
    QCOMPARE(recordings(dir).size(), 3);
    recorder.signal(SIGTERM);
    QCOMPARE(recorder.finish(), 0);
    QCOMPARE(SimProcess::count(module->stop(), QStringLiteral("frames sent")), 1000);

    const QRegularExpression line(
        QStringLiteral("^\\(\\d+\\.\\d{6}\\) (can0|can1|canrx) ([0-9A-F]{3}|[0-9A-F]{8})#"
                       "(R\\d?|([0-9A-F]{2}){0,8})$"));
    const QByteArrayList lines = recordedLines(dir);
    QCOMPARE(lines.size(), 3000);
    for (const QByteArray &text : lines)
        QVERIFY2(line.match(QString::fromLatin1(text)).hasMatch(), text.constData());
    const QString said = QString::fromLocal8Bit(recorder.process.readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("module gone")), qPrintable(said));
}

// SIGUSR1 marks; without continuous recording only the trigger's file is written.
void TstQuorvexRecord::manualTriggerOnly()
{
    QTemporaryDir home;
    const QString dir = home.filePath(QStringLiteral("rec"));
    SimProcess module;
    QVERIFY(module.start({"--rate", "1000"}));
    Recorder recorder(home);
    recorder.start({"--port", module.portName(), "--dir", dir, "--quiet", "--triggers-only",
                    "--trigger", "manual pre=0.5 post=0.5 name=mark"});
    QTest::qWait(1500); // frames for the pre-window
    recorder.signal(SIGUSR1);
    const QString pattern = QStringLiteral("trigger-*-mark.log");
    QTRY_COMPARE_WITH_TIMEOUT(QDir(dir).entryList({pattern}).size(), 1, WaitMs);
    QTest::qWait(2000); // past the window, which a status tick closes
    recorder.signal(SIGTERM);
    QCOMPARE(recorder.finish(), 0);
    QCOMPARE(recordings(dir), QStringList());
    const QByteArray text = readFile(QDir(dir).filePath(QDir(dir).entryList({pattern}).first()));
    const QByteArrayList lines = text.trimmed().split('\n');
    // About a second at 1,000 frames/s; the times span at most pre + post.
    QVERIFY2(lines.size() > 100, text.left(200).constData());
    const auto seconds = [](const QByteArray &line) { return line.mid(1, 17).toDouble(); };
    QVERIFY(seconds(lines.last()) - seconds(lines.first()) <= 1.0);
}

// Writes that fail (here past a file-size limit, as on a full disk) stop the file, not the link:
// the frames that came meanwhile are counted, and recording resumes in a new file.
void TstQuorvexRecord::fullDiskKeepsTheLinkAndResumes()
{
    QTemporaryDir home;
    SimProcess module;
    QVERIFY(module.start({"--rate", "2000", "--count", "8000"}));
    SessionOptions options;
    options.portName = module.portName();
    options.directory = home.filePath(QStringLiteral("rec"));
    QStringList said;
    CaptureSession session;
    connect(&session, &CaptureSession::setStatus, [&](const QString &text) { said << text; });
    {
        const FileSizeLimit limit(40000); // about 900 lines a file
        QVERIFY(session.start(options));
        QTRY_VERIFY_WITH_TIMEOUT(session.unwrittenFrames() > 0, WaitMs);
        QVERIFY(session.isConnected());
        QTRY_VERIFY_WITH_TIMEOUT(recordings(options.directory).size() >= 2, WaitMs); // resumed
    }
    QTRY_COMPARE_WITH_TIMEOUT(session.frameCount(), quint64(8000), WaitMs);
    session.stop();
    const int written = recordedLines(options.directory).size();
    QVERIFY(written > 1800);
    QVERIFY(quint64(written) + session.unwrittenFrames() <= 8000);
    QVERIFY2(said.filter(QStringLiteral("recording stopped")).size() >= 1,
             qPrintable(said.join('|')));
}

void TstQuorvexRecord::prunesOnlyItsOldestRecordings()
{
    QTemporaryDir dir;
    const auto make = [&](const char *name, int size) {
        QVERIFY(writeFile(dir.filePath(QLatin1String(name)), QByteArray(size, 'x')));
    };
    make("quorvex-20240101-000000.log", 100);
    make("quorvex-20240101-000000-2.log", 100);
    make("quorvex-20240101-000000-10.log", 100); // after part 2, whatever the text order
    make("quorvex-20240102-000000.log", 100);
    make("quorvex-20230101-000000.log.bak", 1000); // not ours
    make("notes.log", 1000);
    make("quorvex-20250101-000000.log", 100); // being written

    const QString writing = dir.filePath(QStringLiteral("quorvex-20250101-000000.log"));
    QStringList deleted = RecordingPruner::prune(dir.path(), 250, writing);
    QCOMPARE(deleted.size(), 3);
    QVERIFY(deleted.at(0).endsWith(QLatin1String("000000.log")));
    QVERIFY(deleted.at(1).endsWith(QLatin1String("000000-2.log")));
    QVERIFY(deleted.at(2).endsWith(QLatin1String("000000-10.log")));
    QCOMPARE(recordings(dir.path()),
             QStringList({"quorvex-20240102-000000.log", "quorvex-20250101-000000.log"}));

    // The file being written stays, even alone over the limit.
    deleted = RecordingPruner::prune(dir.path(), 10, writing);
    QCOMPARE(deleted.size(), 1);
    QVERIFY(QFile::exists(writing));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("notes.log"))));
    QVERIFY(!RecordingPruner::isRecordingName(QStringLiteral("quorvex-2024-01.log")));
}

QTEST_GUILESS_MAIN(TstQuorvexRecord)
#include "tst_quorvexrecord.moc"
