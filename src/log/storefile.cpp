// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/storefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

int openUnnamed(const QByteArray &directory)
{
#ifdef O_TMPFILE
    const int fd = ::open(directory.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
#endif
    QByteArray pattern = directory + "/quorvex-rows-XXXXXX";
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(pattern.constData());
    return named;
}

} // namespace

StoreFile::StoreFile(const QString &directory)
{
    if (!QDir().mkpath(directory)) {
        error = QCoreApplication::translate("StoreFile", "нет каталога %1").arg(directory);
        return;
    }
    fd = openUnnamed(QFile::encodeName(directory));
    if (fd < 0)
        error = systemError();
}

StoreFile::~StoreFile()
{
    if (fd >= 0)
        ::close(fd);
}

bool StoreFile::writeAt(qint64 offset, const void *bytes, qint64 size, QString *why) const
{
    const char *from = static_cast<const char *>(bytes);
    while (size > 0) {
        const ssize_t done = ::pwrite(fd, from, size_t(size), off_t(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (why)
                *why = done < 0 ? systemError()
                                : QCoreApplication::translate("StoreFile", "нет места");
            return false;
        }
        from += done;
        offset += done;
        size -= done;
    }
    return true;
}

bool StoreFile::readAt(qint64 offset, void *bytes, qint64 size) const
{
    char *to = static_cast<char *>(bytes);
    while (size > 0) {
        const ssize_t done = ::pread(fd, to, size_t(size), off_t(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        to += done;
        offset += done;
        size -= done;
    }
    return true;
}
