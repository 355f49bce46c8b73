// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/framestatistics.h"

#include "link/timedpacket.h"
#include "link/timeofday.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int InitialRows = 32;
constexpr int RowStep = 10;
// More new identifiers than this in one refresh are merged in at once: inserting rows one by one
// costs the model and its views time in proportion to the rows below each insertion.
constexpr int BulkInsert = 16;
} // namespace

FrameStatistics::FrameStatistics(QObject *parent) : QObject(parent), rows(InitialRows)
{
}

void FrameStatistics::count(const CanPacket &packet)
{
    count(TimedPacket{TimeOfDay::nowUsec(), packet});
}

// Called for every frame on the bus: no text, no model, only the entry and a note to redraw it.
void FrameStatistics::count(const TimedPacket &frame)
{
    count(frame, -1);
}

void FrameStatistics::count(const TimedPacket &frame, qint32 entryIndex)
{
    const CanPacket &packet = frame.packet;
    const uint32_t id = packet.id; // a copy: a packed field must not be bound to a reference
    const Key key = keyOf(id, packet.isExtended());
    const qint64 time = frame.time == TimedPacket::NoTime ? TimeOfDay::nowUsec() : frame.time;
    newest = qMax(newest, time);
    const qint32 index =
        entryIndex >= 0 ? entryIndex : ids.add(KeyIndex::key(id, packet.isExtended()));
    if (size_t(index) == entries.size())
        entries.emplace_back();
    StatEntry &entry = entries[size_t(index)];
    entry.id = id;
    entry.extended = packet.isExtended();
    entry.length = uint8_t(packet.length());
    ++entry.count;
    entry.frame = packet.frame;
    entry.rtl = packet.rtl;
    entry.figures.add(packet, time);
    if (!entry.changed) {
        entry.changed = true;
        changedKeys.append(key);
    }
}

CanPacket FrameStatistics::StatEntry::lastFrame() const
{
    CanPacket packet;
    packet.id = id;
    packet.frame = frame;
    packet.rtl = rtl;
    std::memcpy(packet.data, figures.lastData(), IdFigures::DataBytes);
    if (const quint8 *more = figures.lastWideData())
        std::memcpy(packet.data + IdFigures::DataBytes, more,
                    IdFigures::MaxBytes - IdFigures::DataBytes);
    return packet;
}

void FrameStatistics::refresh()
{
    refresh(readingTime());
}

qint64 FrameStatistics::readingTime() const
{
    return readClock == Clock::Capture ? newest : TimeOfDay::nowUsec();
}

// New identifiers get their rows first, with the notifications views need for that. The rows
// counted since are then announced at once: texts are made when a view asks for a row, so only
// the rows in sight cost anything.
void FrameStatistics::refresh(qint64 now)
{
    emit readAt(now);
    if (changedKeys.isEmpty())
        return;
    int top = placeNewIds();
    int bottom = top < sortedKeys.size() ? sortedKeys.size() - 1 : -1;
    for (Key key : qAsConst(changedKeys)) {
        at(key).changed = false;
        const int row = rowOf(key);
        top = qMin(top, row);
        bottom = qMax(bottom, row);
    }
    changedKeys.clear();
    if (top <= bottom)
        emit rowsChanged(top, bottom);
    fitRowCount();
}

// Gives every identifier counted for the first time its row. Returns the first row that shows
// another identifier than before (rows moved after many identifiers were merged in at once), or
// past the end.
int FrameStatistics::placeNewIds()
{
    QVector<Key> added;
    for (Key key : qAsConst(changedKeys)) {
        if (!at(key).shown)
            added.append(key);
    }
    if (added.size() > BulkInsert)
        return showMany(std::move(added));
    for (Key key : qAsConst(added)) {
        const int row = rowOf(key);
        insertRows(row, 1, [&] {
            at(key).shown = true;
            sortedKeys.insert(row, key);
            ++rows;
        });
    }
    return sortedKeys.size();
}

// Merges many new identifiers into the order at once; the rows gained are added at the end with
// a single notification. Returns the first row that now shows another identifier.
int FrameStatistics::showMany(QVector<Key> added)
{
    std::sort(added.begin(), added.end());
    QVector<Key> merged(sortedKeys.size() + added.size());
    std::merge(sortedKeys.cbegin(), sortedKeys.cend(), added.cbegin(), added.cend(),
               merged.begin());
    const int first =
        int(std::lower_bound(merged.cbegin(), merged.cend(), added.first()) - merged.cbegin());
    for (Key key : qAsConst(added))
        at(key).shown = true;
    // Empty rows first, then the texts move: views see an insertion of empty rows at the end
    // and a change of the rows above, never rows changing inside an insertion.
    const int wanted = merged.size();
    if (rows < wanted)
        insertRows(rows, wanted - rows, [&] { rows = wanted; });
    sortedKeys = std::move(merged);
    return first;
}

void FrameStatistics::clear(Clock clock)
{
    readClock = clock;
    newest = 0;
    emit aboutToReset();
    entries.clear();
    ids.clear();
    sortedKeys.clear();
    changedKeys.clear();
    rows = InitialRows;
    emit wasReset();
}

const FrameStatistics::StatEntry *FrameStatistics::entry(uint32_t id, bool extended) const
{
    const qint32 index = ids.find(KeyIndex::key(id, extended));
    return index < 0 ? nullptr : &entries[size_t(index)];
}

const FrameStatistics::StatEntry *FrameStatistics::entryAt(int row) const
{
    if (row < 0 || row >= sortedKeys.size())
        return nullptr;
    const qint32 index = ids.find(indexKey(sortedKeys.at(row)));
    return index < 0 ? nullptr : &entries[size_t(index)];
}

// The table grows by a step whenever the last row gets used, so there is always an empty row
// below the last identifier; it never shrinks, because identifiers only come and never go.
int FrameStatistics::rowsFor(int ids)
{
    if (ids < InitialRows)
        return InitialRows;
    return InitialRows + RowStep * ((ids - InitialRows) / RowStep + 1);
}

int FrameStatistics::rowOf(Key key) const
{
    return int(std::lower_bound(sortedKeys.cbegin(), sortedKeys.cend(), key) - sortedKeys.cbegin());
}

// Inserting pushed empty rows past the end; trim or extend them to what the growth rule gives.
void FrameStatistics::fitRowCount()
{
    const int wanted = rowsFor(sortedKeys.size());
    if (rows > wanted)
        removeRows(wanted, rows - wanted, [&] { rows = wanted; });
    else if (rows < wanted)
        insertRows(rows, wanted - rows, [&] { rows = wanted; });
}

void FrameStatistics::insertRows(int first, int count, const std::function<void()> &apply)
{
    emit rowsAboutToBeInserted(first, count);
    apply();
    emit rowsInserted();
}

void FrameStatistics::removeRows(int first, int count, const std::function<void()> &apply)
{
    emit rowsAboutToBeRemoved(first, count);
    apply();
    emit rowsRemoved();
}
