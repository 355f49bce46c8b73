// SPDX-License-Identifier: GPL-3.0-or-later
#include "signalwatch.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int pair[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    const ssize_t written = ::write(pair[0], &number, 1);
    (void)written; // a full pipe already holds a wake-up
}

} // namespace

SignalWatch::SignalWatch(QObject *parent) : QObject(parent)
{
    if (pair[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) != 0)
        return;
    notifier = new QSocketNotifier(pair[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SignalWatch::onReadable);
}

SignalWatch::~SignalWatch() = default;

bool SignalWatch::watch(int signalNumber)
{
    if (!notifier)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(signalNumber, &action, nullptr) == 0;
}

void SignalWatch::onReadable()
{
    unsigned char number = 0;
    while (::read(pair[1], &number, 1) == 1)
        emit readySignal(number);
}
