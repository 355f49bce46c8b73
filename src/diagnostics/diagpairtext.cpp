// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagpairtext.h"

#include <QStringList>

namespace {

constexpr uint32_t MaxStandardId = 0x7FF;
constexpr uint32_t MaxExtendedId = 0x1FFFFFFF;

QString idText(uint32_t id, bool extended)
{
    return QString::number(id, 16).toUpper().rightJustified(extended ? 8 : 3, '0');
}

std::optional<uint32_t> idOf(const QString &text, bool *extended)
{
    bool ok = false;
    const uint32_t id = text.trimmed().toUInt(&ok, 16);
    if (!ok || id > MaxExtendedId)
        return std::nullopt;
    *extended = *extended || id > MaxStandardId || text.trimmed().size() == 8;
    return id;
}

} // namespace

namespace DiagPairText {

QString toText(const DiagPair &pair)
{
    QString text =
        idText(pair.requestId, pair.extended) + '/' + idText(pair.responseId, pair.extended);
    if (pair.addressing == IsoTpAddressing::Extended)
        text += QStringLiteral("/extended");
    else if (pair.addressing == IsoTpAddressing::Mixed)
        text += QStringLiteral("/mixed");
    return text;
}

std::optional<DiagPair> fromText(const QString &text)
{
    const QStringList parts = text.split('/');
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    DiagPair pair;
    const auto request = idOf(parts[0], &pair.extended);
    const auto response = idOf(parts[1], &pair.extended);
    if (!request || !response)
        return std::nullopt;
    pair.requestId = *request;
    pair.responseId = *response;
    const QString addressing = parts.value(2).trimmed().toLower();
    if (addressing == QLatin1String("extended"))
        pair.addressing = IsoTpAddressing::Extended;
    else if (addressing == QLatin1String("mixed"))
        pair.addressing = IsoTpAddressing::Mixed;
    else if (!addressing.isEmpty() && addressing != QLatin1String("normal"))
        return std::nullopt;
    return pair;
}

} // namespace DiagPairText
