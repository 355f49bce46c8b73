// SPDX-License-Identifier: GPL-3.0-or-later
// Records generated frames at the two-line limit through CaptureRecorder into the directory given
// as its argument, and prints every ~100 ms how many it has recorded, until it is killed. Frame n
// carries n in its first four data bytes, so a reader can tell that none is missing or out of
// order.

#include "capture/capturerecorder.h"
#include "link/timedpacket.h"
#include "link/timeofday.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

namespace {

constexpr qint64 FramesPerSecond = 42554;
constexpr int TickMs = 2;
constexpr int ReportMs = 100;
constexpr qint64 NoLimit = qint64(1) << 40;

TimedPacket frameNumber(qint64 n, qint64 now)
{
    TimedPacket frame;
    frame.time = now;
    frame.packet.frame =
        quint8(CanPacket::Extended | (n % 2 ? CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0));
    frame.packet.id = quint32(n % 0x1FFFFFFF);
    frame.packet.rtl = 8;
    for (int i = 0; i < 4; ++i)
        frame.packet.data[i] = quint8(n >> (24 - 8 * i));
    return frame;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    CaptureRecorder recorder;
    if (!recorder.start(QString::fromLocal8Bit(argv[1]), NoLimit))
        return 1;
    qint64 recorded = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 due = clock.nsecsElapsed() * FramesPerSecond / 1000000000;
        const qint64 now = TimeOfDay::nowUsec(); // one clock read per batch, as per port read
        for (; recorded < due; ++recorded)
            recorder.record(frameNumber(recorded, now));
    });
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        std::printf("%lld\n", static_cast<long long>(recorded));
        std::fflush(stdout);
    });
    tick.start(TickMs);
    report.start(ReportMs);
    return app.exec();
}
