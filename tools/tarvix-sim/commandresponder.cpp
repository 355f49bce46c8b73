// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandresponder.h"

#include "link/linerecord.h"

using namespace TarvixProtocol;

namespace {
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
    if (left < MessageSize)
        return false;
    if (uint8_t(pending[pos + 2]) != first) {
        ++pos; // not a command after all: step over one byte and look again
        return true;
    }
    const auto code = uint8_t(pending[pos + 1]);
    replies << (first == CommandMarker ? answerCommand(code) : answerSpeed(code));
    ++answered;
    pos += MessageSize;
    return true;
}

QByteArray CommandResponder::answerCommand(uint8_t code)
{
    switch (code) {
    case Command::ModuleName:
        return reply(CommandReply, code, "TARVIX USB-CAN2");
    case Command::ModuleVersion:
        return reply(CommandReply, code, "FW 2.4.1 HW 1.3");
    case Command::MonitorOn:
    case Command::MonitorOff:
        monitoringOn = code == Command::MonitorOn;
        return reply(CommandReply, code, monitoringOn ? "MONITOR ON" : "MONITOR OFF");
    case Command::OldFormat:
        return reply(CommandReply, code, "OLD FORMAT OK");
    case Command::Can0ResistorOn:
    case Command::Can0ResistorOff:
    case Command::Can0ResistorQuery:
        return resistorReply(0, code);
    case Command::Can1ResistorOn:
    case Command::Can1ResistorOff:
    case Command::Can1ResistorQuery:
        return resistorReply(1, code);
    case Command::SpeedQuery:
        return reply(CommandReply, code, "CAN " + speedText(speed));
    case Command::ProtocolQuery:
        return reply(CommandReply, code, "PROTO CAN2.0B");
    default:
        return reply(CommandReply, code, "ERR UNKNOWN CMD");
    }
}

QByteArray CommandResponder::resistorReply(int line, uint8_t code)
{
    if (code == Command::Can0ResistorOn || code == Command::Can1ResistorOn)
        resistorOn[line] = true;
    else if (code == Command::Can0ResistorOff || code == Command::Can1ResistorOff)
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
    const Speed *known = speedOf(code);
    return known ? QByteArray(known->text) : QByteArray();
}
