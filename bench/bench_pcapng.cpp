// SPDX-License-Identifier: GPL-3.0-or-later
// pcapng at a million frames: our writer and reader, and a candump log converted to pcapng by
// quorvex-convert and by tshark side by side on the same file. Prints one figure a line.
//
//   bench_pcapng [frames] [--keep]     (default 1,000,000; --keep leaves the files and names them)

#include "formats/captureformat.h"
#include "formats/capturereader.h"
#include "formats/capturewriter.h"
#include "link/timedpacket.h"
#include "runtimed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int DefaultFrames = 1000000;

// A repeatable busy bus: mostly 8-byte frames, both id kinds, remote frames, both lines, some TX.
TimedPacket frameFor(quint32 i)
{
    const quint32 seed = i * 2654435761u + 12345u;
    TimedPacket frame;
    frame.time = 1700000000000000LL + qint64(i) * 97 + (seed >> 28);
    CanPacket &p = frame.packet;
    const bool extended = (seed & 3) == 0;
    p.frame = uint8_t((extended ? CanPacket::Extended : 0) |
                      ((seed >> 2) & 1 ? CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0));
    p.id = extended ? (seed >> 3) & 0x1FFFFFFF : (seed >> 5) & 0x7FF;
    const int length = (seed >> 8) % 8 != 0 ? 8 : int((seed >> 11) % 9);
    const bool remote = (seed >> 12) % 50 == 0;
    p.rtl = uint8_t((remote ? 0x10 : 0) | length);
    for (int b = 0; b < length && !remote; ++b)
        p.data[b] = uint8_t(seed >> (b * 3));
    p.direct = (seed >> 20) % 10 == 0 ? CanPacket::Transmitted : CanPacket::Received;
    return frame;
}

double secondsOf(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

bool writeCapture(CaptureFormat format, const QString &path, int frames, double &seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto writer = CaptureFormats::createWriter(format, &file);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < frames; ++i)
        writer->write(frameFor(quint32(i)));
    const bool ok = writer->finish();
    seconds = secondsOf(timer);
    return ok;
}

// The number of frames in a pcapng file, -1 on an error.
qint64 readPcapng(const QString &path, double &seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    QElapsedTimer timer;
    timer.start();
    const auto reader = CaptureFormats::createReader(CaptureFormat::Pcapng, &file);
    qint64 count = 0;
    for (TimedPacket frame; reader->next(frame);)
        ++count;
    seconds = secondsOf(timer);
    return reader->errorString().isEmpty() ? count : -1;
}

void figure(const char *name, double value)
{
    std::printf("%s %.3f\n", name, value);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool keep = args.contains(QStringLiteral("--keep"));
    const int frames =
        !args.isEmpty() && args[0] != QLatin1String("--keep") ? args[0].toInt() : DefaultFrames;
    QTemporaryDir dir;
    dir.setAutoRemove(!keep);
    if (keep)
        std::fprintf(stderr, "files in %s\n", qPrintable(dir.path()));
    const QString log = dir.filePath("bench.log");
    const QString ours = dir.filePath("ours.pcapng");
    const QString theirs = dir.filePath("tshark.pcapng");
    std::printf("frames %d\n", frames);
    double seconds = 0;
    if (!writeCapture(CaptureFormat::Candump, log, frames, seconds) ||
        !writeCapture(CaptureFormat::Pcapng, ours, frames, seconds))
        return 1;
    figure("pcapng_write_s", seconds);
    figure("pcapng_file_mb", double(QFileInfo(ours).size()) / 1e6);
    const qint64 read = readPcapng(ours, seconds);
    figure("pcapng_read_s", seconds);

    const double convert = runTimed(QStringLiteral(QUORVEX_CONVERT_PATH), {log, ours});
    const double tshark = runTimed(QStringLiteral("tshark"),
                                   {"-r", log, "-w", theirs, "-F", QStringLiteral("pcapng")});
    figure("quorvex_convert_log_to_pcapng_s", convert);
    figure("tshark_log_to_pcapng_s", tshark);
    figure("speedup_vs_tshark", convert > 0 && tshark > 0 ? tshark / convert : 0);
    // Both files must hold every frame, or the figures mean nothing.
    const qint64 ourCount = readPcapng(ours, seconds);
    const qint64 theirCount = readPcapng(theirs, seconds);
    std::printf("frames_read %lld converted %lld tshark %lld\n", read, ourCount, theirCount);
    return read == frames && ourCount == frames && theirCount == frames ? 0 : 1;
}
