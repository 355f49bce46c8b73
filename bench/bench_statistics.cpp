// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of counting a frame in the statistics with few and with many identifiers, fed the way the
// main window feeds it on a busy bus: every frame counted, the table refreshed every 1000 frames
// (a 40 ms cadence at 25,000 frames/s). Counting should cost the same however many identifiers
// there are; the refresh cost follows the number of rows that changed. What remains between the
// figures is cache misses on a table that no longer fits the fastest caches, which the run that
// visits the identifiers in a fixed cycle (as periodic frames on a bus do) makes visible.
#include "analysis/framestatistics.h"
#include "app/statisticsmodel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStandardItemModel>
#include <cstdio>

namespace {

constexpr int Frames = 2000000;
constexpr int RefreshEvery = 1000;

struct Figures
{
    qint64 countNs = 0;
    qint64 refreshNs = 0;
    int rows = 0;
};

// Identifiers spread over the 29-bit range, visited in a scrambled order so the hash is not
// walked in sequence; or 0..ids-1 over and over.
uint32_t idFor(int frame, int ids, bool cyclic)
{
    if (cyclic)
        return uint32_t(frame) % uint32_t(ids);
    const uint32_t slot = (uint32_t(frame) * 2654435761u) % uint32_t(ids);
    return (slot * 40503u) & 0x1FFFFFFF;
}

Figures run(int ids, bool cyclic)
{
    FrameStatistics stats;
    StatisticsModel model(&stats); // follows every change, as the window's table does
    CanPacket packet;
    Figures figures;
    QElapsedTimer timer;
    for (int start = 0; start < Frames; start += RefreshEvery) {
        timer.start();
        for (int frame = start; frame < start + RefreshEvery; ++frame) {
            packet.id = idFor(frame, ids, cyclic);
            packet.data[0] = uint8_t(frame);
            stats.count(packet);
        }
        figures.countNs += timer.nsecsElapsed();
        timer.start();
        stats.refresh();
        figures.refreshNs += timer.nsecsElapsed();
    }
    figures.rows = model.rowCount();
    return figures;
}

void report(int ids, bool cyclic = false)
{
    const Figures figures = run(ids, cyclic);
    std::printf("ns per frame, %d ids%s: %.1f\n", ids, cyclic ? " in a fixed cycle" : "",
                double(figures.countNs) / Frames);
    std::printf("  with refresh every %d frames: %.1f (refresh alone %.1f; %d rows)\n",
                RefreshEvery, double(figures.countNs + figures.refreshNs) / Frames,
                double(figures.refreshNs) / Frames, figures.rows);
}

} // namespace

int main()
{
    std::printf("%d frames per run\n", Frames);
    report(10);
    report(10000);
    report(10000, true);
    return 0;
}
