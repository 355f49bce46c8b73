// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class CaptureRecorder;
class QLabel;
class QStatusBar;
class QTimer;

// Shows in the status bar which file the capture's recording writes and how large it is, or in
// red why recording stopped; a recording that cannot start (its folder takes no file) is also
// said in a message.
class RecordingControl final : public QObject
{
    Q_OBJECT

public:
    // `recorder` must outlive this control.
    RecordingControl(QStatusBar *bar, CaptureRecorder *recorder, QObject *parent = nullptr);
    ~RecordingControl() override;

    // A connection starts: the field follows the file from now on.
    void begin();
    // It ends: the field keeps the last file's name and size.
    void end();

private:
    void showState();
    void onFailed(const QString &reason);

    CaptureRecorder *writer;
    QLabel *label;
    QTimer *sizeTimer;
    bool opening = false; // between begin() and the event loop's next turn
};
