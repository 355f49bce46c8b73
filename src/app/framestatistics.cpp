#include "app/framestatistics.h"

#include <QSignalBlocker>
#include <QStandardItemModel>
#include <algorithm>

namespace {
constexpr int InitialRows = 32;
constexpr int RowStep = 10;
constexpr int Columns = 4;
constexpr int CenteredColumns = 3; // "ID", "Length" and "Number"; "Packet" keeps the default
// More new identifiers than this in one refresh are merged in at once: inserting rows one by one
// costs the model and its views time in proportion to the rows below each insertion.
constexpr int BulkInsert = 16;
} // namespace

FrameStatistics::FrameStatistics(QObject *modelParent)
    : statModel(new QStandardItemModel(InitialRows, Columns, modelParent))
{
    setHeaders();
}

// Called for every frame on the bus: no text, no model, only the entry and a note to redraw it.
void FrameStatistics::count(const CanPacket &packet)
{
    const uint32_t id = packet.id; // a copy: a packed field must not be bound to a reference
    StatEntry &entry = statMap[id];
    entry.id = id;
    entry.length = uint8_t(packet.length());
    ++entry.count;
    entry.last = packet;
    if (!entry.changed) {
        entry.changed = true;
        changedIds.append(id);
    }
}

// New identifiers get their rows first, with the notifications views need for that. The texts
// are then written with the model's signals held back and announced by one dataChanged for the
// rows touched: a change notification per cell costs the views far more than the change itself.
void FrameStatistics::refresh()
{
    if (changedIds.isEmpty())
        return;
    int top = placeNewIds();
    int bottom = top < sortedIds.size() ? sortedIds.size() - 1 : -1;
    {
        const QSignalBlocker quiet(statModel);
        for (int row = top; row <= bottom; ++row)
            writeRow(row, statMap[sortedIds.at(row)]);
        for (uint32_t id : qAsConst(changedIds)) {
            StatEntry &entry = statMap[id];
            entry.changed = false;
            const int row = rowOf(id);
            writeRow(row, entry);
            top = qMin(top, row);
            bottom = qMax(bottom, row);
        }
    }
    changedIds.clear();
    emit statModel->dataChanged(statModel->index(top, 0), statModel->index(bottom, Columns - 1));
    fitRowCount();
}

// Gives every identifier counted for the first time its row. Returns the first row whose text
// moved (rows rewritten after many identifiers were merged in at once), or past the end.
int FrameStatistics::placeNewIds()
{
    QVector<uint32_t> added;
    for (uint32_t id : qAsConst(changedIds)) {
        if (!statMap[id].shown)
            added.append(id);
    }
    if (added.size() > BulkInsert)
        return showMany(std::move(added));
    for (uint32_t id : qAsConst(added)) {
        const int row = rowOf(id);
        statMap[id].shown = true;
        sortedIds.insert(row, id);
        insertRow(row);
    }
    return sortedIds.size();
}

// Merges many new identifiers into the order at once; the rows gained are added at the end with
// a single notification. Returns the first row that now shows another identifier.
int FrameStatistics::showMany(QVector<uint32_t> added)
{
    std::sort(added.begin(), added.end());
    QVector<uint32_t> merged(sortedIds.size() + added.size());
    std::merge(sortedIds.cbegin(), sortedIds.cend(), added.cbegin(), added.cend(), merged.begin());
    const int first =
        int(std::lower_bound(merged.cbegin(), merged.cend(), added.first()) - merged.cbegin());
    sortedIds = std::move(merged);
    for (uint32_t id : qAsConst(added))
        statMap[id].shown = true;
    if (statModel->rowCount() < sortedIds.size())
        statModel->setRowCount(sortedIds.size());
    return first;
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

int FrameStatistics::rowOf(uint32_t id) const
{
    return int(std::lower_bound(sortedIds.cbegin(), sortedIds.cend(), id) - sortedIds.cbegin());
}

void FrameStatistics::writeRow(int row, const StatEntry &entry)
{
    setCell(row, 0, hexText(entry.id, 8));
    setCell(row, 1, hexText(entry.length, 2));
    setCell(row, 2, QString::number(entry.count));
    setCell(row, 3, frameText(entry.last));
}

// Texts change in place, so the view keeps its selection and scroll position; an unchanged text
// emits nothing. Rows added at the end start without items.
void FrameStatistics::setCell(int row, int column, const QString &text)
{
    if (QStandardItem *item = statModel->item(row, column)) {
        item->setText(text);
        return;
    }
    auto *item = new QStandardItem(text);
    if (column < CenteredColumns)
        item->setTextAlignment(Qt::AlignCenter);
    statModel->setItem(row, column, item);
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
