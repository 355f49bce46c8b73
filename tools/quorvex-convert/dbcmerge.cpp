// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbcmerge.h"

#include "signals/dbcdatabase.h"
#include "signals/dbcwriter.h"

#include <cstdio>

namespace {

void say(const QString &text)
{
    std::fprintf(stderr, "quorvex-convert: %s\n", text.toLocal8Bit().constData());
}

} // namespace

bool DbcMerge::checkUsage(const QStringList &dbcFiles, const QStringList &positional)
{
    if (dbcFiles.isEmpty())
        say(QStringLiteral("--write-dbc needs at least one --dbc FILE"));
    else if (!positional.isEmpty())
        say(QStringLiteral("--write-dbc takes no capture files"));
    return !dbcFiles.isEmpty() && positional.isEmpty();
}

bool DbcMerge::run(const QStringList &dbcFiles, const QString &output)
{
    DbcDatabase database;
    for (const QString &path : dbcFiles) {
        if (!database.load(path)) {
            say(database.errors().last().text + QStringLiteral(": ") + path);
            return false;
        }
    }
    for (const DbcError &error : database.errors())
        say(QStringLiteral("%1: %2").arg(error.file, error.text));
    QString why;
    if (!DbcWriter::save(database, output, &why)) {
        say(QStringLiteral("cannot write %1: %2").arg(output, why));
        return false;
    }
    return true;
}
