// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/timedpacket.h"

#include <QObject>
#include <QVector>

class CaptureLoader;
struct CaptureDamage;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QWidget;

// "Открыть журнал...": asks for a capture file and loads it in the background, with a progress bar
// and a cancel button in the status bar. The window logs the frames as they come, through the same
// filters and statistics as a live capture; records that were not frames are counted, and damage
// that was stepped over is said with where it begins.
class CaptureOpener final : public QObject
{
    Q_OBJECT

public:
    CaptureOpener(QWidget *window, QStatusBar *bar);
    ~CaptureOpener() override;

    void open(const QString &workDir);
    void load(const QString &path);
    // Loads the last capture again, say with other filters; during a load of it, once more after.
    void reload();
    // The log was emptied: a load under way stops, and there is no capture any more.
    void forget();
    bool hasCapture() const { return !path.isEmpty(); }
    bool isLoading() const;
    QString capturePath() const { return path; }

signals:
    // The first frames of a load are here: the log is to be emptied (`reread`: the same capture
    // read again). A file from which no frame can be read never gets this far.
    void starting(bool reread);
    void frames(const QVector<TimedPacket> &batch);
    void loaded(const QString &path);
    void status(const QString &text);

private:
    void onFrames(const QVector<TimedPacket> &batch);
    void onFinished(bool ok, quint64 framesRead, quint64 skipped, const QString &error,
                    quint64 damaged, const CaptureDamage &firstDamage);
    void refuse(const QString &file, const QString &why);
    void showProgress(bool shown);

    QWidget *window;
    CaptureLoader *loader;
    QProgressBar *progress;
    QPushButton *cancelButton;
    QTimer *poll;
    QString path;    // the capture in the log
    QString pending; // the file being read
    bool started = false;
    bool rereading = false;
    bool rereadAgain = false; // the filters changed while the capture was being read again
};
