// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/signaltrace.h"

#include "log/logrecord.h"
#include "signals/dbcmessage.h"

#include <qcustomplot.h>

namespace {
constexpr double UsecPerSecond = 1e6;
constexpr qint64 CancelStep = 4096; // rows between looks at the cancel flag
constexpr int LengthMask = 0x0F;
constexpr int RemoteMask = 0xF0;
constexpr int MaxDataBytes = 8; // in the row itself

double secondsSince(qint64 time, qint64 origin)
{
    return double(time - origin) / UsecPerSecond;
}
} // namespace

SignalTrace::SignalTrace(const DbcMessage *message, int signalIndex)
    : owner(message), index(signalIndex), data(new QCPGraphDataContainer)
{
}

SignalTrace::~SignalTrace()
{
    stop();
}

const DbcSignal &SignalTrace::signal() const
{
    return owner->signalList[size_t(index)];
}

QString SignalTrace::title() const
{
    const QString name = owner->name + QLatin1Char('.') + signal().name;
    return signal().unit.isEmpty() ? name : name + QStringLiteral(", ") + signal().unit;
}

bool SignalTrace::decode(const uint8_t *bytes, int length, double *value) const
{
    return owner->isActive(index, bytes, length) && signal().decode(bytes, length, value);
}

bool SignalTrace::valueOf(const TimedPacket &frame, double *value) const
{
    const CanPacket &packet = frame.packet;
    return owner->matches(packet.id, packet.isExtended()) && !packet.isRemote() &&
           frame.time != TimedPacket::NoTime && decode(packet.data, packet.dataLength(), value);
}

void SignalTrace::add(const TimedPacket &frame, qint64 origin)
{
    double value = 0;
    if (valueOf(frame, &value))
        data->add(QCPGraphData(secondsSince(frame.time, origin), value));
    ++done;
}

// Rows of other messages cost one look at the row; only an FD row of this one over eight bytes
// is read whole.
bool SignalTrace::valueAt(const RowSnapshot &rows, qint64 row, qint64 *time, double *value) const
{
    LogRecord record;
    if (!rows.read(row, &record) ||
        !owner->matches(record.id, record.frame & CanPacket::Extended) ||
        (record.rtl & RemoteMask) != 0 || record.time == TimedPacket::NoTime)
        return false;
    *time = record.time;
    if (!record.hasTail())
        return decode(record.data, qMin(record.rtl & LengthMask, MaxDataBytes), value);
    TimedPacket frame;
    return rows.readFrame(row, &frame) &&
           decode(frame.packet.data, frame.packet.dataLength(), value);
}

void SignalTrace::read(const RowSnapshot &rows, qint64 from, qint64 to, qint64 origin,
                       QCPGraphDataContainer *into, const std::atomic<bool> *cancel) const
{
    qint64 time = 0;
    double value = 0;
    for (qint64 row = from; row < to; ++row) {
        if (row % CancelStep == 0 && cancel && *cancel)
            return;
        if (valueAt(rows, row, &time, &value))
            into->add(QCPGraphData(secondsSince(time, origin), value));
    }
}

void SignalTrace::collect(RowSnapshot rows, qint64 to, qint64 origin,
                          std::function<void()> finished)
{
    stop();
    cancel = false;
    collected.reset(new QCPGraphDataContainer);
    collectedTo = to;
    const qint64 from = done;
    worker = std::thread([this, rows = std::move(rows), from, to, origin, finished] {
        read(rows, from, to, origin, collected.data(), &cancel);
        finished();
    });
}

void SignalTrace::adopt()
{
    if (!worker.joinable())
        return;
    worker.join();
    if (cancel || !collected)
        return;
    if (data->isEmpty())
        data.swap(collected); // the whole capture at once: no copy
    else
        data->add(*collected);
    collected.reset();
    done = collectedTo;
}

void SignalTrace::reset()
{
    stop();
    data.reset(new QCPGraphDataContainer);
    done = 0;
}

void SignalTrace::stop()
{
    cancel = true;
    if (worker.joinable())
        worker.join();
    collected.reset();
}
