// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

namespace Ui {
class TriggersDialog;
}

// Triggers, one rule a line, and the socketcand server: what the window shares and records
// around events.
class TriggersDialog : public QDialog
{
    Q_OBJECT

public:
    struct Values
    {
        QStringList triggers;
        QString server; // "ADDR:PORT"; empty: no server
        bool allowSend = false;
        int maxClients = 16;   // clients served at once
        int openTimeoutS = 10; // a client that opens no interface within this is closed; 0 never
    };

    explicit TriggersDialog(QWidget *parent = nullptr);
    ~TriggersDialog() override;

    void setValues(const Values &values);
    Values values() const;

private slots:
    void on_btSave_clicked();
    void on_btExit_clicked();

private:
    Ui::TriggersDialog *ui;
};
