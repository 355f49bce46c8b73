// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbcattributedef.h"
#include "signals/dbcenvvar.h"
#include "signals/dbcerror.h"
#include "signals/dbcgroupindex.h"
#include "signals/dbcmessage.h"
#include "signals/dbcnode.h"
#include "signals/dbctext.h"
#include "signals/dbcvaluetable.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <cstdint>
#include <vector>

class DbcReader;

// What one or more DBC files say about a CAN network. Each load adds to what is there: a
// message defined again (by its identifier) replaces the earlier one, with a warning. Pointers
// and references into the database stay valid until the next load or clear.
class DbcDatabase final
{
public:
    // Reads a file; false (with an error entry) when it cannot be read. Broken statements are
    // listed in errors() and skipped; the rest is still read.
    bool load(const QString &path);
    // Reads DBC text, UTF-8 when it is valid UTF-8, otherwise Windows-1252.
    void read(const QByteArray &text, const QString &fileName = QString());
    void clear();

    // The message of a frame, or null; a hash lookup. A 29-bit frame no message names exactly
    // may still belong to a J1939 parameter group by its PGN (DbcGroupIndex).
    const DbcMessage *message(uint32_t id, bool extended) const;
    const std::vector<DbcMessage> &messages() const { return messageList; }
    const QVector<DbcNode> &nodes() const { return nodeList; }
    const DbcNode *node(const QString &name) const;
    const QHash<QString, DbcValueTable> &valueTables() const { return tables; }
    const QHash<QString, DbcAttributeDef> &attributeDefs() const { return attributeDefList; }
    const QHash<QString, QString> &networkAttributes() const { return networkAttributeList; }
    // Edits; pointers into the database are gone after each. A message takes the place of the
    // one with its identifier, or goes in at `position` (the end when -1). Its VFrameFormat is
    // made to say what its `fd` says, the attribute defined (and the labels it needs added) as
    // the field's tools write it.
    void putMessage(DbcMessage message, int position = -1);
    // Removes a message; its former position, or -1 when there was none.
    int removeMessage(uint32_t id, bool extended);
    int messagePosition(uint32_t id, bool extended) const
    {
        return messageIndex.value(key(id, extended), -1);
    }
    // Whether a VFrameFormat label names a CAN FD frame ("StandardCAN_FD", "ExtendedCAN_FD").
    static bool matchFdFormat(const QString &label);

    // Adds a node to BU_ unless it is there.
    void addNodeName(const QString &name) { addNode(name); }

    const QVector<DbcEnvVar> &envVars() const { return envVarList; }
    const DbcEnvVar *envVar(const QString &name) const;
    QString version() const { return versionText; }
    QString comment() const { return networkComment; }
    const QVector<DbcError> &errors() const { return errorList; }
    // Broken statements of `file` the reader skipped: what saving over it would lose.
    int skippedStatements(const QString &file) const;
    // Windows-1252 when the files read were in that code page, else UTF-8.
    DbcText::Encoding encoding() const { return textEncoding; }

private:
    friend class DbcReader;

    std::vector<DbcMessage> messageList;
    QHash<uint32_t, int> messageIndex; // key: id | ExtendedKey
    DbcGroupIndex groupIndex;          // J1939 parameter groups by PGN
    QVector<DbcNode> nodeList;
    QHash<QString, DbcValueTable> tables;
    QHash<QString, DbcAttributeDef> attributeDefList;
    QHash<QString, QString> networkAttributeList;
    QVector<DbcEnvVar> envVarList;
    QString versionText;
    QString networkComment;
    QVector<DbcError> errorList;
    DbcText::Encoding textEncoding = DbcText::Encoding::Utf8;
    bool readUtf8Text = false; // a file with more than ASCII in UTF-8 was read

    static constexpr uint32_t ExtendedKey = 0x80000000u;
    static uint32_t key(uint32_t id, bool extended) { return id | (extended ? ExtendedKey : 0); }
    DbcMessage *mutableMessage(uint32_t id, bool extended);
    DbcNode *mutableNode(const QString &name);
    DbcEnvVar *mutableEnvVar(const QString &name);
    // Adds a message; returns false when it replaced one with the same identifier.
    bool addMessage(DbcMessage message, DbcMessage **stored);
    void addNode(const QString &name);
    void applyDefaults();
    void settleFrameFormat(DbcMessage &message);
    QString frameFormatLabel(bool fd, bool extended);
    void rebuildIndex();
    void indexGroups();
};
