// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/socketcandcommand.h"

#include "net/socketcandflags.h"

#include <QList>

namespace {

constexpr uint32_t MaxStandardId = 0x7FF;
constexpr uint32_t MaxExtendedId = 0x1FFFFFFF;
constexpr int StandardIdDigits = 3;
constexpr int MaxIdDigits = 8;
constexpr int MaxLength = 8;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool parseHex(const QByteArray &text, int maxDigits, uint32_t *value)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    uint32_t result = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0)
            return false;
        result = result << 4 | uint32_t(digit);
    }
    *value = result;
    return true;
}

SocketcandCommand malformed(const char *why)
{
    SocketcandCommand command;
    command.error = why;
    return command;
}

// An identifier of more than three digits, or above 0x7FF, is an extended one.
bool parseId(const QByteArray &text, CanPacket *packet)
{
    uint32_t id = 0;
    if (!parseHex(text, MaxIdDigits, &id) || id > MaxExtendedId)
        return false;
    packet->id = id;
    packet->frame =
        (text.size() > StandardIdDigits || id > MaxStandardId) ? CanPacket::Extended : 0;
    return true;
}

// Words `first` on, one data byte each; the caller has checked there are not too many.
bool parseBytes(const QList<QByteArray> &words, int first, CanPacket *packet)
{
    for (int i = first; i < words.size(); ++i) {
        uint32_t byte = 0;
        if (!parseHex(words.at(i), 2, &byte))
            return false;
        packet->data[i - first] = uint8_t(byte);
    }
    return true;
}

SocketcandCommand parseSend(const QList<QByteArray> &words)
{
    SocketcandCommand command;
    command.kind = SocketcandCommand::Kind::Send;
    if (words.size() < 3)
        return malformed("send wants an identifier and a length");
    if (!parseId(words.at(1), &command.packet))
        return malformed("bad identifier");
    uint32_t length = 0;
    if (!parseHex(words.at(2), 1, &length) || length > MaxLength)
        return malformed("bad length");
    if (words.size() != 3 + int(length))
        return malformed("data does not match the length");
    if (!parseBytes(words, 3, &command.packet))
        return malformed("bad data byte");
    command.packet.rtl = uint8_t(length);
    command.packet.direct = CanPacket::Transmitted;
    return command;
}

// "fdsend ID FLAGS B0 ..": any number of bytes up to 64, padded to the next CAN FD length.
SocketcandCommand parseFdSend(const QList<QByteArray> &words)
{
    SocketcandCommand command;
    command.kind = SocketcandCommand::Kind::FdSend;
    if (words.size() < 3)
        return malformed("fdsend wants an identifier and flags");
    if (!parseId(words.at(1), &command.packet))
        return malformed("bad identifier");
    uint32_t flags = 0;
    if (!parseHex(words.at(2), 1, &flags))
        return malformed("bad flags");
    const int length = words.size() - 3;
    if (length > CanPacket::MaxFdBytes)
        return malformed("more than 64 data bytes");
    if (!parseBytes(words, 3, &command.packet))
        return malformed("bad data byte");
    command.packet.setFdLength(length);
    command.packet.frame |= SocketcandFlags::frameBits(flags);
    command.packet.direct = CanPacket::Transmitted;
    return command;
}

} // namespace

SocketcandCommand SocketcandParser::parse(const QByteArray &body)
{
    const QList<QByteArray> words = body.simplified().split(' ');
    const QByteArray &word = words.first();
    SocketcandCommand command;
    if (word == "open" && words.size() == 2) {
        command.kind = SocketcandCommand::Kind::Open;
        command.interfaceName = words.at(1);
    } else if (word == "rawmode" && words.size() == 1) {
        command.kind = SocketcandCommand::Kind::RawMode;
    } else if (word == "echo" && words.size() == 1) {
        command.kind = SocketcandCommand::Kind::Echo;
    } else if (word == "send") {
        command = parseSend(words);
    } else if (word == "fdsend") {
        command = parseFdSend(words);
    } else if (word == "fdframes" && words.size() == 1) {
        command.kind = SocketcandCommand::Kind::FdFrames;
    } else {
        command = malformed("unknown command");
    }
    return command;
}

void SocketcandParser::append(const char *data, int size)
{
    if (broken || size <= 0)
        return;
    if (pos > 0 && pos == buffer.size()) {
        buffer.clear();
        pos = 0;
    }
    buffer.append(data, size);
}

bool SocketcandParser::next(SocketcandCommand &command)
{
    while (!broken && pos < buffer.size() && isSpace(buffer.at(pos)))
        ++pos;
    if (broken || pos == buffer.size())
        return false;
    if (buffer.at(pos) != '<') {
        broken = true;
        return false;
    }
    const int end = buffer.indexOf('>', pos);
    const int limit = end < 0 ? buffer.size() : end;
    const int inner = buffer.indexOf('<', pos + 1);
    if (limit + 1 - pos > MaxCommandSize || (inner != -1 && inner < limit)) {
        broken = true;
        return false;
    }
    if (end < 0)
        return false;
    command = parse(buffer.mid(pos + 1, end - pos - 1));
    pos = end + 1;
    if (pos > MaxCommandSize) {
        buffer.remove(0, pos);
        pos = 0;
    }
    return true;
}
