#include "app/framestatistics.h"

#include <QStandardItemModel>
#include <algorithm>

namespace {
constexpr int InitialRows = 32;
constexpr int RowStep = 10;
constexpr int Columns = 4;
constexpr int CenteredColumns = 3; // "ID", "Length" and "Number"; "Packet" keeps the default
} // namespace

FrameStatistics::FrameStatistics(QObject *modelParent)
    : statModel(new QStandardItemModel(InitialRows, Columns, modelParent))
{
    setHeaders();
}

// Called for every frame on the bus: no text, no model, only the entry and a note to redraw it.
void FrameStatistics::count(const CanPacket &packet)
{
    StatEntry &entry = statMap[packet.id];
    entry.id = packet.id;
    entry.length = uint8_t(packet.length());
    ++entry.count;
    entry.last = packet;
    if (!entry.changed) {
        entry.changed = true;
        changedIds.append(packet.id);
    }
}

void FrameStatistics::refresh()
{
    if (changedIds.isEmpty())
        return;
    for (uint32_t id : qAsConst(changedIds)) {
        StatEntry &entry = statMap[id];
        entry.changed = false;
        showEntry(entry);
    }
    changedIds.clear();
    fitRowCount();
}

void FrameStatistics::clear()
{
    statMap.clear();
    sortedIds.clear();
    changedIds.clear();
    statModel->clear();
    statModel->setRowCount(InitialRows);
    statModel->setColumnCount(Columns);
    setHeaders();
}

const FrameStatistics::StatEntry *FrameStatistics::entry(uint32_t id) const
{
    const auto it = statMap.constFind(id);
    return it == statMap.constEnd() ? nullptr : &it.value();
}

// The table grows by a step whenever the last row gets used, so there is always an empty row
// below the last identifier; it never shrinks, because identifiers only come and never go.
int FrameStatistics::rowsFor(int ids)
{
    if (ids < InitialRows)
        return InitialRows;
    return InitialRows + RowStep * ((ids - InitialRows) / RowStep + 1);
}

void FrameStatistics::showEntry(const StatEntry &entry)
{
    const auto place = std::lower_bound(sortedIds.cbegin(), sortedIds.cend(), entry.id);
    const int row = int(place - sortedIds.cbegin());
    if (place == sortedIds.cend() || *place != entry.id) {
        sortedIds.insert(row, entry.id);
        insertRow(row);
    }
    writeRow(row, entry);
}

void FrameStatistics::writeRow(int row, const StatEntry &entry)
{
    setCell(row, 0, hexText(entry.id, 8));
    setCell(row, 1, hexText(entry.length, 2));
    setCell(row, 2, QString::number(entry.count));
    setCell(row, 3, frameText(entry.last));
}

// Texts change in place, so the view keeps its selection and scroll position; an unchanged text
// emits nothing.
void FrameStatistics::setCell(int row, int column, const QString &text)
{
    statModel->item(row, column)->setText(text);
}

void FrameStatistics::insertRow(int row)
{
    QList<QStandardItem *> items;
    for (int column = 0; column < Columns; ++column) {
        auto *item = new QStandardItem;
        if (column < CenteredColumns)
            item->setTextAlignment(Qt::AlignCenter);
        items << item;
    }
    statModel->insertRow(row, items);
}

// Inserting pushed empty rows past the end; trim or extend them to what the growth rule gives.
void FrameStatistics::fitRowCount()
{
    const int rows = rowsFor(sortedIds.size());
    if (statModel->rowCount() > rows)
        statModel->removeRows(rows, statModel->rowCount() - rows);
    else if (statModel->rowCount() < rows)
        statModel->setRowCount(rows);
}

void FrameStatistics::setHeaders()
{
    const QStringList headers = {QStringLiteral("ID"), QStringLiteral("Length"),
                                 QStringLiteral("Number"), QStringLiteral("Packet")};
    for (int column = 0; column < Columns; ++column)
        statModel->setHeaderData(column, Qt::Horizontal, headers.at(column), Qt::EditRole);
}
