// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capturesession.h"
#include "capture/recordingpruner.h"
#include "support/filesizelimit.h"
#include "support/ptypair.h"
#include "support/simprocess.h"
#include "support/testfiles.h"
#include "virtualbusprocess.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <unistd.h>

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
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8")); // its Russian words
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
    // As a user without rights to what the test made: root may write and open anything, so it
    // runs as "nobody" then.
    void startUnprivileged(const QStringList &arguments)
    {
        if (::geteuid() != 0)
            return start(arguments);
        process.start(QStringLiteral("setpriv"),
                      QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                  QStringLiteral(QUORVEX_RECORD_PATH)} +
                          arguments);
    }
    // Waits until its standard error has said `text`; all it said.
    QString waitToSay(const QString &text)
    {
        QElapsedTimer timer;
        timer.start();
        while (!said.contains(text) && timer.elapsed() < WaitMs &&
               process.state() != QProcess::NotRunning) {
            QTest::qWait(20);
            said += QString::fromLocal8Bit(process.readAllStandardError());
        }
        said += QString::fromLocal8Bit(process.readAllStandardError());
        return said;
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
    QString said;
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
    void refusesWhatItCannotUse_data();
    void refusesWhatItCannotUse();
    void saysWhyItWaitsForThePort_data();
    void saysWhyItWaitsForThePort();
    void serverLimitsAndItsLog();
    void fullDiskKeepsTheLinkAndResumes();
    void prunesOnlyItsOldestRecordings();
    void recordsAnAdapter();
    void recordsAnotherRecordersBus();
};

void TstQuorvexRecord::helpAndVersionWithoutDisplay()
{
    QTemporaryDir home;
    Recorder help(home);
    help.start({QStringLiteral("--help")});
    QCOMPARE(help.finish(), 0);
    const QByteArray text = help.process.readAllStandardOutput();
    for (const char *option : {"--port", "--socketcand", "--allow-send", "--keep-gb",
                               "--socketcand-clients", "--socketcand-timeout", "--trigger-file"})
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
    QTest::newRow("clients") << QStringList{"--socketcand-clients", "0"};
    QTest::newRow("timeout") << QStringList{"--socketcand-timeout", "-1"};
    QTest::newRow("extra") << QStringList{"file"};
    QTest::newRow("unknown") << QStringList{"--trace"};
    QTest::newRow("source") << QStringList{"--source", "can0"};
    QTest::newRow("socketcand source") << QStringList{"--source", "socketcand:host:can0"};
    QTest::newRow("bitrate") << QStringList{"--source", "socketcan:can0", "--bitrate", "fast"};
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
    QVERIFY(QDir().mkdir(dir)); // a folder named must be there
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
    QVERIFY(QDir().mkdir(dir));
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

// What it is given to work with is checked at start: a folder it cannot write in, a DBC or rule
// file it cannot use end it with status 1 and the reason.
void TstQuorvexRecord::refusesWhatItCannotUse_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@" is the test's folder
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("unprivileged");
    QTest::newRow("read-only folder")
        << QStringList{"--dir", "@/ro"} << "cannot write in @/ro: Permission denied" << true;
    QTest::newRow("folder is a file")
        << QStringList{"--dir", "@/file"} << "cannot write in @/file: Not a directory" << false;
    QTest::newRow("missing folder") << QStringList{"--dir", "@/gone"}
                                    << "cannot write in @/gone: No such file or directory" << false;
    QTest::newRow("missing dbc") << QStringList{"--dir", "@", "--dbc", "@/none.dbc"}
                                 << "@/none.dbc: No such file or directory" << false;
    QTest::newRow("empty dbc") << QStringList{"--dir", "@", "--dbc", "@/empty.dbc"}
                               << "@/empty.dbc: the file is empty" << false;
    QTest::newRow("random dbc") << QStringList{"--dir", "@", "--dbc", "@/file"}
                                << "@/file: no message read" << false;
    QTest::newRow("missing rules") << QStringList{"--dir", "@", "--trigger-file", "@/none"}
                                   << "@/none: No such file or directory" << false;
    QTest::newRow("no rules") << QStringList{"--dir", "@", "--trigger-file", "@/comments"}
                              << "@/comments: no rule in it" << false;
    QTest::newRow("bad rule") << QStringList{"--dir", "@", "--trigger-file", "@/badrule"}
                              << "@/badrule:3: " << false;
}

void TstQuorvexRecord::refusesWhatItCannotUse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    QFETCH(bool, unprivileged);
    QTemporaryDir home;
    const QString at = home.path();
    QVERIFY(QDir().mkdir(home.filePath(QStringLiteral("ro"))));
    QVERIFY(QFile::setPermissions(home.filePath(QStringLiteral("ro")),
                                  QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                      QFile::ExeOther));
    QVERIFY(QFile::setPermissions(at, QFile::permissions(at) | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(writeFile(home.filePath(QStringLiteral("file")), "\x7F"
                                                             "ELF\x02\x01 random bytes"));
    QVERIFY(writeFile(home.filePath(QStringLiteral("empty.dbc")), " \n"));
    QVERIFY(writeFile(home.filePath(QStringLiteral("comments")), "# nothing yet\n\n"));
    QVERIFY(writeFile(home.filePath(QStringLiteral("badrule")), "manual\n\nid=zz\n"));
    arguments.replaceInStrings(QStringLiteral("@"), at);
    reason.replace(QStringLiteral("@"), at);

    Recorder recorder(home);
    unprivileged ? recorder.startUnprivileged(arguments + QStringList{"--quiet"})
                 : recorder.start(arguments + QStringList{"--quiet"});
    QCOMPARE(recorder.finish(), 1);
    const QString said = QString::fromLocal8Bit(recorder.process.readAllStandardError());
    QVERIFY2(said.startsWith(QStringLiteral("quorvex-record: cannot start: ") + reason),
             qPrintable(said));
    QCOMPARE(recordings(home.filePath(QStringLiteral("ro"))), QStringList());
}

// While no module can be opened it says why, once, in the words a user acts on.
void TstQuorvexRecord::saysWhyItWaitsForThePort_data()
{
    QTest::addColumn<QString>("port"); // "@" is the test's folder; "pty" a terminal of its own
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "@/ttyNone" << QStringLiteral("нет такого файла");
    QTest::newRow("not a terminal") << "@/plain" << QStringLiteral("не терминал");
    QTest::newRow("no rights") << "pty" << QStringLiteral("нет прав");
}

void TstQuorvexRecord::saysWhyItWaitsForThePort()
{
    QFETCH(QString, port);
    QFETCH(QString, reason);
    QTemporaryDir home;
    QVERIFY(QFile::setPermissions(home.path(), QFile::permissions(home.path()) | QFile::ReadOther |
                                                   QFile::ExeOther));
    const QString dir = home.filePath(QStringLiteral("rec"));
    QVERIFY(QDir().mkdir(dir));
    QVERIFY(QFile::setPermissions(dir, QFileDevice::Permissions(0x7777)));
    QVERIFY(writeFile(home.filePath(QStringLiteral("plain")), "not a port"));
    PtyPair pty;
    QVERIFY(pty.isValid());
    QVERIFY(QFile::setPermissions(pty.portName(), QFile::ReadOwner | QFile::WriteOwner));
    port = port == QLatin1String("pty") ? pty.portName() : port.replace('@', home.path());

    Recorder recorder(home);
    recorder.startUnprivileged({"--port", port, "--dir", dir, "--quiet"});
    const QString line = port + QStringLiteral(": no module (") + reason +
                         QStringLiteral("), looking for it every second");
    const QString said = recorder.waitToSay(line);
    QVERIFY2(said.contains(line), qPrintable(said));
    QTest::qWait(1500); // a retry or two: the same reason is not said again
    recorder.signal(SIGTERM);
    QCOMPARE(recorder.finish(), 0);
    recorder.said += QString::fromLocal8Bit(recorder.process.readAllStandardError());
    QCOMPARE(recorder.said.count(reason), 1);
}

// The server's limits are options, and what it does with clients goes to the log.
void TstQuorvexRecord::serverLimitsAndItsLog()
{
    QTemporaryDir home;
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    Recorder recorder(home);
    recorder.start({"--port", home.filePath(QStringLiteral("none")), "--dir", home.path(),
                    "--quiet", "--socketcand", QString::number(port), "--socketcand-clients", "1",
                    "--socketcand-timeout", "2"});
    recorder.waitToSay(QStringLiteral("looking for it every second"));
    QTcpSocket first, second;
    QByteArray toFirst, toSecond;
    QObject::connect(&first, &QTcpSocket::readyRead, [&] { toFirst += first.readAll(); });
    QObject::connect(&second, &QTcpSocket::readyRead, [&] { toSecond += second.readAll(); });
    first.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(toFirst, QByteArray("< hi >"));
    second.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(toSecond, QByteArray("< error too many clients >"));
    QTRY_COMPARE_WITH_TIMEOUT(toFirst, QByteArray("< hi >< error no interface opened in time >"),
                              WaitMs);
    const QString said = recorder.waitToSay(QStringLiteral("no interface opened within 2 s"));
    QVERIFY2(said.contains(QStringLiteral("refused: too many clients (limit 1)")),
             qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("no interface opened within 2 s")), qPrintable(said));
    recorder.signal(SIGTERM);
    QCOMPARE(recorder.finish(), 0);
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
    QCOMPARE(quint64(written) + session.unwrittenFrames(), quint64(8000)); // to the frame
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

// An adapter through Qt Serial Bus: the virtualcan bus of a helper process, its frames sent as
// fast as it can write them, then 64-byte CAN FD frames. Every frame is recorded, as candump would
// print it.
void TstQuorvexRecord::recordsAnAdapter()
{
    constexpr int Frames = 20000;
    constexpr int FdFrames = 5000;
    QTemporaryDir home;
    VirtualBusProcess bus(QStringLiteral(VIRTUALCAN_BUS_PATH));
    QVERIFY(bus.start());
    Recorder recorder(home);
    recorder.start({"--source", QStringLiteral("virtualcan:") + bus.url(QStringLiteral("can0")),
                    "--dir", home.path(), "--quiet"});
    const QString said = recorder.waitToSay(QStringLiteral("recording to"));
    QVERIFY2(said.contains(QStringLiteral("connected")), qPrintable(said));
    bus.send(Frames);
    QVERIFY(bus.waitLine("sent"));
    QTRY_COMPARE_WITH_TIMEOUT(recordedLines(home.path()).size(), Frames, WaitMs);
    bus.sendFd(FdFrames);
    QVERIFY(bus.waitLine("sent"));
    QTRY_COMPARE_WITH_TIMEOUT(recordedLines(home.path()).size(), Frames + FdFrames, WaitMs);
    recorder.signal(SIGTERM);
    QCOMPARE(recorder.finish(), 0);
    const QByteArrayList lines = recordedLines(home.path());
    QVERIFY(lines.first().endsWith(" can0 000#0000000000000000"));
    QVERIFY(lines.at(Frames - 1).endsWith(" can0 61F#1F4E000000000000")); // frame 19999
    QByteArray counting; // FD frame n: n in 8 bytes, then 8..63
    for (int i = 8; i < 64; ++i)
        counting += QByteArray::number(i, 16).rightJustified(2, '0').toUpper();
    QVERIFY2(lines.last().endsWith(" can0 387##18713000000000000" + counting), // frame 4999
             lines.last().constData());
}

// A bus on another machine: this recorder reads the socketcand server of another one, which
// records the virtual module. Each records line CAN0's frames alike.
void TstQuorvexRecord::recordsAnotherRecordersBus()
{
    constexpr int Frames = 4000;
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("near")));
    QVERIFY(QDir(home.path()).mkpath(QStringLiteral("far")));
    const QString link = home.filePath(QStringLiteral("module"));
    const quint16 port = VirtualBusProcess::freePort();
    Recorder near(home);
    near.start({"--port", link, "--dir", home.filePath(QStringLiteral("near")), "--quiet",
                "--socketcand", QString::number(port)});
    near.waitToSay(QStringLiteral("looking for it every second"));
    Recorder far(home);
    far.start({"--source", QStringLiteral("socketcand:127.0.0.1:%1:can0").arg(port), "--dir",
               home.filePath(QStringLiteral("far")), "--quiet"});
    far.waitToSay(QStringLiteral("recording to"));
    QTest::qWait(500); // the raw mode's quiet moment after "< ok >"
    SimProcess module;
    QVERIFY(module.start({"--rate", "4000", "--count", QString::number(Frames), "--link", link}));
    QByteArrayList want;
    QTRY_VERIFY_WITH_TIMEOUT(recordedLines(home.filePath(QStringLiteral("near"))).size() == Frames,
                             WaitMs);
    for (const QByteArray &line : recordedLines(home.filePath(QStringLiteral("near")))) {
        const int remote = line.indexOf("#R"); // the raw mode carries no remote flag
        if (line.contains(" can0 "))
            want.append(remote < 0 ? line : line.left(remote + 1));
    }
    QVERIFY(!want.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(recordedLines(home.filePath(QStringLiteral("far"))).size(),
                              want.size(), WaitMs);
    QCOMPARE(recordedLines(home.filePath(QStringLiteral("far"))), want);
    far.signal(SIGTERM);
    near.signal(SIGTERM);
    QCOMPARE(far.finish(), 0);
    QCOMPARE(near.finish(), 0);
}

QTEST_GUILESS_MAIN(TstQuorvexRecord)
#include "tst_quorvexrecord.moc"
