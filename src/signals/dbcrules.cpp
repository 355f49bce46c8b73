// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals/dbcrules.h"

#include "link/canpacket.h"
#include "signals/dbcdatabase.h"
#include "signals/signallayout.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

constexpr uint32_t MaxStandardId = 0x7FF;
constexpr uint32_t MaxExtendedId = 0x1FFFFFFF;
constexpr int FloatBits = 32;
constexpr int DoubleBits = 64;

// A name given here must be a C identifier; one kept as a file had it (real files begin names with
// digits) is left alone.
QString identifierProblem(const QString &what, const QString &name, const QString &kept = QString())
{
    if (name.isEmpty())
        return QCoreApplication::translate("DbcRules", "Нет имени %1").arg(what);
    if (name != kept && !DbcRules::matchIdentifier(name))
        return QCoreApplication::translate(
                   "DbcRules", "Имя %1 «%2» — не идентификатор C: только латинские буквы, цифры "
                               "и «_», первой не цифра")
            .arg(what, name);
    return QString();
}

QString layoutProblem(const DbcMessage &message, const DbcSignal &signal)
{
    if (signal.length < 1 || signal.length > DbcSignal::MaxLength)
        return QCoreApplication::translate("DbcRules", "Длина сигнала %1 бит: нужна от 1 до 64")
            .arg(signal.length);
    if (!SignalLayout::fits(signal.startBit, signal.length, signal.byteOrder, message.size))
        return QCoreApplication::translate("DbcRules",
                                           "Биты сигнала выходят за сообщение длиной %1 байт")
            .arg(message.size);
    const int needed = signal.valueType == DbcSignal::ValueType::Float ? FloatBits : DoubleBits;
    if (signal.valueType != DbcSignal::ValueType::Integer && signal.length != needed)
        return QCoreApplication::translate("DbcRules", "Число с плавающей точкой занимает %1 бит")
            .arg(needed);
    return QString();
}

QString scalingProblem(const DbcSignal &signal)
{
    if (signal.factor == 0)
        return QCoreApplication::translate("DbcRules", "Множитель не может быть равен 0");
    if (signal.minimum > signal.maximum)
        return QCoreApplication::translate("DbcRules", "Минимум больше максимума");
    return QString();
}

QString muxProblem(const DbcMessage &message, const DbcSignal &signal, const QString &replacing)
{
    if (signal.muxValue < 0 || signal.extendedMux)
        return QString();
    for (const DbcSignal &other : message.signalList) {
        if (other.isMultiplexor && other.muxValue < 0 && other.name != replacing)
            return QString();
    }
    return QCoreApplication::translate("DbcRules", "В сообщении нет мультиплексора для значения %1")
        .arg(signal.muxValue);
}

// A frame longer than eight bytes is CAN FD, and CAN FD has only some lengths past eight; a
// length kept as the file had it is left alone.
QString frameFormatProblem(const DbcMessage &message, const DbcMessage *before)
{
    if (message.size > CanPacket::MaxClassicBytes && !message.fd)
        return QCoreApplication::translate("DbcRules",
                                           "Сообщение длиннее 8 байт может быть только CAN FD");
    const bool fdLength = CanPacket::fdLength(CanPacket::fdCode(message.size)) == message.size;
    if (message.fd && !fdLength && !(before && before->size == message.size))
        return QCoreApplication::translate("DbcRules",
                                           "Длина сообщения CAN FD %1 байт: нужна от 0 до 8, "
                                           "12, 16, 20, 24, 32, 48 или 64")
            .arg(message.size);
    return QString();
}

} // namespace

bool DbcRules::matchIdentifier(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return pattern.match(name).hasMatch();
}

QString DbcRules::checkSignal(const DbcMessage &message, const DbcSignal &signal,
                              const QString &replacing)
{
    QString problem = identifierProblem(QCoreApplication::translate("DbcRules", "сигнала"),
                                        signal.name, replacing);
    if (problem.isEmpty() && signal.name != replacing && message.signalIndex(signal.name) >= 0)
        problem = QCoreApplication::translate("DbcRules", "Сигнал «%1» уже есть в сообщении %2")
                      .arg(signal.name, message.name);
    if (problem.isEmpty())
        problem = layoutProblem(message, signal);
    if (problem.isEmpty())
        problem = scalingProblem(signal);
    if (problem.isEmpty() && signal.isMultiplexor && signal.muxValue < 0) {
        for (const DbcSignal &other : message.signalList) {
            if (other.isMultiplexor && other.muxValue < 0 && other.name != replacing)
                return QCoreApplication::translate("DbcRules",
                                                   "В сообщении уже есть мультиплексор %1")
                    .arg(other.name);
        }
    }
    return problem.isEmpty() ? muxProblem(message, signal, replacing) : problem;
}

QString DbcRules::checkMessage(const DbcDatabase &database, const DbcMessage &message,
                               int replacing)
{
    const DbcMessage *before = replacing >= 0 && size_t(replacing) < database.messages().size()
                                   ? &database.messages()[size_t(replacing)]
                                   : nullptr;
    QString problem = identifierProblem(QCoreApplication::translate("DbcRules", "сообщения"),
                                        message.name, before ? before->name : QString());
    if (!problem.isEmpty())
        return problem;
    if (message.id > (message.extended ? MaxExtendedId : MaxStandardId))
        return QCoreApplication::translate("DbcRules", "Идентификатор 0x%1 не помещается в %2 бит")
            .arg(QString::number(message.id, 16).toUpper())
            .arg(message.extended ? 29 : 11);
    if (message.size < 0 || message.size > SignalLayout::MaxBytes)
        return QCoreApplication::translate("DbcRules", "Длина сообщения %1 байт: нужна от 0 до 64")
            .arg(message.size);
    problem = frameFormatProblem(message, before);
    if (!problem.isEmpty())
        return problem;
    if (!message.transmitter.isEmpty())
        problem = identifierProblem(QCoreApplication::translate("DbcRules", "отправителя"),
                                    message.transmitter, before ? before->transmitter : QString());
    if (!problem.isEmpty())
        return problem;
    const int same = database.messagePosition(message.id, message.extended);
    if (same >= 0 && same != replacing)
        return QCoreApplication::translate("DbcRules", "Идентификатор 0x%1 уже занят сообщением %2")
            .arg(QString::number(message.id, 16).toUpper(), database.messages()[size_t(same)].name);
    for (size_t i = 0; i < database.messages().size(); ++i) {
        if (int(i) != replacing && database.messages()[i].name == message.name)
            return QCoreApplication::translate("DbcRules", "Сообщение «%1» уже есть")
                .arg(message.name);
    }
    for (const DbcSignal &signal : message.signalList) {
        if (!SignalLayout::fits(signal.startBit, signal.length, signal.byteOrder, message.size))
            return QCoreApplication::translate("DbcRules", "Сигнал %1 не помещается в %2 байт")
                .arg(signal.name)
                .arg(message.size);
    }
    return QString();
}

QString DbcRules::checkRemoveSignal(const DbcMessage &message, const QString &name)
{
    const int index = message.signalIndex(name);
    for (const DbcSignal &other : message.signalList) {
        if (index >= 0 && other.switchIndex == index)
            return QCoreApplication::translate(
                       "DbcRules", "Сигнал %1 переключает сигнал %2: сначала удалите или измените "
                                   "его")
                .arg(name, other.name);
    }
    return QString();
}
