#include "commandresponder.h"

#include "link/linerecord.h"

namespace {
constexpr uint8_t CommandMarker = 0xE1;
constexpr uint8_t SpeedMarker = 0xF1;
constexpr uint8_t CommandReply = 0xEF;
constexpr uint8_t SpeedReply = 0xF1;
constexpr int MinReplyText = LineRecord::Size - 2;
} // namespace

QList<QByteArray> CommandResponder::feed(const QByteArray &bytes)
{
    pending.append(bytes);
    QList<QByteArray> replies;
    int pos = 0;
    while (takeOne(pos, replies)) {
    }
    pending.remove(0, pos);
    return replies;
}

// Takes one command, frame record or stray byte at `pos`; false when too few bytes are left.
bool CommandResponder::takeOne(int &pos, QList<QByteArray> &replies)
{
    const int left = pending.size() - pos;
    if (left <= 0)
        return false;
    const auto first = uint8_t(pending[pos]);
    if (first != CommandMarker && first != SpeedMarker) {
        if (left < LineRecord::Size)
            return false;
        ++frames;
        if (recordSink)
            recordSink(pending.mid(pos, LineRecord::Size));
        pos += LineRecord::Size;
        return true;
    }
    if (left < 3)
        return false;
    if (uint8_t(pending[pos + 2]) != first) {
        ++pos; // not a command after all: step over one byte and look again
        return true;
    }
    const auto code = uint8_t(pending[pos + 1]);
    replies << (first == CommandMarker ? answerCommand(code) : answerSpeed(code));
    ++answered;
    pos += 3;
    return true;
}

QByteArray CommandResponder::answerCommand(uint8_t code)
{
    switch (code) {
    case 0x01:
        return reply(CommandReply, code, "TARVIX USB-CAN2");
    case 0x02:
        return reply(CommandReply, code, "FW 2.4.1 HW 1.3");
    case 0x03:
    case 0x83:
        monitoringOn = code == 0x03;
        return reply(CommandReply, code, monitoringOn ? "MONITOR ON" : "MONITOR OFF");
    case 0x04:
        return reply(CommandReply, code, "OLD FORMAT OK");
    case 0x05:
    case 0x85:
    case 0x15:
        return resistorReply(0, code);
    case 0x06:
    case 0x86:
    case 0x16:
        return resistorReply(1, code);
    case 0x10:
        return reply(CommandReply, code, "CAN " + speedText(speed));
    case 0x14:
        return reply(CommandReply, code, "PROTO CAN2.0B");
    default:
        return reply(CommandReply, code, "ERR UNKNOWN CMD");
    }
}

QByteArray CommandResponder::resistorReply(int line, uint8_t code)
{
    if ((code & 0xF0) == 0x00)
        resistorOn[line] = true;
    else if ((code & 0xF0) == 0x80)
        resistorOn[line] = false;
    const QByteArray text = "CAN" + QByteArray::number(line) + " R=";
    return reply(CommandReply, code, text + (resistorOn[line] ? "ON" : "OFF"));
}

QByteArray CommandResponder::answerSpeed(uint8_t code)
{
    if (speedText(code).isEmpty())
        return reply(SpeedReply, code, "SPEED CODE " + QByteArray::number(code) + " ERR");
    speed = code;
    return reply(SpeedReply, code, "SPEED " + speedText(code) + " OK");
}

QByteArray CommandResponder::reply(uint8_t marker, uint8_t code, const QByteArray &text)
{
    QByteArray out;
    out.append(char(marker));
    out.append(char(code));
    out.append(text.leftJustified(MinReplyText, ' '));
    return out;
}

QByteArray CommandResponder::speedText(int code)
{
    static const char *const speeds[] = {"1 Mbit/s",   "800 kbit/s", "500 kbit/s",
                                         "250 kbit/s", "125 kbit/s", "100 kbit/s",
                                         "50 kbit/s",  "20 kbit/s",  "10 kbit/s"};
    return code >= 0 && code <= 8 ? QByteArray(speeds[code]) : QByteArray();
}
