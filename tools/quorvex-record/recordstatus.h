// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QString>

class CaptureSession;

// The recorder's status line: frames, frames/s since the last line, lost, file, bytes.
class RecordStatus final
{
public:
    QString line(const CaptureSession &session);

private:
    QElapsedTimer sinceLast;
    quint64 framesBefore = 0;
};
