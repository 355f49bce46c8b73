#pragma once

#include "link/canpacket.h"

#include <QHash>
#include <QVector>

class QObject;
class QStandardItemModel;

// Frames counted per identifier, shown as a table sorted by identifier: "ID", "Length", "Number",
// "Packet" (the text of the latest frame). Counting is cheap and does not touch the table;
// refresh() brings the table up to date, touching only the rows that changed, so the cost per frame
// does not grow with the number of identifiers.
class FrameStatistics final
{
public:
    struct StatEntry
    {
        uint32_t id = 0;
        uint8_t length = 0;
        quint64 count = 0;
        CanPacket last; // the latest frame; its text is made when the table is refreshed
        bool changed = false;
        bool shown = false; // has its row in the table
    };

    explicit FrameStatistics(QObject *modelParent);

    void count(const CanPacket &packet);
    void refresh();
    void clear();

    QStandardItemModel *model() const { return statModel; }
    int idCount() const { return int(statMap.size()); }
    const StatEntry *entry(uint32_t id) const;

private:
    Q_DISABLE_COPY(FrameStatistics) // the model belongs to modelParent; one owner of its rows

    static int rowsFor(int ids);
    int placeNewIds();
    int showMany(QVector<uint32_t> added);
    int rowOf(uint32_t id) const;
    void writeRow(int row, const StatEntry &entry);
    void setCell(int row, int column, const QString &text);
    void insertRow(int row);
    void fitRowCount();
    void setHeaders();

    QStandardItemModel *statModel;
    QHash<uint32_t, StatEntry> statMap;
    QVector<uint32_t> sortedIds;  // identifiers shown, ascending: row i shows sortedIds[i]
    QVector<uint32_t> changedIds; // identifiers counted since the last refresh
};
