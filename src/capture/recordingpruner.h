// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Keeps a folder of recordings under a size: deletes the oldest of its own recordings (names as
// CaptureRecorder gives them, nothing else), never the one being written.
namespace RecordingPruner {

// True for "quorvex-YYYYMMDD-HHMMSS.log" and its "-N" continuations.
bool isRecordingName(const QString &fileName);

// Deletes recordings in `directory`, oldest first, until they take at most `keepBytes`; returns
// the paths deleted.
QStringList prune(const QString &directory, qint64 keepBytes, const QString &writing);

} // namespace RecordingPruner
