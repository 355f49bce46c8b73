// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/sessionoptions.h"
#include "link/canpacket.h"

#include <QObject>
#include <QPointer>
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

// A capture: the link to the module, the recording of every frame, the triggers and the
// socketcand server. Run on its own (start()), it keeps going unattended: a module that goes away
// (unplugged) is looked for again every RetryMs and, once back, recorded to a new file. The window
// keeps its own port and link and attaches them for each connection, handing every frame to
// take(). Either way a recording that fails (a full disk) is taken up again in a new file once
// there is room, counting the frames it missed.
class CaptureSession final : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 1000;
    // Room a folder needs before a failed recording is taken up again.
    static constexpr qint64 ResumeFreeBytes = 16 * 1024 * 1024;

    explicit CaptureSession(QObject *parent = nullptr);
    ~CaptureSession() override;

    // Checks that the recording's folder takes files, starts the server and connects; false
    // when the folder or the server fails (errorString() says why). While no module can be
    // opened, setStatus() says why whenever the reason changes.
    bool start(const SessionOptions &options);
    // Takes what has arrived, closes the file and the port.
    void stop();
    // Closes the file and goes on in a new one.
    void reopen();
    // The user's mark: fires the manual triggers now.
    void mark();

    // A connection the caller made starts: recorded as `options` say; the server and the
    // trigger rules run on as set. `link` counts lost frames; it may be null.
    void attach(CanTester *link, const SessionOptions &options);
    // That connection ended: the file and the trigger files are closed.
    void detach();
    // A frame read or sent: recorded, given to the triggers and to the server's clients.
    void take(const TimedPacket &frame);
    void setTriggers(const QVector<TriggerRule> &rules);
    // Where signal rules find their signals, from now on.
    void setDbcFiles(const QStringList &files);
    // The server, apart from start(): false when it cannot listen (errorString() says why).
    bool listen(const QHostAddress &address, quint16 port, bool allowSend);
    void closeServer();

    bool isConnected() const { return !tester.isNull(); }
    quint64 frameCount() const { return frames; }
    // Frames lost on the line, over every connection so far.
    quint64 lostFrames() const;
    // Frames that did not reach a recording: they came while it could not write, or were on
    // their way to the disk when a write failed. Every frame is either recorded or counted here.
    quint64 unwrittenFrames() const;
    QString errorString() const { return failure; }
    CaptureRecorder *recorder() const { return writer; }
    SocketcandServer *socketcand() const { return server; }
    const TriggerSet &triggerSet() const { return *triggers; }

    // The CAN speed command for `code`, as the module takes it.
    static QByteArray speedMessage(int code);

signals:
    void readyFrame(const TimedPacket &frame);
    // An attached connection's socketcand client asks to transmit a frame; the caller writes it.
    void sendPacket(CanPacket packet);
    // What happened, for a log or a status line: connected, lost, recording stopped or resumed.
    void setStatus(const QString &text);

private:
    void connectPort();
    void sayPortProblem();
    void closePort(const QString &why);
    void onReadyPacket();
    void onSendPacket(const CanPacket &packet);
    void onRecordingFailed(const QString &reason);
    void prepare();
    void loadDatabase();
    void beginFile();
    void retry();

    SessionOptions options;
    QSerialPort *port = nullptr;
    QPointer<CanTester> tester;
    CaptureRecorder *writer;
    SocketcandServer *server;
    QTimer *retryTimer;
    std::unique_ptr<DbcDatabase> database;
    std::unique_ptr<TriggerSet> triggers;
    quint64 lostSeen = 0;
    QString failure;
    QString portProblem; // said last while waiting for the module
    quint64 frames = 0;
    quint64 lostEarlier = 0;
    quint64 unwritten = 0;
    bool running = false;       // started on its own, with its own link
    bool attached = false;      // a caller's connection is attached
    bool recordingDown = false; // the recording failed and waits for room
};
