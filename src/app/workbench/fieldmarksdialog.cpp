// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/workbench/fieldmarksdialog.h"

#include "analysis/fieldmarker.h"
#include "analysis/frameindex.h"
#include "app/headerfit.h"
#include "app/workbench/backgroundjob.h"
#include "log/candatamodel.h"
#include "log/rowsnapshot.h"
#include "ui_fieldmarksdialog.h"

#include <QHeaderView>
#include <cmath>
#include <memory>

FieldMarksDialog::FieldMarksDialog(const CanDataModel *log, QWidget *parent)
    : QDialog(parent), ui(new Ui::FieldMarksDialog), log(log), job(new BackgroundJob(this))
{
    ui->setupUi(this);
    ui->twMarks->setColumnCount(7);
    ui->twMarks->setHorizontalHeaderLabels({QStringLiteral("ID"), tr("Начальный бит"), tr("Длина"),
                                            tr("Порядок байтов"), tr("Вид"), tr("Совпадает"),
                                            tr("Подробно")});
    ui->twMarks->horizontalHeader()->setStretchLastSection(true);
    HeaderFit::widenToTitles(ui->twMarks);
    ui->progressBar->hide();
    ui->btCreateSignal->setEnabled(false);
    connect(job, &BackgroundJob::progress, ui->progressBar, &QProgressBar::setValue);
    connect(ui->twMarks, &QTableWidget::itemSelectionChanged, this, [this] {
        const FieldMark *m = selected();
        ui->btCreateSignal->setEnabled(m != nullptr);
        if (m)
            emit fieldSelected(m->id, m->extended, m->startBit, m->length, m->motorola);
    });
}

FieldMarksDialog::~FieldMarksDialog()
{
    delete job;
    delete ui;
}

void FieldMarksDialog::on_btMark_clicked()
{
    if (job->busy())
        return;
    const RowSnapshot rows = log->snapshot();
    const double from = ui->sbFrom->value();
    const double to = ui->sbTo->value();
    auto marks = std::make_shared<std::vector<FieldMark>>();
    ui->btMark->setEnabled(false);
    ui->progressBar->show();
    job->start(
        [this, rows, from, to, marks] {
            FrameIndex index;
            index.addRows(rows, 0, rows.size());
            job->setProgress(1, 2);
            const qint64 first = index.firstTime() + qint64(std::llround(from * 1e6));
            const qint64 last =
                to > 0 ? index.firstTime() + qint64(std::llround(to * 1e6)) : index.lastTime();
            *marks = FieldMarker::mark(index, first, last);
        },
        [this, marks] {
            found = std::move(*marks);
            ui->btMark->setEnabled(true);
            ui->progressBar->hide();
            showMarks();
            emit ready();
        });
}

void FieldMarksDialog::showMarks()
{
    ui->twMarks->setRowCount(int(found.size()));
    for (int row = 0; row < int(found.size()); ++row) {
        const FieldMark &m = found[size_t(row)];
        const QStringList cells = {
            QStringLiteral("0x") + QString::number(m.id, 16).toUpper().rightJustified(
                                       m.extended ? 8 : 3, QLatin1Char('0')),
            QString::number(m.startBit),
            QString::number(m.length),
            m.motorola ? QStringLiteral("Motorola") : QStringLiteral("Intel"),
            m.kindText(),
            m.share < 0 ? QString() : tr("%1 %").arg(m.share * 100, 0, 'f', 1),
            m.detail};
        for (int column = 0; column < cells.size(); ++column)
            ui->twMarks->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    ui->lbSummary->setText(tr("Полей: %1").arg(found.size()));
}

const FieldMark *FieldMarksDialog::selected() const
{
    const int row = ui->twMarks->currentRow();
    if (row < 0 || row >= int(found.size()) || ui->twMarks->selectedItems().isEmpty())
        return nullptr;
    return &found[size_t(row)];
}

void FieldMarksDialog::on_btCreateSignal_clicked()
{
    if (const FieldMark *m = selected())
        emit createSignalRequested(m->id, m->extended, m->startBit, m->length, m->motorola, false,
                                   1, 0);
}

void FieldMarksDialog::on_btClose_clicked()
{
    close();
}
