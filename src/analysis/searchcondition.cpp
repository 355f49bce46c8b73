// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/searchcondition.h"

#include <QCoreApplication>

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
        return QCoreApplication::translate("SearchCondition", "равно %1").arg(number(a));
    case Between:
        return QCoreApplication::translate("SearchCondition", "между %1 и %2")
            .arg(number(a), number(b));
    case Rose:
        return QCoreApplication::translate("SearchCondition", "выросло");
    case Fell:
        return QCoreApplication::translate("SearchCondition", "уменьшилось");
    case Unchanged:
        return QCoreApplication::translate("SearchCondition", "не изменилось");
    case Changed:
        return QCoreApplication::translate("SearchCondition", "изменилось");
    case ChangedBy:
        return QCoreApplication::translate("SearchCondition", "изменилось на %1").arg(number(a));
    case NonDecreasing:
        return QCoreApplication::translate("SearchCondition", "не убывало");
    case NonIncreasing:
        return QCoreApplication::translate("SearchCondition", "не возрастало");
    case ChangedAtMost:
        return QCoreApplication::translate("SearchCondition", "менялось не больше %1 раз")
            .arg(count);
    }
    return QString();
}
