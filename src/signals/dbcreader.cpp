// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcreader.h"

#include "signals/dbcdatabase.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace {

constexpr uint32_t DbcExtendedBit = 0x80000000u;
constexpr uint32_t MaxExtendedId = 0x1FFFFFFFu;
constexpr uint32_t FirstExtendedOnlyId = 0x800u;
constexpr qint64 MaxMessageBytes = 64;
constexpr qint64 MaxStartBit = MaxMessageBytes * 8 - 1;
const QString NoNode = QStringLiteral("Vector__XXX");
const QString OrphanSignals = QStringLiteral("VECTOR__INDEPENDENT_SIG_MSG");

QString idText(uint32_t id)
{
    return QStringLiteral("0x") + QString::number(id, 16).toUpper();
}

// A DBC identifier: bit 31 marks a 29-bit one. Identifiers above the 11-bit range are 29-bit
// whether or not the bit is set.
bool splitId(qint64 raw, uint32_t *id, bool *extended)
{
    if (raw < 0 || raw > std::numeric_limits<uint32_t>::max())
        return false;
    *extended = (raw & DbcExtendedBit) || raw >= FirstExtendedOnlyId;
    *id = uint32_t(raw) & ~DbcExtendedBit;
    return *id <= MaxExtendedId;
}

bool integral(double value, qint64 *result)
{
    constexpr double Limit = 9.2e18;
    if (!std::isfinite(value) || std::fabs(value) > Limit || value != std::floor(value))
        return false;
    *result = qint64(value);
    return true;
}

} // namespace

const DbcReader::Statement DbcReader::statementList[] = {
    {"VERSION", Pass::Definitions, &DbcReader::readVersion,
     QT_TRANSLATE_NOOP("DbcReader", "неверная версия")},
    {"NS_", Pass::Both, &DbcReader::skipNamespace,
     QT_TRANSLATE_NOOP("DbcReader", "неверный список NS_")},
    {"BU_", Pass::Definitions, &DbcReader::readNodes,
     QT_TRANSLATE_NOOP("DbcReader", "неверный список узлов")},
    {"VAL_TABLE_", Pass::Definitions, &DbcReader::readValueTable,
     QT_TRANSLATE_NOOP("DbcReader", "неверная таблица значений")},
    {"BO_", Pass::Definitions, &DbcReader::readMessage,
     QT_TRANSLATE_NOOP("DbcReader", "неверное описание сообщения")},
    {"SG_", Pass::Definitions, &DbcReader::readSignal,
     QT_TRANSLATE_NOOP("DbcReader", "неверное описание сигнала")},
    {"BA_DEF_", Pass::Definitions, &DbcReader::readAttributeDef,
     QT_TRANSLATE_NOOP("DbcReader", "неверное описание атрибута")},
    {"CM_", Pass::References, &DbcReader::readComment,
     QT_TRANSLATE_NOOP("DbcReader", "неверный комментарий")},
    {"BA_DEF_DEF_", Pass::References, &DbcReader::readAttributeDefault,
     QT_TRANSLATE_NOOP("DbcReader", "неверное значение атрибута по умолчанию")},
    {"BA_", Pass::References, &DbcReader::readAttribute,
     QT_TRANSLATE_NOOP("DbcReader", "неверное значение атрибута")},
    {"VAL_", Pass::References, &DbcReader::readValueDescriptions,
     QT_TRANSLATE_NOOP("DbcReader", "неверное описание значений сигнала")},
    {"SIG_VALTYPE_", Pass::References, &DbcReader::readValueType,
     QT_TRANSLATE_NOOP("DbcReader", "неверный тип значения сигнала")},
    {"SG_MUL_VAL_", Pass::References, &DbcReader::readMuxValues,
     QT_TRANSLATE_NOOP("DbcReader", "неверное описание мультиплексирования")},
    {"BS_", Pass::Both, nullptr, nullptr},
    {"BO_TX_BU_", Pass::References, &DbcReader::readSenders,
     QT_TRANSLATE_NOOP("DbcReader", "неверный список отправителей")},
    {"EV_", Pass::Definitions, &DbcReader::readEnvVar,
     QT_TRANSLATE_NOOP("DbcReader", "неверное описание переменной среды")},
    {"ENVVAR_DATA_", Pass::Both, nullptr, nullptr},
    {"EV_DATA_", Pass::Both, nullptr, nullptr},
    {"SGTYPE_", Pass::Both, nullptr, nullptr},
    {"SGTYPE_VAL_", Pass::Both, nullptr, nullptr},
    {"SIG_TYPE_REF_", Pass::Both, nullptr, nullptr},
    {"SIGTYPE_VALTYPE_", Pass::Both, nullptr, nullptr},
    {"SIG_GROUP_", Pass::Both, nullptr, nullptr},
    {"CAT_DEF_", Pass::Both, nullptr, nullptr},
    {"CAT_", Pass::Both, nullptr, nullptr},
    {"FILTER", Pass::Both, nullptr, nullptr},
    {"NS_DESC_", Pass::Both, nullptr, nullptr},
    {"BA_DEF_SGTYPE_", Pass::Both, nullptr, nullptr},
    {"BA_SGTYPE_", Pass::Both, nullptr, nullptr},
    {"BA_DEF_REL_", Pass::Both, nullptr, nullptr},
    {"BA_REL_", Pass::Both, nullptr, nullptr},
    {"BA_DEF_DEF_REL_", Pass::Both, nullptr, nullptr},
    {"BU_SG_REL_", Pass::Both, nullptr, nullptr},
    {"BU_EV_REL_", Pass::Both, nullptr, nullptr},
    {"BU_BO_REL_", Pass::Both, nullptr, nullptr},
};

DbcReader::DbcReader(DbcDatabase &database, const QString &text, const QString &fileName)
    : db(database), source(text), file(fileName)
{
}

void DbcReader::run()
{
    runPass(Pass::Definitions);
    runPass(Pass::References);
    finish();
}

void DbcReader::runPass(Pass which)
{
    DbcTokenizer tokenizer(source);
    lexer = &tokenizer;
    pass = which;
    currentMessage = -1;
    ignoreSignals = false;
    advance();
    while (current.type != DbcTokenizer::Type::End)
        statement();
    lexer = nullptr;
}

const DbcReader::Statement *DbcReader::find(const QStringRef &word)
{
    for (const Statement &s : statementList) {
        if (word == QLatin1String(s.keyword))
            return &s;
    }
    return nullptr;
}

void DbcReader::statement()
{
    statementLine = current.line;
    statementBegin = current.begin;
    const Statement *s = current.type == DbcTokenizer::Type::Word ? find(text()) : nullptr;
    if (!s) {
        // Unknown words are someone's extension; anything else is damage.
        if (pass == Pass::Definitions && current.type != DbcTokenizer::Type::Word)
            error(statementLine, QCoreApplication::translate("DbcReader", "непонятный текст"));
        skipStatement();
        return;
    }
    if (!s->handler || (s->pass != pass && s->pass != Pass::Both)) {
        skipStatement();
        return;
    }
    advance();
    if (!(this->*s->handler)()) {
        error(statementLine, QCoreApplication::translate("DbcReader", s->error));
        skipStatement();
    }
}

void DbcReader::error(int line, const QString &text)
{
    const QString where =
        line > 0 ? QCoreApplication::translate("DbcReader", "строка %1: ").arg(line) : QString();
    db.errorList.append(DbcError{file, line, where + text, false});
}

void DbcReader::warning(int line, const QString &text)
{
    error(line, text);
    db.errorList.last().warning = true;
}

bool DbcReader::isPunct(char c) const
{
    return current.type == DbcTokenizer::Type::Punct && source.at(current.begin) == QLatin1Char(c);
}

bool DbcReader::takePunct(char c)
{
    if (!isPunct(c))
        return false;
    advance();
    return true;
}

bool DbcReader::takeWord(QString *word)
{
    if (current.type != DbcTokenizer::Type::Word)
        return false;
    *word = text().toString();
    advance();
    return true;
}

bool DbcReader::takeString(QString *value)
{
    if (current.type != DbcTokenizer::Type::String || current.unterminated)
        return false;
    *value = lexer->stringValue(current);
    advance();
    return true;
}

bool DbcReader::takeNumber(double *value)
{
    const bool negative = isPunct('-');
    if (negative || isPunct('+'))
        advance();
    if (current.type != DbcTokenizer::Type::Number)
        return false;
    bool ok = false;
    *value = text().toDouble(&ok);
    if (!ok)
        return false;
    if (negative)
        *value = -*value;
    advance();
    return true;
}

bool DbcReader::takeInteger(qint64 *value)
{
    const bool negative = isPunct('-');
    if (negative || isPunct('+'))
        advance();
    if (current.type != DbcTokenizer::Type::Number)
        return false;
    const QStringRef digits = text();
    bool ok = false;
    const bool hex = digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    qint64 parsed = hex ? qint64(digits.mid(2).toULongLong(&ok, 16)) : digits.toLongLong(&ok);
    if (!ok && !hex) { // "1.0" and "1e3" are integers too
        const double asDouble = digits.toDouble(&ok);
        ok = ok && integral(asDouble, &parsed);
    }
    if (!ok)
        return false;
    *value = negative ? -parsed : parsed;
    advance();
    return true;
}

bool DbcReader::takeMessage(DbcMessage **message)
{
    qint64 raw = 0;
    uint32_t id = 0;
    bool extended = false;
    if (!takeInteger(&raw))
        return false;
    *message = splitId(raw, &id, &extended) ? db.mutableMessage(id, extended) : nullptr;
    if (!*message)
        warning(statementLine, QCoreApplication::translate("DbcReader", "сообщение %1 не описано")
                                   .arg(idText(uint32_t(raw))));
    return true;
}

// A message identifier and a signal name. True when they read, even if they name nothing;
// then `*signal` is null and the error has been reported.
bool DbcReader::takeSignal(DbcMessage **message, DbcSignal **signal)
{
    QString name;
    *signal = nullptr;
    if (!takeMessage(message) || !takeWord(&name))
        return false;
    if (!*message)
        return true;
    const int index = (*message)->signalIndex(name);
    if (index < 0)
        warning(statementLine,
                QCoreApplication::translate("DbcReader", "в сообщении %1 нет сигнала %2")
                    .arg((*message)->name, name));
    else
        *signal = &(*message)->signalList[size_t(index)];
    return true;
}

bool DbcReader::atStatementStart() const
{
    return current.type == DbcTokenizer::Type::Word && current.startsLine && find(text());
}

// A name in a list (receivers, nodes) that runs until the next statement.
bool DbcReader::atListWord() const
{
    return current.type == DbcTokenizer::Type::Word && !atStatementStart();
}

void DbcReader::skipStatement()
{
    while (current.type != DbcTokenizer::Type::End) {
        if (isPunct(';')) {
            advance();
            return;
        }
        if (current.begin != statementBegin && atStatementStart())
            return;
        advance();
    }
}

// A ';' closes the statement; a missing one is forgiven before the next statement.
bool DbcReader::endStatement()
{
    return takePunct(';') || atStatementStart() || current.type == DbcTokenizer::Type::End;
}

bool DbcReader::readVersion()
{
    QString version;
    if (!takeString(&version))
        return false;
    db.versionText = version;
    return true;
}

// NS_ lists the keywords a file may use, one per indented line: all of it is skipped, up to the
// first word that starts a line without indent.
bool DbcReader::skipNamespace()
{
    if (!takePunct(':'))
        return false;
    while (current.type == DbcTokenizer::Type::Word &&
           !(current.startsLine && current.begin > 0 &&
             source.at(current.begin - 1) == QLatin1Char('\n')))
        advance();
    return true;
}

bool DbcReader::readNodes()
{
    if (!takePunct(':'))
        return false;
    QString name;
    while (atListWord() && takeWord(&name))
        db.addNode(name);
    return true;
}

bool DbcReader::readValuePairs(DbcValueTable &table)
{
    std::vector<DbcValueTable::Entry> entries;
    qint64 value = 0;
    QString description;
    while (current.type == DbcTokenizer::Type::Number || isPunct('-') || isPunct('+')) {
        if (!takeInteger(&value) || !takeString(&description))
            return false;
        entries.emplace_back(value, description);
    }
    table.assign(std::move(entries));
    return endStatement();
}

bool DbcReader::readValueTable()
{
    QString name;
    DbcValueTable table;
    if (!takeWord(&name) || !readValuePairs(table))
        return false;
    db.tables.insert(name, table);
    return true;
}

bool DbcReader::readMessage()
{
    currentMessage = -1;
    ignoreSignals = true; // the signals of a message that did not read go with it
    qint64 raw = 0;
    qint64 size = 0;
    DbcMessage message;
    if (!takeInteger(&raw) || !takeWord(&message.name) || !takePunct(':') || !takeInteger(&size) ||
        size < 0 || size > MaxMessageBytes)
        return false;
    message.size = int(size);
    if (atListWord() && takeWord(&message.transmitter) && message.transmitter == NoNode)
        message.transmitter.clear();
    if (!splitId(raw, &message.id, &message.extended))
        return message.name == OrphanSignals; // a pseudo message for signals of no frame
    DbcMessage *stored = nullptr;
    if (!db.addMessage(std::move(message), &stored))
        warning(statementLine,
                QCoreApplication::translate("DbcReader",
                                            "сообщение %1 описано повторно, берётся новое описание")
                    .arg(idText(stored->id)));
    currentMessage = int(stored - db.messageList.data());
    definedHere.insert(currentMessage);
    ignoreSignals = false;
    return true;
}

bool DbcReader::readMuxWord(DbcSignal &signal)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:M|m(\\d+)(M?))$"));
    const QRegularExpressionMatch match = pattern.match(text());
    if (!match.hasMatch())
        return false;
    advance();
    signal.isMultiplexor = match.capturedRef(1).isEmpty() || !match.capturedRef(2).isEmpty();
    if (match.capturedRef(1).isEmpty())
        return true;
    bool ok = false;
    signal.muxValue = match.capturedRef(1).toLongLong(&ok);
    return ok;
}

bool DbcReader::readLayout(DbcSignal &signal)
{
    qint64 start = 0;
    qint64 length = 0;
    qint64 order = 0;
    if (!takeInteger(&start) || !takePunct('|') || !takeInteger(&length) || !takePunct('@') ||
        !takeInteger(&order) || start < 0 || start > MaxStartBit || length < 1 ||
        length > DbcSignal::MaxLength || (order != 0 && order != 1))
        return false;
    signal.startBit = int(start);
    signal.length = int(length);
    signal.byteOrder = order == 1 ? DbcSignal::ByteOrder::Intel : DbcSignal::ByteOrder::Motorola;
    signal.isSigned = isPunct('-');
    return takePunct('-') || takePunct('+');
}

bool DbcReader::readScaling(DbcSignal &signal)
{
    return takePunct('(') && takeNumber(&signal.factor) && takePunct(',') &&
           takeNumber(&signal.offset) && takePunct(')') && takePunct('[') &&
           takeNumber(&signal.minimum) && takePunct('|') && takeNumber(&signal.maximum) &&
           takePunct(']') && takeString(&signal.unit);
}

bool DbcReader::readSignal()
{
    DbcSignal signal;
    if (!takeWord(&signal.name))
        return false;
    if (current.type == DbcTokenizer::Type::Word && !readMuxWord(signal))
        return false;
    if (!takePunct(':') || !readLayout(signal) || !readScaling(signal))
        return false;
    QString receiver;
    while (atListWord() && takeWord(&receiver)) {
        if (receiver != NoNode)
            signal.receivers << receiver;
        takePunct(',');
    }
    if (currentMessage < 0) {
        if (!ignoreSignals)
            error(statementLine, QCoreApplication::translate("DbcReader", "сигнал %1 вне сообщения")
                                     .arg(signal.name));
        return true;
    }
    signal.plan();
    DbcMessage &message = db.messageList[size_t(currentMessage)];
    const QString name = signal.name;
    if (!message.addSignal(std::move(signal)))
        warning(statementLine, QCoreApplication::translate(
                                   "DbcReader", "сигнал %1 в сообщении %2 описан повторно, берётся "
                                                "новое описание")
                                   .arg(name, message.name));
    return true;
}

bool DbcReader::readComment()
{
    QString *target = &db.networkComment;
    QString name;
    bool envVar = false;
    DbcMessage *message = nullptr;
    DbcSignal *signal = nullptr;
    if (current.type == DbcTokenizer::Type::Word) {
        const QString object = text().toString();
        advance();
        if (object == QLatin1String("BU_") && takeWord(&name)) {
            DbcNode *node = db.mutableNode(name);
            target = node ? &node->comment : nullptr;
            if (!node)
                warning(statementLine,
                        QCoreApplication::translate("DbcReader", "узел %1 не описан").arg(name));
        } else if (object == QLatin1String("BO_") && takeMessage(&message)) {
            target = message ? &message->comment : nullptr;
        } else if (object == QLatin1String("SG_") && takeSignal(&message, &signal)) {
            target = signal ? &signal->comment : nullptr;
        } else if (object == QLatin1String("EV_") && takeWord(&name)) {
            target = nullptr;
            envVar = true;
        } else {
            return false;
        }
    }
    QString comment;
    if (!takeString(&comment))
        return false;
    if (target)
        *target = comment;
    else if (envVar)
        db.mutableEnvVar(name)->comment = comment;
    return endStatement();
}

// The object part of BA_: nothing for the network, or BU_/BO_/SG_/EV_ and their names. Sets
// `*target` to the object's attributes, or null for an object that is not there.
bool DbcReader::readAttributeObject(QHash<QString, QString> **target)
{
    *target = &db.networkAttributeList;
    if (current.type != DbcTokenizer::Type::Word)
        return true;
    const QString object = text().toString();
    advance();
    QString name;
    DbcMessage *message = nullptr;
    DbcSignal *signal = nullptr;
    *target = nullptr;
    if (object == QLatin1String("BU_") && takeWord(&name)) {
        DbcNode *node = db.mutableNode(name);
        *target = node ? &node->attributes : nullptr;
        if (!node)
            warning(statementLine,
                    QCoreApplication::translate("DbcReader", "узел %1 не описан").arg(name));
        return true;
    }
    if (object == QLatin1String("BO_") && takeMessage(&message)) {
        *target = message ? &message->attributes : nullptr;
        return true;
    }
    if (object == QLatin1String("SG_") && takeSignal(&message, &signal)) {
        *target = signal ? &signal->attributes : nullptr;
        return true;
    }
    if (object == QLatin1String("EV_") && takeWord(&name)) {
        *target = &db.mutableEnvVar(name)->attributes;
        return true;
    }
    return false;
}

// A number as written, or a string; an enum attribute's index becomes its label.
bool DbcReader::readAttributeValue(const QString &name, QString *value)
{
    if (takeString(value))
        return true;
    if (!takeNumberText(value))
        return false;
    const auto def = db.attributeDefList.constFind(name);
    bool ok = false;
    const int index = value->toInt(&ok);
    if (def != db.attributeDefList.constEnd() && def->type == DbcAttributeDef::Type::Enum && ok &&
        index >= 0 && index < def->enumLabels.size())
        *value = def->enumLabels.at(index);
    return true;
}

bool DbcReader::readAttribute()
{
    QString name;
    QString value;
    QHash<QString, QString> *target = nullptr;
    if (!takeString(&name) || !readAttributeObject(&target) || !readAttributeValue(name, &value))
        return false;
    if (target)
        target->insert(name, value);
    return endStatement();
}

bool DbcReader::readAttributeDef()
{
    using Object = DbcAttributeDef::Object;
    using Type = DbcAttributeDef::Type;
    static const QHash<QString, Object> objects = {{QStringLiteral("BU_"), Object::Node},
                                                   {QStringLiteral("BO_"), Object::Message},
                                                   {QStringLiteral("SG_"), Object::Signal},
                                                   {QStringLiteral("EV_"), Object::EnvVar}};
    static const QHash<QString, Type> types = {{QStringLiteral("INT"), Type::Int},
                                               {QStringLiteral("HEX"), Type::Hex},
                                               {QStringLiteral("FLOAT"), Type::Float},
                                               {QStringLiteral("STRING"), Type::String},
                                               {QStringLiteral("ENUM"), Type::Enum}};
    DbcAttributeDef def;
    QString word;
    if (current.type == DbcTokenizer::Type::Word) {
        if (!takeWord(&word) || !objects.contains(word))
            return false;
        def.object = objects.value(word);
    }
    if (!takeString(&def.name) || !takeWord(&word) || !types.contains(word))
        return false;
    def.type = types.value(word);
    QString label;
    while (def.type == Type::Enum && takeString(&label)) {
        def.enumLabels << label;
        takePunct(',');
    }
    if (def.type == Type::Int || def.type == Type::Hex || def.type == Type::Float)
        def.hasRange = takeNumberText(&def.minimum) && takeNumberText(&def.maximum);
    const DbcAttributeDef earlier = db.attributeDefList.value(def.name);
    def.defaultValue = earlier.defaultValue;
    def.hasDefault = earlier.hasDefault;
    db.attributeDefList.insert(def.name, def);
    return endStatement();
}

// A number with its sign, as written.
bool DbcReader::takeNumberText(QString *value)
{
    const bool negative = isPunct('-');
    if (negative || isPunct('+'))
        advance();
    if (current.type != DbcTokenizer::Type::Number)
        return false;
    *value = (negative ? QStringLiteral("-") : QString()) + text().toString();
    advance();
    return true;
}

bool DbcReader::readAttributeDefault()
{
    QString name;
    QString value;
    if (!takeString(&name) || !readAttributeValue(name, &value) || !endStatement())
        return false;
    const auto def = db.attributeDefList.find(name);
    if (def == db.attributeDefList.end()) {
        warning(statementLine,
                QCoreApplication::translate("DbcReader", "атрибут %1 не объявлен").arg(name));
        return true;
    }
    def->defaultValue = value;
    def->hasDefault = true;
    return true;
}

bool DbcReader::readValueDescriptions()
{
    if (current.type == DbcTokenizer::Type::Word) { // an environment variable's: not kept
        skipStatement();
        return true;
    }
    DbcMessage *message = nullptr;
    DbcSignal *signal = nullptr;
    DbcValueTable table;
    if (!takeSignal(&message, &signal) || !readValuePairs(table))
        return false;
    if (signal)
        signal->valueTable = table;
    return true;
}

bool DbcReader::readValueType()
{
    constexpr int FloatBits = 32;
    constexpr int DoubleBits = 64;
    DbcMessage *message = nullptr;
    DbcSignal *signal = nullptr;
    qint64 type = 0;
    if (!takeSignal(&message, &signal))
        return false;
    takePunct(':');
    if (!takeInteger(&type) || type < 0 || type > 2 || !endStatement())
        return false;
    if (!signal)
        return true;
    const DbcSignal::ValueType types[] = {
        DbcSignal::ValueType::Integer, DbcSignal::ValueType::Float, DbcSignal::ValueType::Double};
    const int needed[] = {signal->length, FloatBits, DoubleBits};
    if (signal->length != needed[type])
        error(statementLine, QCoreApplication::translate(
                                 "DbcReader", "тип значения сигнала %1 не подходит к его длине")
                                 .arg(signal->name));
    else
        signal->valueType = types[type];
    return true;
}

bool DbcReader::readMuxValues()
{
    DbcMessage *message = nullptr;
    DbcSignal *signal = nullptr;
    QString switchName;
    std::vector<DbcSignal::Range> ranges;
    if (!takeSignal(&message, &signal) || !takeWord(&switchName))
        return false;
    do {
        DbcSignal::Range range;
        if (!takeInteger(&range.low) || !takePunct('-') || !takeInteger(&range.high) ||
            range.low > range.high)
            return false;
        ranges.push_back(range);
    } while (takePunct(','));
    if (!endStatement())
        return false;
    if (!signal)
        return true;
    const int selector = message->signalIndex(switchName);
    if (selector < 0 || &message->signalList[size_t(selector)] == signal) {
        error(statementLine,
              QCoreApplication::translate("DbcReader", "в сообщении %1 нет сигнала %2")
                  .arg(message->name, switchName));
        return true;
    }
    if (!signal->extendedMux || signal->switchIndex != selector)
        signal->muxRanges.clear();
    signal->extendedMux = true;
    signal->switchIndex = selector;
    signal->muxRanges.insert(signal->muxRanges.end(), ranges.begin(), ranges.end());
    return true;
}

// EV_ name : type [min|max] "unit" initial id access nodes; kept as written.
bool DbcReader::readEnvVar()
{
    QString name;
    if (!takeWord(&name))
        return false;
    while (current.type != DbcTokenizer::Type::End && !isPunct(';') && !atStatementStart())
        advance();
    const int end = current.type == DbcTokenizer::Type::End ? source.size() : current.begin;
    db.mutableEnvVar(name)->definition = source.mid(statementBegin, end - statementBegin).trimmed();
    return endStatement();
}

// BO_TX_BU_ id : node,node;
bool DbcReader::readSenders()
{
    DbcMessage *message = nullptr;
    QStringList senders;
    QString name;
    if (!takeMessage(&message) || !takePunct(':'))
        return false;
    while (atListWord() && takeWord(&name)) {
        senders << name;
        takePunct(',');
    }
    if (!endStatement())
        return false;
    if (message)
        message->senders = senders;
    return true;
}

void DbcReader::finish()
{
    for (size_t i = 0; i < db.messageList.size(); ++i) {
        DbcMessage &message = db.messageList[i];
        const QStringList unresolved = message.resolveMultiplexing();
        if (!definedHere.contains(int(i)))
            continue;
        for (const QString &name : unresolved)
            error(0, QCoreApplication::translate("DbcReader",
                                                 "сообщение %1: у сигнала %2 нет мультиплексора")
                         .arg(message.name, name));
    }
    db.applyDefaults();
}
