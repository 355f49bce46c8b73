// SPDX-License-Identifier: GPL-3.0-or-later
// quorvex-record at the bus limit with recording on and one socketcand client: its CPU time
// over wall time. What a trigger's ring costs beyond the frames it holds. The recorder at
// 40,000 frames/s while two clients flood its server with commands: frames lost, memory and the
// capture thread's CPU beside the same run without clients. And python-can's client at that rate:
// what it receives and how often it warns.

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
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <limits>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
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

// utime + stime in seconds of a process, or of one of its threads (`tid`).
double cpuSeconds(qint64 pid, qint64 tid = 0)
{
    QFile stat(tid ? QStringLiteral("/proc/%1/task/%2/stat").arg(pid).arg(tid)
                   : QStringLiteral("/proc/%1/stat").arg(pid));
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

constexpr int FloodRate = 40000;
constexpr int IdleSeconds = 20;
constexpr int FloodSeconds = 60;
constexpr quint16 FloodPort = 29572;

qint64 residentBytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const auto match = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB"))
                           .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : 0;
}

int connectTo(quint16 port, int receiveBuffer = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

qint64 framesSent(const QByteArray &summary)
{
    const auto m = QRegularExpression(QStringLiteral("frames sent (\\d+)"))
                       .match(QString::fromLatin1(summary));
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

// Microseconds of a "SECONDS.MICROSECONDS" text.
qint64 microseconds(const QByteArray &text)
{
    const int dot = text.indexOf('.');
    return text.left(dot).toLongLong() * 1000000 + text.mid(dot + 1).toLongLong();
}

// The module at `rate` for `seconds` and the recorder on it, sharing over socketcand.
struct RecorderRun
{
    bool start(int rate, int seconds, quint16 serverPort)
    {
        sim.setStandardErrorFile(QProcess::nullDevice());
        sim.start(QStringLiteral(TARVIX_SIM_PATH), {"--rate", QString::number(rate), "--duration",
                                                    QString::number(seconds), "--exit-when-done"});
        if (!sim.waitForReadyRead(10000))
            return false;
        simWall.start();
        const QString port = QString::fromLatin1(sim.readLine()).trimmed().mid(5);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        recorder.setProcessEnvironment(env);
        recorder.setStandardErrorFile(dir.filePath(QStringLiteral("stderr")));
        QDir().mkdir(dir.filePath(QStringLiteral("rec")));
        recorder.start(QStringLiteral(QUORVEX_RECORD_PATH),
                       {"--port", port, "--dir", dir.filePath(QStringLiteral("rec")), "--quiet",
                        "--socketcand", QStringLiteral("127.0.0.1:%1").arg(serverPort)});
        return recorder.waitForStarted();
    }
    qint64 pid() const { return recorder.processId(); }
    // Lets the module finish, then ends the recorder.
    void finish()
    {
        sim.waitForFinished(-1);
        const double seconds = double(simWall.nsecsElapsed()) / 1e9;
        sent = framesSent(sim.readAllStandardOutput());
        sentRate = double(sent) / seconds;
        waitFor(1000);
        recorder.terminate();
        recorder.waitForFinished(10000);
    }
    // Lines of the recordings on `iface` ("" for all) with a time inside (from, to).
    qint64 recorded(const char *iface = "", qint64 from = -1,
                    qint64 to = std::numeric_limits<qint64>::max()) const
    {
        const QDir rec(dir.filePath(QStringLiteral("rec")));
        qint64 lines = 0;
        for (const QString &name : rec.entryList({"quorvex-*.log"}, QDir::Files)) {
            QFile file(rec.filePath(name));
            file.open(QIODevice::ReadOnly);
            while (!file.atEnd()) {
                const QByteArray line = file.readLine();
                const qint64 time = microseconds(line.mid(1, line.indexOf(')') - 1));
                lines += line.contains(iface) && time > from && time < to;
            }
        }
        return lines;
    }
    QString lastSaid() const
    {
        QFile file(dir.filePath(QStringLiteral("stderr")));
        file.open(QIODevice::ReadOnly);
        return QString::fromLocal8Bit(file.readAll().trimmed().split('\n').last());
    }

    QTemporaryDir dir;
    QProcess sim;
    QProcess recorder;
    QElapsedTimer simWall;
    qint64 sent = 0;
    double sentRate = 0;
};

void recorderCpu()
{
    RecorderRun run;
    if (!run.start(BusLimit, Seconds + 5, Port))
        return;
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
    const double cpuBefore = cpuSeconds(run.pid());
    QElapsedTimer wall;
    wall.start();
    waitFor(Seconds * 1000 - 5000);
    const double cpu = cpuSeconds(run.pid()) - cpuBefore;
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    run.finish();
    print("module: frames/s it reached (the host keeps up or the line backs up)", run.sentRate);
    print("recorder at the bus limit, recording + 1 client: CPU / wall", 100.0 * cpu / seconds,
          "% of a core");
    print("  the same scaled to the bus limit", 100.0 * cpu / seconds * BusLimit / run.sentRate,
          "% of a core");
    print("socketcand client: bytes/s received", double(bytes) / seconds);
    std::printf("  recorder: %s\n", qPrintable(run.lastSaid()));
}

// The capture thread's CPU seconds per second and the largest resident size over `seconds`.
void watch(qint64 pid, int seconds, double *cpuPerSecond, qint64 *largest)
{
    const double before = cpuSeconds(pid, pid);
    QElapsedTimer wall;
    wall.start();
    *largest = 0;
    while (wall.elapsed() < seconds * 1000) {
        waitFor(500);
        *largest = std::max(*largest, residentBytes(pid));
    }
    *cpuPerSecond = (cpuSeconds(pid, pid) - before) / (double(wall.nsecsElapsed()) / 1e9);
}

// Commands at full speed: "< echo >" in blocks of 64 KiB. The reader drains its answers; the
// other never reads, is dropped at its backlog and comes back at once.
void flood(quint16 port, bool reads, const std::atomic<bool> &stop, std::atomic<qint64> *sent,
           std::atomic<int> *connections)
{
    QByteArray block;
    while (block.size() < 64 * 1024)
        block += "< echo >";
    static char scrap[65536];
    while (!stop) {
        const int fd = connectTo(port, reads ? 0 : 4096);
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        ++*connections;
        timeval slice{0, 100000};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof slice);
        while (!stop) {
            const ssize_t n = ::send(fd, block.constData(), size_t(block.size()), MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                break;
            *sent += std::max<ssize_t>(n, 0);
            while (reads && ::recv(fd, scrap, sizeof scrap, MSG_DONTWAIT) > 0) {
            }
        }
        ::close(fd);
    }
}

// A client reading can0 in raw mode all along: how many frames it got, and the times of the
// first and the last.
struct FrameReader
{
    void run(quint16 port, const std::atomic<bool> &stop)
    {
        const int fd = connectTo(port);
        const char ask[] = "< open can0 >< rawmode >";
        if (fd < 0 || ::send(fd, ask, sizeof ask - 1, MSG_NOSIGNAL) < 0)
            return;
        timeval slice{0, 100000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
        char buffer[65536];
        QByteArray text;
        while (!stop) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                break;
            text.append(buffer, int(std::max<ssize_t>(n, 0)));
            take(text);
        }
        ::close(fd);
    }
    // Whole "< frame ID TIME DATA >" messages off the front of `text`.
    void take(QByteArray &text)
    {
        int start = 0;
        for (int end; (end = text.indexOf('>', start)) >= 0; start = end + 1) {
            const QList<QByteArray> words = text.mid(start, end - start).simplified().split(' ');
            if (words.size() >= 4 && words[1] == "frame")
                times.push_back(microseconds(words[3]));
        }
        text.remove(0, start);
    }
    std::vector<qint64> times;
};

void floodedServer()
{
    RecorderRun run;
    if (!run.start(FloodRate, IdleSeconds + FloodSeconds + 8, FloodPort))
        return;
    waitFor(3000); // past start-up
    double idleCpu = 0;
    double floodCpu = 0;
    qint64 idleMemory = 0;
    qint64 floodMemory = 0;
    watch(run.pid(), IdleSeconds, &idleCpu, &idleMemory);
    std::atomic<bool> stop{false};
    std::atomic<qint64> readerSent{0}, stalledSent{0};
    std::atomic<int> readerConnections{0}, stalledConnections{0};
    FrameReader frames;
    std::thread reader([&] { frames.run(FloodPort, stop); });
    std::thread flooding(flood, FloodPort, true, std::cref(stop), &readerSent, &readerConnections);
    std::thread stalling(flood, FloodPort, false, std::cref(stop), &stalledSent,
                         &stalledConnections);
    watch(run.pid(), FloodSeconds, &floodCpu, &floodMemory);
    stop = true;
    reader.join();
    flooding.join();
    stalling.join();
    run.finish();
    print("flood: module frames/s reached (target 40,000)", run.sentRate);
    print("flood: frames sent by the module minus frames recorded",
          double(run.sent - run.recorded()));
    print("flood: capture thread CPU, no clients", 100.0 * idleCpu, "% of a core");
    print("flood: capture thread CPU, two clients flooding commands", 100.0 * floodCpu,
          "% of a core");
    print("flood: ratio of the two (target <= 2)", idleCpu > 0 ? floodCpu / idleCpu : -1);
    print("flood: resident memory, no clients", double(idleMemory) / 1048576.0, "MiB");
    print("flood: resident memory, largest while flooded", double(floodMemory) / 1048576.0, "MiB");
    print("flood: commands sent by the client that reads", double(readerSent) / 8.0);
    print("flood: connections of the client that reads", double(readerConnections));
    print("flood: commands sent by the client that never reads", double(stalledSent) / 8.0);
    print("flood: times that client was dropped and came back", double(stalledConnections - 1));
    if (frames.times.size() > 2) {
        const qint64 first = frames.times.front();
        const qint64 last = frames.times.back();
        const qint64 inside =
            qint64(std::count_if(frames.times.begin(), frames.times.end(),
                                 [&](qint64 t) { return t > first && t < last; }));
        print("flood: can0 frames recorded meanwhile minus those a raw client got",
              double(run.recorded(" can0 ", first, last) - inside));
    }
    std::printf("  recorder: %s\n", qPrintable(run.lastSaid()));
}

// python-can's client reading can0 as fast as it can for `seconds`: frame count, the times of
// its first and last frame (microseconds), the frames strictly between, then its warnings.
const char PythonReader[] = R"(
import logging, sys, time, can
class Count(logging.Handler):
    def __init__(self):
        super().__init__(logging.WARNING)
        self.bad = self.incomplete = self.other = 0
    def emit(self, record):
        text = record.getMessage()
        if text.startswith('Bad data'): self.bad += 1
        elif 'incomplete message' in text.lower(): self.incomplete += 1
        else: self.other += 1
count = Count()
log = logging.getLogger('can')
log.addHandler(count)
log.setLevel(logging.WARNING)
log.propagate = False
bus = can.Bus(interface='socketcand', host='127.0.0.1', port=int(sys.argv[1]), channel='can0')
end = time.monotonic() + float(sys.argv[2])
times = []
try:
    while time.monotonic() < end:
        m = bus.recv(timeout=0.1)
        if m is not None:
            times.append(round(m.timestamp * 1e6))
except can.CanError:
    pass
bus.shutdown()
first, last = (times[0], times[-1]) if times else (0, 0)
inside = sum(1 for t in times if first < t < last)
print(len(times), first, last, inside, count.bad, count.incomplete, count.other)
)";

void pythonCanAtBusRate()
{
    constexpr int Seconds = 15;
    constexpr quint16 Port = 29573;
    RecorderRun run;
    if (!run.start(FloodRate, Seconds + 5, Port))
        return;
    waitFor(2000);
    QProcess python;
    python.start(
        QStringLiteral("/usr/bin/python3"),
        {"-c", QString::fromLatin1(PythonReader), QString::number(Port), QString::number(Seconds)});
    python.waitForFinished(-1);
    run.finish();
    const QList<QByteArray> figures = python.readAllStandardOutput().trimmed().split(' ');
    if (figures.size() < 7)
        return;
    const double frames = figures[0].toDouble();
    print("python-can at 40,000 frames/s (can0): frames received", frames);
    print("python-can: can0 frames recorded meanwhile minus those it got",
          double(run.recorded(" can0 ", figures[1].toLongLong(), figures[2].toLongLong()) -
                 figures[3].toLongLong()));
    print("python-can: \"Bad data\" warnings", figures[4].toDouble());
    print("python-can: \"Bad data\" warnings per 1,000 frames",
          frames > 0 ? 1000.0 * figures[4].toDouble() / frames : -1);
    print("python-can: \"incomplete message\" notes (its own)", figures[5].toDouble());
    print("python-can: other warnings", figures[6].toDouble());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList only = app.arguments().mid(1); // "ring", "cpu", "python", "flood"; all
    const auto runs = [&](const char *name) {
        return only.isEmpty() || only.contains(QLatin1String(name));
    };
    if (runs("ring"))
        ringMemory();
    if (runs("cpu"))
        recorderCpu();
    if (runs("python"))
        pythonCanAtBusRate();
    if (runs("flood"))
        floodedServer();
    return 0;
}
