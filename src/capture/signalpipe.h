#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal: the handler only writes the signal number into a
// socket pair, and the event loop picks it up from there.
class SignalPipe final : public QObject
{
    Q_OBJECT

public:
    explicit SignalPipe(QObject *parent = nullptr);
    ~SignalPipe() override;

    bool install(QString &error);

signals:
    void received(int signalNumber);

private:
    static void handler(int signalNumber);
    void onReadable();

    static int writeEnd;
    int ends[2] = {-1, -1};
    QSocketNotifier *notifier = nullptr;
};
