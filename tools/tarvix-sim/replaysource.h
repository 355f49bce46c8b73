// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "framesource.h"
#include "link/timedpacket.h"

#include <QString>
#include <QVector>

// Frames of a candump log, or of what candump printed on the screen, read whole at start by the
// program's own candump reader and handed out with the log's own timing (relative to its first
// frame). With looping on, the log starts over after its last frame, later in time by the log's
// span plus one average frame gap, so the timing keeps running forward.
class ReplaySource final : public FrameSource
{
public:
    explicit ReplaySource(bool loop);

    // False with a message in `error` when the file cannot be read.
    bool load(const QString &path, QString &error);
    int badLines() const { return bad; }
    int frameCount() const { return entries.size(); }

    bool hasNext() const override;
    qint64 nextTimeUs() const override;
    CanPacket takeNext() override;
    double naturalRate() const override;

private:
    void add(TimedPacket frame);
    void finishLoading();

    QVector<TimedPacket> entries;
    bool loop;
    int bad = 0;
    int pos = 0;
    qint64 passSpanUs = 0; // how much later each repetition starts
    qint64 offsetUs = 0;   // start of the current repetition
};
