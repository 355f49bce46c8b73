// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbcdatabase.h"

#include <QStringList>

// The DBC files the user loaded, read into one database. Loading never asks anything: what went
// wrong comes back as texts ready for the status bar.
class SignalSet final
{
public:
    // Reads the files again from scratch, in order (a later file's message replaces an earlier
    // one). Returns one text per file that is missing or has broken statements.
    QStringList load(const QStringList &paths);
    void clear();

    const DbcDatabase &database() const { return db; }
    // For edits by hand; whoever changes it tells the set's users.
    DbcDatabase &editableDatabase() { return db; }
    const QStringList &files() const { return paths; }
    bool isEmpty() const { return db.messages().empty(); }
    const DbcMessage *message(uint32_t id, bool extended) const { return db.message(id, extended); }
    // "DBC: 2 файла, 41 сообщение" or the problem of the first failing file.
    QString summary(const QStringList &problems) const;

private:
    QString problemOf(const QString &path) const;

    DbcDatabase db;
    QStringList paths;
};
