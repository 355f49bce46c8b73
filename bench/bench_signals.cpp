// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of decoding one signal from a frame, by kind (classic frames, then signals of a 64-byte CAN
// FD frame), beside the plain load, shift and mask a classic signal took before FD, and of
// loading a large DBC file. The decode loop adds every value into a sum the program prints, so
// nothing is optimised away.
// Then the plot of one signal over a 10,000,000-frame log: reading it in, the first drawing and
// the redraws of a pan, over the whole capture and over a 30 s window.
#include "app/signalplot.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "signals/dbcdatabase.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>
#include <memory>

namespace {

constexpr int Frames = 2000000;
constexpr int GeneratedMessages = 2000;
constexpr int SignalsPerMessage = 8;

const QByteArray Kinds = R"(BO_ 1 Intel: 8 E
 SG_ A : 4|12@1+ (0.5,1) [0|0] "" X
BO_ 2 Motorola: 8 E
 SG_ A : 11|14@0+ (0.5,1) [0|0] "" X
BO_ 3 Signed: 8 E
 SG_ A : 20|13@1- (0.5,1) [0|0] "" X
BO_ 4 Float: 8 E
 SG_ A : 0|32@1- (0.5,1) [0|0] "" X
BO_ 5 Muxed: 8 E
 SG_ Mx M : 0|8@1+ (1,0) [0|0] "" X
 SG_ A m1 : 8|16@1+ (0.5,1) [0|0] "" X
BO_ 6 FdIntel: 64 E
 SG_ A : 500|12@1+ (0.5,1) [0|0] "" X
BO_ 7 FdMotorola: 64 E
 SG_ A : 87|14@0+ (0.5,1) [0|0] "" X
BO_ 8 FdNineBytes: 64 E
 SG_ A : 260|64@1+ (0.5,1) [0|0] "" X
SIG_VALTYPE_ 4 A : 1;
)";

// ns per decoded signal; for the multiplexed kind the activity check is included.
double decodeNs(const DbcMessage &message, double *sum)
{
    const DbcSignal &signal = message.signalList.back();
    const int index = int(message.signalList.size()) - 1;
    const int length = message.size;
    uint8_t data[64];
    for (int i = 0; i < 64; ++i)
        data[i] = uint8_t(i * 0x23 + 1);
    QElapsedTimer timer;
    timer.start();
    for (int frame = 0; frame < Frames; ++frame) {
        data[1] = data[40] = uint8_t(frame);
        double value = 0;
        if (message.isActive(index, data, length) && signal.decode(data, length, &value))
            *sum += value;
    }
    return double(timer.nsecsElapsed()) / Frames;
}

// A classic signal's decoding as it was before FD, for a figure side by side: the same fields,
// one load of eight bytes from byte 0, a shift and a mask.
struct PlanBeforeFd
{
    int bytesNeeded = 9;
    int shift = 0;
    uint64_t mask = 0;
    bool bigEndian = false;

    explicit PlanBeforeFd(const DbcSignal &s)
    {
        bigEndian = s.byteOrder == DbcSignal::ByteOrder::Motorola;
        const int first =
            bigEndian ? s.startBit / 8 * 8 + (7 - s.startBit % 8) : s.startBit; // as plan() did
        const int end = first + s.length;
        bytesNeeded = (end - 1) / 8 + 1;
        shift = bigEndian ? 64 - end : first;
        mask = s.length == 64 ? ~uint64_t(0) : (uint64_t(1) << s.length) - 1;
    }
    bool decode(const DbcSignal &s, const uint8_t *data, int length, double *value) const
    {
        if (bytesNeeded > length)
            return false;
        const uint64_t word =
            bigEndian ? qFromBigEndian<quint64>(data) : qFromLittleEndian<quint64>(data);
        *value = double((word >> shift) & mask) * s.factor + s.offset;
        return true;
    }
};

double beforeFdNs(const DbcMessage &message, double *sum)
{
    const DbcSignal &signal = message.signalList.back();
    const int index = int(message.signalList.size()) - 1;
    const auto plan = std::make_unique<PlanBeforeFd>(signal); // read from memory, as a member
    uint8_t data[8] = {1, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    QElapsedTimer timer;
    timer.start();
    for (int frame = 0; frame < Frames; ++frame) {
        data[1] = uint8_t(frame);
        double value = 0;
        if (message.isActive(index, data, 8) && plan->decode(signal, data, 8, &value))
            *sum += value;
    }
    return double(timer.nsecsElapsed()) / Frames;
}

QByteArray generatedDbc()
{
    QByteArray text = "VERSION \"\"\nBU_: E X\n";
    for (int m = 0; m < GeneratedMessages; ++m) {
        text += "BO_ " + QByteArray::number(m + 1) + " Message" + QByteArray::number(m) + ": 8 E\n";
        for (int s = 0; s < SignalsPerMessage; ++s)
            text += " SG_ Signal" + QByteArray::number(s) + " : " + QByteArray::number(s * 8) +
                    "|8@1+ (0.1,-40) [-40|215.5] \"unit\" X\n";
        text += "CM_ BO_ " + QByteArray::number(m + 1) + " \"Message comment\";\n";
        text += "VAL_ " + QByteArray::number(m + 1) + " Signal0 0 \"Off\" 1 \"On\" ;\n";
        text += "BA_ \"GenMsgCycleTime\" BO_ " + QByteArray::number(m + 1) + " 100;\n";
    }
    return text + "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 10000;\n";
}

constexpr int PlotFrames = 10000000;
constexpr qint64 FrameGapUsec = 1000;
constexpr int PanSteps = 20;
constexpr int PlotWidth = 1600;
constexpr int PlotHeight = 600;

double msSince(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// Average time of redrawing after moving the time axis by a tenth of what is shown.
double panMs(SignalPlot &plot)
{
    QElapsedTimer timer;
    timer.start();
    for (int step = 0; step < PanSteps; ++step) {
        QCPAxis *time = plot.axisRect(0)->axis(QCPAxis::atBottom);
        time->moveRange((step < PanSteps / 2 ? 0.1 : -0.1) * time->range().size());
        plot.replot(QCustomPlot::rpImmediateRefresh);
    }
    return msSince(timer) / PanSteps;
}

void benchPlot(const DbcDatabase &kinds)
{
    QTemporaryDir storeDir;
    CanDataModel log(nullptr, storeDir.path());
    TimedPacket frame;
    frame.packet.id = 1;
    frame.packet.rtl = 8;
    const qint64 start = 1700000000000000;
    for (int i = 0; i < PlotFrames; ++i) {
        frame.time = start + i * FrameGapUsec;
        frame.packet.data[0] = uint8_t(i >> 4);
        frame.packet.data[1] = uint8_t(i >> 12);
        log.addFrame(frame);
    }
    SignalPlot plot;
    plot.resize(PlotWidth, PlotHeight);
    plot.show();
    plot.setLog(&log);
    plot.setFollowing(false);
    QSignalSpy collected(&plot, &SignalPlot::collected);
    QElapsedTimer timer;
    timer.start();
    plot.addSignal(kinds.message(1, false), 0);
    collected.wait(600000);
    std::printf("plot_collect_ms_%d_frames %.0f\n", PlotFrames, msSince(timer));
    timer.restart();
    const QPixmap picture = plot.toPixmap(PlotWidth, PlotHeight);
    std::printf("plot_first_draw_ms %.0f\n", msSince(timer));
    std::printf("plot_points %d\n", plot.pointCount(0));
    std::printf("plot_pan_redraw_ms_whole_capture %.1f\n", panMs(plot));
    plot.setFollowing(true); // the last 30 s
    std::printf("plot_pan_redraw_ms_30s_window %.1f\n", panMs(plot));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DbcDatabase kinds;
    kinds.read(Kinds);
    double sum = 0;
    const char *names[] = {"intel",
                           "motorola",
                           "signed",
                           "float",
                           "multiplexed",
                           "fd_intel_byte_62",
                           "fd_motorola_byte_10",
                           "fd_nine_bytes"};
    for (uint32_t id = 1; id <= 8; ++id)
        std::printf("decode_ns_per_signal_%s %.2f\n", names[id - 1],
                    decodeNs(*kinds.message(id, false), &sum));
    // Side by side, three times, as the machine's load comes and goes.
    for (int round = 0; round < 3; ++round)
        std::printf("decode_ns_per_signal_intel %.2f, as before FD %.2f\n",
                    decodeNs(*kinds.message(1, false), &sum),
                    beforeFdNs(*kinds.message(1, false), &sum));
    const QByteArray text = generatedDbc();
    QElapsedTimer timer;
    timer.start();
    DbcDatabase large;
    large.read(text);
    std::printf("load_ms_%d_messages %.1f\n", GeneratedMessages, timer.nsecsElapsed() / 1e6);
    std::printf("load_errors %d\n", large.errors().size());
    std::printf("checksum %.1f\n", sum);
    benchPlot(kinds);
    return 0;
}
