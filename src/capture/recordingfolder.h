// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Whether recordings can be written in a folder: a file is created there, written and removed.
// Asked before a recording starts, so a read-only folder, a "folder" that is a file, a missing
// one or a full disk is said at once instead of after the first frames.
namespace RecordingFolder {

// The reason as the system gives it, or an empty text when the folder takes files. A missing
// folder is made when `create` is set, else it is the reason.
QString problem(const QString &directory, bool create);

} // namespace RecordingFolder
