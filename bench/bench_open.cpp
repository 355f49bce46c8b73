// SPDX-License-Identifier: GPL-3.0-or-later
// Opening captures in the real window, side by side with the field's tools on the same files, and
// replay timing. Prints one figure a line.
//
//   bench_open [frames]     (default 1,000,000)

#include "app/mainwindow.h"
#include "capture/capturereplay.h"
#include "formats/captureformat.h"
#include "formats/capturewriter.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "runtimed.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

constexpr int DefaultFrames = 1000000;
constexpr int ReplayFrames = 10000;
constexpr qint64 ReplayGapUs = 200;
constexpr qint64 StartUs = 1700000000LL * 1000000;

void figure(const char *name, double value)
{
    std::printf("%s %.3f\n", name, value);
    std::fflush(stdout);
}

qint64 anonBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const auto match = QRegularExpression(QStringLiteral("RssAnon:\\s+(\\d+) kB"))
                           .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() * 1024 : 0;
}

// A bus of 200 identifiers on both lines, 11- and 29-bit.
TimedPacket benchFrame(int i)
{
    TimedPacket frame;
    frame.time = StartUs + qint64(i) * 23;
    CanPacket &p = frame.packet;
    p.id = i % 3 ? uint32_t(0x100 + i % 150) : uint32_t(0x18FF0000 + i % 50);
    p.frame = uint8_t((i % 3 ? 0 : CanPacket::Extended) |
                      (i % 2 ? CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0));
    p.rtl = 8;
    for (int b = 0; b < 8; ++b)
        p.data[b] = uint8_t(i >> b);
    return frame;
}

bool writeCapture(CaptureFormat format, const QString &path, int frames)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto writer = CaptureFormats::createWriter(format, &file);
    for (int i = 0; i < frames; ++i)
        writer->write(benchFrame(i));
    return writer->finish();
}

QString pythonReader(const char *reader, const QString &path)
{
    return QStringLiteral("import can\nn = 0\nfor m in can.%1('%2'):\n    n += 1\n")
        .arg(QLatin1String(reader), path);
}

// Seconds from the open to a table with statistics and every row in it.
double openInWindow(MainWindow &window, const QString &path, int frames)
{
    auto *status = window.findChild<QLabel *>(QStringLiteral("lbStatusMain"));
    auto *log = window.findChild<CanDataModel *>();
    status->clear();
    QElapsedTimer timer;
    timer.start();
    window.openCapture(path);
    while (!status->text().startsWith(QStringLiteral("Загружено кадров")))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (log->rowCount() < frames && log->pendingRows() > 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5); // the last refresh
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    return log->rowCount() == frames ? seconds : -1;
}

void benchReplay(MainWindow &window)
{
    auto *log = window.findChild<CanDataModel *>();
    log->clear();
    for (int i = 0; i < ReplayFrames; ++i) {
        TimedPacket frame = benchFrame(i);
        frame.time = StartUs + i * ReplayGapUs;
        log->addFrame(frame);
    }
    CaptureReplay replay;
    QElapsedTimer clock;
    qint64 lastSentUs = 0;
    QObject::connect(&replay, &CaptureReplay::sendPacket,
                     [&] { lastSentUs = clock.nsecsElapsed() / 1000; });
    qint64 worstStall = 0;
    QElapsedTimer probe;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { worstStall = qMax(worstStall, probe.restart() - 10); });
    clock.start();
    probe.start();
    tick.start(10);
    replay.start(log->snapshot(), {});
    while (replay.isRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 dueUs = (ReplayFrames - 1) * ReplayGapUs;
    figure("replay_last_frame_late_ms", double(lastSentUs - dueUs) / 1000.0);
    figure("replay_longest_stall_ms", double(worstStall));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toLocal8Bit());
    QApplication app(argc, argv);
    const int frames = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : DefaultFrames;
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("bench.log"));
    const QString asc = dir.filePath(QStringLiteral("bench.asc"));
    if (!writeCapture(CaptureFormat::Candump, log, frames) ||
        !writeCapture(CaptureFormat::Asc, asc, frames))
        return 1;
    std::printf("frames %d\n", frames);
    MainWindow window;
    window.show();
    QCoreApplication::processEvents();
    openInWindow(window, asc, frames); // first use of the window's paths: not what is measured
    const qint64 anonBefore = anonBytes();
    figure("quorvex_open_candump_to_table_s", openInWindow(window, log, frames));
    figure("quorvex_anon_bytes_per_loaded_frame",
           double(anonBytes() - anonBefore) / double(frames));
    figure("quorvex_open_asc_to_table_s", openInWindow(window, asc, frames));
    figure("python_can_logreader_s",
           runTimed(QStringLiteral("/usr/bin/python3"), {"-c", pythonReader("LogReader", log)}));
    figure("python_can_ascreader_s",
           runTimed(QStringLiteral("/usr/bin/python3"), {"-c", pythonReader("ASCReader", asc)}));
    figure("log2asc_s", runTimed(QStringLiteral("log2asc"),
                                 {"-I", log, "-O", dir.filePath(QStringLiteral("l2a.asc")), "can0",
                                  "can1", "canrx", "cantx"}));
    figure("asc2log_s", runTimed(QStringLiteral("asc2log"),
                                 {"-I", asc, "-O", dir.filePath(QStringLiteral("a2l.log"))}));
    benchReplay(window);
    return 0;
}
