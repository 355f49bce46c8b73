// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordstatus.h"

#include "capture/capturerecorder.h"
#include "capture/capturesession.h"
#include "capture/triggerset.h"

QString RecordStatus::line(const CaptureSession &session)
{
    const quint64 frames = session.frameCount();
    const qint64 ms = sinceLast.isValid() ? sinceLast.restart() : 0;
    if (!sinceLast.isValid())
        sinceLast.start();
    const double rate = ms > 0 ? double(frames - framesBefore) * 1000.0 / double(ms) : 0.0;
    framesBefore = frames;
    const CaptureRecorder *recorder = session.recorder();
    QString text = QStringLiteral("frames %1, frames/s %2, lost %3, ")
                       .arg(frames)
                       .arg(rate, 0, 'f', 0)
                       .arg(session.lostFrames());
    if (!session.isConnected())
        text += session.readsModule() ? QStringLiteral("module not connected, ")
                                      : QStringLiteral("source not connected, ");
    if (session.unwrittenFrames() > 0)
        text += QStringLiteral("not written %1, ").arg(session.unwrittenFrames());
    if (recorder->isRecording())
        text +=
            QStringLiteral("file %1, bytes %2").arg(recorder->filePath()).arg(recorder->fileSize());
    else
        text += QStringLiteral("not recording");
    const TriggerSet &triggers = session.triggerSet();
    for (int i = 0; i < triggers.ruleCount(); ++i)
        text += QStringLiteral(", trigger %1 fired %2")
                    .arg(triggers.rule(i).name)
                    .arg(triggers.fireCount(i));
    return text;
}
