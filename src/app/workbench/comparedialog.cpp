// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/workbench/comparedialog.h"

#include "analysis/frameindex.h"
#include "app/headerfit.h"
#include "app/savefiledialog.h"
#include "app/workbench/backgroundjob.h"
#include "formats/captureformat.h"
#include "log/candatamodel.h"
#include "log/rowsnapshot.h"
#include "ui_comparedialog.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QSaveFile>
#include <cmath>
#include <memory>

CompareDialog::CompareDialog(const CanDataModel *log, QWidget *parent)
    : QDialog(parent), ui(new Ui::CompareDialog), log(log), job(new BackgroundJob(this))
{
    ui->setupUi(this);
    for (QComboBox *box : {ui->cbSourceA, ui->cbSourceB}) {
        box->addItem(tr("Журнал"), int(Log));
        box->addItem(tr("Файл"), int(File));
    }
    ui->cbSourceB->setCurrentIndex(1);
    ui->twCompare->setColumnCount(8);
    ui->twCompare->setHorizontalHeaderLabels(
        {QStringLiteral("ID"), tr("Наличие"), tr("Кадр/с A"), tr("Кадр/с B"), tr("Новые биты в B"),
         tr("Новые биты в A"), tr("Значения только в B"), tr("Кадров A / B")});
    ui->twCompare->horizontalHeader()->setStretchLastSection(true);
    HeaderFit::widenToTitles(ui->twCompare);
    ui->progressBar->hide();
    ui->btExportCsv->setEnabled(false);
    connect(job, &BackgroundJob::progress, ui->progressBar, &QProgressBar::setValue);
    for (const bool b : {false, true}) {
        for (QDoubleSpinBox *box : {b ? ui->sbFromB : ui->sbFromA, b ? ui->sbToB : ui->sbToA})
            connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                    [this, b] { dropSelection(b); });
        connect(b ? ui->cbSourceB : ui->cbSourceA,
                QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, b] { dropSelection(b); });
    }
    connect(ui->twCompare, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = ui->twCompare->currentRow();
        if (row >= 0 && row < int(compared.size()))
            emit identifierSelected(compared[size_t(row)].id, compared[size_t(row)].extended,
                                    compared[size_t(row)].newInB.words[0]);
    });
}

CompareDialog::~CompareDialog()
{
    delete job;
    delete ui;
}

CompareDialog::Side CompareDialog::side(bool b) const
{
    Side s;
    s.source = Source((b ? ui->cbSourceB : ui->cbSourceA)->currentData().toInt());
    s.file = (b ? ui->leFileB : ui->leFileA)->text();
    s.from = (b ? ui->sbFromB : ui->sbFromA)->value();
    s.to = (b ? ui->sbToB : ui->sbToA)->value();
    if (s.source == Log)
        s.rows = taken[b];
    return s;
}

bool CompareDialog::load(const Side &side, const RowSnapshot &rows, FrameIndex *index,
                         QString *error)
{
    if (!side.rows.isEmpty()) {
        for (const RowSelection::Range &r : side.rows.within(0, rows.size())) {
            if (!index->addRows(rows, r.first, r.end)) {
                *error = tr("Не удалось прочитать журнал");
                return false;
            }
        }
        return true;
    }
    FrameIndex all;
    if (side.source == File ? !all.addFile(side.file, error) : !all.addRows(rows, 0, rows.size())) {
        if (error->isEmpty())
            *error = tr("Не удалось прочитать журнал");
        return false;
    }
    // Only the chosen span, as if it were a capture of its own.
    const qint64 first = all.firstTime() + qint64(std::llround(side.from * 1e6));
    const qint64 last =
        side.to > 0 ? all.firstTime() + qint64(std::llround(side.to * 1e6)) : all.lastTime();
    for (int s = 0; s < all.seriesCount(); ++s) {
        const FrameIndex::Series &series = all.at(s);
        const auto span = series.span(first, last);
        for (int i = span.first; i < span.second; ++i) {
            quint8 data[FrameIndex::MaxBytes];
            series.load(i, data);
            index->add(series.id, series.extended, series.times[size_t(i)], data, series.maxLength);
        }
    }
    return true;
}

void CompareDialog::on_btCompare_clicked()
{
    if (job->busy())
        return;
    const RowSnapshot rows = log->snapshot();
    const Side a = side(false);
    const Side b = side(true);
    for (const Side &each : {a, b}) {
        if (each.source == File && each.file.trimmed().isEmpty()) {
            refuse(tr("Выберите файл"));
            return;
        }
    }
    auto result = std::make_shared<std::vector<CaptureComparison::Row>>();
    auto error = std::make_shared<QString>();
    ui->btCompare->setEnabled(false);
    ui->progressBar->show();
    job->start(
        [this, rows, a, b, result, error] {
            FrameIndex x;
            FrameIndex y;
            if (!load(a, rows, &x, error.get()))
                return;
            job->setProgress(1, 3);
            if (!load(b, rows, &y, error.get()))
                return;
            job->setProgress(2, 3);
            *result = CaptureComparison::compare(x, y);
        },
        [this, result, error] {
            ui->btCompare->setEnabled(true);
            ui->progressBar->hide();
            compared = std::move(*result);
            showRows();
            if (!error->isEmpty())
                refuse(*error);
            emit ready();
        });
}

// Said in the summary and in a box, where the user looks after pressing "Сравнить".
void CompareDialog::refuse(const QString &why)
{
    ui->lbSummary->setText(why);
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(), why, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("compareFailed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CompareDialog::showRows()
{
    ui->twCompare->setRowCount(int(compared.size()));
    for (int row = 0; row < int(compared.size()); ++row) {
        const CaptureComparison::Row &r = compared[size_t(row)];
        const QStringList cells = {QStringLiteral("0x") +
                                       QString::number(r.id, 16).toUpper().rightJustified(
                                           r.extended ? 8 : 3, QLatin1Char('0')),
                                   r.presenceText(),
                                   QString::number(r.rateA, 'f', 2),
                                   QString::number(r.rateB, 'f', 2),
                                   CaptureComparison::Row::bitsText(r.newInB),
                                   CaptureComparison::Row::bitsText(r.newInA),
                                   r.valuesText(),
                                   QStringLiteral("%1 / %2").arg(r.framesA).arg(r.framesB)};
        for (int column = 0; column < cells.size(); ++column)
            ui->twCompare->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    ui->btExportCsv->setEnabled(!compared.empty());
    ui->lbSummary->setText(tr("Идентификаторов: %1").arg(compared.size()));
}

bool CompareDialog::exportCsv(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(CaptureComparison::csv(compared).toUtf8());
        if (file.commit())
            return true;
    }
    *error = file.errorString();
    return false;
}

void CompareDialog::on_btExportCsv_clicked()
{
    const QString path = SaveFileDialog::ask(this, tr("Сохранить сравнение"), QString(),
                                             QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"));
    QString error;
    if (!path.isEmpty() && !exportCsv(path, &error))
        ui->lbSummary->setText(tr("Не удалось сохранить: %1").arg(error));
}

void CompareDialog::on_btBrowseA_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Захват A"), QString(),
                                                      CaptureFormats::dialogFilters());
    if (!path.isEmpty()) {
        ui->leFileA->setText(path);
        ui->cbSourceA->setCurrentIndex(1);
    }
}

void CompareDialog::on_btBrowseB_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Захват B"), QString(),
                                                      CaptureFormats::dialogFilters());
    if (!path.isEmpty()) {
        ui->leFileB->setText(path);
        ui->cbSourceB->setCurrentIndex(1);
    }
}

void CompareDialog::on_btClose_clicked()
{
    close();
}

void CompareDialog::setSelectionSource(SelectionSource source)
{
    selection = std::move(source);
    ui->btSelectionA->setEnabled(bool(selection));
    ui->btSelectionB->setEnabled(bool(selection));
}

void CompareDialog::on_btSelectionA_clicked()
{
    takeSelection(false);
}

void CompareDialog::on_btSelectionB_clicked()
{
    takeSelection(true);
}

// The selected rows themselves; their span shown in seconds from the log's first row, widened
// to whole milliseconds so both end rows are inside.
void CompareDialog::takeSelection(bool b)
{
    const RowSelection rows = selection ? selection() : RowSelection();
    if (rows.isEmpty() || log->rowCount() == 0) {
        ui->lbSummary->setText(tr("Выделите строки в журнале"));
        return;
    }
    const qint64 origin = log->frameAt(0).time;
    const qint64 first = log->frameAt(int(rows.firstRow())).time;
    const qint64 last =
        log->frameAt(int(std::min<qint64>(rows.lastRow(), log->rowCount() - 1))).time;
    setting = true;
    (b ? ui->cbSourceB : ui->cbSourceA)->setCurrentIndex(0);
    (b ? ui->sbFromB : ui->sbFromA)->setValue(std::floor((first - origin) / 1e3) / 1e3);
    (b ? ui->sbToB : ui->sbToA)->setValue(std::max(0.001, std::ceil((last - origin) / 1e3) / 1e3));
    setting = false;
    taken[b] = rows;
    ui->lbSummary->setText(tr("%1: выделено строк: %2")
                               .arg(b ? QStringLiteral("B") : QStringLiteral("A"))
                               .arg(rows.count()));
}

void CompareDialog::dropSelection(bool b)
{
    if (!setting)
        taken[b].clear();
}
