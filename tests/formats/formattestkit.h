// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/blflayout.h"
#include "formats/captureformat.h"
#include "formats/capturereader.h"
#include "formats/capturewriter.h"
#include "link/timedpacket.h"
#include "support/steppeddevice.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QtTest>
#include <ctime>

// Frames, captures in memory and the field's tools, for the capture format tests.
namespace FormatTestKit {

// A zone east of UTC without daylight saving, set for the whole test and every tool it starts,
// so a local/UTC mix-up shows as a three-hour error.
inline void useTestZone()
{
    qputenv("TZ", "QVX-3");
    tzset();
}

inline TimedPacket frame(qint64 time, uint32_t id, bool extended, int channel, bool tx, int rtl,
                         const QByteArray &data = {})
{
    TimedPacket f;
    f.time = time;
    f.packet.id = id;
    f.packet.frame = uint8_t((extended ? CanPacket::Extended : 0) | (channel == 1   ? 0x10
                                                                     : channel == 2 ? 0x20
                                                                                    : 0));
    f.packet.rtl = uint8_t(rtl);
    f.packet.direct = tx ? CanPacket::Transmitted : CanPacket::Received;
    for (int i = 0; i < data.size() && i < 8; ++i)
        f.packet.data[i] = uint8_t(data[i]);
    return f;
}

// A CAN FD frame of `bytes` bytes (padded up to an FD length with zeros) with `flags` of
// CanPacket::BitRateSwitch / ErrorState; data byte i is `first` + i * `step`.
inline TimedPacket fdFrame(qint64 time, uint32_t id, bool extended, int channel, bool tx, int bytes,
                           uint8_t flags, int first, int step)
{
    TimedPacket f = frame(time, id, extended, channel, tx, 0);
    f.packet.setFdLength(bytes);
    f.packet.frame |= flags;
    for (int i = 0; i < bytes; ++i)
        f.packet.data[i] = uint8_t(first + i * step);
    return f;
}

// 11- and 29-bit ids, lengths 0..8, remote frames with lengths, both directions, channels 1
// and 2 (1 = CAN0, 2 = CAN1). The first frame falls on a whole second: the tools cut the first
// moment of a file to the second or millisecond.
inline QVector<TimedPacket> sampleFrames(bool withUnrouted = false)
{
    const qint64 t0 = 1700000000LL * 1000000;
    QVector<TimedPacket> frames = {
        frame(t0, 0x123, false, 1, false, 3, QByteArray::fromHex("010203")),
        frame(t0 + 100001, 0x1ABCDEF0, true, 2, true, 0),
        frame(t0 + 250017, 0x7FF, false, 1, false, 0x15),
        frame(t0 + 250018, 0x1FFFFFFF, true, 2, false, 0x18),
        frame(t0 + 1000000, 0x000, false, 2, true, 8, QByteArray::fromHex("DEADBEEF00010203")),
        frame(t0 + 1999999, 0x00000010, true, 1, true, 1, QByteArray::fromHex("FF")),
        frame(t0 + 3600000123, 0x555, false, 1, false, 0x10),
        frame(t0 + 3600000124, 0x0ABCDEF, true, 2, false, 7, QByteArray::fromHex("A0B1C2D3E4F5")),
    };
    if (withUnrouted)
        frames.append(
            frame(t0 + 3600500000, 0x42, false, 0, false, 2, QByteArray::fromHex("0102")));
    return frames;
}

// What a frame carries, one comparable line: "time id x/s d/r len data dir channel" (data "-"
// when there is none); the channel as 1 (CAN0), 2 (CAN1), 3 (none) unless `channelText` names
// it. A CAN FD frame shows all its bytes and ends with "fd", "+brs" and "+esi" as set.
inline QString describe(const TimedPacket &f, bool withTime = true, const QString &channelText = {})
{
    const CanPacket &p = f.packet;
    const QByteArray data =
        p.isRemote() ? QByteArray()
                     : QByteArray(reinterpret_cast<const char *>(p.data), p.dataLength()).toHex();
    const int number = (p.frame & 0x10) ? 1 : (p.frame & 0x20) ? 2 : 3;
    const QString channel = channelText.isEmpty() ? QString::number(number) : channelText;
    QString line =
        QStringLiteral("%1 %2 %3 %4 %5 %6 %7 ch%8")
            .arg(withTime ? QString::number(f.time) : QString(), QString::number(p.id, 16),
                 p.isExtended() ? "x" : "s", p.isRemote() ? "r" : "d", QString::number(p.length()),
                 data.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(data),
                 p.direct == CanPacket::Received ? "rx" : "tx")
            .arg(channel);
    if (p.isFd())
        line += QLatin1String(" fd") +
                QLatin1String((p.frame & CanPacket::BitRateSwitch) ? "+brs" : "") +
                QLatin1String((p.frame & CanPacket::ErrorState) ? "+esi" : "");
    return line;
}

inline QStringList describeAll(const QVector<TimedPacket> &frames, bool withTime = true)
{
    QStringList lines;
    for (const TimedPacket &f : frames)
        lines.append(describe(f, withTime));
    return lines;
}

// Times made relative to the first frame, for tools that do not keep a file's start.
inline QVector<TimedPacket> relative(QVector<TimedPacket> frames)
{
    const qint64 first = frames.isEmpty() ? 0 : frames.first().time;
    for (TimedPacket &f : frames)
        f.time -= first;
    return frames;
}

struct ReadResult
{
    QVector<TimedPacket> frames;
    quint64 skipped = 0;
    QString error;
    QVector<CaptureDamage> damage;
};

inline ReadResult readDevice(CaptureFormat format, QIODevice *device)
{
    const auto reader = CaptureFormats::createReader(format, device);
    ReadResult result;
    TimedPacket f;
    while (reader->next(f))
        result.frames.append(f);
    result.skipped = reader->skipped();
    result.error = reader->errorString();
    result.damage = reader->damage();
    return result;
}

inline ReadResult readBytes(CaptureFormat format, const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readDevice(format, &buffer);
}

// In pieces of `step` bytes, as a pipe hands them; step 0 reads the whole at once.
inline ReadResult readInPieces(CaptureFormat format, const QByteArray &bytes, int step)
{
    if (step == 0)
        return readBytes(format, bytes);
    SteppedDevice device(bytes, step);
    return readDevice(format, &device);
}

// A BLF object as writers make them: a version 1 header with a time in 10 µs units.
inline QByteArray blfObject(uint32_t type, const QByteArray &body, quint64 stamp = 150) // 1.5 ms
{
    using namespace BlfLayout;
    // A plain array: GCC 12 takes writes through a fresh QByteArray's data() for overflows.
    char head[ObjectHeaderSize] = {};
    std::memcpy(head, "LOBJ", 4);
    put16(head + 4, ObjectHeaderSize);
    put16(head + 6, 1);
    put32(head + 8, uint32_t(ObjectHeaderSize + body.size()));
    put32(head + 12, type);
    put32(head + 16, TimeTenMicros);
    put64(head + 24, stamp);
    return QByteArray(head, ObjectHeaderSize) + body + QByteArray(int(body.size() % 4), '\0');
}

// Where the reader noted damage: "offset+length" each.
inline QStringList damagePlaces(const ReadResult &read)
{
    QStringList places;
    for (const CaptureDamage &d : read.damage)
        places << QStringLiteral("%1+%2").arg(d.offset).arg(d.length);
    return places;
}

inline ReadResult readFile(CaptureFormat format, const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? readBytes(format, file.readAll())
                                          : ReadResult{{}, 0, "cannot open " + path, {}};
}

inline QByteArray writeBytes(CaptureFormat format, const QVector<TimedPacket> &frames)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const auto writer = CaptureFormats::createWriter(format, &buffer);
    for (const TimedPacket &f : frames)
        writer->write(f);
    return writer->finish() ? buffer.data() : QByteArray("(writer failed)");
}

inline bool writeFile(CaptureFormat format, const QString &path, const QVector<TimedPacket> &frames)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(writeBytes(format, frames)) >= 0;
}

// Runs a tool to its end; its standard output, or a failure of the test.
inline QByteArray run(const QString &program, const QStringList &arguments, bool *ok)
{
    QProcess process;
    process.start(program, arguments);
    *ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    if (!*ok)
        qWarning() << program << arguments << "failed:" << process.readAllStandardError();
    return process.readAllStandardOutput();
}

// Debian's python-can is importable only by the system interpreter.
inline QByteArray runPython(const QDir &dir, const QByteArray &script, const QStringList &args,
                            bool *ok)
{
    const QString path = dir.filePath("script.py");
    QFile file(path);
    *ok = file.open(QIODevice::WriteOnly) && file.write(script) == script.size();
    file.close();
    return *ok ? run(QStringLiteral("/usr/bin/python3"), QStringList{path} + args, ok)
               : QByteArray();
}

} // namespace FormatTestKit
