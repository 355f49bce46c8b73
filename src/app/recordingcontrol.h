// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class CaptureRecorder;
class QLabel;
class QStatusBar;
class QTimer;
struct AppSettings;
struct TimedPacket;

// Records each connection to WORKDIR when the settings say so, and shows in the status bar which
// file is written and how large it is, or in red why recording stopped.
class RecordingControl final : public QObject
{
    Q_OBJECT

public:
    RecordingControl(QStatusBar *bar, QObject *parent = nullptr);
    ~RecordingControl() override;

    void begin(const AppSettings &config);
    void record(const TimedPacket &frame);
    // Writes everything and closes the file (a disconnect, the window closing, a signal).
    void end();
    CaptureRecorder *recorder() const { return writer; }

private:
    void showState();
    void onFailed(const QString &reason);

    CaptureRecorder *writer;
    QLabel *label;
    QTimer *sizeTimer;
};
