// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturewriter.h"
#include "signals/dbcgroupindex.h"

#include <QHash>
#include <vector>

class DbcDatabase;
struct DbcMessage;

// Decoded signals as comma-separated text: a "time" column (seconds since the epoch, to the
// microsecond), then one column per chosen signal headed "Message.Signal", and one row per frame
// of a message that has a chosen signal. A cell stays empty when its signal is not in the frame
// (another message, beyond the length, another multiplexor value). The messages must outlive
// the writer.
class DecodedCsvWriter final : public CaptureWriter
{
public:
    struct Column
    {
        const DbcMessage *message = nullptr;
        int signalIndex = 0;
    };

    DecodedCsvWriter(QIODevice *device, std::vector<Column> columns);

    // Every signal of every message, in the database's order.
    static std::vector<Column> columnsOf(const DbcDatabase &database);
    static std::vector<Column> columnsOf(const DbcMessage &message);

    bool write(const TimedPacket &frame) override;
    bool finish() override;
    qint64 rows() const { return rowCount; }

private:
    struct Cell
    {
        int column;
        int signalIndex;
    };

    void writeHeader();
    void appendTime(qint64 usec);

    std::vector<Column> columns;
    QHash<quint64, std::vector<Cell>> cellsOf; // message key: its columns
    DbcGroupIndex groups;                      // J1939 parameter groups: a column of theirs
    std::vector<double> rowValues;             // reused row by row
    std::vector<char> rowFilled;
    qint64 rowCount = 0;
    bool headerDone = false;
};
