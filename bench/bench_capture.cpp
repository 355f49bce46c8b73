// SPDX-License-Identifier: GPL-3.0-or-later
// The whole capture path under load: tarvix-sim on a pseudo-terminal feeding the real main window
// (shown offscreen, log tab visible, filters on "Все", TX display on) through QSerialPort,
// CanTester, the filters, the log, the statistics and the view refresh. Prints one figure a line.
// Day-long captures: anonymous memory per frame over 20,000,000 frames, the rate with recording
// on and off, a 10,000,000-row save during a capture at the two-line limit, a reply-marker flood.
// An adapter's bus: classic and 64-byte CAN FD frames from Qt's virtualcan bus (a child process
// sending as fast as it can) through the same window, side by side.
// Recordings, the private row file and the saved log go to a temporary directory.
//
//   bench_capture [--quick] [--ids-only|--day-only|--stats-only|--fd-only]
//   (--quick: shorter runs, for a first look)

#include "app/logsaver.h"
#include "app/mainwindow.h"
#include "link/canbussource.h"
#include "link/cantester.h"
#include "link/linerecord.h"
#include "log/candatamodel.h"
#include "virtualbusprocess.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int BusLimit = 42554; // frames/s of both lines at 1 Mbit/s

// A field of /proc/self/status in bytes: VmRSS (all resident) or RssAnon (heap and other
// anonymous memory, what a capture must not grow).
qint64 statusBytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const auto match = QRegularExpression(QLatin1String(field) + QStringLiteral(":\\s+(\\d+) kB"))
                           .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : 0;
}

qint64 residentBytes()
{
    return statusBytes("VmRSS");
}

// What the process holds, not what the allocator kept after it was freed: a socket's read buffer
// that grew while the window was behind a bus is given back first.
qint64 anonymousBytes()
{
    malloc_trim(0);
    return statusBytes("RssAnon");
}

// The settings of every run: the port behind a link that each run points at its module, and the
// working directory (recordings, saves) in a temporary place.
struct Workplace
{
    QTemporaryDir dir;
    QString link() const { return dir.filePath(QStringLiteral("tarvix")); }
    void pointAt(const QString &port) const
    {
        QFile::remove(link());
        QFile::link(port, link());
    }
    void store(bool record, const QString &source = QString()) const
    {
        QSettings store(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
        store.setValue(QStringLiteral("SOURCE"), source);
        store.setValue(QStringLiteral("PORT"), link());
        store.setValue(QStringLiteral("WORKDIR"), dir.path());
        store.setValue(QStringLiteral("TX"), true);
        store.setValue(QStringLiteral("RECORD"), record);
        store.sync();
    }
};

Workplace *workplace = nullptr;

void trigger(MainWindow &window, const char *action)
{
    window.findChild<QAction *>(QLatin1String(action))->trigger();
}

CanDataModel *logOf(MainWindow &window)
{
    return window.findChild<CanDataModel *>();
}

double cpuSeconds()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Measures how late a 10 ms timer fires: the longest time the event loop was not served.
class StallProbe
{
public:
    StallProbe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 late = clock.restart() - 10;
            worst = qMax(worst, late);
        });
    }
    void start()
    {
        worst = 0;
        clock.start();
        timer.start(10);
    }
    qint64 longestStallMs()
    {
        timer.stop();
        return worst;
    }

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 worst = 0;
};

struct RunResult
{
    qint64 sent = 0;
    qint64 logged = 0;
    double seconds = 0;
    double cpuPerFrame = 0;       // seconds of this process per frame while capturing
    double steadyCpuPerFrame = 0; // the same once a tenth of the frames are in
    qint64 stallMs = 0;
    double rssPerRow = 0;
    double anonPerRow = 0;
    qint64 anonAtSample = 0; // once a tenth of the rows are in
    qint64 anonAtEnd = 0;
};

// The virtual module as a child process.
class Sim
{
public:
    bool start(const QStringList &arguments)
    {
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStringLiteral(TARVIX_SIM_PATH), arguments);
        while (!process.canReadLine() && process.waitForReadyRead(10000)) {
        }
        const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
        port = line.mid(5);
        return line.startsWith(QLatin1String("PORT /"));
    }
    qint64 stop()
    {
        process.terminate();
        process.waitForFinished(10000);
        const auto match = QRegularExpression(QStringLiteral("frames sent (\\d+)"))
                               .match(QString::fromLocal8Bit(process.readAllStandardOutput()));
        return match.hasMatch() ? match.captured(1).toLongLong() : -1;
    }
    QString portName() const { return port; }

private:
    QProcess process;
    QString port;
};

class CaptureRun
{
public:
    CaptureRun(const QStringList &simArguments, qint64 expected, bool record = true)
        : arguments(simArguments), expectedRows(expected), record(record)
    {
    }
    RunResult run();
    // From Qt's virtualcan bus instead of the module: `expected` numbered frames, 64-byte FD
    // frames when `fd`.
    RunResult runBus(bool fd);

private:
    void measure(MainWindow &window, RunResult *result);

    void waitForQuiet(CanDataModel *log, const QElapsedTimer &clock);

    QStringList arguments;
    qint64 expectedRows = 0;
    bool record = true;
    qint64 lastRowMs = 0;
    int sampleRows = 0;
    int firstRows = 0;
    double firstRowCpu = 0;
    double sampleCpu = 0;
    double lastRowCpu = 0;
    qint64 sampleRss = 0;
    qint64 sampleAnon = 0;
};

// Done when nothing new has been logged for a second (the module has sent its count). Notes
// when the last row came, and the memory in use once a tenth of the rows are in, so the growth
// per row leaves out what the window costs anyway.
void CaptureRun::waitForQuiet(CanDataModel *log, const QElapsedTimer &clock)
{
    int last = -1;
    QElapsedTimer still;
    still.start();
    while (still.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (log->rowCount() == last)
            continue;
        if (last <= 0) { // the first rows: from here on the window only captures
            firstRows = log->rowCount();
            firstRowCpu = cpuSeconds();
        }
        last = log->rowCount();
        lastRowMs = clock.elapsed();
        lastRowCpu = cpuSeconds();
        still.restart();
        if (sampleRows == 0 && last >= expectedRows / 10) {
            sampleRows = last;
            sampleCpu = cpuSeconds();
            sampleRss = residentBytes();
            sampleAnon = anonymousBytes();
        }
    }
}

RunResult CaptureRun::run()
{
    RunResult result;
    Sim sim;
    if (!sim.start(arguments))
        return result;
    workplace->pointAt(sim.portName());
    workplace->store(record);
    {
        MainWindow window;
        window.show();
        trigger(window, "actionOpenPort");
        measure(window, &result);
        trigger(window, "actionOpenPort"); // disconnect before the module's line goes
        result.sent = sim.stop();
    }
    return result;
}

RunResult CaptureRun::runBus(bool fd)
{
    RunResult result;
    VirtualBusProcess bus(QStringLiteral(VIRTUALCAN_BUS_PATH));
    if (!bus.start())
        return result;
    workplace->store(record, QStringLiteral("virtualcan:") + bus.url(QStringLiteral("can0")));
    MainWindow window;
    window.show();
    trigger(window, "actionOpenPort");
    QElapsedTimer settle; // a bus keeps nothing for a node that is not on it yet
    settle.start();
    while (settle.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (fd)
        bus.sendFd(expectedRows);
    else
        bus.send(expectedRows);
    measure(window, &result);
    trigger(window, "actionOpenPort");
    result.sent = expectedRows;
    return result;
}

// From the moment frames may come until a second passes without a new row.
void CaptureRun::measure(MainWindow &window, RunResult *out)
{
    RunResult &result = *out;
    {
        CanDataModel *log = logOf(window);
        StallProbe probe;
        QElapsedTimer clock;
        probe.start();
        clock.start();
        waitForQuiet(log, clock);
        result.seconds = lastRowMs / 1000.0;
        result.cpuPerFrame =
            (lastRowCpu - firstRowCpu) / qMax<qint64>(1, log->rowCount() - firstRows);
        result.steadyCpuPerFrame =
            (lastRowCpu - sampleCpu) / qMax<qint64>(1, log->rowCount() - sampleRows);
        result.stallMs = probe.longestStallMs();
        result.logged = log->rowCount();
        const qint64 grown = qMax<qint64>(1, result.logged - sampleRows);
        result.rssPerRow = double(residentBytes() - sampleRss) / grown;
        result.anonAtSample = sampleAnon;
        result.anonAtEnd = anonymousBytes();
        result.anonPerRow = double(result.anonAtEnd - sampleAnon) / grown;
    }
}

void print(const char *what, double value, const char *unit = "")
{
    std::printf("%-60s %12.1f %s\n", what, value, unit);
    std::fflush(stdout);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Waits until `done` holds, serving the event loop.
template<typename Done> void serveUntil(Done done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A log of `rows` rows taken as fast as the line goes, then a capture at the bus limit during
// which the whole log is saved in the background: how long the event loop stalled, and whether a
// frame was lost meanwhile.
void saveDuringCapture(qint64 rows, int seconds)
{
    workplace->store(false);
    MainWindow window;
    window.show();
    CanDataModel *log = logOf(window);
    {
        Sim fill;
        fill.start({"--rate", "max", "--count", QString::number(rows), "--ids", "1000"});
        workplace->pointAt(fill.portName());
        trigger(window, "actionOpenPort");
        serveUntil([&] { return log->rowCount() >= rows; });
        trigger(window, "actionOpenPort");
        fill.stop();
    }
    Sim bus;
    bus.start({"--rate", QString::number(BusLimit), "--duration", QString::number(seconds), "--ids",
               "1000"});
    workplace->pointAt(bus.portName());
    trigger(window, "actionOpenPort");
    serveUntil([&] { return log->rowCount() >= rows + BusLimit; }); // a second of capture

    auto *saver = window.findChild<LogSaver *>();
    StallProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    saver->saveTo(workplace->dir.filePath(QStringLiteral("saved.log")), CaptureFormat::Candump);
    const qint64 saved = log->rowCount();
    serveUntil([&] { return !saver->isSaving(); });
    const double saveSeconds = clock.elapsed() / 1000.0;
    const qint64 stall = probe.longestStallMs();
    QElapsedTimer still;
    qint64 last = -1;
    while (last != log->rowCount() || still.elapsed() < 1000) { // the module has sent its count
        if (last != log->rowCount())
            still.start();
        last = log->rowCount();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    trigger(window, "actionOpenPort");
    const qint64 sent = bus.stop();
    print("save during capture: rows saved", double(saved));
    print("save during capture: rows saved per second", saved / saveSeconds);
    print("save during capture: longest stall", double(stall), "ms");
    print("save during capture: frames lost", double(sent - (log->rowCount() - rows)));
}

// A pseudo-terminal whose master side plays a module that talks nonsense.
class NoisyLine
{
public:
    NoisyLine()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        name = QString::fromLocal8Bit(::ptsname(master));
        slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY); // the line stays up between opens
    }
    ~NoisyLine()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
    QString portName() const { return name; }
    void write(const QByteArray &bytes)
    {
        const char *p = bytes.constData();
        qint64 left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(master, p, size_t(left));
            if (n > 0) {
                p += n;
                left -= n;
            } else {
                QCoreApplication::processEvents(); // let the window drain the line
            }
        }
    }

private:
    int master = -1;
    int slave = -1;
    QString name;
};

// 512 KB of reply markers in short pieces, each read a reply of its own: the longest stall, the
// listing's length, and whether clean frames are logged again afterwards.
void replyMarkerFlood()
{
    constexpr int FloodBytes = 512 * 1024;
    constexpr int Piece = 64;
    constexpr int CleanFrames = 1000;
    NoisyLine line;
    workplace->pointAt(line.portName());
    workplace->store(false);
    MainWindow window;
    window.show();
    trigger(window, "actionOpenPort");
    auto *tester = window.findChild<CanTester *>();
    StallProbe probe;
    probe.start();
    for (int sent = 0; sent < FloodBytes; sent += Piece) {
        line.write(QByteArray(Piece, '\xEF'));
        QCoreApplication::processEvents();
    }
    serveUntil([&] { return tester->bytesReceived() >= quint64(FloodBytes); });
    serveUntil([&] { return tester->pendingBytes() == 0; });
    const qint64 stall = probe.longestStallMs();
    QByteArray clean;
    CanPacket packet;
    packet.frame = CanPacket::Can0ToCan1;
    packet.rtl = 8;
    for (int i = 0; i < CleanFrames; ++i) {
        packet.id = uint32_t(i & 0x7FF);
        clean += LineRecord::moduleRecord(packet);
    }
    line.write(clean);
    CanDataModel *log = logOf(window);
    QElapsedTimer clock;
    clock.start();
    while (log->rowCount() < CleanFrames && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    print("reply-marker flood (512 KB): longest stall", double(stall), "ms");
    print("reply-marker flood: exchange listing lines",
          window.findChild<QListWidget *>(QStringLiteral("lwList"))->count());
    print("reply-marker flood: clean frames logged after, of 1000", log->rowCount());
    trigger(window, "actionOpenPort");
}

void dayLongCapture(bool quick)
{
    const qint64 frames = quick ? 2000000 : 20000000;
    const QString count = QString::number(frames);
    const RunResult on =
        CaptureRun({"--rate", "max", "--count", count, "--ids", "1000"}, frames, true).run();
    const QByteArray at = QByteArray::number(frames);
    print(("recording on, " + at + " frames: frames/s").constData(), on.logged / on.seconds);
    print("recording on: frames lost", double(on.sent - on.logged));
    print("RssAnon once a tenth of the frames were logged", on.anonAtSample / 1048576.0, "MiB");
    print(("RssAnon after " + at + " frames").constData(), on.anonAtEnd / 1048576.0, "MiB");
    print("anonymous bytes per logged frame", on.anonPerRow);
    const qint64 offFrames = frames / 4;
    const RunResult off =
        CaptureRun({"--rate", "max", "--count", QString::number(offFrames), "--ids", "1000"},
                   offFrames, false)
            .run();
    print(("recording off, " + QByteArray::number(offFrames) + " frames: frames/s").constData(),
          off.logged / off.seconds);
    saveDuringCapture(quick ? 1000000 : 10000000, quick ? 8 : 20);
    replyMarkerFlood();
}

// The statistics page on screen while 10,000 identifiers come at the two-line limit: the rows in
// sight are refreshed and repainted all along. How long the event loop stalled, and whether a
// frame was lost.
void statisticsPage(int seconds)
{
    workplace->store(false);
    Sim sim;
    sim.start({"--rate", QString::number(BusLimit), "--duration", QString::number(seconds), "--ids",
               "10000"});
    workplace->pointAt(sim.portName());
    MainWindow window;
    window.show();
    window.findChild<QTabWidget *>(QStringLiteral("tabWidget"))
        ->setCurrentWidget(window.findChild<QWidget *>(QStringLiteral("tab_2")));
    CanDataModel *log = logOf(window);
    StallProbe probe;
    probe.start();
    trigger(window, "actionOpenPort");
    QElapsedTimer still;
    still.start();
    for (int rows = 0; still.elapsed() < 1000;) { // done after a second without new rows
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        if (log->rowCount() != rows)
            still.restart();
        rows = log->rowCount();
    }
    const qint64 stall = probe.longestStallMs();
    const qint64 sent = sim.stop();
    trigger(window, "actionOpenPort");
    print("statistics page, 10,000 ids, 42,554 frames/s: frames sent", sent);
    print("statistics page, 10,000 ids, 42,554 frames/s: frames lost", sent - log->rowCount());
    print("statistics page, 10,000 ids, 42,554 frames/s: longest stall", stall, "ms");
}
// Classic and 64-byte FD frames from an adapter's bus, alternating so that a machine slowing down
// weighs on both alike: rate, loss and the memory each logged frame costs beyond the row file.
void adapterCapture(bool quick)
{
    const qint64 frames = quick ? 200000 : 1000000;
    const int rounds = quick ? 1 : 3;
    const char *const kinds[2] = {"classic 8-byte", "FD 64-byte"};
    for (int round = 0; round < rounds; ++round) {
        for (int fd = 0; fd < 2; ++fd) {
            const RunResult r = CaptureRun({}, frames, true).runBus(fd != 0);
            const QByteArray what = QByteArray("virtualcan, ") + kinds[fd] + ", round " +
                                    QByteArray::number(round + 1) + ": ";
            print((what + "frames/s").constData(), r.logged / qMax(1e-9, r.seconds));
            print((what + "frames lost").constData(), double(r.sent - r.logged));
            print((what + "anonymous bytes per logged frame").constData(), r.anonPerRow);
            print((what + "CPU per frame").constData(), r.cpuPerFrame * 1e9, "ns");
        }
    }
}

// Per-frame cost must not grow with the number of identifiers: the two alternate, so a machine
// that slows down meanwhile weighs on both alike, and the median of each round's own ratio
// leaves out a round the machine was busy elsewhere. "Steady" leaves out the first tenth of the
// frames, where every identifier is seen for the first time. The virtual module's usual traffic
// differs with the count (10,000 identifiers are mostly 29-bit, with other lengths and periods);
// `alike` traffic differs in the identifiers only.
void identifierCounts(bool quick, const QString &frames, bool alike)
{
    double cpu[2] = {0, 0};
    double steady[2] = {0, 0};
    double rate[2] = {0, 0};
    std::vector<double> ratios;
    std::vector<double> steadyRatios;
    const char *const idCounts[2] = {"10", "10000"};
    const int rounds = quick ? 1 : 5;
    for (int round = 0; round < rounds; ++round) {
        RunResult r[2];
        for (int i = 0; i < 2; ++i) {
            QStringList arguments{"--rate", "max",   "--count",
                                  frames,   "--ids", QString::fromLatin1(idCounts[i])};
            if (alike)
                arguments << QStringLiteral("--alike");
            r[i] = CaptureRun(arguments, frames.toLongLong()).run();
            cpu[i] += r[i].cpuPerFrame / rounds;
            steady[i] += r[i].steadyCpuPerFrame / rounds;
            rate[i] += r[i].logged / r[i].seconds / rounds;
        }
        ratios.push_back(100.0 * r[1].cpuPerFrame / r[0].cpuPerFrame);
        steadyRatios.push_back(100.0 * r[1].steadyCpuPerFrame / r[0].steadyCpuPerFrame);
    }
    const QByteArray traffic = alike ? "alike frames, " : "";
    for (int i = 0; i < 2; ++i) {
        const QByteArray ids = traffic + idCounts[i] + " ids";
        print(("CPU per frame, " + ids).constData(), cpu[i] * 1e9, "ns");
        print(("CPU per frame, steady, " + ids).constData(), steady[i] * 1e9, "ns");
        print(("max rate, " + ids).constData(), rate[i], "frames/s");
    }
    print(("CPU per frame, " + traffic + "10,000 ids / 10 ids").constData(),
          100.0 * cpu[1] / cpu[0], "%");
    print(("CPU per frame, steady, " + traffic + "10,000 ids / 10 ids").constData(),
          100.0 * steady[1] / steady[0], "%");
    print(("CPU per frame, " + traffic + "10,000 ids / 10 ids, median of rounds").constData(),
          median(ratios), "%");
    print(("CPU per frame, steady, " + traffic + "10,000 ids / 10 ids, median of rounds")
              .constData(),
          median(steadyRatios), "%");
}

} // namespace

int main(int argc, char **argv)
{
    CanBusSource::pinTimeZone(); // as the program does
    QTemporaryDir config;        // never the user's settings, cache or files
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", config.filePath(QStringLiteral("cache")).toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Workplace place;
    workplace = &place;
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const QString frames = quick ? QStringLiteral("200000") : QStringLiteral("1000000");

    if (app.arguments().contains(QStringLiteral("--stats-only"))) {
        statisticsPage(quick ? 5 : 30);
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--fd-only"))) {
        adapterCapture(quick);
        return 0;
    }
    if (app.arguments().contains(QStringLiteral("--ids-only")))
        goto ids;
    if (app.arguments().contains(QStringLiteral("--day-only")))
        goto day;
    {
        const RunResult max =
            CaptureRun({"--rate", "max", "--count", frames, "--ids", "1000"}, frames.toLongLong())
                .run();
        print("max rate: frames sent", max.sent);
        print("max rate: sustained frames/s", max.logged / max.seconds);
        print("max rate: frames lost", max.sent - max.logged);
        print("max rate: longest stall", max.stallMs, "ms");
        print("max rate: resident bytes per logged frame", max.rssPerRow);

        const QString seconds = quick ? QStringLiteral("5") : QStringLiteral("30");
        const RunResult bus =
            CaptureRun({"--rate", "42554", "--duration", seconds, "--ids", "1000"},
                       42554 * seconds.toLongLong())
                .run();
        print("42,554 frames/s: frames sent", bus.sent);
        print("42,554 frames/s: frames lost", bus.sent - bus.logged);
        print("42,554 frames/s: longest stall", bus.stallMs, "ms");
    }
    statisticsPage(quick ? 5 : 30);
day:
    dayLongCapture(quick);
    if (app.arguments().contains(QStringLiteral("--day-only")))
        return 0;
ids:
    identifierCounts(quick, frames, false);
    identifierCounts(quick, frames, true);
    return 0;
}
