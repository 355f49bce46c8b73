// SPDX-License-Identifier: GPL-3.0-or-later
// Capture file speed at a million frames: our readers and writers side by side with can-utils'
// log2asc / asc2log and python-can's readers on the same files. Prints one figure a line.
//
//   bench_formats [frames] [--keep]     (default 1,000,000; --keep leaves the files and names them)

#include "formats/captureformat.h"
#include "formats/capturereader.h"
#include "formats/capturewriter.h"
#include "link/timedpacket.h"
#include "runtimed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int DefaultFrames = 1000000;

// A varied but repeatable bus like a car's: mostly 8-byte frames (about 45 bytes a candump
// line), both id kinds, every length, remote frames, both lines, some TX.
TimedPacket frameFor(quint32 i)
{
    quint32 seed = i * 2654435761u + 12345u;
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

// Reads the whole file; the number of frames, -1 on an error.
qint64 readCapture(CaptureFormat format, const QString &path, double &seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return -1;
    QElapsedTimer timer;
    timer.start();
    const auto reader = CaptureFormats::createReader(format, &file);
    TimedPacket frame;
    qint64 count = 0;
    quint32 sum = 0; // keeps the loop from being optimised away
    while (reader->next(frame)) {
        ++count;
        sum += frame.packet.id;
    }
    seconds = secondsOf(timer);
    return reader->errorString().isEmpty() && sum != 1 ? count : -1;
}

void figure(const char *name, double value)
{
    std::printf("%s %.3f\n", name, value);
    std::fflush(stdout);
}

void rate(const char *name, qint64 count, double seconds)
{
    std::printf("%s %.0f\n", name, seconds > 0 ? double(count) / seconds : 0.0);
    std::fflush(stdout);
}

QString pythonReader(const char *reader, const QString &path)
{
    return QStringLiteral("import can\nn = 0\nfor m in can.%1(%2):\n    n += 1\nprint(n)\n")
        .arg(QLatin1String(reader), QLatin1Char('\'') + path + QLatin1Char('\''));
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
    const QString asc = dir.filePath("bench.asc");
    std::printf("frames %d\n", frames);
    double seconds = 0;
    if (!writeCapture(CaptureFormat::Candump, log, frames, seconds))
        return 1;
    figure("candump_file_mb", double(QFileInfo(log).size()) / 1e6);
    figure("candump_write_s", seconds);
    rate("candump_write_lines_per_s", frames, seconds);
    if (!writeCapture(CaptureFormat::Asc, asc, frames, seconds))
        return 1;
    figure("asc_write_s", seconds);
    rate("asc_write_lines_per_s", frames, seconds);

    const qint64 readLog = readCapture(CaptureFormat::Candump, log, seconds);
    figure("candump_read_s", seconds);
    rate("candump_read_lines_per_s", readLog, seconds);
    const qint64 readAsc = readCapture(CaptureFormat::Asc, asc, seconds);
    figure("asc_read_s", seconds);
    rate("asc_read_lines_per_s", readAsc, seconds);
    if (readLog != frames || readAsc != frames)
        return 1;

    for (const CaptureFormat format :
         {CaptureFormat::Trc, CaptureFormat::Blf, CaptureFormat::Table}) {
        const QString path = dir.filePath("bench." + CaptureFormats::suffix(format));
        const QByteArray name = CaptureFormats::name(format).toLatin1();
        writeCapture(format, path, frames, seconds);
        figure(name + "_write_s", seconds);
        const qint64 count = readCapture(format, path, seconds);
        figure(name + "_read_s", count == frames ? seconds : -1);
    }

    figure("convert_candump_to_asc_s",
           runTimed(QStringLiteral(QUORVEX_CONVERT_PATH), {log, dir.filePath("convert.asc")}));
    figure("log2asc_s",
           runTimed(QStringLiteral("log2asc"),
                    {"-I", log, "-O", dir.filePath("l2a.asc"), "can0", "can1", "canrx", "cantx"}));
    figure("asc2log_s",
           runTimed(QStringLiteral("asc2log"), {"-I", asc, "-O", dir.filePath("a2l.log")}));
    figure("python_can_logreader_s",
           runTimed(QStringLiteral("/usr/bin/python3"), {"-c", pythonReader("LogReader", log)}));
    figure("python_can_ascreader_s",
           runTimed(QStringLiteral("/usr/bin/python3"), {"-c", pythonReader("ASCReader", asc)}));
    return 0;
}
