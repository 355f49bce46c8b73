// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

// Decides how many frames are due. Its clock runs only while streaming (it is paused while no
// reader has the line open or monitoring is off), so a reader that comes late is not flooded with
// the backlog. When the line cannot keep up, at most a short backlog is kept: the stream slows
// down instead of bursting later.
class Pacer final
{
public:
    enum class Mode {
        Rate,      // a fixed number of frames per second
        Timestamp, // each frame at its own time, as the source gives it
        Max,       // as fast as the line takes them
    };

    explicit Pacer(Mode mode, double rate);

    Mode mode() const { return kind; }
    void pause();
    void resume();
    bool isRunning() const { return running; }
    // Streaming time so far, pauses left out.
    qint64 elapsedUs() const;

    // Reads the clock for the next round of mayTake() calls.
    void sample();
    bool mayTake(qint64 frameTimeUs);
    void took() { ++taken; }

private:
    static constexpr qint64 MaxLagUs = 200000;
    qint64 clockUs() const { return clock.nsecsElapsed() / 1000; }

    Mode kind;
    double rate;
    QElapsedTimer clock;
    bool running = false;
    qint64 pausedUs = 0;   // total time spent paused, and lag given up
    qint64 pauseStart = 0; // clock time of the current pause
    qint64 nowUs = 0;      // streaming time at the last sample()
    qint64 taken = 0;      // frames counted against the rate
};
