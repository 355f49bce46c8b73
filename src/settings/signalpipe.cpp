// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/signalpipe.h"

#include <QSocketNotifier>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

int SignalPipe::writeEnd = -1;

SignalPipe::SignalPipe(QObject *parent) : QObject(parent)
{
}

SignalPipe::~SignalPipe()
{
    if (ends[0] < 0)
        return;
    for (const int number : caught)
        std::signal(number, SIG_DFL);
    writeEnd = -1;
    ::close(ends[0]);
    ::close(ends[1]);
}

bool SignalPipe::install(QString &error, const QVector<int> &numbers)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) {
        error = QStringLiteral("socketpair: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    writeEnd = ends[1];
    notifier = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalPipe::onReadable);
    struct sigaction action
    {
    };
    action.sa_handler = &SignalPipe::handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : numbers)
        ::sigaction(number, &action, nullptr);
    caught = numbers;
    // A parent that stopped reading our output must not kill us before the summary and cleanup.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

void SignalPipe::handler(int signalNumber)
{
    const int saved = errno;
    const char byte = char(signalNumber);
    if (writeEnd >= 0 && ::write(writeEnd, &byte, 1) < 0) {
        // nothing to do in a handler; a full pipe already holds a pending signal
    }
    errno = saved;
}

void SignalPipe::onReadable()
{
    char bytes[16];
    const ssize_t n = ::read(ends[0], bytes, sizeof bytes);
    for (ssize_t i = 0; i < n; ++i)
        emit received(int(bytes[i]));
}
