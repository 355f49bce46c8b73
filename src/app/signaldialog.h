// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "signals/dbcmessage.h"

#include <QDialog>
#include <functional>

namespace Ui {
class SignalDialog;
}

// Makes or changes one signal, and names the message of an identifier no DBC file knows. The
// fields are filled from the signal given, or from the bits dragged across the grid; "OK" closes
// only once the check given says the signal and its message are right.
class SignalDialog final : public QDialog
{
    Q_OBJECT

public:
    // The message and signal as they would be stored; empty text when all is well.
    using Check = std::function<QString(const DbcMessage &, const DbcSignal &)>;

    explicit SignalDialog(QWidget *parent = nullptr);
    ~SignalDialog() override;

    // `isNew`: the message's name, length and sender may be set too.
    void setMessage(const DbcMessage &message, bool isNew);
    void setSignal(const DbcSignal &signal, bool existing);
    // The bits dragged across: the byte order their direction implies, their start bit and
    // length; another order chosen keeps the length over the same bytes.
    void setSelection(int fromBit, int toBit);
    void setCheck(Check check) { checker = std::move(check); }

    DbcMessage message() const;
    DbcSignal signal() const;
    bool deleteRequested() const { return deleting; }

public slots:
    void accept() override;

private slots:
    void on_btDelete_clicked();
    void on_cbByteOrder_currentIndexChanged(int index);

private:
    enum Mux { NoMux, Multiplexor, ByValue };

    Ui::SignalDialog *ui;
    DbcMessage base;
    DbcSignal original;
    Check checker;
    int fromBit = -1;
    int toBit = -1;
    bool deleting = false;

    QString numbersProblem() const;
};
