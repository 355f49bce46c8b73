// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/module/canconfig.h"
#include "ui_canconfig.h"

#include "app/module/commandlists.h"
#include "link/modulecommand.h"

#include <QMessageBox>

CanConfig::CanConfig(QWidget *parent) : QDialog(parent), ui(new Ui::CanConfig)
{
    ui->setupUi(this);
    setWindowTitle(tr("Конфигурация модуля Tarvix_vxx"));
    ModuleCommand::fillCommands(ui->listWidget);
    fillCanSpeeds(ui->cbCanSpeed);
}

CanConfig::~CanConfig()
{
    delete ui;
}

// Hiding ends the modal run; the owner discards the dialog afterwards.
void CanConfig::on_btCancel_clicked()
{
    hide();
}

void CanConfig::on_btSetSpeed_clicked()
{
    const int speed = ui->cbCanSpeed->currentData().toInt();
    emit sendBuffer(ModuleCommand::message(ModuleCommand::SpeedMarker, speed));
}

// Unlike the command tab, a plain selection is enough here: the current entry is sent.
void CanConfig::on_btSendPacket_clicked()
{
    const QListWidgetItem *item = ui->listWidget->currentItem();
    if (!item) {
        QMessageBox::warning(this, tr("Отправка пакета"), tr("Не выбрана фукция!"),
                             QMessageBox::Ok);
        return;
    }
    const int command = item->data(Qt::UserRole).toInt();
    emit sendBuffer(ModuleCommand::message(ModuleCommand::CommandMarker, command));
}
