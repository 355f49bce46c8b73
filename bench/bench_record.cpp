// SPDX-License-Identifier: GPL-3.0-or-later
// quorvex-record at the bus limit with recording on and one socketcand client: its CPU time
// over wall time. And what a trigger's ring costs beyond the frames it holds.

#include "capture/triggerrule.h"
#include "capture/triggerset.h"
#include "link/timedpacket.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int BusLimit = 42554; // frames/s of both lines at 1 Mbit/s
constexpr int Seconds = 20;
constexpr quint16 Port = 29571;

void print(const char *what, double value, const char *unit = "")
{
    std::printf("%-62s %14.2f %s\n", what, value, unit);
    std::fflush(stdout);
}

// utime + stime of a process in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
           double(sysconf(_SC_CLK_TCK));
}

qint64 anonymousBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const auto match = QRegularExpression(QStringLiteral("RssAnon:\\s+(\\d+) kB"))
                           .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : 0;
}

void waitFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void recorderCpu()
{
    QTemporaryDir dir;
    QProcess sim;
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(QStringLiteral(TARVIX_SIM_PATH),
              {"--rate", QString::number(BusLimit), "--duration", QString::number(Seconds + 5)});
    if (!sim.waitForReadyRead(10000))
        return;
    QElapsedTimer simWall;
    simWall.start();
    const QString port = QString::fromLatin1(sim.readLine()).trimmed().mid(5);
    QProcess recorder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    recorder.setProcessEnvironment(env);
    recorder.setStandardErrorFile(dir.filePath(QStringLiteral("stderr")));
    recorder.start(QStringLiteral(QUORVEX_RECORD_PATH),
                   {"--port", port, "--dir", dir.filePath(QStringLiteral("rec")), "--quiet",
                    "--socketcand", QStringLiteral("127.0.0.1:%1").arg(Port)});
    recorder.waitForStarted();
    waitFor(500);
    QTcpSocket client;
    quint64 bytes = 0;
    QObject::connect(&client, &QTcpSocket::readyRead,
                     [&] { bytes += quint64(client.readAll().size()); });
    client.connectToHost(QHostAddress::LocalHost, Port);
    client.waitForConnected(5000);
    client.write("< open can0 >");
    waitFor(200);
    client.write("< rawmode >");
    waitFor(2000); // past start-up
    const double cpuBefore = cpuSeconds(recorder.processId());
    QElapsedTimer wall;
    wall.start();
    waitFor(Seconds * 1000 - 5000);
    const double cpu = cpuSeconds(recorder.processId()) - cpuBefore;
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    recorder.terminate();
    recorder.waitForFinished(10000);
    sim.terminate();
    const double simSeconds = double(simWall.nsecsElapsed()) / 1e9;
    sim.waitForFinished(10000);
    const QString summary = QString::fromLatin1(sim.readAllStandardOutput());
    const auto sent = QRegularExpression(QStringLiteral("frames sent (\\d+)")).match(summary);
    const double rate = sent.captured(1).toDouble() / simSeconds;
    print("module: frames/s it reached (the host keeps up or the line backs up)", rate);
    print("recorder at the bus limit, recording + 1 client: CPU / wall", 100.0 * cpu / seconds,
          "% of a core");
    print("  the same scaled to the bus limit", 100.0 * cpu / seconds * BusLimit / rate,
          "% of a core");
    print("socketcand client: bytes/s received", double(bytes) / seconds);
    const QStringList lines = QString::fromLocal8Bit([&] {
                                  QFile f(dir.filePath(QStringLiteral("stderr")));
                                  f.open(QIODevice::ReadOnly);
                                  return f.readAll();
                              }())
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    std::printf("  module: %s\n  recorder: %s\n", qPrintable(summary.trimmed()),
                qPrintable(lines.isEmpty() ? QString() : lines.last()));
}

void ringMemory()
{
    constexpr qint64 Frames = 2000000;
    QTemporaryDir dir;
    TriggerRule rule;
    QString error;
    TriggerRule::parse(QStringLiteral("id=0x7FF/0 data=0102030405060708 pre=60 post=1"), rule,
                       error);
    TriggerSet set;
    set.setRules({rule}, dir.path());
    const qint64 before = anonymousBytes();
    TimedPacket frame;
    frame.packet.rtl = 8;
    for (qint64 n = 0; n < Frames; ++n) {
        frame.time = 1700000000000000 + n * 1000000 / BusLimit;
        frame.packet.id = uint32_t(n & 0x7FF);
        set.add(frame);
    }
    const qint64 grown = anonymousBytes() - before;
    const double perFrame = double(grown) / double(set.ringSize());
    print("trigger ring: frames held (pre=60 s at the bus limit)", double(set.ringSize()));
    print("trigger ring: anonymous bytes per frame", perFrame);
    print("trigger ring: beyond the frame itself (sizeof TimedPacket)",
          perFrame - double(sizeof(TimedPacket)), "bytes");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ringMemory();
    recorderCpu();
    return 0;
}
