// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// A thread of its own for file writes, so a slow or stalling disk never holds up the thread that
// reads the port. Tasks run one at a time in the order they were posted.
class DiskWriter final
{
public:
    DiskWriter();
    // Runs every task still queued, then ends the thread.
    ~DiskWriter();
    DiskWriter(const DiskWriter &) = delete;
    DiskWriter &operator=(const DiskWriter &) = delete;

    void post(std::function<void()> task);
    // Returns once every task posted before the call has run.
    void waitIdle();

private:
    void run();

    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> tasks;
    bool busy = false;
    bool stopping = false;
    std::thread worker;
};
