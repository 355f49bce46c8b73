// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>

class QThread;

// One piece of work at a time on a thread of its own, for a window that must stay responsive:
// progress is polled by a timer on the window's thread, the result is handed back there, and
// the work is cancelled and waited for when the window goes.
class BackgroundJob final : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundJob(QObject *parent = nullptr);
    ~BackgroundJob() override;

    bool busy() const { return thread != nullptr; }
    // `work` runs on the thread; `done` on the window's thread once it ended (not when cancelled
    // by the window going).
    void start(std::function<void()> work, std::function<void()> done);
    void cancel() { cancelled = true; }
    const std::atomic_bool *cancelFlag() const { return &cancelled; }
    // Set from the work, 0 .. 1000.
    void setProgress(int done, int total)
    {
        permille = total > 0 ? int(qint64(done) * 1000 / total) : 0;
    }

signals:
    void progress(int permille);

private:
    void onFinished();

    QThread *thread = nullptr;
    std::function<void()> finish;
    std::atomic_bool cancelled{false};
    std::atomic_int permille{0};
    QTimer poll;
};
