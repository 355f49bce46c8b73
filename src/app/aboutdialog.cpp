// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutdialog.h"
#include "settings/appinfo.h"
#include "ui_aboutdialog.h"

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent), ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    ui->lbVersion->setText(QStringLiteral("%1").arg(AppInfo::Version));
    ui->lbDate->setText(tr("%1г.").arg(AppInfo::ReleaseDate));
}

AboutDialog::~AboutDialog()
{
    delete ui;
}

void AboutDialog::on_btOk_clicked()
{
    accept();
}
