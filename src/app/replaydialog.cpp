// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/replaydialog.h"
#include "ui_replaydialog.h"

#include "capture/capturereplay.h"

#include <QTimer>

namespace {
constexpr int PollMs = 100;
constexpr qint64 UsPerMs = 1000;
} // namespace

ReplayDialog::ReplayDialog(RowSnapshot rows, QVector<qint64> selected, QWidget *parent)
    : QDialog(parent), ui(new Ui::ReplayDialog), rows(std::move(rows)),
      selected(std::move(selected)), engine(new CaptureReplay(this)), poll(new QTimer(this))
{
    ui->setupUi(this);
    ui->chkSelected->setEnabled(!this->selected.isEmpty());
    ui->lbReplayState->setText(tr("Кадров в открытом журнале: %1").arg(this->rows.size()));
    connect(engine, &CaptureReplay::sendPacket, this, &ReplayDialog::sendPacket);
    connect(engine, &CaptureReplay::finished, this, &ReplayDialog::onFinished);
    connect(poll, &QTimer::timeout, this, &ReplayDialog::showProgress);
}

ReplayDialog::~ReplayDialog()
{
    engine->stop();
    delete ui;
}

void ReplayDialog::on_btReplayStart_clicked()
{
    CaptureReplay::Options options;
    if (ui->rbFixedGap->isChecked())
        options.fixedGapUs = qint64(ui->sbGap->value()) * UsPerMs;
    options.loop = ui->chkLoop->isChecked();
    if (ui->chkSelected->isChecked())
        options.rows = selected;
    ui->btReplayStart->setEnabled(false);
    ui->btReplayStop->setEnabled(true);
    poll->start(PollMs);
    engine->start(rows, options);
    showProgress();
}

void ReplayDialog::on_btReplayStop_clicked()
{
    engine->stop();
}

void ReplayDialog::on_btReplayClose_clicked()
{
    engine->stop();
    accept();
}

void ReplayDialog::showProgress()
{
    const qint64 total = qMax<qint64>(1, engine->total());
    ui->pbReplay->setValue(int(engine->sent() * 100 / total));
    ui->lbReplayState->setText(tr("Отправлено: %1 из %2, круг %3")
                                   .arg(engine->sent())
                                   .arg(engine->total())
                                   .arg(engine->loopsDone() + 1));
}

void ReplayDialog::onFinished()
{
    poll->stop();
    showProgress();
    ui->btReplayStart->setEnabled(true);
    ui->btReplayStop->setEnabled(false);
}
