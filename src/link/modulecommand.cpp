// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/modulecommand.h"

const QVector<ModuleCommand::Entry> &ModuleCommand::commands()
{
    using namespace TarvixProtocol::Command;
    static const QVector<Entry> table = {
        {ModuleName, QT_TRANSLATE_NOOP("ModuleCommand", "[0x01] Имя модуля")},
        {ModuleVersion, QT_TRANSLATE_NOOP("ModuleCommand", "[0x02] Версия модуля")},
        {MonitorOn,
         QT_TRANSLATE_NOOP("ModuleCommand", "[0x03] Включить USB мониторинг(новый формат)")},
        {MonitorOff, QT_TRANSLATE_NOOP("ModuleCommand", "[0x83] Выключить USB мониторинг")},
        {OldFormat, QT_TRANSLATE_NOOP("ModuleCommand", "[0x04] Включить старый формат")},
        {Can0ResistorOn,
         QT_TRANSLATE_NOOP("ModuleCommand", "[0x05] Включение резистора на линии CAN0")},
        {Can0ResistorQuery,
         QT_TRANSLATE_NOOP("ModuleCommand", "[0x15] Опрос состояния резистора на линии CAN0")},
        {Can0ResistorOff,
         QT_TRANSLATE_NOOP("ModuleCommand", "[0x85] Выключение резистора на линии CAN0")},
        {Can1ResistorOn,
         QT_TRANSLATE_NOOP("ModuleCommand", "[0x06] Включение резистора на линии CAN1")},
        {Can1ResistorQuery,
         QT_TRANSLATE_NOOP("ModuleCommand", "[0x16] Опрос состояния резистора на линии CAN1")},
        {Can1ResistorOff,
         QT_TRANSLATE_NOOP("ModuleCommand", "[0x86] Выключение резистора на линии CAN1")},
        {SpeedQuery, QT_TRANSLATE_NOOP("ModuleCommand", "[0x10] Запрос текущей скорости CAN")},
        {ProtocolQuery, QT_TRANSLATE_NOOP("ModuleCommand", "[0x14] Запрос текущего протокола")},
    };
    return table;
}

QByteArray ModuleCommand::message(uint8_t marker, int code)
{
    const char bytes[TarvixProtocol::MessageSize] = {char(marker), char(code & 0xFF), char(marker)};
    return QByteArray(bytes, TarvixProtocol::MessageSize);
}
