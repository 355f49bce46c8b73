// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/workbench/backgroundjob.h"

#include <QThread>

BackgroundJob::BackgroundJob(QObject *parent) : QObject(parent)
{
    poll.setInterval(100);
    connect(&poll, &QTimer::timeout, this, [this] { emit progress(permille); });
}

BackgroundJob::~BackgroundJob()
{
    if (!thread)
        return;
    cancelled = true;
    thread->wait();
    delete thread;
}

void BackgroundJob::start(std::function<void()> work, std::function<void()> done)
{
    if (thread)
        return;
    cancelled = false;
    permille = 0;
    finish = std::move(done);
    thread = QThread::create(std::move(work));
    connect(thread, &QThread::finished, this, &BackgroundJob::onFinished, Qt::QueuedConnection);
    poll.start();
    thread->start();
}

void BackgroundJob::onFinished()
{
    poll.stop();
    thread->wait();
    delete thread;
    thread = nullptr;
    emit progress(1000);
    const auto done = std::move(finish);
    finish = nullptr;
    if (done)
        done();
}
