// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QVector>
#include <csignal>

class QSocketNotifier;

// Turns termination signals into a Qt signal: the handler only writes the signal number into a
// socket pair, and the event loop picks it up from there.
class SignalPipe final : public QObject
{
    Q_OBJECT

public:
    explicit SignalPipe(QObject *parent = nullptr);
    ~SignalPipe() override;

    // Catches `numbers` from now on; the previous handling comes back with the object's end.
    bool install(QString &error, const QVector<int> &numbers = {SIGINT, SIGTERM});

signals:
    void received(int signalNumber);

private:
    static void handler(int signalNumber);
    void onReadable();

    static int writeEnd;
    int ends[2] = {-1, -1};
    QVector<int> caught;
    QSocketNotifier *notifier = nullptr;
};
