// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/capturewriter.h"

#include "link/timedpacket.h"

#include <QCoreApplication>
#include <QFileDevice>

CaptureWriter::CaptureWriter(QIODevice *device) : output(device)
{
    pending.reserve(BufferSize + BufferSize / 4);
}

bool CaptureWriter::flush()
{
    if (!ok())
        return false;
    if (pending.isEmpty())
        return true;
    if (output->write(pending) != pending.size()) {
        fail(QCoreApplication::translate("CaptureWriter", "ошибка записи: %1")
                 .arg(output->errorString()));
        return false;
    }
    pending.resize(0); // keeps the capacity
    return true;
}

bool CaptureWriter::flushAll()
{
    if (!flush())
        return false;
    auto *file = qobject_cast<QFileDevice *>(output);
    if (file != nullptr && !file->flush()) {
        fail(QCoreApplication::translate("CaptureWriter", "ошибка записи: %1")
                 .arg(file->errorString()));
        return false;
    }
    return true;
}

void CaptureWriter::fail(const QString &message)
{
    if (error.isEmpty())
        error = message;
}

qint64 CaptureWriter::timeOf(const TimedPacket &frame)
{
    if (frame.time != TimedPacket::NoTime)
        lastTime = frame.time;
    return lastTime;
}
