// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/recordingfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Why mkpath() failed: the first missing step, made by hand, gives the system's reason.
QString whyNotMade(const QString &directory)
{
    QString missing = QDir::cleanPath(QDir(directory).absolutePath());
    QString parent = QFileInfo(missing).path();
    while (parent != missing && !QFileInfo::exists(parent)) {
        missing = parent;
        parent = QFileInfo(missing).path();
    }
    if (!QFileInfo(parent).isDir())
        return systemError(ENOTDIR);
    if (::mkdir(QFile::encodeName(missing).constData(), 0755) != 0)
        return systemError(errno);
    return systemError(EIO);
}

QString writeProbe(const QString &directory)
{
    QByteArray path = QFile::encodeName(QDir(directory).filePath(".quorvex-check-XXXXXX"));
    const int fd = ::mkstemp(path.data());
    if (fd < 0)
        return systemError(errno);
    const char byte = '\n';
    const int code = ::write(fd, &byte, 1) == 1 ? 0 : errno ? errno : ENOSPC;
    ::close(fd);
    ::unlink(path.constData());
    return code ? systemError(code) : QString();
}

} // namespace

QString RecordingFolder::problem(const QString &directory, bool create)
{
    if (directory.isEmpty())
        return systemError(ENOENT);
    const QFileInfo info(directory);
    if (info.exists() && !info.isDir())
        return systemError(ENOTDIR);
    if (!info.exists()) {
        if (!create)
            return systemError(ENOENT);
        if (!QDir().mkpath(directory))
            return whyNotMade(directory);
    }
    return writeProbe(directory);
}
