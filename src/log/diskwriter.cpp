// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/diskwriter.h"

#include <csignal>

DiskWriter::DiskWriter()
{
    // Past a file size limit the kernel would kill the process; a failing write, reported like a
    // full disk, is what every user of this thread wants.
    std::signal(SIGXFSZ, SIG_IGN);
}

DiskWriter::~DiskWriter()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    if (worker.joinable())
        worker.join();
}

void DiskWriter::post(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        tasks.push_back(std::move(task));
        if (!worker.joinable())
            worker = std::thread(&DiskWriter::run, this);
    }
    wake.notify_one();
}

void DiskWriter::waitIdle()
{
    std::unique_lock<std::mutex> guard(lock);
    idle.wait(guard, [this] { return tasks.empty() && !busy; });
}

void DiskWriter::run()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        wake.wait(guard, [this] { return stopping || !tasks.empty(); });
        if (tasks.empty())
            return; // stopping, and nothing left to write
        std::function<void()> task = std::move(tasks.front());
        tasks.pop_front();
        busy = true;
        guard.unlock();
        task();
        guard.lock();
        busy = false;
        if (tasks.empty())
            idle.notify_all();
    }
}
