// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the Unix signals the recorder reacts to into Qt signals on the event loop: the handler
// only writes the signal's number to a socket pair.
class SignalWatch final : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatch(QObject *parent = nullptr);
    ~SignalWatch() override;

    // Catches `signalNumber` from now on; false when the pipe could not be made.
    bool watch(int signalNumber);

signals:
    void readySignal(int signalNumber);

private:
    void onReadable();

    QSocketNotifier *notifier = nullptr;
};
