// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagcsv.h"

#include "diagnostics/diagdecoder.h"
#include "diagnostics/diagmessage.h"
#include "link/canpacket.h"

namespace {

const char HexDigits[] = "0123456789ABCDEF";

// The short columns of a line, gathered on the stack and appended at once: appending them one
// by one to the output costs more than writing them.
class Fields
{
public:
    void put(char c) { text[size++] = c; }
    void put(const char *s)
    {
        while (*s)
            text[size++] = *s++;
    }
    // Upper-case hex, zero-filled to at least `digits`.
    void hex(quint64 value, int digits) { number(value, 16, digits); }
    void decimal(quint64 value, int digits = 1) { number(value, 10, digits); }
    // Two hex digits, or nothing for a negative value; then the comma.
    void address(int value)
    {
        if (value >= 0)
            hex(uint(value), 2);
        put(',');
    }
    void seconds(qint64 micros)
    {
        const bool negative = micros < 0;
        const quint64 magnitude = negative ? quint64(-(micros + 1)) + 1 : quint64(micros);
        if (negative)
            put('-');
        decimal(magnitude / 1000000);
        put('.');
        decimal(magnitude % 1000000, 6);
    }
    void appendTo(QByteArray &out) const { out.append(text, size); }

private:
    void number(quint64 value, uint base, int digits)
    {
        char reversed[24];
        int n = 0;
        do {
            reversed[n++] = HexDigits[value % base];
            value /= base;
        } while (value != 0 || n < digits);
        while (n > 0)
            put(reversed[--n]);
    }

    char text[160];
    int size = 0;
};

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
    Fields head;
    head.seconds(m.time);
    head.put(',');
    head.put(channel(m));
    head.put(',');
    head.hex(m.id, m.extended ? 8 : 3);
    head.put(',');
    head.put(DiagWords::protocol(m.protocol));
    head.put(',');
    head.address(m.source);
    head.address(m.target);
    head.decimal(quint64(m.payload.size()));
    head.put(',');
    head.appendTo(out);
    appendBytes(out, m.payload);
    const bool isoTp = m.protocol == DiagMessage::Protocol::IsoTp;
    Fields tail;
    tail.put(',');
    tail.address(isoTp && !m.payload.isEmpty() ? uint8_t(m.payload[0]) : -1);
    tail.address(DiagDecoder::negativeCode(m));
    if (m.hasPgn())
        tail.decimal(m.pgn);
    tail.put(',');
    tail.put(DiagWords::status(m.status));
    tail.put(',');
    tail.appendTo(out);
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
