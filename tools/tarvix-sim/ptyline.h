// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "outputqueue.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// The module's end of the serial line: the master side of a pseudo-terminal whose slave side
// the program under test opens as its port. Knows whether a reader has the port open (the master
// reports a hang-up while nobody does), and writes without blocking: what the line does not take
// now waits, in order, until it can take more.
class PtyLine final : public QObject
{
    Q_OBJECT

public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    // Opens the pair with the slave side in raw mode, before any reader can see it.
    bool open(QString &error);
    // Makes `path` a symbolic link to the port; an existing symbolic link there is replaced.
    bool makeLink(const QString &path, QString &error);
    QString portName() const { return slaveName; }

    bool hasReader() const { return reader; }
    bool isBlocked() const { return blocked; }
    // True when the line was full at some time in the last `ms` milliseconds.
    bool wasFullWithin(qint64 ms) const;
    bool isIdle() const { return queue.isEmpty(); }
    bool holdsReply() const { return queue.holdsReply(); }
    qint64 framesSent() const { return queue.framesSent(); }
    qint64 framesQueued() const { return queue.framesQueued(); }

    void sendFrames(const QByteArray &records);
    void sendReply(const QByteArray &reply);
    // Bytes the reader has yet to read from the port; -1 when that cannot be found out.
    int unreadAtReader();

signals:
    void readerChanged(bool present);
    void hostBytes(const QByteArray &bytes);
    void writable();     // the line took everything that was waiting
    void replyWritten(); // a reply went out whole

private:
    void watchMaster();
    void setReader(bool present);
    void flush();
    void onReadable();
    void onWritable();
    void checkReader();
    void removeLink();

    int master = -1;
    int probe = -1; // our own handle on the slave side, opened only to see what is left unread
    QString slaveName;
    QString linkPath;
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer *watch;
    OutputQueue queue;
    bool reader = false;
    bool blocked = false;
    QElapsedTimer sinceFull; // started when the line was last found full
};
