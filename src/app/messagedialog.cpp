// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/messagedialog.h"

#include "ui_messagedialog.h"

#include "link/canpacket.h"

MessageDialog::MessageDialog(QWidget *parent) : QDialog(parent), ui(new Ui::MessageDialog)
{
    ui->setupUi(this);
    connect(ui->sbMessageLength, QOverload<int>::of(&QSpinBox::valueChanged), this,
            [this](int bytes) {
                if (bytes > CanPacket::MaxClassicBytes)
                    ui->chkMessageFd->setChecked(true);
            });
}

MessageDialog::~MessageDialog()
{
    delete ui;
}

void MessageDialog::setMessage(const DbcMessage &message)
{
    base = message;
    ui->lbMessageId->setText(QStringLiteral("0x%1%2").arg(
        QString::number(message.id, 16).toUpper(), message.extended ? tr(" (29 бит)") : QString()));
    ui->leMessageName->setText(message.name);
    ui->sbMessageLength->setValue(message.size);
    ui->chkMessageFd->setChecked(message.fd);
    ui->leTransmitter->setText(message.transmitter);
    ui->pteMessageComment->setPlainText(message.comment);
}

DbcMessage MessageDialog::message() const
{
    DbcMessage m = base;
    m.name = ui->leMessageName->text().trimmed();
    m.size = ui->sbMessageLength->value();
    m.fd = ui->chkMessageFd->isChecked();
    m.transmitter = ui->leTransmitter->text().trimmed();
    m.comment = ui->pteMessageComment->toPlainText();
    return m;
}

void MessageDialog::accept()
{
    const QString problem = checker ? checker(message()) : QString();
    ui->lbProblem->setText(problem);
    if (problem.isEmpty())
        QDialog::accept();
}

void MessageDialog::on_btDeleteMessage_clicked()
{
    deleting = true;
    QDialog::accept();
}
