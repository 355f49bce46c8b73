// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/rowsnapshot.h"

#include <QSharedPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

class QCPGraphData;
template<class DataType> class QCPDataContainer;
using QCPGraphDataContainer = QCPDataContainer<QCPGraphData>;
struct DbcMessage;
struct DbcSignal;
struct TimedPacket;

// The points of one plotted signal: seconds since the plot's origin against the physical value,
// one per log row of its message that carries it. Rows are taken in log order, either a few at
// a time on the window's thread or, for a long backlog, from a snapshot on a thread of its own.
class SignalTrace final
{
public:
    SignalTrace(const DbcMessage *message, int signalIndex);
    ~SignalTrace();
    SignalTrace(const SignalTrace &) = delete;
    SignalTrace &operator=(const SignalTrace &) = delete;

    const DbcMessage *message() const { return owner; }
    int signalIndex() const { return index; }
    const DbcSignal &signal() const;
    // "Message.Signal, unit"
    QString title() const;

    QSharedPointer<QCPGraphDataContainer> points() const { return data; }
    // Log rows read so far: rows [0, rowsDone()) are in the points.
    qint64 rowsDone() const { return done; }
    bool isCollecting() const { return worker.joinable(); }

    // The point of the next log row, if its frame carries the signal.
    void add(const TimedPacket &frame, qint64 origin);
    // Reads rows [rowsDone(), to) of `rows` on a thread of its own; `finished` is then called on
    // that thread, and adopt() must follow on the owner's.
    void collect(RowSnapshot rows, qint64 to, qint64 origin, std::function<void()> finished);
    // Takes the collected points in after collect() finished.
    void adopt();
    // Forgets every point (the log was cleared or replaced); stops a collection first.
    void reset();

    // The signal's value in a frame, false when the frame does not carry it.
    bool valueOf(const TimedPacket &frame, double *value) const;
    // Reads rows [from, to) into `into`; stops early when `cancel` is set.
    void read(const RowSnapshot &rows, qint64 from, qint64 to, qint64 origin,
              QCPGraphDataContainer *into, const std::atomic<bool> *cancel) const;

private:
    void stop();
    bool decode(const uint8_t *bytes, int length, double *value) const;
    // The time and value of a row of the snapshot that carries the signal.
    bool valueAt(const RowSnapshot &rows, qint64 row, qint64 *time, double *value) const;

    const DbcMessage *owner;
    int index;
    QSharedPointer<QCPGraphDataContainer> data;
    QSharedPointer<QCPGraphDataContainer> collected; // filled by the worker
    qint64 done = 0;
    qint64 collectedTo = 0;
    std::atomic<bool> cancel{false};
    std::thread worker;
};
