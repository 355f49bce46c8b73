// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbctext.h"

#include <QByteArray>
#include <QHash>
#include <QString>

class DbcDatabase;
struct DbcAttributeDef;
struct DbcMessage;
struct DbcSignal;

// Writes a database as DBC text that the reader, and the field's other tools, read back to the
// same database. Sections come in the usual order; within a section messages, signals and nodes
// keep their order and everything kept in hashes is sorted by name, so one database always gives
// the same bytes.
class DbcWriter final
{
public:
    explicit DbcWriter(const DbcDatabase &database);

    QString text();
    // The text in the database's encoding (UTF-8 when the code page cannot hold it).
    QByteArray bytes(DbcText::Encoding *used = nullptr);
    // Replaces `path` only once the whole file is written; false with the reason otherwise.
    static bool save(const DbcDatabase &database, const QString &path, QString *error);

    // The shortest text that reads back to the same double.
    static QString number(double value);
    // A quoted string with quotes and backslashes escaped.
    static QString quoted(const QString &value);

private:
    const DbcDatabase &db;
    QString out;

    void header();
    void nodes();
    void valueTables();
    void message(const DbcMessage &message);
    void signalLine(const DbcSignal &signal);
    void appendNumber(double value);
    void appendQuoted(const QString &value);
    void senders();
    void envVars();
    void comments();
    void attributeDefs();
    void attributeDefaults();
    void attributes();
    void objectAttributes(const QHash<QString, QString> &values, const QString &object);
    void valueDescriptions();
    void valueTypes();
    void muxValues();
    QString attributeValue(const QString &name, const QString &value) const;
    QString definition(const DbcAttributeDef &def) const;
    static QString messageId(const DbcMessage &message);
};
