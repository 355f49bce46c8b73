// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/exportjob.h"

#include "formats/capturewriter.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSaveFile>

namespace {

constexpr qint64 ProgressStep = 4096; // rows between progress updates and cancel checks
QString cancelledText()
{
    return QCoreApplication::translate("ExportJob", "Отменено");
}

bool writeAll(const RowSnapshot &rows, CaptureWriter &writer, QString *error,
              const std::atomic<bool> *cancel, std::atomic<qint64> *progress)
{
    TimedPacket frame;
    for (qint64 row = 0; row < rows.size(); ++row) {
        if (row % ProgressStep == 0) {
            if (cancel && *cancel) {
                *error = cancelledText();
                return false;
            }
            if (progress)
                *progress = row;
        }
        if (!rows.readFrame(row, &frame)) {
            *error = QCoreApplication::translate("ExportJob", "строка %1 журнала не читается")
                         .arg(row + 1);
            return false;
        }
        if (!writer.write(frame))
            break;
    }
    if (!writer.finish()) {
        *error = writer.errorString();
        return false;
    }
    if (progress)
        *progress = rows.size();
    return true;
}

ExportJob::WriterFactory writerOf(CaptureFormat format)
{
    return [format](QIODevice *device) { return CaptureFormats::createWriter(format, device); };
}

} // namespace

ExportJob::ExportJob(RowSnapshot rows, CaptureFormat format, const QString &path, QObject *parent)
    : ExportJob(std::move(rows), writerOf(format), path, parent)
{
}

ExportJob::ExportJob(RowSnapshot rows, WriterFactory makeWriter, const QString &path,
                     QObject *parent)
    : QObject(parent), rows(std::move(rows)), makeWriter(std::move(makeWriter)), target(path)
{
}

ExportJob::~ExportJob()
{
    cancelled = true;
    if (worker.joinable())
        worker.join();
}

void ExportJob::start()
{
    if (running || worker.joinable())
        return;
    running = true;
    worker = std::thread([this] {
        QString error;
        const bool ok = writeRows(rows, makeWriter, target, &error, &cancelled, &written);
        // Delivered on the owner's thread; dropped when the job is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, ok, error] {
                running = false;
                if (worker.joinable())
                    worker.join();
                emit finished(ok, error);
            },
            Qt::QueuedConnection);
    });
}

bool ExportJob::writeRows(const RowSnapshot &rows, CaptureFormat format, const QString &path,
                          QString *error, const std::atomic<bool> *cancel,
                          std::atomic<qint64> *progress)
{
    return writeRows(rows, writerOf(format), path, error, cancel, progress);
}

bool ExportJob::writeRows(const RowSnapshot &rows, const WriterFactory &makeWriter,
                          const QString &path, QString *error, const std::atomic<bool> *cancel,
                          std::atomic<qint64> *progress)
{
    QString reason;
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (!ok)
        reason = file.errorString();
    if (ok) {
        const auto writer = makeWriter(&file);
        ok = writer && writeAll(rows, *writer, &reason, cancel, progress);
        ok = ok && file.commit();
        if (!ok && reason.isEmpty())
            reason = file.errorString();
        if (!ok)
            file.cancelWriting();
    }
    if (error)
        *error = reason;
    return ok;
}
