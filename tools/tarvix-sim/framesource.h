// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

// Where the streamed frames come from: the built-in traffic profile or a replayed log.
class FrameSource
{
public:
    virtual ~FrameSource() = default;

    // True while another frame can be taken.
    virtual bool hasNext() const = 0;
    // When the next frame is due, in microseconds from the first frame of the source.
    virtual qint64 nextTimeUs() const = 0;
    // Takes the next frame; only called while hasNext().
    virtual CanPacket takeNext() = 0;
    // Frames per second the source's own timing amounts to; 0 when it has none.
    virtual double naturalRate() const = 0;
};
