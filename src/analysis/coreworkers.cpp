// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/coreworkers.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// More threads than this only wait on memory.
constexpr int MostThreads = 16;

bool cancelled(const std::atomic_bool *cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

} // namespace

CoreWorkers::CoreWorkers(int threads)
    : count(threads > 0 ? threads : int(std::thread::hardware_concurrency()))
{
    count = std::clamp(count, 1, MostThreads);
}

bool CoreWorkers::run(int pieces, const std::function<void(int)> &piece,
                      const std::atomic_bool *cancel, const Progress &progress) const
{
    std::atomic_int next{0};
    std::atomic_int done{0};
    auto work = [&](bool caller) {
        for (int i; !cancelled(cancel) && (i = next.fetch_add(1)) < pieces;) {
            piece(i);
            const int finished = done.fetch_add(1) + 1;
            if (caller && progress)
                progress(finished);
        }
    };
    std::vector<std::thread> helpers;
    const int extra = std::min(count, pieces) - 1;
    helpers.reserve(size_t(std::max(extra, 0)));
    try {
        for (int t = 0; t < extra; ++t)
            helpers.emplace_back(work, false);
    } catch (const std::system_error &) {
        // No more threads to be had: those started and this one share the pieces.
    }
    work(true);
    for (std::thread &t : helpers)
        t.join();
    return done.load() == pieces;
}
