// SPDX-License-Identifier: GPL-3.0-or-later
// Diagnostics: frames per second through transport and meaning on a mixed capture (UDS
// sessions, OBD-II polls, J1939 broadcasts amid ordinary traffic), the cost of a frame that is
// not diagnostic, and quorvex-convert --diagnostics beside tshark's ISO-TP reassembly of the
// same 1,000,000-frame candump log.
#include "diagnostics/diagdecoder.h"
#include "runtimed.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QVector>
#include <cstdio>

namespace {

constexpr int MixedFrames = 1000000;
constexpr int PlainFrames = 10000000;
constexpr qint64 Start = 1700000000000000;
constexpr qint64 GapUs = 200;

TimedPacket frame(qint64 time, uint32_t id, bool extended, const QByteArray &data)
{
    TimedPacket f;
    f.time = time;
    f.packet.id = id;
    f.packet.frame = uint8_t(CanPacket::Can0ToCan1 | (extended ? CanPacket::Extended : 0));
    f.packet.rtl = uint8_t(data.size());
    memcpy(f.packet.data, data.constData(), size_t(data.size()));
    return f;
}

// One in four frames is diagnostic: a VIN read over ISO-TP (request, flow control, four
// frames), an OBD-II engine speed poll, a J1939 DM1 broadcast of three packets; one in four is
// EEC1, a J1939 group of one frame, also a message now.
QVector<TimedPacket> mixedCapture(int count)
{
    static const QVector<QPair<uint32_t, QByteArray>> Diagnostic = {
        {0x7E0, QByteArray::fromHex("0322F19000000000")},
        {0x7E8, QByteArray::fromHex("101462F190574457")},
        {0x7E0, QByteArray::fromHex("3000000000000000")},
        {0x7E8, QByteArray::fromHex("215A5A5A31323334")},
        {0x7E8, QByteArray::fromHex("2235363738393031")},
        {0x7DF, QByteArray::fromHex("02010C0000000000")},
        {0x7E8, QByteArray::fromHex("04410C1AF8000000")},
        {0x18ECFF00, QByteArray::fromHex("20110003FFCAFE00")},
        {0x18EBFF00, QByteArray::fromHex("0144FF6E00040101")},
        {0x18EBFF00, QByteArray::fromHex("0202030004FFFFFF")},
        {0x18EBFF00, QByteArray::fromHex("03FFFFFFFFFFFFFF")},
        {0x7E8, QByteArray::fromHex("2332000000000000")},
    };
    QVector<TimedPacket> frames;
    frames.reserve(count);
    int next = 0;
    for (int i = 0; i < count; ++i) {
        const qint64 t = Start + qint64(i) * GapUs;
        if (i % 4 == 3) {
            const auto &d = Diagnostic[next++ % Diagnostic.size()];
            frames.append(frame(t, d.first, d.first > 0x7FF, d.second));
        } else if (i % 4 == 1) {
            frames.append(frame(t, 0x0CF00400, true, QByteArray::fromHex("F07D7D0000FF0FFF")));
        } else {
            frames.append(frame(t, 0x100 + uint32_t(i % 0x500), false,
                                QByteArray::fromHex("1122334455667788")));
        }
    }
    return frames;
}

void benchTransport(const QVector<TimedPacket> &frames)
{
    DiagDecoder decoder;
    std::vector<DiagMessage> out;
    quint64 messages = 0;
    QElapsedTimer timer;
    timer.start();
    for (const TimedPacket &f : frames) {
        decoder.feed(f, out);
        messages += out.size();
        out.clear();
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("transport alone, mixed capture: %.0f frames/s (%llu messages)\n",
                frames.size() / seconds, static_cast<unsigned long long>(messages));
}

void benchMixed(const QVector<TimedPacket> &frames)
{
    DiagDecoder decoder;
    std::vector<DiagMessage> out;
    quint64 messages = 0, textBytes = 0;
    QElapsedTimer timer;
    timer.start();
    for (const TimedPacket &f : frames) {
        decoder.feed(f, out);
        for (const DiagMessage &m : out)
            textBytes += quint64(DiagDecoder::describe(m).size());
        messages += out.size();
        out.clear();
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("transport and meaning, mixed capture: %.0f frames/s (%d frames, %llu messages, "
                "%llu text chars)\n",
                frames.size() / seconds, frames.size(), static_cast<unsigned long long>(messages),
                static_cast<unsigned long long>(textBytes));
}

// Half 11-bit, half 29-bit proprietary groups: looked up as J1939, not shown.
void benchPlain()
{
    QVector<TimedPacket> frames;
    frames.reserve(4096);
    for (int i = 0; i < 4096; ++i)
        frames.append(frame(Start + i * GapUs,
                            i & 1 ? 0x0CFF0000 + uint32_t(i) : 0x100 + uint32_t(i % 0x500), i & 1,
                            QByteArray::fromHex("1122334455667788")));
    DiagDecoder decoder;
    std::vector<DiagMessage> out;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < PlainFrames; ++i)
        decoder.feed(frames[i & 4095], out);
    const double ns = double(timer.nsecsElapsed()) / PlainFrames;
    std::printf("cost per frame that is not diagnostic: %.1f ns (%zu messages)\n", ns, out.size());
}

QByteArray candump(const QVector<TimedPacket> &frames)
{
    QByteArray text;
    text.reserve(frames.size() * 40);
    for (const TimedPacket &f : frames) {
        const CanPacket &p = f.packet;
        text += "(" + QByteArray::number(f.time / 1000000) + "." +
                QByteArray::number(f.time % 1000000).rightJustified(6, '0') + ") can0 " +
                QByteArray::number(p.id, 16).toUpper().rightJustified(p.isExtended() ? 8 : 3, '0') +
                "#" +
                QByteArray(reinterpret_cast<const char *>(p.data), p.length()).toHex().toUpper() +
                "\n";
    }
    return text;
}

void benchConverter(const QVector<TimedPacket> &frames)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("mixed.log");
    QFile file(log);
    if (!file.open(QIODevice::WriteOnly) || file.write(candump(frames)) < 0)
        return;
    file.close();
    const double ours = runTimed(QStringLiteral(QUORVEX_CONVERT_PATH),
                                 {"--diagnostics", log, dir.filePath("out.csv")});
    const double shark =
        runTimed("tshark", {"-r", log, "-o", "iso15765.can.ids:2015-2031", "-o",
                            "iso15765.can.extended_ids:416940032-417071103", "-T", "fields", "-e",
                            "iso15765.reassembled.length", "-e", "data.data"});
    std::printf("1,000,000 frames: quorvex-convert --diagnostics %.2f s, tshark reassembly %.2f s "
                "(%.1fx)\n",
                ours, shark, ours > 0 ? shark / ours : 0.0);
}

} // namespace

int main()
{
    const QVector<TimedPacket> frames = mixedCapture(MixedFrames);
    benchTransport(frames);
    benchMixed(frames);
    benchPlain();
    benchConverter(frames);
    return 0;
}
