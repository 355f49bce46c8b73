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
constexpr int MaxDataBytes = 8;

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

bool SignalTrace::valueOf(const LogRecord &record, double *value) const
{
    if (!owner->matches(record.id, record.frame & CanPacket::Extended) ||
        (record.rtl & RemoteMask) != 0 || record.time == TimedPacket::NoTime)
        return false;
    const int length = qMin(record.rtl & LengthMask, MaxDataBytes);
    return owner->isActive(index, record.data, length) &&
           signal().decode(record.data, length, value);
}

void SignalTrace::add(const LogRecord &record, qint64 origin)
{
    double value = 0;
    if (valueOf(record, &value))
        data->add(QCPGraphData(secondsSince(record.time, origin), value));
    ++done;
}

void SignalTrace::read(const RowSnapshot &rows, qint64 from, qint64 to, qint64 origin,
                       QCPGraphDataContainer *into, const std::atomic<bool> *cancel) const
{
    LogRecord record;
    double value = 0;
    for (qint64 row = from; row < to; ++row) {
        if (row % CancelStep == 0 && cancel && *cancel)
            return;
        if (rows.read(row, &record) && valueOf(record, &value))
            into->add(QCPGraphData(secondsSince(record.time, origin), value));
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
