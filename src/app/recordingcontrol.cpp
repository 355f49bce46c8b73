// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recordingcontrol.h"

#include "app/appsettings.h"
#include "app/elidedlabel.h"
#include "capture/capturerecorder.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>
#include <QTimer>

namespace {
constexpr int SizeRefreshMs = 1000;
constexpr qint64 BytesPerMb = 1024 * 1024;
const QString FailedStyle = QStringLiteral("color: #C62828;");
} // namespace

RecordingControl::RecordingControl(QStatusBar *bar, QObject *parent)
    : QObject(parent), writer(new CaptureRecorder(this)),
      label(new ElidedLabel(ElidedLabel::RecordRank, bar)), sizeTimer(new QTimer(this))
{
    label->setObjectName(QStringLiteral("lbStatusRecord"));
    bar->addPermanentWidget(label);
    connect(writer, &CaptureRecorder::failed, this, &RecordingControl::onFailed);
    connect(sizeTimer, &QTimer::timeout, this, &RecordingControl::showState);
}

RecordingControl::~RecordingControl() = default;

void RecordingControl::begin(const AppSettings &config)
{
    label->setStyleSheet(QString());
    label->clear();
    if (!config.record)
        return;
    if (writer->start(config.workDir, qint64(config.recordMb) * BytesPerMb)) {
        sizeTimer->start(SizeRefreshMs);
        showState();
    }
}

void RecordingControl::record(const TimedPacket &frame)
{
    writer->record(frame);
}

void RecordingControl::end()
{
    const bool wasRecording = writer->isRecording();
    writer->stop();
    sizeTimer->stop();
    if (wasRecording && writer->errorString().isEmpty())
        showState();
}

void RecordingControl::showState()
{
    if (!writer->errorString().isEmpty())
        return;
    const QString size = QLocale().formattedDataSize(writer->fileSize());
    label->setText(tr("Запись: %1 (%2)").arg(QFileInfo(writer->filePath()).fileName(), size));
}

void RecordingControl::onFailed(const QString &reason)
{
    sizeTimer->stop();
    label->setStyleSheet(FailedStyle);
    label->setText(tr("Запись остановлена: ") + reason);
}
