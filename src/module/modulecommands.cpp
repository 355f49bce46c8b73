#include "module/modulecommands.h"

#include <QComboBox>
#include <QListWidget>

const QVector<ModuleCommand::Entry> &ModuleCommand::commands()
{
    static const QVector<Entry> table = {
        {0x01, "[0x01] Имя модуля"},
        {0x02, "[0x02] Версия модуля"},
        {0x03, "[0x03] Включить USB мониторинг(новый формат)"},
        {0x83, "[0x83] Выключить USB мониторинг"},
        {0x04, "[0x04] Включить старый формат"},
        {0x05, "[0x05] Включение резистора на линии CAN0"},
        {0x15, "[0x15] Опрос состояния резистора на линии CAN0"},
        {0x85, "[0x85] Выключение резистора на линии CAN0"},
        {0x06, "[0x06] Включение резистора на линии CAN1"},
        {0x16, "[0x16] Опрос состояния резистора на линии CAN1"},
        {0x86, "[0x86] Выключение резистора на линии CAN1"},
        {0x10, "[0x10] Запрос текущей скорости CAN"},
        {0x14, "[0x14] Запрос текущего протокола"},
    };
    return table;
}

// Codes number the rates from the fastest; the list starts at the common 125 kbit/s.
const QVector<ModuleCommand::Entry> &ModuleCommand::canSpeeds()
{
    static const QVector<Entry> table = {
        {4, "125 kbit/s"}, {3, "250 kbit/s"}, {2, "500 kbit/s"},
        {1, "800 kbit/s"}, {0, "1 Mbit/s"},   {5, "100 kbit/s"},
        {6, "50 kbit/s"},  {7, "20 kbit/s"},  {8, "10 kbit/s"},
    };
    return table;
}

QByteArray ModuleCommand::message(uint8_t marker, int code)
{
    const char bytes[3] = {char(marker), char(code & 0xFF), char(marker)};
    return QByteArray(bytes, 3);
}

void ModuleCommand::fillCommands(QListWidget *list)
{
    for (const Entry &entry : commands()) {
        auto *item = new QListWidgetItem(QString::fromUtf8(entry.caption), list);
        item->setData(Qt::UserRole, entry.code);
    }
}

void fillCanSpeeds(QComboBox *box)
{
    for (const ModuleCommand::Entry &entry : ModuleCommand::canSpeeds())
        box->addItem(QString::fromUtf8(entry.caption), entry.code);
}
