// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/appsettings.h"

#include <QDialog>

class QComboBox;

namespace Ui {
class ConfigDialog;
}

// Port configuration: edits a copy of the settings; the caller takes it back when accepted.
class ConfigDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConfigDialog(QWidget *parent = nullptr);
    ~ConfigDialog() override;

    void setSettings(const AppSettings &settings);
    AppSettings getSettings() const { return settingsForm; }

private slots:
    void on_btSave_clicked();
    void on_btExit_clicked();
    void on_btSetPath_clicked();

private:
    void showKind();
    void fillInterfaces();
    void setSource(const AppSettings &settings);
    // The source as the form says it; empty for the module.
    QString sourceText() const;

    Ui::ConfigDialog *ui;
    AppSettings settingsForm;
};

// Appends the baud rates "460800" ... "9600" with the rate as integer item data.
void fillBaudRates(QComboBox *box);
