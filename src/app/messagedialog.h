// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbcmessage.h"

#include <QDialog>
#include <functional>

namespace Ui {
class MessageDialog;
}

// Changes a message of the database (name, length, sender, comment) or deletes it with its
// signals; "OK" closes only once the check given says the message is right.
class MessageDialog final : public QDialog
{
    Q_OBJECT

public:
    // The message as it would be stored; empty text when all is well.
    using Check = std::function<QString(const DbcMessage &)>;

    explicit MessageDialog(QWidget *parent = nullptr);
    ~MessageDialog() override;

    void setMessage(const DbcMessage &message);
    void setCheck(Check check) { checker = std::move(check); }
    DbcMessage message() const;
    bool deleteRequested() const { return deleting; }

public slots:
    void accept() override;

private slots:
    void on_btDeleteMessage_clicked();

private:
    Ui::MessageDialog *ui;
    DbcMessage base;
    Check checker;
    bool deleting = false;
};
