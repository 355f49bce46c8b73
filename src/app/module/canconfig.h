// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDialog>

namespace Ui {
class CanConfig;
}

// Module commands and the CAN bit rate in a dialog of their own. It never writes to the link:
// every message leaves through sendBuffer, and the owner decides where it goes.
class CanConfig : public QDialog
{
    Q_OBJECT

public:
    explicit CanConfig(QWidget *parent = nullptr);
    ~CanConfig() override;

signals:
    void sendBuffer(QByteArray buffer);

private slots:
    void on_btCancel_clicked();
    void on_btSetSpeed_clicked();
    void on_btSendPacket_clicked();

private:
    Ui::CanConfig *ui;
};
