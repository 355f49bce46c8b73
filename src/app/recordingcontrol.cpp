// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recordingcontrol.h"

#include "app/elidedlabel.h"
#include "capture/capturerecorder.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

namespace {
constexpr int SizeRefreshMs = 1000;
const QString FailedStyle = QStringLiteral("color: #C62828;");
} // namespace

RecordingControl::RecordingControl(QStatusBar *bar, CaptureRecorder *recorder, QObject *parent)
    : QObject(parent), writer(recorder), label(new ElidedLabel(ElidedLabel::RecordRank, bar)),
      sizeTimer(new QTimer(this))
{
    label->setObjectName(QStringLiteral("lbStatusRecord"));
    bar->addPermanentWidget(label);
    connect(writer, &CaptureRecorder::failed, this, &RecordingControl::onFailed);
    connect(sizeTimer, &QTimer::timeout, this, &RecordingControl::showState);
}

RecordingControl::~RecordingControl() = default;

// Called before the connection's file is opened: a failure to open it shows at once, the file
// once the event loop runs.
void RecordingControl::begin()
{
    label->setStyleSheet(QString());
    label->clear();
    sizeTimer->start(SizeRefreshMs);
    opening = true;
    QTimer::singleShot(0, this, [this] {
        opening = false;
        showState();
    });
}

// Called before the file is closed, so the field keeps its last size.
void RecordingControl::end()
{
    showState();
    sizeTimer->stop();
}

// A failed recording is taken up again once there is room: the field then follows the new file.
void RecordingControl::showState()
{
    if (!writer->isRecording())
        return;
    label->setStyleSheet(QString());
    const QString size = QLocale().formattedDataSize(writer->fileSize());
    label->setText(tr("Запись: %1 (%2)").arg(QFileInfo(writer->filePath()).fileName(), size));
}

// A folder that takes no file is said in a message too: the user is there, connecting, and
// the capture goes on unrecorded until the folder is changed.
void RecordingControl::onFailed(const QString &reason)
{
    label->setStyleSheet(FailedStyle);
    label->setText(tr("Запись остановлена: ") + reason);
    if (!opening)
        return;
    auto *box = new QMessageBox(
        QMessageBox::Warning, tr("Запись"),
        tr("Запись не началась: %1\nПапка записи задаётся в «Настройка порта ...».").arg(reason),
        QMessageBox::Ok, label->window());
    box->setObjectName(QStringLiteral("recordingFailedBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
