// SPDX-License-Identifier: GPL-3.0-or-later
// Resident memory per logged row and export speed of the capture log at a million rows, fed the
// way the main window feeds it on a busy bus: deferred insertion, published every 1000 rows.
#include "log/candatamodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int Rows = 1000000;
constexpr int FlushEvery = 1000;

// A field of /proc/self/status given in kB ("VmRSS", "VmHWM"), in bytes; -1 when unreadable.
qint64 statusBytes(const char *field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // Files in /proc report size 0, so read to the end rather than testing atEnd().
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).simplified().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

// Restarts the peak (VmHWM) at the current resident size, so the export's own peak shows.
bool resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly) && file.write("5", 1) == 1;
}

CanPacket packetFor(int i)
{
    CanPacket packet;
    packet.id = uint32_t(i) * 2654435761u;
    packet.frame = uint8_t(i & 0x31);
    packet.rtl = uint8_t(i % 9);
    for (int b = 0; b < 8; ++b)
        packet.data[b] = uint8_t(i >> b);
    packet.direct = (i % 7 == 0) ? CanPacket::Transmitted : CanPacket::Received;
    return packet;
}

double perSecond(qint64 count, qint64 nsecs)
{
    return nsecs > 0 ? double(count) * 1e9 / double(nsecs) : 0.0;
}

void benchAdd(CanDataModel &model)
{
    const qint64 before = statusBytes("VmRSS");
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Rows; ++i) {
        model.addPacket(packetFor(i));
        if ((i + 1) % FlushEvery == 0)
            model.flushRows();
    }
    model.flushRows();
    const qint64 nsecs = timer.nsecsElapsed();
    const qint64 after = statusBytes("VmRSS");
    std::printf("rows %d\n", model.rowCount());
    std::printf("bytes per row %.1f\n", double(after - before) / Rows);
    std::printf("rows per second %.0f\n", perSecond(Rows, nsecs));
}

bool benchExport(const CanDataModel &model, const QString &path)
{
    const bool peakKnown = resetPeak();
    const qint64 base = statusBytes("VmRSS");
    QElapsedTimer timer;
    timer.start();
    const bool saved = model.saveCsv(path);
    const qint64 nsecs = timer.nsecsElapsed();
    const qint64 peak = peakKnown ? statusBytes("VmHWM") : statusBytes("VmRSS");
    std::printf("export rows per second %.0f\n", perSecond(model.rowCount(), nsecs));
    std::printf("export peak rss growth bytes %lld%s\n", peak - base,
                peakKnown ? "" : " (peak not resettable: growth after export)");
    std::printf("export file bytes %lld\n", QFileInfo(path).size());
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    CanDataModel model;
    model.setDeferredInsert(true);
    benchAdd(model);
    QTemporaryDir dir;
    if (!dir.isValid() || !benchExport(model, dir.filePath(QStringLiteral("log.csv")))) {
        std::fprintf(stderr, "export failed\n");
        return 1;
    }
    return 0;
}
