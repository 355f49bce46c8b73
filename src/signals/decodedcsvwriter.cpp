// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/decodedcsvwriter.h"

#include "link/timedpacket.h"
#include "signals/dbcdatabase.h"
#include "signals/decodedsignal.h"

#include <algorithm>

namespace {

constexpr qint64 UsecPerSecond = 1000000;
constexpr int FractionDigits = 6;

quint64 messageKey(uint32_t id, bool extended)
{
    return (quint64(extended) << 32) | id;
}

} // namespace

DecodedCsvWriter::DecodedCsvWriter(QIODevice *device, std::vector<Column> chosen)
    : CaptureWriter(device), columns(std::move(chosen)), rowValues(columns.size()),
      rowFilled(columns.size())
{
    for (int i = 0; i < int(columns.size()); ++i) {
        const Column &column = columns[size_t(i)];
        cellsOf[messageKey(column.message->id, column.message->extended)].push_back(
            Cell{i, column.signalIndex});
        groups.add(*column.message, i);
    }
}

std::vector<DecodedCsvWriter::Column> DecodedCsvWriter::columnsOf(const DbcDatabase &database)
{
    std::vector<Column> all;
    for (const DbcMessage &message : database.messages()) {
        const std::vector<Column> own = columnsOf(message);
        all.insert(all.end(), own.begin(), own.end());
    }
    return all;
}

std::vector<DecodedCsvWriter::Column> DecodedCsvWriter::columnsOf(const DbcMessage &message)
{
    std::vector<Column> own;
    for (int i = 0; i < int(message.signalList.size()); ++i)
        own.push_back(Column{&message, i});
    return own;
}

void DecodedCsvWriter::writeHeader()
{
    headerDone = true;
    QByteArray &out = buffer();
    out += "time";
    for (const Column &column : columns) {
        const DbcSignal &signal = column.message->signalList[size_t(column.signalIndex)];
        out += ',' + column.message->name.toUtf8() + '.' + signal.name.toUtf8();
    }
    out += '\n';
}

// Written from the integer: a double would round the microseconds of today's times.
void DecodedCsvWriter::appendTime(qint64 usec)
{
    const bool negative = usec < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(usec) : quint64(usec);
    QByteArray &out = buffer();
    if (negative)
        out += '-';
    out += QByteArray::number(magnitude / UsecPerSecond) + '.' +
           QByteArray::number(magnitude % UsecPerSecond).rightJustified(FractionDigits, '0');
}

bool DecodedCsvWriter::write(const TimedPacket &frame)
{
    if (!ok())
        return false;
    if (!headerDone)
        writeHeader();
    const CanPacket &packet = frame.packet;
    auto found = cellsOf.constFind(messageKey(packet.id, packet.isExtended()));
    if (found == cellsOf.constEnd() && packet.isExtended() && !groups.isEmpty()) {
        // A J1939 parameter group from another source: the columns of the group's message.
        const int column = groups.find(packet.id);
        if (column != DbcGroupIndex::None) {
            const DbcMessage *m = columns[size_t(column)].message;
            found = cellsOf.constFind(messageKey(m->id, m->extended));
        }
    }
    if (found == cellsOf.constEnd())
        return true;
    const int length = DecodedSignal::dataLength(packet);
    if (length == 0)
        return true; // a remote request carries no signal
    const DbcMessage &message = *columns[size_t(found->front().column)].message;
    std::fill(rowFilled.begin(), rowFilled.end(), 0);
    for (const Cell &cell : *found) {
        const DbcSignal &signal = message.signalList[size_t(cell.signalIndex)];
        const size_t column = size_t(cell.column);
        rowFilled[column] = message.isActive(cell.signalIndex, packet.data, length) &&
                            signal.decode(packet.data, length, &rowValues[column]);
    }
    appendTime(timeOf(frame));
    QByteArray &out = buffer();
    for (size_t i = 0; i < columns.size(); ++i) {
        out += ',';
        if (rowFilled[i])
            out += DecodedSignal::number(rowValues[i]).toLatin1();
    }
    out += '\n';
    ++rowCount;
    return flushIfFull();
}

bool DecodedCsvWriter::finish()
{
    if (ok() && !headerDone)
        writeHeader();
    return flushAll();
}
