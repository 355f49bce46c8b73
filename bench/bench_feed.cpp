// SPDX-License-Identifier: GPL-3.0-or-later
// What a received frame costs in the window's feed (filter, log, statistics, diagnostics, bit
// flips, bus load) with 10 identifiers on the bus and with 10,000, alternating in one run. The
// frames are alike in both (length, format, data); each identifier sends a counter, a slowly
// drifting value and constant bytes, in a shuffled order that repeats, as periodic messages do.
// Then 10 identifiers of 64-byte CAN FD frames, the same bytes repeated through them.
#include "capture/framefeed.h"
#include "link/timedpacket.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

constexpr int RefreshFrames = 20000; // 40 ms of a bus at 500,000 frames/s

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The bus: `ids` identifiers in a shuffled order that repeats.
struct Traffic
{
    int ids;
    bool fd = false;
    std::vector<uint32_t> order;

    explicit Traffic(int ids, bool fd = false) : ids(ids), fd(fd), order(size_t(ids))
    {
        std::mt19937 rng(7);
        for (int i = 0; i < ids; ++i)
            // One in five 11-bit, as on both sets: only the number of identifiers differs.
            order[size_t(i)] = i % 5 == 0 ? uint32_t(0x100 + i / 5) : 0x18000000u + uint32_t(i) * 7;
        std::shuffle(order.begin(), order.end(), rng);
    }

    void frame(int n, TimedPacket &f) const
    {
        f = TimedPacket{};
        const uint32_t id = order[size_t(n % ids)];
        const int round = n / ids;
        f.time = 1700000000000000LL + qint64(n) * 2;
        f.packet.id = id;
        f.packet.frame = id > 0x7FF ? CanPacket::Extended : 0;
        f.packet.rtl = 8;
        f.packet.data[0] = quint8(round);
        f.packet.data[1] = quint8(1000 + round / 4 + int(id % 7));
        f.packet.data[2] = quint8((1000 + round / 4) >> 8);
        f.packet.data[3] = quint8(id);
        if (fd) {
            f.packet.frame |= CanPacket::Fd | CanPacket::BitRateSwitch;
            f.packet.setFdLength(64);
            for (int k = 8; k < 64; ++k)
                f.packet.data[k] = f.packet.data[k % 8];
        }
    }
};

// The frames reach the feed in batches, as the link hands them over: a batch is made (not
// counted), then fed. A capture of millions of frames made beforehand would add reading it
// from memory to every frame, which the link's few frames at a time do not cost.
double nsPerFrame(const Traffic &traffic, int frames)
{
    constexpr int Batch = 1024;
    QTemporaryDir dir;
    FrameFeed feed(nullptr, dir.path());
    std::vector<TimedPacket> batch(Batch);
    double spent = 0;
    for (int n = 0; n < frames; n += Batch) {
        for (int k = 0; k < Batch; ++k)
            traffic.frame(n + k, batch[size_t(k)]);
        const double start = threadSeconds();
        for (int k = 0; k < Batch; ++k) {
            feed.add(batch[size_t(k)]);
            if ((n + k + 1) % RefreshFrames == 0)
                feed.refresh();
        }
        spent += threadSeconds() - start;
    }
    const double start = threadSeconds();
    feed.refresh();
    spent += threadSeconds() - start;
    return spent * 1e9 / double(frames);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int frames = quick ? 400000 : 2000000;
    const int rounds = quick ? 1 : 5;
    const int idCounts[2] = {10, 10000};
    const Traffic sets[2] = {Traffic(idCounts[0]), Traffic(idCounts[1])};
    // The fastest round of each: what the code costs, with less of what else the machine did.
    double ns[2] = {1e9, 1e9};
    // --only 10 or --only 10000: one of the two, for a profiler.
    const int only = app.arguments().indexOf(QStringLiteral("--only"));
    const int onlyIds = only > 0 ? app.arguments().value(only + 1).toInt() : 0;
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 2; ++i) {
            if (onlyIds == 0 || onlyIds == idCounts[i])
                ns[i] = std::min(ns[i], nsPerFrame(sets[i], frames));
        }
    }
    for (int i = 0; i < 2; ++i)
        std::printf("feed: CPU per received frame, %5d ids %12.1f ns\n", idCounts[i], ns[i]);
    std::printf("feed: CPU per frame, 10,000 ids / 10 ids %17.1f %%\n", 100.0 * ns[1] / ns[0]);
    if (onlyIds == 0) {
        const Traffic fd(idCounts[0], true);
        double fdNs = 1e9;
        for (int round = 0; round < rounds; ++round)
            fdNs = std::min(fdNs, nsPerFrame(fd, frames / 4));
        std::printf("feed: CPU per received CAN FD frame of 64 bytes, 10 ids %5.1f ns\n", fdNs);
    }
    return 0;
}
