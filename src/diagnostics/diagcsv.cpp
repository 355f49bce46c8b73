// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagcsv.h"

#include "diagnostics/diagdecoder.h"
#include "diagnostics/diagmessage.h"
#include "link/canpacket.h"

namespace {

const char HexDigits[] = "0123456789ABCDEF";

// Upper-case hex, zero-filled to at least `digits`.
void appendHex(QByteArray &out, quint64 value, int digits)
{
    char text[16];
    int at = 16;
    do {
        text[--at] = HexDigits[value & 0xF];
        value >>= 4;
    } while ((value != 0 || 16 - at < digits) && at > 0);
    out.append(text + at, 16 - at);
}

void appendDecimal(QByteArray &out, quint64 value, int digits = 1)
{
    char text[24];
    int at = 24;
    do {
        text[--at] = char('0' + value % 10);
        value /= 10;
    } while ((value != 0 || 24 - at < digits) && at > 0);
    out.append(text + at, 24 - at);
}

void appendAddress(QByteArray &out, int value)
{
    if (value >= 0)
        appendHex(out, uint(value), 2);
    out += ',';
}

void appendSeconds(QByteArray &out, qint64 micros)
{
    const bool negative = micros < 0;
    const quint64 magnitude = negative ? quint64(-(micros + 1)) + 1 : quint64(micros);
    if (negative)
        out += '-';
    appendDecimal(out, magnitude / 1000000);
    out += '.';
    appendDecimal(out, magnitude % 1000000, 6);
}

void appendBytes(QByteArray &out, const QByteArray &bytes)
{
    const int at = out.size();
    out.resize(at + 2 * bytes.size());
    char *d = out.data() + at;
    for (const char c : bytes) {
        *d++ = HexDigits[uchar(c) >> 4];
        *d++ = HexDigits[uchar(c) & 0xF];
    }
}

const char *channel(const DiagMessage &m)
{
    if (m.route & CanPacket::Can0ToCan1)
        return "can0";
    if (m.route & CanPacket::Can1ToCan0)
        return "can1";
    return m.transmitted ? "cantx" : "canrx";
}

bool needsQuotes(const QByteArray &field)
{
    for (const char c : field) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r')
            return true;
    }
    return false;
}

void appendQuoted(QByteArray &out, const QByteArray &field)
{
    if (!needsQuotes(field)) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

namespace DiagCsv {

QByteArray header()
{
    return "time,channel,id,protocol,source,target,length,payload,sid,nrc,pgn,status,text\n";
}

QByteArray quoted(const QByteArray &field)
{
    QByteArray out;
    appendQuoted(out, field);
    return out;
}

void appendLine(QByteArray &out, const DiagMessage &m)
{
    const bool isoTp = m.protocol == DiagMessage::Protocol::IsoTp;
    const int code = DiagDecoder::negativeCode(m);
    appendSeconds(out, m.time);
    out += ',';
    out += channel(m);
    out += ',';
    appendHex(out, m.id, m.extended ? 8 : 3);
    out += ',';
    out += DiagWords::protocol(m.protocol);
    out += ',';
    appendAddress(out, m.source);
    appendAddress(out, m.target);
    appendDecimal(out, quint64(m.payload.size()));
    out += ',';
    appendBytes(out, m.payload);
    out += ',';
    appendAddress(out, isoTp && !m.payload.isEmpty() ? uint8_t(m.payload[0]) : -1);
    appendAddress(out, code);
    if (m.hasPgn())
        appendDecimal(out, m.pgn);
    out += ',';
    out += DiagWords::status(m.status);
    out += ',';
    appendQuoted(out, DiagDecoder::describe(m).toUtf8());
    out += '\n';
}

QByteArray line(const DiagMessage &m)
{
    QByteArray out;
    out.reserve(160 + 2 * m.payload.size());
    appendLine(out, m);
    return out;
}

} // namespace DiagCsv
