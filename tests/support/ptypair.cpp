// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = slave = -1;
        return;
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    slaveName = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (slave >= 0)
        ::close(slave);
}

bool PtyPair::write(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    QElapsedTimer clock;
    clock.start();
    while (left > 0 && master >= 0 && clock.elapsed() < 10000) {
        const ssize_t n = ::write(master, p, size_t(left));
        if (n > 0) {
            p += n;
            left -= n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            QCoreApplication::processEvents(); // let the reader drain the line
        }
    }
    return left == 0;
}

QByteArray PtyPair::read(int count, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < count && master >= 0 && clock.elapsed() < timeoutMs) {
        char buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0)
            out.append(buf, int(n));
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return out;
}

void PtyPair::closeMaster()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}
