// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commandresponder.h"
#include "framesource.h"
#include "pacer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <memory>

class PtyLine;

// The virtual module's behaviour: streams the source's frames to the line while a reader is
// there and monitoring is on, paced by the pacer, answers commands, and tells when it is done.
class Simulator final : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        qint64 count = -1;      // frames; -1: none
        qint64 durationUs = -1; // streaming time; -1: none
        bool exitWhenDone = false;
    };

    explicit Simulator(PtyLine *line, std::unique_ptr<FrameSource> source, const Pacer &pacer,
                       const Limits &limits, QObject *parent = nullptr);

    void start(bool monitoring);
    qint64 framesSent() const;
    qint64 commandsAnswered() const { return responder.commandsAnswered(); }
    qint64 hostFrames() const { return responder.hostFrames(); }
    // Writes every frame record the host transmits to `path`, one line of hex digits each.
    bool logHostFrames(const QString &path);

signals:
    // Streaming has ended and the reader has had its chance to read everything.
    void finished();

private:
    void pump();
    QByteArray takeDueFrames();
    qint64 framesAllowed() const;
    bool mayStream() const;
    void updatePacer();
    void checkEnd();
    bool limitReached() const;
    void checkDrained();
    void onReaderChanged(bool present);
    void onHostBytes(const QByteArray &bytes);
    void onReplyWritten();

    PtyLine *line;
    std::unique_ptr<FrameSource> source;
    Pacer pacer;
    Limits limits;
    CommandResponder responder;
    QFile hostLog;
    QTimer tick;     // paces the stream
    QTimer holdBack; // keeps frames back just after a reply
    QTimer drainWatch;
    QElapsedTimer drainClock;
    int quietLooks = 0;
    bool ended = false;
};
