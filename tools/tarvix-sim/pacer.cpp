// SPDX-License-Identifier: GPL-3.0-or-later
#include "pacer.h"

#include <algorithm>
#include <cmath>

Pacer::Pacer(Mode mode, double rate) : kind(mode), rate(rate)
{
}

void Pacer::pause()
{
    if (!running)
        return;
    running = false;
    pauseStart = clockUs();
}

void Pacer::resume()
{
    if (running)
        return;
    running = true;
    if (!clock.isValid())
        clock.start();
    else
        pausedUs += clockUs() - pauseStart;
}

qint64 Pacer::elapsedUs() const
{
    if (!clock.isValid())
        return 0;
    const qint64 end = running ? clockUs() : pauseStart;
    return end - pausedUs;
}

void Pacer::sample()
{
    nowUs = elapsedUs();
    if (kind != Mode::Rate)
        return;
    const auto due = qint64(std::floor(rate * double(nowUs) / 1e6));
    const qint64 backlog = std::max<qint64>(16, qint64(rate * double(MaxLagUs) / 1e6));
    taken = std::max(taken, due - backlog);
}

bool Pacer::mayTake(qint64 frameTimeUs)
{
    switch (kind) {
    case Mode::Max:
        return true;
    case Mode::Rate:
        return taken < qint64(std::floor(rate * double(nowUs) / 1e6));
    case Mode::Timestamp:
        break;
    }
    if (nowUs - frameTimeUs > MaxLagUs) { // far behind: move the clock back instead of bursting
        pausedUs += nowUs - frameTimeUs - MaxLagUs;
        nowUs = frameTimeUs + MaxLagUs;
    }
    return frameTimeUs <= nowUs;
}
