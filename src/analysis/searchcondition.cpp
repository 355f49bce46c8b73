// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/searchcondition.h"

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

} // namespace

QString SearchCondition::text() const
{
    switch (kind) {
    case Equal:
        return QStringLiteral("равно %1").arg(number(a));
    case Between:
        return QStringLiteral("между %1 и %2").arg(number(a), number(b));
    case Rose:
        return QStringLiteral("выросло");
    case Fell:
        return QStringLiteral("уменьшилось");
    case Unchanged:
        return QStringLiteral("не изменилось");
    case Changed:
        return QStringLiteral("изменилось");
    case ChangedBy:
        return QStringLiteral("изменилось на %1").arg(number(a));
    case NonDecreasing:
        return QStringLiteral("не убывало");
    case NonIncreasing:
        return QStringLiteral("не возрастало");
    case ChangedAtMost:
        return QStringLiteral("менялось не больше %1 раз").arg(count);
    }
    return QString();
}
