// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/captureformat.h"
#include "log/rowsnapshot.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class CaptureWriter;
class QIODevice;

// Saves the rows of a snapshot to a file on a thread of its own, so the port keeps being read
// while millions of rows are written. The file is replaced only when everything was written: a
// failed or cancelled save leaves the previous one as it was.
class ExportJob final : public QObject
{
    Q_OBJECT

public:
    // Makes the writer for the file, on the job's thread: what it uses must stay valid until the
    // job finished.
    using WriterFactory = std::function<std::unique_ptr<CaptureWriter>(QIODevice *)>;

    ExportJob(RowSnapshot rows, CaptureFormat format, const QString &path,
              QObject *parent = nullptr);
    ExportJob(RowSnapshot rows, WriterFactory makeWriter, const QString &path,
              QObject *parent = nullptr);
    // Cancels a save still running and waits for its thread.
    ~ExportJob() override;

    void start();
    void cancel() { cancelled = true; }
    bool isRunning() const { return running; }
    QString path() const { return target; }
    qint64 total() const { return rows.size(); }
    qint64 done() const { return written; }

    // The same save on the calling thread; `error` gets the reason of a failure.
    static bool writeRows(const RowSnapshot &rows, CaptureFormat format, const QString &path,
                          QString *error, const std::atomic<bool> *cancel = nullptr,
                          std::atomic<qint64> *progress = nullptr);
    static bool writeRows(const RowSnapshot &rows, const WriterFactory &makeWriter,
                          const QString &path, QString *error,
                          const std::atomic<bool> *cancel = nullptr,
                          std::atomic<qint64> *progress = nullptr);

signals:
    // `error` is empty on success; "Отменено" when cancelled.
    void finished(bool ok, const QString &error);

private:
    RowSnapshot rows;
    WriterFactory makeWriter;
    QString target;
    std::atomic<bool> cancelled{false};
    std::atomic<qint64> written{0};
    bool running = false;
    std::thread worker;
};
