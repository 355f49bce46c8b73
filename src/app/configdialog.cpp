// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/configdialog.h"
#include "ui_configdialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QSerialPortInfo>

namespace {

// An unknown text leaves the current entry selected.
void selectText(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
}

// A stored port the system does not list (a pty link, a /dev/serial/by-id/ path) is kept as an
// entry of its own, so that saving without touching the port does not swap it for another. The
// default of a first start names no real port here: then the first one listed is offered.
void selectPort(QComboBox *box, const QString &port)
{
    const bool chosen = !port.isEmpty() && port != AppSettings::defaults().portName;
    if (chosen && box->findText(port) < 0)
        box->addItem(port);
    selectText(box, port);
}

} // namespace

ConfigDialog::ConfigDialog(QWidget *parent) : QDialog(parent), ui(new Ui::ConfigDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Установка конфигурации"));
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &port : ports)
        ui->cbPorts->addItem(port.portName());
    fillBaudRates(ui->cbPortSpeed);
    // The labels are kept narrow, but never so narrow that their text is cut in the font in use.
    for (QLabel *label : {ui->label_3, ui->label_4}) {
        const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 8;
        label->setMaximumWidth(qMax(label->maximumWidth(), needed));
    }
}

ConfigDialog::~ConfigDialog()
{
    delete ui;
}

void ConfigDialog::setSettings(const AppSettings &settings)
{
    settingsForm = settings;
    ui->edPath->setText(settings.workDir);
    ui->edFileName->setText(settings.fileName);
    selectPort(ui->cbPorts, settings.portName);
    selectText(ui->cbPortSpeed, settings.baudRate.toString());
    ui->chkRecord->setChecked(settings.record);
    ui->sbRecordMb->setValue(settings.recordMb);
}

void ConfigDialog::on_btSave_clicked()
{
    // edPath is display only: the folder is taken over from the chooser alone.
    settingsForm.portName = ui->cbPorts->currentText();
    settingsForm.baudRate = ui->cbPortSpeed->currentData().toInt();
    settingsForm.fileName = transmitListName(ui->edFileName->text());
    settingsForm.record = ui->chkRecord->isChecked();
    settingsForm.recordMb = ui->sbRecordMb->value();
    accept();
}

// The caller reads the copy back only when accepted, so rejecting drops every change.
void ConfigDialog::on_btExit_clicked()
{
    reject();
}

void ConfigDialog::on_btSetPath_clicked()
{
    const QString dir = QFileDialog::getExistingDirectory(
        this, tr("Рабочая папка"), settingsForm.workDir, QFileDialog::ShowDirsOnly);
    if (!dir.isEmpty())
        settingsForm.workDir = dir;
    ui->edPath->setText(settingsForm.workDir);
}

void fillBaudRates(QComboBox *box)
{
    for (const int rate : {460800, 230400, 115200, 57600, 9600})
        box->addItem(QString::number(rate), rate);
}
