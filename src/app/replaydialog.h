// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"
#include "log/rowsnapshot.h"

#include <QDialog>
#include <QVector>

class CaptureReplay;
class QTimer;

namespace Ui {
class ReplayDialog;
}

// "Воспроизвести журнал...": sends the loaded capture (all rows or the selected ones, once or in a
// loop, in its own timing or at a fixed gap) to the bus while the window goes on reading the port.
class ReplayDialog : public QDialog
{
    Q_OBJECT

public:
    ReplayDialog(RowSnapshot rows, QVector<qint64> selected, QWidget *parent = nullptr);
    ~ReplayDialog() override;

    CaptureReplay *replay() const { return engine; }

signals:
    void sendPacket(CanPacket packet);

private slots:
    void on_btReplayStart_clicked();
    void on_btReplayStop_clicked();
    void on_btReplayClose_clicked();

private:
    void showProgress();
    void onFinished();

    Ui::ReplayDialog *ui;
    RowSnapshot rows;
    QVector<qint64> selected;
    CaptureReplay *engine;
    QTimer *poll;
};
