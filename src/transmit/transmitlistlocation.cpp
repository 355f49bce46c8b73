// SPDX-License-Identifier: GPL-3.0-or-later
#include "transmit/transmitlistlocation.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace TransmitListLocation {

QString userDataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

// The list is replaced through a temporary file beside it, so it is the folder that must be
// writable, not the file.
QString path(const QString &appDir, const QString &name, const QString &dataDir)
{
    const QString beside = QDir(appDir).filePath(name);
    const QFileInfo holder(QFileInfo(beside).absolutePath());
    if (holder.isDir() && holder.isWritable())
        return beside;
    const QString own = QDir(dataDir).filePath(name);
    QDir().mkpath(QFileInfo(own).absolutePath());
    return own;
}

} // namespace TransmitListLocation
