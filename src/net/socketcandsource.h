// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/cansource.h"
#include "net/socketcandcutter.h"

#include <QPointer>

class QTcpSocket;
class QTimer;

// A source on another machine's bus: a socketcand server over TCP, in its raw mode. It waits for
// the greeting "< hi >", opens the interface ("< open can0 >"), asks for CAN FD frames
// ("< fdframes >": a server that does not know it answers with an error, and the source goes on
// with classic frames), asks for "< rawmode >" and then takes every
// "< frame ID SECONDS.MICROSECONDS DATA >" and "< fdframe ID SECONDS.MICROSECONDS FLAGS DATA >".
// Each step has AnswerTimeoutMs to get its answer, the connection included. Once connected, TCP
// keep-alive probes find a server that went away without closing (about 11 s), however long the bus
// stays quiet.
//
// Times: a frame keeps the server's time: it was stamped on the machine that saw the frame on
// its bus, so a recording keeps when it happened there, not when the network brought it.
//
// Sending: the raw mode lets a client send "< send ID LEN B0 .. >" (an FD frame:
// "< fdsend ID FLAGS B0 .. >") and answers nothing when it takes the frame; a server that does not
// allow it answers "< error ... >". So sending is on once the raw mode is, until an error answers a
// send: from then on send() is refused (the error also comes as readyReply()), and the frames go
// on. The raw mode has no remote frames: a remote request sent by the far end arrives as a frame
// without data, and one cannot be sent.
class SocketcandSource final : public CanSource
{
    Q_OBJECT

public:
    static constexpr int AnswerTimeoutMs = 5000;
    static constexpr qint64 ReadChunk = 64 * 1024;
    // Bytes the socket may hold unread; past it TCP makes the server wait.
    static constexpr qint64 ReadBufferBytes = 1024 * 1024;
    // A server gone without a word is found after about idle + interval * probes seconds.
    static constexpr int KeepAliveIdleS = 5;
    static constexpr int KeepAliveIntervalS = 2;
    static constexpr int KeepAliveProbes = 3;

    SocketcandSource(const QString &host, quint16 port, const QString &interfaceName,
                     QObject *parent = nullptr);
    ~SocketcandSource() override;

    bool open() override;
    void close() override;
    bool isOpen() const override { return stage != Stage::Closed; }
    bool canSend() const override { return stage == Stage::Raw && !sendRefused; }
    // FD frames go out as < fdsend >; a classic-only server refuses them as it refuses a send.
    QString fdRefusal() const override { return QString(); }
    int send(const CanPacket &packet) override;
    quint64 lostFrames() const override;
    QString description() const override;

    // The wait for each answer while connecting, in milliseconds.
    void setAnswerTimeout(int ms) { answerTimeoutMs = ms; }
    quint64 errorFrames() const { return errors; }
    // Whether the server said it sends CAN FD frames (it may send them anyway: they are taken).
    bool fdGranted() const { return fdAnswered; }
    // Bytes of the streams so far that were no message, or a message too long to be one.
    quint64 skippedBytes() const { return cutter.skippedBytes(); }

    enum class Message { Frame, ErrorFrame, Malformed };
    // A frame message, the text between "<" and ">", as a packet of the interface `blank` was
    // made for (interfacePacket()).
    static Message parseFrame(const char *begin, const char *end, const CanPacket &blank,
                              TimedPacket *frame);
    // "< send ID LEN B0 .. >", or "< fdsend ID FLAGS B0 .. >" for an FD frame; false (and `why`)
    // for a frame the raw mode cannot carry.
    static bool sendText(const CanPacket &packet, QByteArray *command, QString *why);

private:
    enum class Stage { Closed, Connecting, Greeting, Opening, FdFrames, RawMode, Raw };

    void onConnected();
    void keepAlive(qintptr descriptor);
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void onAnswerTimeout();
    void readAvailable();
    void handle(const char *begin, const char *end);
    void handleRaw(const QByteArray &word, const QByteArray &message);
    void handleAnswer(const QByteArray &word, const QByteArray &message);
    void advance(Stage to, const QByteArray &command);
    void enterRaw();
    void fail(const QString &reason);
    void dropSocket();

    QString host;
    quint16 port;
    QString interfaceName;
    CanPacket blank;
    QPointer<QTcpSocket> socket;
    QTimer *answerTimer;
    SocketcandCutter cutter;
    Stage stage = Stage::Closed;
    int answerTimeoutMs = AnswerTimeoutMs;
    bool opening = false; // within open(): a failure is its result, not a signal
    bool sentAny = false;
    bool sendRefused = false;
    bool fdAnswered = false;
    quint64 malformed = 0;
    quint64 errors = 0;
};
