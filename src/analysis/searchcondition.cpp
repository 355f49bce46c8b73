// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/searchcondition.h"

#include <QCoreApplication>

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 12);
}

QString kindText(const SearchCondition &c)
{
    using C = SearchCondition;
    switch (c.kind) {
    case C::Equal:
        return QCoreApplication::translate("SearchCondition", "равно %1").arg(number(c.a));
    case C::Between:
        return QCoreApplication::translate("SearchCondition", "между %1 и %2")
            .arg(number(c.a), number(c.b));
    case C::Rose:
        return QCoreApplication::translate("SearchCondition", "выросло");
    case C::Fell:
        return QCoreApplication::translate("SearchCondition", "уменьшилось");
    case C::Unchanged:
        return QCoreApplication::translate("SearchCondition", "не изменилось");
    case C::Changed:
        return QCoreApplication::translate("SearchCondition", "изменилось");
    case C::ChangedBy:
        return QCoreApplication::translate("SearchCondition", "изменилось на %1").arg(number(c.a));
    case C::NonDecreasing:
        return QCoreApplication::translate("SearchCondition", "не убывало");
    case C::NonIncreasing:
        return QCoreApplication::translate("SearchCondition", "не возрастало");
    case C::ChangedAtMost:
        return QCoreApplication::translate("SearchCondition", "менялось не больше %1 раз")
            .arg(c.count);
    }
    return QString();
}

} // namespace

QString SearchCondition::text() const
{
    const QString plain = kindText(*this);
    if (!tolerant())
        return plain;
    const QString amount = percent ? number(tolerance) + QStringLiteral(" %") : number(tolerance);
    return QCoreApplication::translate("SearchCondition", "%1 (допуск %2)").arg(plain, amount);
}
