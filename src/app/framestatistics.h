#pragma once

#include "analysis/idfigures.h"
#include "app/statisticsmodel.h"
#include "link/canpacket.h"

#include <QHash>
#include <QVector>

class QObject;
struct TimedPacket;

// Frames counted per identifier (per id and format: 11-bit and 29-bit are told apart), shown as a
// table sorted by identifier: "ID", "Length", "Number", "Packet" (the text of the latest frame),
// then the cycle times, the frame rate and the data bytes (see StatisticsModel). Counting is
// cheap and does not touch the table; refresh() brings the table up to date, touching only the
// rows that changed, so the cost per frame does not grow with the number of identifiers.
class FrameStatistics final
{
public:
    using Key = quint64; // the identifier, then the format bit: the table's order

    struct StatEntry
    {
        uint32_t id = 0;
        bool extended = false;
        uint8_t length = 0;
        quint64 count = 0;
        CanPacket last; // the latest frame; its text is made when the table asks for it
        IdFigures figures;
        bool changed = false;
        bool shown = false; // has its row in the table
    };

    static Key keyOf(uint32_t id, bool extended) { return (Key(id) << 1) | (extended ? 1 : 0); }

    // The moment rates, fading and silences are read at: the host's clock for a live bus; for a
    // capture opened from a file, its newest frame, so the table shows the capture as it ended
    // rather than hours of silence since.
    enum class Clock { Wall, Capture };

    explicit FrameStatistics(QObject *modelParent);

    // A frame seen now, and one seen at `frame.time` (microseconds since the epoch).
    void count(const CanPacket &packet);
    void count(const TimedPacket &frame);
    // Brings the table up to date; `now` is the moment rates and silences are read at.
    void refresh();
    void refresh(qint64 now);
    void clear(Clock clock = Clock::Wall);
    qint64 readingTime() const;

    StatisticsModel *model() const { return statModel; }
    int idCount() const { return int(statMap.size()); }
    const StatEntry *entry(uint32_t id, bool extended = false) const;
    // The identifier of table row `row`; null for the empty rows below the last one.
    const StatEntry *entryAt(int row) const;
    // Rows of the table, the empty ones below the last identifier included.
    int tableRows() const { return rows; }

private:
    Q_DISABLE_COPY(FrameStatistics) // the model belongs to modelParent; one owner of its rows

    static int rowsFor(int ids);
    int placeNewIds();
    int showMany(QVector<Key> added);
    int rowOf(Key key) const;
    void fitRowCount();

    StatisticsModel *statModel;
    QHash<Key, StatEntry> statMap;
    QVector<Key> sortedKeys;  // identifiers shown, ascending: row i shows sortedKeys[i]
    QVector<Key> changedKeys; // identifiers counted since the last refresh
    int rows;
    Clock readClock = Clock::Wall;
    qint64 newest = 0; // the latest frame time counted
};
