// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/triggerrule.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

namespace {

bool readHex(QString text, uint32_t &value)
{
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    bool ok = false;
    value = text.toUInt(&ok, 16);
    return ok && !text.isEmpty();
}

bool readSeconds(const QString &text, qint64 &us)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || seconds < 0 || seconds > TriggerRule::MaxWindow)
        return false;
    us = qint64(seconds * 1e6 + 0.5);
    return true;
}

// Hex digits, two a byte; at most `room` bytes.
bool readBytes(const QString &text, int room, QByteArray &bytes)
{
    bytes = QByteArray::fromHex(text.toLatin1());
    return bytes.size() * 2 == text.size() && bytes.size() <= room;
}

bool readId(const QString &value, TriggerRule &rule)
{
    const QStringList parts = value.split(QLatin1Char('/'));
    rule.idMask = 0x1FFFFFFF;
    return parts.size() <= 2 && readHex(parts[0], rule.id) &&
           (parts.size() == 1 || readHex(parts[1], rule.idMask));
}

// "data" or "data@N": where the bytes of a data word begin.
bool readDataStart(const QString &key, int &start)
{
    start = 0;
    if (key == QLatin1String("data"))
        return true;
    if (!key.startsWith(QLatin1String("data@")))
        return false;
    bool ok = false;
    start = key.mid(5).toInt(&ok);
    return ok && start >= 0 && start < CanPacket::MaxFdBytes;
}

bool readData(int start, const QString &value, TriggerRule &rule)
{
    const QStringList parts = value.split(QLatin1Char('/'));
    const int room = CanPacket::MaxFdBytes - start;
    QByteArray bytes;
    QByteArray mask;
    if (parts.size() > 2 || !readBytes(parts[0], room, bytes))
        return false;
    if (parts.size() == 1)
        mask.fill(char(0xFF), bytes.size());
    else if (!readBytes(parts[1], room, mask) || mask.size() != bytes.size())
        return false;
    std::copy(bytes.cbegin(), bytes.cend(), rule.data + start);
    std::copy(mask.cbegin(), mask.cend(), rule.dataMask + start);
    if (!bytes.isEmpty())
        rule.dataLength = std::max(rule.dataLength, start + int(bytes.size()));
    return true;
}

bool readSignal(const QString &value, TriggerRule &rule)
{
    static const QRegularExpression form(
        QStringLiteral("^([A-Za-z_][\\w.]*)\\s*(>=|<=|>|<|=)\\s*([-+0-9.eE]+)$"));
    const auto match = form.match(value);
    if (!match.hasMatch())
        return false;
    rule.signalName = match.captured(1);
    const QString op = match.captured(2);
    rule.compare = op == QLatin1String(">")    ? TriggerRule::Compare::Above
                   : op == QLatin1String("<")  ? TriggerRule::Compare::Below
                   : op == QLatin1String(">=") ? TriggerRule::Compare::AtLeast
                   : op == QLatin1String("<=") ? TriggerRule::Compare::AtMost
                                               : TriggerRule::Compare::Equal;
    bool ok = false;
    rule.threshold = match.captured(3).toDouble(&ok);
    return ok;
}

// A file name part: letters, digits, '-' and '_' only.
bool plainName(const QString &name)
{
    static const QRegularExpression form(QStringLiteral("^[\\w-]{1,64}$"));
    return form.match(name).hasMatch();
}

bool readWord(const QString &key, const QString &value, TriggerRule &rule, bool &kindSet)
{
    if (key == QLatin1String("pre"))
        return readSeconds(value, rule.preUs);
    if (key == QLatin1String("post"))
        return readSeconds(value, rule.postUs);
    if (key == QLatin1String("name")) {
        rule.name = value;
        return plainName(value);
    }
    int start = 0;
    if (readDataStart(key, start))
        return readData(start, value, rule);
    kindSet = true;
    if (key == QLatin1String("id"))
        return readId(value, rule);
    if (key == QLatin1String("fd")) {
        rule.fdOnly = true;
        return value.isNull();
    }
    if (key == QLatin1String("signal")) {
        rule.kind = TriggerRule::Kind::Signal;
        return readSignal(value, rule);
    }
    if (key == QLatin1String("lost") || key == QLatin1String("manual")) {
        rule.kind =
            key == QLatin1String("lost") ? TriggerRule::Kind::Lost : TriggerRule::Kind::Manual;
        return value.isNull();
    }
    return false;
}

} // namespace

bool TriggerRule::parse(const QString &text, TriggerRule &rule, QString &error)
{
    rule = TriggerRule();
    bool kindSet = false;
    // "signal=RPM > 3000" reads as "signal=RPM>3000".
    static const QRegularExpression spacedOperator(QStringLiteral("\\s*(>=|<=|>|<)\\s*"));
    QString joined = text.simplified();
    joined.replace(spacedOperator, QStringLiteral("\\1"));
    const QStringList words = joined.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &word : words) {
        const int equals = word.indexOf(QLatin1Char('='));
        const QString key = equals < 0 ? word : word.left(equals);
        const QString value = equals < 0 ? QString() : word.mid(equals + 1);
        if (!readWord(key, value, rule, kindSet)) {
            error = QStringLiteral("cannot read \"%1\"").arg(word);
            return false;
        }
    }
    if (!kindSet && rule.dataLength == 0) {
        error = QStringLiteral("no event: id=, data=, fd, signal=, lost or manual");
        return false;
    }
    return true;
}

bool TriggerRule::matchFrame(const CanPacket &packet) const
{
    if (kind != Kind::Frame || ((packet.id ^ id) & idMask) != 0 || (fdOnly && !packet.isFd()))
        return false;
    if (dataLength > 0 && (packet.isRemote() || packet.dataLength() < dataLength))
        return false;
    for (int i = 0; i < dataLength; ++i) {
        if (((packet.data[i] ^ data[i]) & dataMask[i]) != 0)
            return false;
    }
    return true;
}

bool TriggerRule::holds(double value) const
{
    switch (compare) {
    case Compare::Above:
        return value > threshold;
    case Compare::Below:
        return value < threshold;
    case Compare::AtLeast:
        return value >= threshold;
    case Compare::AtMost:
        return value <= threshold;
    case Compare::Equal:
        return value == threshold;
    }
    return false;
}
