// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/logsaver.h"

#include "app/savefiledialog.h"
#include "capture/exportjob.h"
#include "log/candatamodel.h"
#include "signals/decodedcsvwriter.h"
#include "signals/signalset.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace {
constexpr int PollMs = 100;
QString caption()
{
    return LogSaver::tr("Сохранить журнал");
}

QString decodedFilter()
{
    return LogSaver::tr("Сигналы по DBC, CSV (*.csv)");
}
} // namespace

LogSaver::LogSaver(QWidget *window, QStatusBar *bar, CanDataModel *log)
    : QObject(window), window(window), log(log), progress(new QProgressBar(bar)),
      cancelButton(new QPushButton(tr("Отмена"), bar)), poll(new QTimer(this))
{
    progress->setObjectName(QStringLiteral("pbSave"));
    cancelButton->setObjectName(QStringLiteral("btSaveCancel"));
    progress->setMaximumWidth(200);
    bar->addPermanentWidget(progress);
    bar->addPermanentWidget(cancelButton);
    progress->hide();
    cancelButton->hide();
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        if (job)
            job->cancel();
    });
    connect(poll, &QTimer::timeout, this, &LogSaver::showProgress);
}

LogSaver::~LogSaver() = default;

bool LogSaver::isSaving() const
{
    return job && job->isRunning();
}

QString LogSaver::withSuffix(const QString &path, CaptureFormat format)
{
    return SaveFileDialog::withSuffix(path, CaptureFormats::suffix(format));
}

void LogSaver::save(const QString &workDir)
{
    if (isSaving()) {
        emit status(tr("Журнал ещё сохраняется"));
        return;
    }
    const int entries = int(QDir(workDir).count());
    const QString proposed = workDir + QStringLiteral("/sheet_%1").arg(entries);
    QString filters = CaptureFormats::dialogFilters();
    if (signalSet && !signalSet->isEmpty())
        filters += QStringLiteral(";;") + decodedFilter();
    QString filter = CaptureFormats::dialogFilter(CaptureFormat::Table);
    const QString path =
        QFileDialog::getSaveFileName(window, caption(), proposed, filters, &filter);
    if (path.isEmpty())
        return;
    if (filter == decodedFilter()) {
        saveDecodedTo(withSuffix(path, CaptureFormat::Table)); // also ".csv"
        return;
    }
    CaptureFormat format = CaptureFormat::Table;
    for (const CaptureFormat each : CaptureFormats::all()) {
        if (CaptureFormats::dialogFilter(each) == filter)
            format = each;
    }
    // A typed suffix the program knows decides; otherwise the chosen filter does.
    format = CaptureFormats::fromFileName(path).value_or(format);
    saveTo(withSuffix(path, format), format);
}

void LogSaver::saveTo(const QString &path, CaptureFormat format)
{
    log->flushRows();
    start(std::make_unique<ExportJob>(log->snapshot(), format, path));
}

// The job decodes with a copy of the database: DBC files loaded again meanwhile change nothing.
void LogSaver::saveDecodedTo(const QString &path)
{
    if (!signalSet)
        return;
    log->flushRows();
    const auto database = std::make_shared<const DbcDatabase>(signalSet->database());
    auto makeWriter = [database](QIODevice *device) -> std::unique_ptr<CaptureWriter> {
        return std::make_unique<DecodedCsvWriter>(device, DecodedCsvWriter::columnsOf(*database));
    };
    start(std::make_unique<ExportJob>(log->snapshot(), makeWriter, path));
}

void LogSaver::start(std::unique_ptr<ExportJob> newJob)
{
    job = std::move(newJob);
    connect(job.get(), &ExportJob::finished, this, &LogSaver::onFinished);
    progress->setRange(0, 1000);
    progress->setValue(0);
    progress->show();
    cancelButton->show();
    poll->start(PollMs);
    job->start();
}

void LogSaver::showProgress()
{
    if (job && job->total() > 0)
        progress->setValue(int(job->done() * 1000 / job->total()));
}

void LogSaver::onFinished(bool ok, const QString &error)
{
    poll->stop();
    progress->hide();
    cancelButton->hide();
    const QString path = job->path();
    const qint64 rows = job->total();
    if (ok) {
        emit status(tr("Сохранено строк: %1 в %2").arg(rows).arg(path));
        emit saved(rows);
        return;
    }
    emit status(tr("Журнал не сохранён: %1").arg(error));
    if (error == QCoreApplication::translate("ExportJob", "Отменено"))
        return;
    // Opened, not executed: the capture goes on while the warning is up.
    auto *box = new QMessageBox(QMessageBox::Warning, caption(),
                                tr("Не удалось сохранить журнал в файл\n%1\n%2").arg(path, error),
                                QMessageBox::Ok, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
