// The whole capture path under load: tarvix-sim on a pseudo-terminal feeding the real main window
// (shown offscreen, log tab visible, filters on "Все", TX display on) through QSerialPort,
// CanTester, the filters, the log, the statistics and the view refresh. Prints one figure a line.
//
//   bench_capture [--quick]     (--quick: shorter runs, for a first look)

#include "app/mainwindow.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
qint64 residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const auto match = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB"))
                           .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : 0;
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
    double cpuPerFrame = 0; // seconds of this process per frame while capturing
    qint64 stallMs = 0;
    double rssPerRow = 0;
};

class CaptureRun
{
public:
    CaptureRun(const QStringList &simArguments, qint64 expected)
        : arguments(simArguments), expectedRows(expected)
    {
    }
    RunResult run();

private:
    bool startSim();
    qint64 stopSim();
    void waitForQuiet(QAbstractItemModel *log, const QElapsedTimer &clock);

    QStringList arguments;
    qint64 expectedRows = 0;
    qint64 lastRowMs = 0;
    int sampleRows = 0;
    int firstRows = 0;
    double firstRowCpu = 0;
    double lastRowCpu = 0;
    qint64 sampleRss = 0;
    QProcess sim;
    QString port;
};

bool CaptureRun::startSim()
{
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(QStringLiteral(TARVIX_SIM_PATH), arguments);
    while (!sim.canReadLine() && sim.waitForReadyRead(10000)) {
    }
    const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
    port = line.mid(5);
    return line.startsWith(QLatin1String("PORT /"));
}

qint64 CaptureRun::stopSim()
{
    sim.terminate();
    sim.waitForFinished(10000);
    const auto match = QRegularExpression(QStringLiteral("frames sent (\\d+)"))
                           .match(QString::fromLocal8Bit(sim.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// Done when nothing new has been logged for a second (the module has sent its count). Notes
// when the last row came, and the memory in use once a tenth of the rows are in, so the growth
// per row leaves out what the window costs anyway.
void CaptureRun::waitForQuiet(QAbstractItemModel *log, const QElapsedTimer &clock)
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
            sampleRss = residentBytes();
        }
    }
}

RunResult CaptureRun::run()
{
    RunResult result;
    if (!startSim())
        return result;
    QSettings store(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
    store.setValue(QStringLiteral("PORT"), port);
    store.setValue(QStringLiteral("TX"), true);
    store.sync();
    {
        MainWindow window;
        window.show();
        auto *log = window.findChild<QTableView *>(QStringLiteral("tableView"))->model();
        StallProbe probe;
        QElapsedTimer clock;
        probe.start();
        clock.start();
        window.findChild<QAction *>(QStringLiteral("actionOpenPort"))->trigger();
        waitForQuiet(log, clock);
        result.seconds = lastRowMs / 1000.0;
        result.cpuPerFrame =
            (lastRowCpu - firstRowCpu) / qMax<qint64>(1, log->rowCount() - firstRows);
        result.stallMs = probe.longestStallMs();
        result.logged = log->rowCount();
        result.rssPerRow =
            double(residentBytes() - sampleRss) / qMax<qint64>(1, result.logged - sampleRows);
        result.sent = stopSim();
    }
    return result;
}

void print(const char *what, double value, const char *unit = "")
{
    std::printf("%-52s %12.1f %s\n", what, value, unit);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir config; // never the user's settings
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const QString frames = quick ? QStringLiteral("200000") : QStringLiteral("1000000");

    if (app.arguments().contains(QStringLiteral("--ids-only")))
        goto ids;
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
ids:

    const QStringList idCounts = app.arguments().contains(QStringLiteral("--ids-only"))
                                     ? QStringList{QStringLiteral("10000")}
                                     : QStringList{QStringLiteral("10"), QStringLiteral("10000")};
    for (const QString &ids : idCounts) {
        const RunResult r =
            CaptureRun({"--rate", "max", "--count", frames, "--ids", ids}, frames.toLongLong())
                .run();
        const QByteArray what = "CPU per frame, " + ids.toLatin1() + " ids";
        print(what.constData(), r.cpuPerFrame * 1e9, "ns");
    }
    return 0;
}
