// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/module/commandlists.h"

#include "link/modulecommand.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QListWidget>

void ModuleCommand::fillCommands(QListWidget *list)
{
    for (const Entry &entry : commands()) {
        auto *item =
            new QListWidgetItem(QCoreApplication::translate("ModuleCommand", entry.caption), list);
        item->setData(Qt::UserRole, entry.code);
    }
}

void fillCanSpeeds(QComboBox *box)
{
    for (const TarvixProtocol::Speed &speed : TarvixProtocol::Speeds)
        box->addItem(QString::fromUtf8(speed.text), speed.code);
}
