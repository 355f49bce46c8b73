// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <functional>

// Runs independent pieces of work (one identifier's candidates, say) on the machine's cores:
// the calling thread and a few more each take the next piece as they come free. Whoever runs a
// piece must write only what belongs to it; the order of the results is the caller's to keep.
class CoreWorkers final
{
public:
    // Pieces done so far; asked on the calling thread only, so it may touch what it likes.
    using Progress = std::function<void(int done)>;

    // All cores for 0; 1 runs every piece on the calling thread.
    explicit CoreWorkers(int threads = 0);

    int threads() const { return count; }
    // Runs piece(i) once for each i in 0 .. pieces - 1 and returns when all are done; with
    // `cancel` set, no new piece starts and it returns false.
    bool run(int pieces, const std::function<void(int)> &piece,
             const std::atomic_bool *cancel = nullptr, const Progress &progress = {}) const;

private:
    int count;
};
