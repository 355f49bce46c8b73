// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/fieldmark.h"

#include <QDialog>
#include <vector>

class BackgroundJob;
class CanDataModel;

namespace Ui {
class FieldMarksDialog;
}

// "Разметить": what every field of every identifier of the log is over a span (constant bytes,
// counters, checksums, flags, values) with the share of frames that match, worked out off the
// window's thread. A mark becomes a signal in one click.
class FieldMarksDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit FieldMarksDialog(const CanDataModel *log, QWidget *parent = nullptr);
    ~FieldMarksDialog() override;

    const std::vector<FieldMark> &marks() const { return found; }

signals:
    void fieldSelected(quint32 id, bool extended, int startBit, int length, bool motorola);
    void createSignalRequested(quint32 id, bool extended, int startBit, int length, bool motorola,
                               bool isSigned, double factor, double offset);
    void ready();

private slots:
    void on_btMark_clicked();
    void on_btCreateSignal_clicked();
    void on_btClose_clicked();

private:
    void showMarks();
    const FieldMark *selected() const;

    Ui::FieldMarksDialog *ui;
    const CanDataModel *log;
    BackgroundJob *job;
    std::vector<FieldMark> found;
};
