// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/decodedsignal.h"

#include "link/canpacket.h"
#include "signals/dbcmessage.h"

#include <cmath>

namespace {
constexpr double ExactIntegers = 1e15; // below this a double holds every whole number exactly
constexpr int Digits = 12;
} // namespace

QString DecodedSignal::number(double value)
{
    if (std::isfinite(value) && std::floor(value) == value && std::fabs(value) < ExactIntegers)
        return QString::number(qint64(value));
    return QString::number(value, 'g', Digits);
}

int DecodedSignal::dataLength(const CanPacket &packet)
{
    return packet.isRemote() ? 0 : packet.dataLength();
}

QString DecodedSignal::valueText() const
{
    const QString text = number(value);
    return signal->unit.isEmpty() ? text : text + QLatin1Char(' ') + signal->unit;
}

QString DecodedSignal::rawText() const
{
    if (signal->valueType == DbcSignal::ValueType::Integer && signal->isSigned)
        return QString::number(signal->integer(raw));
    return QString::number(raw);
}

QString DecodedSignal::labelText() const
{
    const QString *label = signal->valueText(raw);
    return label ? *label : QString();
}

QString DecodedSignal::rangeText() const
{
    return QStringLiteral("[%1 .. %2]").arg(number(signal->minimum), number(signal->maximum));
}

QVector<DecodedSignal> DecodedSignal::decode(const DbcMessage &message, const CanPacket &packet)
{
    QVector<DecodedSignal> found;
    const int length = dataLength(packet);
    if (length == 0)
        return found;
    for (int i = 0; i < int(message.signalList.size()); ++i) {
        const DbcSignal &signal = message.signalList[size_t(i)];
        if (!signal.isPresent(length) || !message.isActive(i, packet.data, length))
            continue;
        const uint64_t raw = signal.bits(packet.data);
        found.append(DecodedSignal{&signal, i, signal.physical(raw), raw});
    }
    return found;
}

QString DecodedSignal::summary(const DbcMessage &message, const CanPacket &packet)
{
    QString text = message.name;
    for (const DecodedSignal &each : decode(message, packet)) {
        text += QStringLiteral("\n%1 = %2").arg(each.signal->name, each.valueText());
        const QString label = each.labelText();
        if (!label.isEmpty())
            text += QStringLiteral(" (%1)").arg(label);
    }
    return text;
}
