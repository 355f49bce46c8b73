// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/capturedamage.h"
#include "link/timedpacket.h"

#include <QObject>
#include <QVector>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// Reads a capture file on a thread of its own and hands its frames over in batches to the thread
// that owns the loader, so a window stays responsive while millions of frames come in. At most a
// few batches are in flight: a reader faster than its consumer waits instead of filling memory.
class CaptureLoader final : public QObject
{
    Q_OBJECT

public:
    static constexpr int BatchFrames = 16384;
    static constexpr int MaxBatchesInFlight = 4;

    explicit CaptureLoader(QObject *parent = nullptr);
    // Cancels a load still running and waits for its thread.
    ~CaptureLoader() override;

    // Starts reading `path`, its format from the suffix or the content; false (with
    // errorString) when it cannot.
    bool start(const QString &path);
    void cancel();
    bool isRunning() const { return running; }
    QString errorString() const { return error; }
    // Progress of the reader, 0..1000.
    int progress() const { return permille; }

signals:
    void frames(const QVector<TimedPacket> &batch);
    // `error` empty on success and on cancel. `damaged` stretches were stepped over (counted in
    // `skipped` too), the first of them `firstDamage`.
    void finished(bool ok, quint64 framesRead, quint64 skipped, const QString &error,
                  quint64 damaged, const CaptureDamage &firstDamage);

private:
    void run(const QString &path, int format);
    void deliver(QVector<TimedPacket> &batch);
    void waitForRoom();

    std::thread worker;
    std::mutex lock;
    std::condition_variable room;
    int inFlight = 0;
    std::atomic<bool> cancelled{false};
    std::atomic<int> permille{0};
    bool running = false;
    QString error;
};
