// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptyline.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int WatchIntervalMs = 20;
constexpr int ReadChunk = 4096;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

PtyLine::PtyLine(QObject *parent) : QObject(parent), watch(new QTimer(this))
{
    watch->setInterval(WatchIntervalMs);
    connect(watch, &QTimer::timeout, this, &PtyLine::checkReader);
}

PtyLine::~PtyLine()
{
    removeLink();
    if (probe >= 0)
        ::close(probe);
    if (master >= 0)
        ::close(master);
}

bool PtyLine::open(QString &error)
{
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(systemError());
        return false;
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::close(slave); // from now on the master reports a hang-up until a reader opens the port
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    slaveName = QString::fromLocal8Bit(name);
    watchMaster();
    return true;
}

void PtyLine::watchMaster()
{
    readNotifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    writeNotifier = new QSocketNotifier(master, QSocketNotifier::Write, this);
    readNotifier->setEnabled(false);
    writeNotifier->setEnabled(false);
    connect(readNotifier, &QSocketNotifier::activated, this, &PtyLine::onReadable);
    connect(writeNotifier, &QSocketNotifier::activated, this, &PtyLine::onWritable);
    watch->start();
}

bool PtyLine::makeLink(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isSymLink()) {
        error = QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(path);
        return false;
    }
    if (info.isSymLink())
        QFile::remove(path);
    if (::symlink(QFile::encodeName(slaveName).constData(), QFile::encodeName(path).constData())) {
        error = QStringLiteral("cannot make the link %1: %2").arg(path, systemError());
        return false;
    }
    linkPath = path;
    return true;
}

void PtyLine::removeLink()
{
    // Only our own link goes: another instance may have taken the name over since.
    if (!linkPath.isEmpty() && QFileInfo(linkPath).symLinkTarget() == slaveName)
        QFile::remove(linkPath);
    linkPath.clear();
}

void PtyLine::sendFrames(const QByteArray &records)
{
    queue.appendFrames(records);
    flush();
}

void PtyLine::sendReply(const QByteArray &reply)
{
    queue.appendReply(reply);
    flush();
}

void PtyLine::flush()
{
    if (!reader || blocked)
        return;
    const OutputQueue::Flush result = queue.flush(master);
    if (result == OutputQueue::Flush::Failed) {
        setReader(false); // the reader went away between two looks
        return;
    }
    blocked = result == OutputQueue::Flush::Blocked;
    if (blocked)
        sinceFull.start();
    writeNotifier->setEnabled(blocked);
    if (queue.takeRepliesWritten() > 0)
        emit replyWritten();
}

bool PtyLine::wasFullWithin(qint64 ms) const
{
    return sinceFull.isValid() && sinceFull.elapsed() < ms;
}

void PtyLine::onWritable()
{
    blocked = false;
    flush();
    if (!blocked && reader)
        emit writable();
}

void PtyLine::onReadable()
{
    char chunk[ReadChunk];
    QByteArray bytes;
    for (;;) {
        const ssize_t n = ::read(master, chunk, sizeof chunk);
        if (n > 0) {
            bytes.append(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            setReader(false); // EIO: the last reader closed the port
        break;
    }
    if (!bytes.isEmpty())
        emit hostBytes(bytes);
}

void PtyLine::checkReader()
{
    pollfd entry{master, POLLIN, 0};
    if (::poll(&entry, 1, 0) < 0)
        return;
    const bool hungUp = (entry.revents & POLLHUP) != 0;
    if (hungUp == reader)
        setReader(!hungUp);
}

void PtyLine::setReader(bool present)
{
    if (present == reader)
        return;
    reader = present;
    readNotifier->setEnabled(present);
    if (!present) {
        // What the departed reader did not get is of no use to the next one, which must start
        // on a record boundary.
        queue.clear();
        blocked = false;
        writeNotifier->setEnabled(false);
    }
    emit readerChanged(present);
}

int PtyLine::unreadAtReader()
{
    if (probe < 0)
        probe = ::open(QFile::encodeName(slaveName).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int unread = 0;
    if (probe < 0 || ::ioctl(probe, FIONREAD, &unread) != 0)
        return -1;
    return unread;
}
