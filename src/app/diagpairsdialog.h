// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/isotpaddressing.h"

#include <QDialog>
#include <QVector>

namespace Ui {
class DiagPairsDialog;
}

// The ISO-TP identifier pairs a user adds to the built-in ones: request identifier, response
// identifier (hex) and addressing, a row each. Rows that do not read as a pair are dropped.
class DiagPairsDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit DiagPairsDialog(QWidget *parent = nullptr);
    ~DiagPairsDialog() override;

    void setPairs(const QVector<DiagPair> &pairs);
    QVector<DiagPair> pairs() const;

private slots:
    void on_btAdd_clicked();
    void on_btRemove_clicked();

private:
    void addRow(const QString &request, const QString &response, IsoTpAddressing addressing);

    Ui::DiagPairsDialog *ui;
};
