// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/hugepageallocator.h"
#include "analysis/idfigures.h"
#include "analysis/keyindex.h"
#include "link/canpacket.h"

#include <QObject>
#include <QVector>
#include <functional>
#include <vector>

struct TimedPacket;

// Frames counted per identifier (per id and format: 11-bit and 29-bit are told apart), laid out
// as the rows of a table sorted by identifier, with empty rows below the last one. Counting is
// cheap and changes no row; refresh() brings the rows up to date, touching only those that
// changed, so the cost per frame does not grow with the number of identifiers.
//
// What reads the rows (a table model) follows them through the signals: a structure change is
// announced before and after it is made, as item models need; changed rows after the refresh.
class FrameStatistics final : public QObject
{
    Q_OBJECT

public:
    using Key = quint64; // the identifier, then the format bit: the table's order

    struct StatEntry
    {
        uint32_t id = 0;
        bool extended = false;
        uint8_t length = 0;
        // The latest frame's flags and length code; its bytes are in `figures`.
        uint8_t frame = 0;
        uint8_t rtl = 0;
        quint64 count = 0;
        IdFigures figures;
        bool changed = false;
        bool shown = false; // has its row in the table

        // The latest frame, made when the table or the bit view asks for it: a copy per frame
        // received would cost every frame its 64 bytes.
        CanPacket lastFrame() const;
    };

    static Key keyOf(uint32_t id, bool extended) { return (Key(id) << 1) | (extended ? 1 : 0); }

    // The moment rates, fading and silences are read at: the host's clock for a live bus; for a
    // capture opened from a file, its newest frame, so the table shows the capture as it ended
    // rather than hours of silence since.
    enum class Clock { Wall, Capture };

    explicit FrameStatistics(QObject *parent = nullptr);

    // A frame seen now, and one seen at `frame.time` (microseconds since the epoch).
    void count(const CanPacket &packet);
    void count(const TimedPacket &frame);
    // The same, `entryIndex` being what prefetchEntry() returned for the frame's key: the frame
    // then costs no second lookup. -1 looks the identifier up.
    void count(const TimedPacket &frame, qint32 entryIndex);
    // Fetching ahead for a frame of `key` (KeyIndex::key()) counted a few frames later: its
    // identifier's slot first, then, once the slot is near, its entry, whose index it returns
    // (-1 for an identifier not counted yet).
    void prefetchSlot(quint32 key) const { ids.prefetch(key); }
    qint32 prefetchEntry(quint32 key) const { return ids.prefetch(key, entries); }
    // Brings the table up to date; `now` is the moment rates and silences are read at.
    void refresh();
    void refresh(qint64 now);
    void clear(Clock clock = Clock::Wall);
    qint64 readingTime() const;

    int idCount() const { return int(entries.size()); }
    const StatEntry *entry(uint32_t id, bool extended = false) const;
    // The identifier of table row `row`; null for the empty rows below the last one.
    const StatEntry *entryAt(int row) const;
    // Rows of the table, the empty ones below the last identifier included.
    int tableRows() const { return rows; }

signals:
    // Rows [first, first + count) are about to be inserted or removed, and then were; every
    // row about to change, and then changed (a clear).
    void rowsAboutToBeInserted(int first, int count);
    void rowsInserted();
    void rowsAboutToBeRemoved(int first, int count);
    void rowsRemoved();
    void aboutToReset();
    void wasReset();
    // Rows top..bottom show other figures now.
    void rowsChanged(int top, int bottom);
    // The moment the latest refresh read rates and silences at.
    void readAt(qint64 now);

private:
    static int rowsFor(int ids);
    int placeNewIds();
    int showMany(QVector<Key> added);
    int rowOf(Key key) const;
    void fitRowCount();
    void insertRows(int first, int count, const std::function<void()> &apply);
    void removeRows(int first, int count, const std::function<void()> &apply);

    StatEntry &at(Key key) { return entries[size_t(ids.find(indexKey(key)))]; }
    static quint32 indexKey(Key key) { return KeyIndex::key(quint32(key >> 1), key & 1); }

    std::vector<StatEntry, HugePageAllocator<StatEntry>> entries; // in the order identifiers came
    KeyIndex ids;
    QVector<Key> sortedKeys;  // identifiers shown, ascending: row i shows sortedKeys[i]
    QVector<Key> changedKeys; // identifiers counted since the last refresh
    int rows;
    Clock readClock = Clock::Wall;
    qint64 newest = 0; // the latest frame time counted
};
