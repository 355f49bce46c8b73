// SPDX-License-Identifier: GPL-3.0-or-later
// Cost per frame of the reverse-engineering figures: frame bit length, bus load, per-identifier
// figures at 10 and 10,000 identifiers (1,000,000 frames, the caller's hash lookup included), and
// frame search over 10,000,000 frames in memory, and over 10,000,000 rows of a row store (paged out
// to its file but for the newest) as the find bar runs it.
#include "analysis/busload.h"
#include "analysis/framebits.h"
#include "analysis/framequery.h"
#include "analysis/idfigures.h"
#include "analysis/rowsearch.h"
#include "link/canpacket.h"
#include "log/rowsnapshot.h"
#include "log/rowstore.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QTemporaryDir>
#include <QVector>
#include <cstdio>

namespace {

constexpr int Frames = 10000000;
constexpr qint64 Start = 1700000000000000;
constexpr qint64 FrameGapUs = 23; // about 42,554 frames/s

CanPacket packetFor(int i, int ids)
{
    CanPacket packet;
    packet.id = uint32_t(i % ids) * 2654435761u;
    packet.frame = uint8_t((i & 1) | (i & 2 ? CanPacket::Can0ToCan1 : CanPacket::Can1ToCan0));
    if (!(packet.frame & CanPacket::Extended))
        packet.id &= 0x7FF;
    packet.rtl = uint8_t(i % 9);
    for (int b = 0; b < 8; ++b)
        packet.data[b] = uint8_t((i >> (b * 3)) * 31);
    return packet;
}

QVector<CanPacket> makePackets(int count, int ids)
{
    QVector<CanPacket> packets(count);
    for (int i = 0; i < count; ++i)
        packets[i] = packetFor(i, ids);
    return packets;
}

template<typename Body> double nsPerFrame(int count, Body body)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        body(i);
    return double(timer.nsecsElapsed()) / count;
}

void benchFrameBits(const QVector<CanPacket> &packets)
{
    quint64 total = 0;
    const double ns =
        nsPerFrame(packets.size(), [&](int i) { total += FrameBits::count(packets[i]); });
    std::printf("framebits_count_ns %.2f\n", ns);
    std::printf("framebits_mean_bits %.2f\n", double(total) / packets.size());
}

void benchBusLoad(const QVector<CanPacket> &packets)
{
    BusLoad load;
    load.setBitRate(BusLoad::bitRateForSpeedCode(2));
    const double ns =
        nsPerFrame(packets.size(), [&](int i) { load.add(packets[i], Start + i * FrameGapUs); });
    std::printf("busload_add_ns %.2f\n", ns);
}

void benchIdFigures(int ids)
{
    const QVector<CanPacket> packets = makePackets(Frames / 10, ids);
    QHash<quint32, IdFigures> figures;
    figures.reserve(ids);
    const double ns = nsPerFrame(packets.size(), [&](int i) {
        figures[packets[i].id].add(packets[i], Start + i * FrameGapUs);
    });
    std::printf("idfigures_add_%d_ids_ns %.2f\n", ids, ns);
}

void benchFrameQuery(const QVector<CanPacket> &packets)
{
    FrameQuery query;
    query.parse(QString(), QStringLiteral("?? 3F ??"), nullptr);
    int found = 0;
    const double ns =
        nsPerFrame(packets.size(), [&](int i) { found += query.matches(packets[i]); });
    std::printf("framequery_matches_ns %.2f\n", ns);
    std::printf("framequery_matches_10M_rows_ms %.1f\n", ns * Frames / 1e6);
    std::printf("framequery_found %d\n", found);
}

// A query found in no row, so the whole store is read, back from the file where paged out.
void benchRowSearch(const QVector<CanPacket> &packets)
{
    QTemporaryDir dir;
    RowStore store(dir.path());
    for (int i = 0; i < packets.size(); ++i)
        store.append(LogRecord::fromFrame(TimedPacket{Start + i * FrameGapUs, packets[i]}, i + 1));
    store.waitWritten();
    FrameQuery query;
    query.parse(QStringLiteral("7FF"), QStringLiteral("?? 3F ?? 3F"), nullptr);
    QElapsedTimer timer;
    timer.start();
    const qint64 found = RowSearch::find(store.snapshot(), store.size(), query, -1, true);
    std::printf("rowsearch_10M_stored_rows_ms %lld\n", timer.elapsed());
    std::printf("rowsearch_blocks_in_memory %d\n", store.blocksInMemory());
    std::printf("rowsearch_found %lld\n", found);
}

} // namespace

int main()
{
    const QVector<CanPacket> packets = makePackets(Frames, 1000);
    benchFrameBits(packets);
    benchBusLoad(packets);
    benchIdFigures(10);
    benchIdFigures(10000);
    benchFrameQuery(packets);
    benchRowSearch(packets);
    return 0;
}
