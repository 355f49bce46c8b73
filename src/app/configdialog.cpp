// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/configdialog.h"
#include "capture/sourceaddress.h"
#include "link/canbussource.h"
#include "ui_configdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSerialPortInfo>
#include <QSpinBox>

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
    ui->cbSource->addItem(tr("Модуль Tarvix"), int(SourceAddress::Kind::Tarvix));
    ui->cbSource->addItem(tr("Адаптер CAN (Qt Serial Bus)"), int(SourceAddress::Kind::CanBus));
    ui->cbSource->addItem(tr("Сервер socketcand"), int(SourceAddress::Kind::Socketcand));
    ui->cbPlugin->addItems(CanBusSource::plugins());
    connect(ui->cbSource, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ConfigDialog::showKind);
    connect(ui->cbPlugin, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ConfigDialog::fillInterfaces);
    fillInterfaces();
    showKind();
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
    setSource(settings);
}

void ConfigDialog::setSource(const AppSettings &settings)
{
    SourceAddress address;
    QString why;
    if (!settings.source.isEmpty())
        SourceAddress::parse(settings.source, &address, &why);
    ui->cbSource->setCurrentIndex(ui->cbSource->findData(int(address.kind)));
    if (address.kind == SourceAddress::Kind::CanBus) {
        if (ui->cbPlugin->findText(address.plugin) < 0)
            ui->cbPlugin->addItem(address.plugin); // a plugin this machine lacks stays as chosen
        ui->cbPlugin->setCurrentText(address.plugin);
    }
    ui->cbInterface->setCurrentText(address.interfaceName);
    ui->edHost->setText(address.host);
    ui->sbServerPort->setValue(address.port);
    ui->sbBitrate->setValue(settings.bitrate);
    ui->sbDataBitrate->setValue(settings.dataBitrate);
    ui->chkListenOnly->setChecked(settings.listenOnly);
    showKind();
}

// Only what the chosen kind of source uses is shown.
void ConfigDialog::showKind()
{
    const auto kind = SourceAddress::Kind(ui->cbSource->currentData().toInt());
    const bool adapter = kind == SourceAddress::Kind::CanBus;
    const bool server = kind == SourceAddress::Kind::Socketcand;
    const QList<QWidget *> adapterRows{ui->lbPlugin,     ui->cbPlugin,      ui->lbBitrate,
                                       ui->sbBitrate,    ui->lbDataBitrate, ui->sbDataBitrate,
                                       ui->chkListenOnly};
    for (QWidget *w : adapterRows)
        w->setVisible(adapter);
    for (QWidget *w : QList<QWidget *>{ui->lbHost, ui->edHost, ui->sbServerPort})
        w->setVisible(server);
    ui->lbInterface->setVisible(adapter || server);
    ui->cbInterface->setVisible(adapter || server);
    ui->groupBox_2->setEnabled(kind == SourceAddress::Kind::Tarvix);
}

// The interfaces the chosen plugin finds now; any other name may still be typed.
void ConfigDialog::fillInterfaces()
{
    const QString typed = ui->cbInterface->currentText();
    ui->cbInterface->clear();
    QString why;
    for (const CanBusSource::Interface &found :
         CanBusSource::interfaces(ui->cbPlugin->currentText(), &why))
        ui->cbInterface->addItem(found.name);
    ui->cbInterface->setToolTip(why);
    ui->cbInterface->setCurrentText(typed);
}

QString ConfigDialog::sourceText() const
{
    SourceAddress address;
    address.kind = SourceAddress::Kind(ui->cbSource->currentData().toInt());
    address.plugin = ui->cbPlugin->currentText().trimmed();
    address.interfaceName = ui->cbInterface->currentText().trimmed();
    address.host = ui->edHost->text().trimmed();
    address.port = quint16(ui->sbServerPort->value());
    SourceAddress check;
    QString why;
    return SourceAddress::parse(address.text(), &check, &why) ? address.text() : QString();
}

void ConfigDialog::on_btSave_clicked()
{
    const bool module = ui->cbSource->currentData().toInt() == int(SourceAddress::Kind::Tarvix);
    if (!module && sourceText().isEmpty()) {
        QMessageBox::warning(this, windowTitle(), tr("Укажите интерфейс источника (и сервер)"));
        return;
    }
    // edPath is display only: the folder is taken over from the chooser alone.
    settingsForm.portName = ui->cbPorts->currentText();
    settingsForm.baudRate = ui->cbPortSpeed->currentData().toInt();
    settingsForm.fileName = transmitListName(ui->edFileName->text());
    settingsForm.record = ui->chkRecord->isChecked();
    settingsForm.recordMb = ui->sbRecordMb->value();
    settingsForm.source = sourceText();
    settingsForm.bitrate = ui->sbBitrate->value();
    settingsForm.dataBitrate = ui->sbDataBitrate->value();
    settingsForm.listenOnly = ui->chkListenOnly->isChecked();
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
