// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>

class DiskWriter;
class QTimer;
struct TimedPacket;

// Records every frame of a connection to a candump log in a directory, one line a frame, named
// "quorvex-YYYYMMDD-HHMMSS.log" after the moment of connecting and continued in "-2", "-3", ...
// once a file reaches its size limit. Lines are gathered in memory and handed to a thread of its
// own at least every FlushMs, so a kill loses at most the last moments and a slow disk never
// holds up the port. A write that fails (a full disk, say) stops the recording, never the capture,
// and every frame that did not reach the file is counted.
class CaptureRecorder final : public QObject
{
    Q_OBJECT

public:
    static constexpr int FlushMs = 250;
    static constexpr int SyncMs = 1000;           // data is pushed to the disk this often
    static constexpr int MaxPending = 256 * 1024; // buffered lines handed on early past this
    static constexpr qint64 DefaultMaxBytes = 1024LL * 1024 * 1024;

    explicit CaptureRecorder(QObject *parent = nullptr);
    ~CaptureRecorder() override;

    // Opens the first file; false when it cannot be created (failed() says why).
    bool start(const QString &directory, qint64 maxBytes,
               const QDateTime &connected = QDateTime::currentDateTime());
    void record(const TimedPacket &frame);
    // Hands buffered lines to the writer thread.
    void flush();
    // Writes everything and closes the file; waits for the disk.
    void stop();

    bool isRecording() const { return recording; }
    // The file being written and its size, buffered lines included.
    QString filePath() const { return path; }
    qint64 fileSize() const { return fileBytes; }
    // Why the recording stopped, empty while it runs or after a plain stop.
    QString errorString() const { return failure; }
    // Frames given to record() that are not in a file: buffered, or handed to the disk, when a
    // write failed. Final once stop() has returned; over the recorder's life.
    quint64 unwrittenFrames() const;

    static QString fileName(const QDateTime &connected, int part);

signals:
    void failed(const QString &reason);

private:
    struct Output;

    bool openPart();
    void closeFile();
    void rotate();
    void checkFailure();
    void fail(const QString &reason);

    std::shared_ptr<Output> output;
    std::unique_ptr<DiskWriter> writer;
    QTimer *flushTimer;
    QByteArray pending;
    QString directory;
    QDateTime connectedAt;
    QString path;
    QString failure;
    qint64 maxBytes = DefaultMaxBytes;
    qint64 fileBytes = 0;
    qint64 lastTime = 0;
    quint64 unwrittenHere = 0;    // buffered frames let go on a failure
    quint64 unwrittenEarlier = 0; // counted by the writer thread for earlier starts
    int pendingFrames = 0;
    int part = 1;
    int fd = -1;
    bool recording = false;
};
