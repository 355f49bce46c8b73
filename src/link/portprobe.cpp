// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portprobe.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString notTerminal()
{
    return QCoreApplication::translate("PortProbe", "не терминал");
}

QString reasonOf(int code)
{
    if (code == ENOENT || code == ENOTDIR)
        return QCoreApplication::translate("PortProbe", "нет такого файла");
    if (code == EACCES || code == EPERM)
        return QCoreApplication::translate("PortProbe", "нет прав");
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

QString PortProbe::systemLocation(const QString &portName)
{
    if (portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./")) ||
        portName.startsWith(QLatin1String("../")))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

QString PortProbe::problem(const QString &portName)
{
    const QByteArray path = QFile::encodeName(systemLocation(portName));
    struct stat info = {};
    if (::stat(path.constData(), &info) != 0)
        return reasonOf(errno);
    if (!S_ISCHR(info.st_mode))
        return notTerminal();
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return reasonOf(errno);
    const bool terminal = ::isatty(fd);
    ::close(fd);
    return terminal ? QString() : notTerminal();
}
