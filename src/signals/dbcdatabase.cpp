// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcdatabase.h"

#include "signals/dbcreader.h"
#include "signals/dbctext.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString CycleTimeAttribute = QStringLiteral("GenMsgCycleTime");
const QString StartValueAttribute = QStringLiteral("GenSigStartValue");
const QString FrameFormatAttribute = QStringLiteral("VFrameFormat");
const QString J1939Format = QStringLiteral("J1939PG");
const QString FdFormatEnding = QStringLiteral("CAN_FD");
const QString BusTypeAttribute = QStringLiteral("BusType");
constexpr int ClassicBytes = 8;

// VFrameFormat as the field's tools define it: the FD formats at 14 and 15.
QStringList frameFormatLabels()
{
    QStringList labels{QStringLiteral("StandardCAN"), QStringLiteral("ExtendedCAN"),
                       QStringLiteral("reserved"), J1939Format};
    while (labels.size() < 14)
        labels << QStringLiteral("reserved");
    return labels << QStringLiteral("StandardCAN_FD") << QStringLiteral("ExtendedCAN_FD");
}

// An object's own value of an attribute, else the attribute's default.
bool attributeNumber(const QHash<QString, QString> &own, const QString &name,
                     const QHash<QString, DbcAttributeDef> &defs, double *value)
{
    QString text = own.value(name);
    if (!own.contains(name)) {
        const auto def = defs.constFind(name);
        if (def == defs.constEnd() || !def->hasDefault)
            return false;
        text = def->defaultValue;
    }
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value);
}

// An object's own value of an attribute as written (enum values as their label), else the
// attribute's default.
QString attributeText(const QHash<QString, QString> &own, const QString &name,
                      const QHash<QString, DbcAttributeDef> &defs)
{
    const auto value = own.constFind(name);
    if (value != own.constEnd())
        return *value;
    const auto def = defs.constFind(name);
    return def != defs.constEnd() && def->hasDefault ? def->defaultValue : QString();
}

} // namespace

bool DbcDatabase::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorList.append(
            DbcError{path, 0,
                     QCoreApplication::translate("DbcDatabase", "не удалось открыть файл: %1")
                         .arg(file.errorString())});
        return false;
    }
    read(file.readAll(), path);
    return true;
}

void DbcDatabase::read(const QByteArray &text, const QString &fileName)
{
    DbcText::Encoding used = DbcText::Encoding::Utf8;
    const QString decoded = DbcText::decode(text, &used);
    // ASCII reads as UTF-8 and says nothing; one file of each kind leaves the wider UTF-8.
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0; });
    readUtf8Text = readUtf8Text || (used == DbcText::Encoding::Utf8 && !ascii);
    if (used == DbcText::Encoding::Windows1252 && !readUtf8Text)
        textEncoding = used;
    if (readUtf8Text)
        textEncoding = DbcText::Encoding::Utf8;
    DbcReader(*this, decoded, fileName).run();
}

int DbcDatabase::skippedStatements(const QString &file) const
{
    return int(std::count_if(errorList.begin(), errorList.end(), [&](const DbcError &e) {
        return e.file == file && !e.warning && e.line > 0;
    }));
}

void DbcDatabase::clear()
{
    *this = DbcDatabase();
}

const DbcMessage *DbcDatabase::message(uint32_t id, bool extended) const
{
    int index = messageIndex.value(key(id, extended), -1);
    if (index < 0 && extended && !groupIndex.isEmpty())
        index = groupIndex.find(id);
    return index < 0 ? nullptr : &messageList[size_t(index)];
}

DbcMessage *DbcDatabase::mutableMessage(uint32_t id, bool extended)
{
    return const_cast<DbcMessage *>(message(id, extended));
}

const DbcNode *DbcDatabase::node(const QString &name) const
{
    for (const DbcNode &n : nodeList) {
        if (n.name == name)
            return &n;
    }
    return nullptr;
}

DbcNode *DbcDatabase::mutableNode(const QString &name)
{
    return const_cast<DbcNode *>(node(name));
}

const DbcEnvVar *DbcDatabase::envVar(const QString &name) const
{
    for (const DbcEnvVar &v : envVarList) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

DbcEnvVar *DbcDatabase::mutableEnvVar(const QString &name)
{
    if (!envVar(name))
        envVarList.append(DbcEnvVar{name, QString(), QString(), {}});
    return const_cast<DbcEnvVar *>(envVar(name));
}

bool DbcDatabase::addMessage(DbcMessage message, DbcMessage **stored)
{
    const uint32_t k = key(message.id, message.extended);
    const int existing = messageIndex.value(k, -1);
    if (existing >= 0) {
        *stored = &messageList[size_t(existing)];
        **stored = std::move(message);
        return false;
    }
    messageIndex.insert(k, int(messageList.size()));
    messageList.push_back(std::move(message));
    *stored = &messageList.back();
    return true;
}

void DbcDatabase::addNode(const QString &name)
{
    if (!node(name))
        nodeList.append(DbcNode{name, QString(), {}});
}

void DbcDatabase::applyDefaults()
{
    constexpr double MaxCycleMs = std::numeric_limits<int>::max();
    for (DbcMessage &message : messageList) {
        double value = 0;
        const bool has =
            attributeNumber(message.attributes, CycleTimeAttribute, attributeDefList, &value);
        message.cycleTimeMs = has && value >= 0 && value <= MaxCycleMs ? int(value) : 0;
        const QString format =
            attributeText(message.attributes, FrameFormatAttribute, attributeDefList);
        message.j1939 = message.extended && format == J1939Format;
        message.fd = matchFdFormat(format) || message.size > ClassicBytes;
        for (DbcSignal &signal : message.signalList) {
            signal.hasStartValue =
                attributeNumber(signal.attributes, StartValueAttribute, attributeDefList, &value);
            signal.startValue = signal.hasStartValue ? value : 0;
        }
    }
    indexGroups();
}

void DbcDatabase::rebuildIndex()
{
    messageIndex.clear();
    for (size_t i = 0; i < messageList.size(); ++i)
        messageIndex.insert(key(messageList[i].id, messageList[i].extended), int(i));
    indexGroups();
}

void DbcDatabase::indexGroups()
{
    groupIndex.clear();
    for (size_t i = 0; i < messageList.size(); ++i)
        groupIndex.add(messageList[i], int(i));
}

bool DbcDatabase::matchFdFormat(const QString &label)
{
    return label.endsWith(FdFormatEnding, Qt::CaseInsensitive);
}

QString DbcDatabase::frameFormatLabel(bool fd, bool extended)
{
    const QString label = QStringLiteral("%1CAN%2").arg(
        extended ? QLatin1String("Extended") : QLatin1String("Standard"),
        fd ? QLatin1String("_FD") : QLatin1String());
    auto def = attributeDefList.find(FrameFormatAttribute);
    if (def == attributeDefList.end()) {
        DbcAttributeDef made;
        made.name = FrameFormatAttribute;
        made.object = DbcAttributeDef::Object::Message;
        made.type = DbcAttributeDef::Type::Enum;
        made.enumLabels = frameFormatLabels();
        def = attributeDefList.insert(FrameFormatAttribute, made);
    }
    if (def->type == DbcAttributeDef::Type::Enum && !def->enumLabels.contains(label))
        def->enumLabels << label;
    return label;
}

void DbcDatabase::settleFrameFormat(DbcMessage &message)
{
    const QString format =
        attributeText(message.attributes, FrameFormatAttribute, attributeDefList);
    if (message.fd == matchFdFormat(format))
        return;
    message.attributes.insert(FrameFormatAttribute, frameFormatLabel(message.fd, message.extended));
    // Tools that show FD frames only on an FD network look for this.
    if (message.fd && !networkAttributeList.contains(BusTypeAttribute) &&
        !attributeDefList.contains(BusTypeAttribute)) {
        DbcAttributeDef busType;
        busType.name = BusTypeAttribute;
        attributeDefList.insert(BusTypeAttribute, busType);
        networkAttributeList.insert(BusTypeAttribute, QStringLiteral("CAN FD"));
    }
}

void DbcDatabase::putMessage(DbcMessage message, int position)
{
    settleFrameFormat(message);
    const int existing = messagePosition(message.id, message.extended);
    if (existing >= 0) {
        messageList[size_t(existing)] = std::move(message);
    } else {
        const size_t at =
            position < 0 ? messageList.size() : std::min(size_t(position), messageList.size());
        messageList.insert(messageList.begin() + std::ptrdiff_t(at), std::move(message));
        rebuildIndex();
    }
    applyDefaults();
}

int DbcDatabase::removeMessage(uint32_t id, bool extended)
{
    const int at = messagePosition(id, extended);
    if (at < 0)
        return -1;
    messageList.erase(messageList.begin() + at);
    rebuildIndex();
    return at;
}
