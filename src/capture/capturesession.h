// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "capture/sessionoptions.h"
#include "link/canpacket.h"

#include <QObject>
#include <QString>
#include <memory>

class CanSource;
class CaptureRecorder;
class QTimer;
class DbcDatabase;
class SocketcandServer;
class TriggerSet;
struct TimedPacket;

// A capture: the source of frames (the module on its port unless another is set: open, close,
// loss, sending frames and module commands), the recording of every frame, the triggers and the
// socketcand server. Every frame read or sent is recorded, given to the triggers and the server's
// clients, and comes out of readyFrame(), for the window's feed; nothing else reads the source.
//
// The recorder runs it on its own (start()): a module that is not there, or goes away, is looked
// for again every RetryMs and, once back, recorded to a new file. The window opens it for each
// connection (open() with `retry` off): a port that cannot be opened fails at once, a module
// that goes away ends the connection (linkClosed(true)). Either way a recording that fails (a
// full disk) is taken up again in a new file once there is room, counting the frames it missed.
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
    // Takes what has arrived, closes the file, the port and the server.
    void stop();
    // Opens the module's port now, recorded as `options` say; the server and the trigger rules
    // run on as set. False when the port cannot be opened (errorString() says why).
    bool open(const SessionOptions &options);
    // Takes what has arrived, closes the file and the port; the server runs on.
    void close();
    // Closes the file and goes on in a new one.
    void reopen();
    // The user's mark: fires the manual triggers now.
    void mark();

    // Writes a frame to the module; a frame written is taken as transmitted. The bytes written,
    // -1 without a connection.
    int send(const CanPacket &packet);
    // Writes a module command (ModuleCommand::message); the bytes written, -1 without a
    // connection.
    int sendCommand(const QByteArray &message);
    void setTriggers(const QVector<TriggerRule> &rules);
    // Where signal rules find their signals, from now on.
    void setDbcFiles(const QStringList &files);
    // The server, apart from start(): false when it cannot listen (errorString() says why).
    bool listen(const QHostAddress &address, quint16 port, bool allowSend);
    void closeServer();

    // The source every connection reads from now on; the session's own. Without one set, each
    // connection reads the module on the options' port.
    void setSource(CanSource *source);
    CanSource *source() const { return link; }
    // Whether connections read the Tarvix module (its commands and filters are there).
    bool readsModule() const { return options.source.isModule() && !linkGiven; }
    bool isConnected() const;
    // The source's name for status lines: the port's name as the port gives it.
    QString portName() const;
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

signals:
    // A frame read (received) or written (transmitted).
    void readyFrame(const TimedPacket &frame);
    // A module reply, as the link cut it.
    void readyReply(const QByteArray &reply);
    // The port was opened (its recording is about to begin); it is about to close, every frame
    // read taken (its recording not closed yet); it closed: `lost` when the module went away.
    void linkOpened();
    void linkClosing();
    void linkClosed(bool lost);
    // What happened, for a log or a status line: connected, lost, recording stopped or resumed.
    void setStatus(const QString &text);

private:
    void watch();
    bool connectSource();
    void onOpened();
    void sayPortProblem();
    QString sourceName() const;
    QString goneText() const;
    QString missingText() const;
    void closeSource();
    void onSourceFailed(const QString &reason);
    void endConnection(bool lost);
    void take(const TimedPacket &frame);
    void onRecordingFailed(const QString &reason);
    void prepare();
    void loadDatabase();
    void beginFile();
    void retry();

    SessionOptions options;
    CanSource *link = nullptr;
    bool linkGiven = false; // set by setSource(), else made for each connection
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
    bool running = false;       // started or opened: the link is (or is looked for) ours
    bool recordingDown = false; // the recording failed and waits for room
};
