// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/sessionoptions.h"
#include "link/canpacket.h"

#include <QObject>
#include <QString>
#include <memory>

class CanTester;
class CaptureRecorder;
class QSerialPort;
class QTimer;
class DbcDatabase;
class SocketcandServer;
class TriggerSet;
struct TimedPacket;

// A capture without a window: the link to the module, the recording of every frame and the
// socketcand server, kept going on its own. A module that goes away (unplugged) is looked for
// again every RetryMs and, once back, recorded to a new file; a recording that fails (a full
// disk) is taken up again in a new file once there is room, counting the frames it missed.
class CaptureSession final : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 1000;
    // Room a folder needs before a failed recording is taken up again.
    static constexpr qint64 ResumeFreeBytes = 16 * 1024 * 1024;

    explicit CaptureSession(QObject *parent = nullptr);
    ~CaptureSession() override;

    // Starts the server (false when it cannot listen: errorString() says why) and connects.
    bool start(const SessionOptions &options);
    // Takes what has arrived, closes the file and the port.
    void stop();
    // Closes the file and goes on in a new one.
    void reopen();
    // The user's mark: fires the manual triggers now.
    void mark();

    bool isConnected() const { return tester != nullptr; }
    quint64 frameCount() const { return frames; }
    quint64 lostFrames() const;
    // Frames that came while the recording could not write.
    quint64 unwrittenFrames() const { return unwritten; }
    QString errorString() const { return failure; }
    CaptureRecorder *recorder() const { return writer; }
    SocketcandServer *socketcand() const { return server; }
    const TriggerSet &triggerSet() const { return *triggers; }

    // The CAN speed command for `code`, as the module takes it.
    static QByteArray speedMessage(int code);

signals:
    void readyFrame(const TimedPacket &frame);
    // What happened, for a log or a status line: connected, lost, recording stopped or resumed.
    void setStatus(const QString &text);

private:
    void connectPort();
    void closePort(const QString &why);
    void onReadyPacket();
    void onSendPacket(const CanPacket &packet);
    void onRecordingFailed(const QString &reason);
    void beginFile();
    void retry();
    void take(const TimedPacket &frame);

    SessionOptions options;
    QSerialPort *port = nullptr;
    CanTester *tester = nullptr;
    CaptureRecorder *writer;
    SocketcandServer *server;
    QTimer *retryTimer;
    std::unique_ptr<DbcDatabase> database;
    std::unique_ptr<TriggerSet> triggers;
    quint64 lostSeen = 0;
    QString failure;
    quint64 frames = 0;
    quint64 lostEarlier = 0;
    quint64 unwritten = 0;
    bool running = false;
    bool recordingDown = false; // the recording failed and waits for room
};
