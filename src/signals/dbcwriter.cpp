// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcwriter.h"

#include "signals/dbcdatabase.h"

#include <QSaveFile>
#include <algorithm>
#include <charconv>

namespace {

constexpr uint32_t DbcExtendedBit = 0x80000000u;
const QString NoNode = QStringLiteral("Vector__XXX");
const char *const NamespaceWords[] = {"NS_DESC_",     "CM_",
                                      "BA_DEF_",      "BA_",
                                      "VAL_",         "CAT_DEF_",
                                      "CAT_",         "FILTER",
                                      "BA_DEF_DEF_",  "EV_DATA_",
                                      "ENVVAR_DATA_", "SGTYPE_",
                                      "SGTYPE_VAL_",  "BA_DEF_SGTYPE_",
                                      "BA_SGTYPE_",   "SIG_TYPE_REF_",
                                      "VAL_TABLE_",   "SIG_GROUP_",
                                      "SIG_VALTYPE_", "SIGTYPE_VALTYPE_",
                                      "BO_TX_BU_",    "BA_DEF_REL_",
                                      "BA_REL_",      "BA_DEF_DEF_REL_",
                                      "BU_SG_REL_",   "BU_EV_REL_",
                                      "BU_BO_REL_",   "SG_MUL_VAL_"};

template<typename Hash> QStringList sortedKeys(const Hash &hash)
{
    QStringList keys = hash.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

QString objectWord(DbcAttributeDef::Object object)
{
    switch (object) {
    case DbcAttributeDef::Object::Node:
        return QStringLiteral("BU_ ");
    case DbcAttributeDef::Object::Message:
        return QStringLiteral("BO_ ");
    case DbcAttributeDef::Object::Signal:
        return QStringLiteral("SG_ ");
    case DbcAttributeDef::Object::EnvVar:
        return QStringLiteral("EV_ ");
    case DbcAttributeDef::Object::Network:
        break;
    }
    return QString();
}

QString muxWord(const DbcSignal &signal)
{
    if (signal.muxValue < 0)
        return signal.isMultiplexor ? QStringLiteral(" M") : QString();
    return QStringLiteral(" m%1%2")
        .arg(signal.muxValue)
        .arg(signal.isMultiplexor ? QLatin1String("M") : QLatin1String());
}

bool isNumberText(const QString &value)
{
    bool ok = false;
    value.toDouble(&ok);
    if (!ok && value.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value.midRef(2).toULongLong(&ok, 16);
    return ok;
}

} // namespace

DbcWriter::DbcWriter(const DbcDatabase &database) : db(database)
{
}

QString DbcWriter::number(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

QString DbcWriter::quoted(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString DbcWriter::messageId(const DbcMessage &message)
{
    return QString::number(message.id | (message.extended ? DbcExtendedBit : 0));
}

QString DbcWriter::text()
{
    constexpr int BytesPerMessage = 600; // a message of eight signals with comments and values
    out.clear();
    out.reserve(int(db.messages().size()) * BytesPerMessage);
    header();
    nodes();
    valueTables();
    for (const DbcMessage &m : db.messages())
        message(m);
    senders();
    envVars();
    comments();
    attributeDefs();
    attributeDefaults();
    attributes();
    valueDescriptions();
    valueTypes();
    muxValues();
    return out;
}

QByteArray DbcWriter::bytes(DbcText::Encoding *used)
{
    return DbcText::encode(text(), db.encoding(), used);
}

bool DbcWriter::save(const DbcDatabase &database, const QString &path, QString *error)
{
    QSaveFile file(path);
    const QByteArray content = DbcWriter(database).bytes();
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

void DbcWriter::header()
{
    out += QStringLiteral("VERSION ") + quoted(db.version()) + QStringLiteral("\n\n\nNS_ :\n");
    for (const char *word : NamespaceWords)
        out += QLatin1Char('\t') + QLatin1String(word) + QLatin1Char('\n');
    out += QStringLiteral("\nBS_:\n\n");
}

void DbcWriter::nodes()
{
    out += QStringLiteral("BU_:");
    for (const DbcNode &node : db.nodes())
        out += QLatin1Char(' ') + node.name;
    out += QStringLiteral("\n\n");
}

void DbcWriter::valueTables()
{
    const auto &tables = db.valueTables();
    for (const QString &name : sortedKeys(tables)) {
        out += QStringLiteral("VAL_TABLE_ ") + name;
        for (const auto &entry : tables.constFind(name)->entries())
            out += QLatin1Char(' ') + QString::number(entry.first) + QLatin1Char(' ') +
                   quoted(entry.second);
        out += QStringLiteral(" ;\n");
    }
    if (!tables.isEmpty())
        out += QLatin1Char('\n');
}

void DbcWriter::message(const DbcMessage &m)
{
    out += QLatin1String("BO_ ");
    out += messageId(m);
    out += QLatin1Char(' ');
    out += m.name;
    out += QLatin1String(": ");
    out += QString::number(m.size);
    out += QLatin1Char(' ');
    out += m.transmitter.isEmpty() ? NoNode : m.transmitter;
    out += QLatin1Char('\n');
    for (const DbcSignal &signal : m.signalList)
        signalLine(signal);
    out += QLatin1Char('\n');
}

// Appended piece by piece: a file of thousands of signals is written in a few milliseconds.
void DbcWriter::signalLine(const DbcSignal &s)
{
    const bool intel = s.byteOrder == DbcSignal::ByteOrder::Intel;
    out += QLatin1String(" SG_ ");
    out += s.name;
    out += muxWord(s);
    out += QLatin1String(" : ");
    out += QString::number(s.startBit);
    out += QLatin1Char('|');
    out += QString::number(s.length);
    out += QLatin1String(intel ? "@1" : "@0");
    out += QLatin1Char(s.isSigned ? '-' : '+');
    out += QLatin1String(" (");
    appendNumber(s.factor);
    out += QLatin1Char(',');
    appendNumber(s.offset);
    out += QLatin1String(") [");
    appendNumber(s.minimum);
    out += QLatin1Char('|');
    appendNumber(s.maximum);
    out += QLatin1String("] ");
    appendQuoted(s.unit);
    out += QLatin1Char(' ');
    out += s.receivers.isEmpty() ? NoNode : s.receivers.join(QLatin1Char(','));
    out += QLatin1Char('\n');
}

void DbcWriter::appendNumber(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out += QLatin1String(buffer, int(result.ptr - buffer));
}

void DbcWriter::appendQuoted(const QString &value)
{
    out += QLatin1Char('"');
    for (const QChar c : value) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
}

void DbcWriter::senders()
{
    for (const DbcMessage &m : db.messages()) {
        if (!m.senders.isEmpty())
            out += QStringLiteral("BO_TX_BU_ ") + messageId(m) + QStringLiteral(" : ") +
                   m.senders.join(QLatin1Char(',')) + QStringLiteral(";\n");
    }
}

void DbcWriter::envVars()
{
    for (const DbcEnvVar &v : db.envVars()) {
        if (!v.definition.isEmpty())
            out += v.definition + QStringLiteral(";\n");
    }
}

void DbcWriter::comments()
{
    out += QLatin1Char('\n');
    if (!db.comment().isEmpty())
        out += QStringLiteral("CM_ ") + quoted(db.comment()) + QStringLiteral(";\n");
    for (const DbcNode &node : db.nodes()) {
        if (!node.comment.isEmpty())
            out += QStringLiteral("CM_ BU_ ") + node.name + QLatin1Char(' ') +
                   quoted(node.comment) + QStringLiteral(";\n");
    }
    for (const DbcMessage &m : db.messages()) {
        if (!m.comment.isEmpty()) {
            out += QLatin1String("CM_ BO_ ");
            out += messageId(m);
            out += QLatin1Char(' ');
            appendQuoted(m.comment);
            out += QLatin1String(";\n");
        }
        for (const DbcSignal &s : m.signalList) {
            if (!s.comment.isEmpty())
                out += QStringLiteral("CM_ SG_ ") + messageId(m) + QLatin1Char(' ') + s.name +
                       QLatin1Char(' ') + quoted(s.comment) + QStringLiteral(";\n");
        }
    }
    for (const DbcEnvVar &v : db.envVars()) {
        if (!v.comment.isEmpty())
            out += QStringLiteral("CM_ EV_ ") + v.name + QLatin1Char(' ') + quoted(v.comment) +
                   QStringLiteral(";\n");
    }
}

QString DbcWriter::definition(const DbcAttributeDef &def) const
{
    using Type = DbcAttributeDef::Type;
    const QString range =
        def.hasRange ? QLatin1Char(' ') + def.minimum + QLatin1Char(' ') + def.maximum : QString();
    switch (def.type) {
    case Type::Int:
        return QStringLiteral("INT") + range;
    case Type::Hex:
        return QStringLiteral("HEX") + range;
    case Type::Float:
        return QStringLiteral("FLOAT") + range;
    case Type::Enum: {
        QStringList labels;
        for (const QString &label : def.enumLabels)
            labels << quoted(label);
        return QStringLiteral("ENUM ") + labels.join(QLatin1Char(','));
    }
    case Type::String:
        break;
    }
    return QStringLiteral("STRING");
}

void DbcWriter::attributeDefs()
{
    const auto &defs = db.attributeDefs();
    for (const QString &name : sortedKeys(defs)) {
        const DbcAttributeDef &def = *defs.constFind(name);
        out += QStringLiteral("BA_DEF_ ") + objectWord(def.object) + quoted(name) +
               QLatin1Char(' ') + definition(def) + QStringLiteral(";\n");
    }
}

void DbcWriter::attributeDefaults()
{
    const auto &defs = db.attributeDefs();
    for (const QString &name : sortedKeys(defs)) {
        const DbcAttributeDef &def = *defs.constFind(name);
        if (!def.hasDefault)
            continue;
        // Enum defaults are written as their label, as the field's tools do.
        const QString value = def.type == DbcAttributeDef::Type::Enum
                                  ? quoted(def.defaultValue)
                                  : attributeValue(name, def.defaultValue);
        out += QStringLiteral("BA_DEF_DEF_ ") + quoted(name) + QLatin1Char(' ') + value +
               QStringLiteral(";\n");
    }
}

// Strings quoted, enum labels as their index, numbers as written.
QString DbcWriter::attributeValue(const QString &name, const QString &value) const
{
    const auto def = db.attributeDefs().constFind(name);
    if (def != db.attributeDefs().constEnd()) {
        if (def->type == DbcAttributeDef::Type::String)
            return quoted(value);
        const int index = def->enumLabels.indexOf(value);
        if (def->type == DbcAttributeDef::Type::Enum && index >= 0)
            return QString::number(index);
    }
    return isNumberText(value) ? value : quoted(value);
}

void DbcWriter::objectAttributes(const QHash<QString, QString> &values, const QString &object)
{
    for (const QString &name : sortedKeys(values))
        out += QStringLiteral("BA_ ") + quoted(name) + QLatin1Char(' ') + object +
               attributeValue(name, values.value(name)) + QStringLiteral(";\n");
}

void DbcWriter::attributes()
{
    objectAttributes(db.networkAttributes(), QString());
    for (const DbcNode &node : db.nodes())
        objectAttributes(node.attributes, QStringLiteral("BU_ ") + node.name + QLatin1Char(' '));
    for (const DbcMessage &m : db.messages()) {
        const QString id = messageId(m);
        objectAttributes(m.attributes, QStringLiteral("BO_ ") + id + QLatin1Char(' '));
        for (const DbcSignal &s : m.signalList)
            objectAttributes(s.attributes, QStringLiteral("SG_ %1 %2 ").arg(id, s.name));
    }
    for (const DbcEnvVar &v : db.envVars())
        objectAttributes(v.attributes, QStringLiteral("EV_ ") + v.name + QLatin1Char(' '));
}

void DbcWriter::valueDescriptions()
{
    for (const DbcMessage &m : db.messages()) {
        for (const DbcSignal &s : m.signalList) {
            if (s.valueTable.isEmpty())
                continue;
            out += QLatin1String("VAL_ ");
            out += messageId(m);
            out += QLatin1Char(' ');
            out += s.name;
            for (const auto &entry : s.valueTable.entries()) {
                out += QLatin1Char(' ');
                out += QString::number(entry.first);
                out += QLatin1Char(' ');
                appendQuoted(entry.second);
            }
            out += QLatin1String(" ;\n");
        }
    }
}

void DbcWriter::valueTypes()
{
    for (const DbcMessage &m : db.messages()) {
        for (const DbcSignal &s : m.signalList) {
            if (s.valueType == DbcSignal::ValueType::Integer)
                continue;
            const int type = s.valueType == DbcSignal::ValueType::Float ? 1 : 2;
            out += QStringLiteral("SIG_VALTYPE_ %1 %2 : %3;\n").arg(messageId(m), s.name).arg(type);
        }
    }
}

void DbcWriter::muxValues()
{
    for (const DbcMessage &m : db.messages()) {
        for (const DbcSignal &s : m.signalList) {
            if (!s.extendedMux || s.switchIndex < 0 || s.muxRanges.empty())
                continue;
            QStringList ranges;
            for (const DbcSignal::Range &r : s.muxRanges)
                ranges << QStringLiteral("%1-%2").arg(r.low).arg(r.high);
            out += QStringLiteral("SG_MUL_VAL_ %1 %2 %3 %4;\n")
                       .arg(messageId(m), s.name, m.signalList[size_t(s.switchIndex)].name,
                            ranges.join(QStringLiteral(", ")));
        }
    }
}
