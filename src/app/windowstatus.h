// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>

class CaptureSession;
class FrameFeed;
class QLabel;
class QStatusBar;

// The status bar's fixed fields after "Статус: ", "| CAN: " and "| COM port:", and the frame
// rate with the frames lost, once a second: what a user needs to trust a capture.
class WindowStatus final : public QObject
{
    Q_OBJECT

public:
    static constexpr int RateMs = 1000;

    // `feed` and `session` outlive the fields.
    WindowStatus(QStatusBar *bar, const FrameFeed *feed, const CaptureSession *session,
                 QObject *parent);

    void showMain(const QString &text);
    void showCan(const QString &text);
    void showPort(const QString &text);

private:
    void showRate();

    const FrameFeed *feed;
    const CaptureSession *session;
    QLabel *main = nullptr;
    QLabel *can = nullptr;
    QLabel *port = nullptr;
    QLabel *rate = nullptr;
    QElapsedTimer clock;
    quint64 framesAtTick = 0;
};
