// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/captureformat.h"

#include <QObject>
#include <memory>

class CanDataModel;
class ExportJob;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QWidget;
class SignalSet;

// "Сохранить...": asks for a file and a format, then writes the log as it stands at that moment
// on a thread of its own, with a progress bar and a cancel button in the status bar, while the
// capture goes on. With DBC files loaded the rows can also be saved as their decoded signals.
class LogSaver final : public QObject
{
    Q_OBJECT

public:
    LogSaver(QWidget *window, QStatusBar *bar, CanDataModel *log);
    ~LogSaver() override;

    // Asks where to, proposing a new name in `workDir`.
    void save(const QString &workDir);
    // Starts writing every row there is now to `path`.
    void saveTo(const QString &path, CaptureFormat format);
    // Every signal of the set's messages as CSV; the set must outlive the saver.
    void saveDecodedTo(const QString &path);
    bool isSaving() const;
    // Offers the decoded signals of this set too, while it holds any message.
    void decodeWith(const SignalSet *set) { signalSet = set; }

    // `path` as given, or with the format's suffix when it has none.
    static QString withSuffix(const QString &path, CaptureFormat format);

signals:
    void status(const QString &text);
    // The log's first `rows` rows are in a file now.
    void saved(qint64 rows);

private:
    void start(std::unique_ptr<ExportJob> newJob);
    void showProgress();
    void onFinished(bool ok, const QString &error);

    QWidget *window;
    CanDataModel *log;
    QProgressBar *progress;
    QPushButton *cancelButton;
    QTimer *poll;
    std::unique_ptr<ExportJob> job;
    const SignalSet *signalSet = nullptr;
};
