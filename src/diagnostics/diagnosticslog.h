// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagdecoder.h"

#include <vector>

// The diagnostic messages of the received frames, live or from a capture, as they are joined
// and read, with the log row each frame got, so that a message leads back to its frames.
class DiagnosticsLog final
{
public:
    // One received frame and the log row it got (-1 when the log's filters kept it out).
    void add(const TimedPacket &frame, qint64 logRow)
    {
        decoder.feed(frame, pending);
        if (logRow != nextRow)
            markRow(logRow);
        nextRow = logRow < 0 ? -1 : logRow + 1;
        ++fed;
    }
    // The messages read since the last call, in order; they are the caller's from now on.
    std::vector<DiagMessage> &newMessages() { return pending; }
    void clear();

    QVector<DiagPair> pairs() const { return decoder.idTable().pairs(); }
    void setPairs(const QVector<DiagPair> &pairs) { decoder.setPairs(pairs); }
    // The log row of the `frame`th frame added; -1 when the log left it out.
    qint64 logRowOf(quint64 frame) const;

private:
    // Frames and log rows run side by side in stretches: where a stretch starts, the frame
    // number and its row (-1 for frames the log left out).
    struct Stretch
    {
        quint64 frame;
        qint64 row;
    };

    void markRow(qint64 logRow);

    DiagDecoder decoder;
    std::vector<DiagMessage> pending;
    std::vector<Stretch> stretches;
    qint64 nextRow = -2;
    quint64 fed = 0;
};
