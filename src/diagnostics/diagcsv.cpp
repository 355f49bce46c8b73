// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagcsv.h"

#include "diagnostics/diagdecoder.h"
#include "diagnostics/diagmessage.h"
#include "link/canpacket.h"

namespace {

QByteArray hexNumber(uint value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}

QByteArray address(int value)
{
    return value < 0 ? QByteArray() : hexNumber(uint(value), 2);
}

QByteArray seconds(qint64 micros)
{
    const bool negative = micros < 0;
    const quint64 magnitude = negative ? quint64(-(micros + 1)) + 1 : quint64(micros);
    return (negative ? "-" : "") + QByteArray::number(magnitude / 1000000) + '.' +
           QByteArray::number(magnitude % 1000000).rightJustified(6, '0');
}

QByteArray channel(const DiagMessage &m)
{
    if (m.route & CanPacket::Can0ToCan1)
        return "can0";
    if (m.route & CanPacket::Can1ToCan0)
        return "can1";
    return m.transmitted ? "cantx" : "canrx";
}

} // namespace

namespace DiagCsv {

QByteArray header()
{
    return "time,channel,id,protocol,source,target,length,payload,sid,nrc,pgn,status,text\n";
}

QByteArray quoted(const QByteArray &field)
{
    if (field.indexOf(',') < 0 && field.indexOf('"') < 0 && field.indexOf('\n') < 0 &&
        field.indexOf('\r') < 0)
        return field;
    QByteArray out = field;
    out.replace('"', "\"\"");
    return '"' + out + '"';
}

QByteArray line(const DiagMessage &m)
{
    const bool isoTp = m.protocol == DiagMessage::Protocol::IsoTp;
    const int code = DiagDecoder::negativeCode(m);
    QByteArray out;
    out.reserve(96 + 2 * m.payload.size());
    out += seconds(m.time) + ',' + channel(m) + ',';
    out += hexNumber(m.id, m.extended ? 8 : 3) + ',' + DiagWords::protocol(m.protocol) + ',';
    out += address(m.source) + ',' + address(m.target) + ',';
    out += QByteArray::number(m.payload.size()) + ',' + m.payload.toHex().toUpper() + ',';
    out +=
        (isoTp && !m.payload.isEmpty() ? hexNumber(uint8_t(m.payload[0]), 2) : QByteArray()) + ',';
    out += (code >= 0 ? hexNumber(uint(code), 2) : QByteArray()) + ',';
    out += (m.hasPgn() ? QByteArray::number(m.pgn) : QByteArray()) + ',';
    out += QByteArray(DiagWords::status(m.status)) + ',';
    out += quoted(DiagDecoder::describe(m).toUtf8()) + '\n';
    return out;
}

} // namespace DiagCsv
