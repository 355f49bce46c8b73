// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/triggersdialog.h"

#include "capture/triggerrule.h"
#include "ui_triggersdialog.h"

#include <QMessageBox>

TriggersDialog::TriggersDialog(QWidget *parent) : QDialog(parent), ui(new Ui::TriggersDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Триггеры и сервер socketcand"));
}

TriggersDialog::~TriggersDialog()
{
    delete ui;
}

void TriggersDialog::setValues(const Values &values)
{
    ui->edTriggers->setPlainText(values.triggers.join(QLatin1Char('\n')));
    ui->chkServer->setChecked(!values.server.isEmpty());
    ui->edServer->setText(values.server.isEmpty() ? QStringLiteral("127.0.0.1:29536")
                                                  : values.server);
    ui->chkAllowSend->setChecked(values.allowSend);
    ui->spClients->setValue(values.maxClients);
    ui->spOpenTimeout->setValue(values.openTimeoutS);
}

TriggersDialog::Values TriggersDialog::values() const
{
    Values values;
    const QStringList lines = ui->edTriggers->toPlainText().split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            values.triggers.append(line.trimmed());
    }
    values.server = ui->chkServer->isChecked() ? ui->edServer->text().trimmed() : QString();
    values.allowSend = ui->chkAllowSend->isChecked();
    values.maxClients = ui->spClients->value();
    values.openTimeoutS = ui->spOpenTimeout->value();
    return values;
}

// A rule that does not read keeps the dialog open, naming it.
void TriggersDialog::on_btSave_clicked()
{
    for (const QString &text : values().triggers) {
        TriggerRule rule;
        QString error;
        if (!TriggerRule::parse(text, rule, error)) {
            QMessageBox::warning(this, windowTitle(), text + QStringLiteral(": ") + error);
            return;
        }
    }
    accept();
}

void TriggersDialog::on_btExit_clicked()
{
    reject();
}
