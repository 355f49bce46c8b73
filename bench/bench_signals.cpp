// Cost of decoding one signal from a frame, by kind, and of loading a large DBC file. The
// decode loop adds every value into a sum the program prints, so nothing is optimised away.
#include "signals/dbcdatabase.h"

#include <QElapsedTimer>
#include <cstdio>

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
SIG_VALTYPE_ 4 A : 1;
)";

// ns per decoded signal; for the multiplexed kind the activity check is included.
double decodeNs(const DbcMessage &message, double *sum)
{
    const DbcSignal &signal = message.signalList.back();
    const int index = int(message.signalList.size()) - 1;
    uint8_t data[8] = {1, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    QElapsedTimer timer;
    timer.start();
    for (int frame = 0; frame < Frames; ++frame) {
        data[1] = uint8_t(frame);
        double value = 0;
        if (message.isActive(index, data, 8) && signal.decode(data, 8, &value))
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

} // namespace

int main()
{
    DbcDatabase kinds;
    kinds.read(Kinds);
    double sum = 0;
    const char *names[] = {"intel", "motorola", "signed", "float", "multiplexed"};
    for (uint32_t id = 1; id <= 5; ++id)
        std::printf("decode_ns_per_signal_%s %.2f\n", names[id - 1],
                    decodeNs(*kinds.message(id, false), &sum));
    const QByteArray text = generatedDbc();
    QElapsedTimer timer;
    timer.start();
    DbcDatabase large;
    large.read(text);
    std::printf("load_ms_%d_messages %.1f\n", GeneratedMessages, timer.nsecsElapsed() / 1e6);
    std::printf("load_errors %d\n", large.errors().size());
    std::printf("checksum %.1f\n", sum);
    return 0;
}
