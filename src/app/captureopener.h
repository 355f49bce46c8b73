#pragma once

#include "link/timedpacket.h"

#include <QObject>
#include <QVector>

class CaptureLoader;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QWidget;

// "Открыть журнал...": asks for a capture file and loads it in the background, with a progress bar
// and a cancel button in the status bar. The window logs the frames as they come, through the same
// filters and statistics as a live capture; lines that were not frames are counted.
class CaptureOpener final : public QObject
{
    Q_OBJECT

public:
    CaptureOpener(QWidget *window, QStatusBar *bar);
    ~CaptureOpener() override;

    void open(const QString &workDir);
    void load(const QString &path);
    // Loads the last capture again, say with other filters.
    void reload();
    void forget() { path.clear(); }
    bool hasCapture() const { return !path.isEmpty(); }
    bool isLoading() const;
    QString capturePath() const { return path; }

signals:
    // A load begins: the log is to be emptied.
    void starting();
    void frames(const QVector<TimedPacket> &batch);
    void loaded(const QString &path);
    void status(const QString &text);

private:
    void onFinished(bool ok, quint64 framesRead, quint64 skipped, const QString &error);
    void showProgress(bool shown);

    QWidget *window;
    CaptureLoader *loader;
    QProgressBar *progress;
    QPushButton *cancelButton;
    QTimer *poll;
    QString path;
};
