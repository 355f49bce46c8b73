// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"
#include "log/rowsnapshot.h"

#include <QElapsedTimer>
#include <QObject>
#include <QVector>

class QTimer;

// Sends logged rows back to the bus in time: each frame is due at the start plus its offset (its
// own timestamp gap from the first row, or a fixed gap), measured on a monotonic clock from the
// start, so lateness of one frame never shifts the next. Frames go out through sendPacket.
class CaptureReplay final : public QObject
{
    Q_OBJECT

public:
    // Frames sent per timer turn at most: a burst never stalls the window.
    static constexpr int MaxBurst = 256;

    struct Options
    {
        qint64 fixedGapUs = -1; // < 0: the rows' own timing
        bool loop = false;
        QVector<qint64> rows; // rows of the snapshot to send; empty: all
    };

    explicit CaptureReplay(QObject *parent = nullptr);

    void start(RowSnapshot snapshot, const Options &options);
    void stop();
    bool isRunning() const { return running; }
    qint64 total() const;
    qint64 sent() const { return position; }
    int loopsDone() const { return loops; }

signals:
    void sendPacket(CanPacket packet);
    void finished();

private:
    qint64 rowAt(qint64 index) const;
    qint64 offsetOf(qint64 index) const;
    void onTimer();
    void schedule();

    RowSnapshot rows;
    Options options;
    QTimer *timer;
    QElapsedTimer clock;
    qint64 position = 0;
    qint64 loopBaseUs = 0; // offset of the current loop's first frame
    qint64 firstTime = 0;
    int loops = 0;
    bool running = false;
};
