// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/signalset.h"

#include <QCoreApplication>
#include <QFileInfo>

QStringList SignalSet::load(const QStringList &paths)
{
    clear();
    this->paths = paths;
    QStringList problems;
    for (const QString &path : paths) {
        db.load(path);
        const QString problem = problemOf(path);
        if (!problem.isEmpty())
            problems.append(problem);
    }
    return problems;
}

void SignalSet::clear()
{
    db.clear();
    paths.clear();
}

// Warnings (a redefinition, a comment on nothing) do not make a file broken.
QString SignalSet::problemOf(const QString &path) const
{
    int count = 0;
    const DbcError *first = nullptr;
    for (const DbcError &error : db.errors()) {
        if (error.file != path || error.warning)
            continue;
        if (!first)
            first = &error;
        ++count;
    }
    if (!first)
        return QString();
    const QString name = QFileInfo(path).fileName();
    if (count == 1)
        return QStringLiteral("DBC %1: %2").arg(name, first->text);
    return QCoreApplication::translate("SignalSet", "DBC %1: ошибок %2, первая: %3")
        .arg(name)
        .arg(count)
        .arg(first->text);
}

QString SignalSet::summary(const QStringList &problems) const
{
    if (!problems.isEmpty())
        return problems.first();
    if (paths.isEmpty())
        return QCoreApplication::translate("SignalSet", "DBC не загружены");
    return QCoreApplication::translate("SignalSet", "DBC: файлов %1, сообщений %2")
        .arg(paths.size())
        .arg(db.messages().size());
}
