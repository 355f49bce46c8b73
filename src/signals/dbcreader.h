// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbctokenizer.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <cstdint>
#include <vector>

class DbcDatabase;
struct DbcMessage;
struct DbcSignal;
class DbcValueTable;

// Reads one DBC text into a database in two passes over the tokens: first what defines things
// (nodes, messages with their signals, value tables, attribute definitions), then what refers to
// them (comments, attribute values, value descriptions, value types, multiplexing), so sections
// may come in any order. A statement that does not read is reported with its line and skipped
// to its ';' or to the next line that starts with a keyword.
class DbcReader final
{
public:
    DbcReader(DbcDatabase &database, const QString &text, const QString &fileName);
    void run();

private:
    enum class Pass { Definitions, References, Both };
    using Handler = bool (DbcReader::*)();
    struct Statement
    {
        const char *keyword;
        Pass pass;
        Handler handler; // null: skipped
        const char *error;
    };
    static const Statement statementList[];

    DbcDatabase &db;
    const QString &source;
    QString file;
    DbcTokenizer *lexer = nullptr;
    DbcTokenizer::Token current;
    Pass pass = Pass::Definitions;
    int statementLine = 0;
    int statementBegin = 0;
    int currentMessage = -1;
    bool ignoreSignals = false;
    QSet<int> definedHere;

    void runPass(Pass which);
    void statement();
    static const Statement *find(const QStringRef &word);
    void error(int line, const QString &text);
    void warning(int line, const QString &text);

    // Tokens.
    void advance() { current = lexer->next(); }
    QStringRef text() const { return lexer->text(current); }
    bool isPunct(char c) const;
    bool takePunct(char c);
    bool takeWord(QString *word);
    bool takeString(QString *value);
    bool takeNumber(double *value);
    bool takeInteger(qint64 *value);
    bool takeNumberText(QString *value);
    bool takeMessage(DbcMessage **message);
    bool takeSignal(DbcMessage **message, DbcSignal **signal);
    bool atStatementStart() const;
    bool atListWord() const;
    void skipStatement();
    bool endStatement();

    // Statements.
    bool readVersion();
    bool skipNamespace();
    bool readNodes();
    bool readValueTable();
    bool readMessage();
    bool readSignal();
    bool readMuxWord(DbcSignal &signal);
    bool readLayout(DbcSignal &signal);
    bool readScaling(DbcSignal &signal);
    bool readValuePairs(DbcValueTable &table);
    bool readComment();
    bool readAttributeDef();
    bool readAttributeDefault();
    bool readAttribute();
    bool readAttributeValue(const QString &name, QString *value);
    bool readAttributeObject(QHash<QString, QString> **target);
    bool readValueDescriptions();
    bool readValueType();
    bool readMuxValues();
    bool readEnvVar();
    bool readSenders();
    void finish();
};
