// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagmessage.h"

#include <limits>
#include <unordered_map>
#include <vector>

class DiagIdTable;
struct TimedPacket;

// Joins ISO 15765-2 frames (single, first, consecutive; flow control passes) into messages on
// the identifiers a DiagIdTable names, several at once, one per identifier and address. Faults
// come out as messages with the bytes received so far. Over CAN FD a frame carries up to 64
// bytes: a single frame longer than eight gives its length in its second byte (the escape form),
// and first and consecutive frames carry as much as their length holds.
class IsoTpReassembler final
{
public:
    static constexpr qint64 ConsecutiveTimeout = 1000000; // µs: N_Cr
    static constexpr int MaxInProgress = 256;

    explicit IsoTpReassembler(const DiagIdTable *table) : ids(table) {}

    // True when the frame is ISO-TP; finished messages and faults are appended to `out`.
    bool feed(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out);
    // Times out what has waited longer than N_Cr by `now`.
    void expire(qint64 now, std::vector<DiagMessage> &out)
    {
        if (now > nextDeadline)
            expireSlow(now, out);
    }
    // The end of the stream: everything still open is a timeout.
    void finish(std::vector<DiagMessage> &out);
    int inProgress() const { return int(sessions.size()); }
    void clear();

private:
    struct Session
    {
        DiagMessage message;
        uint32_t declared = 0;
        qint64 lastTime = 0;
        uint8_t nextSequence = 1;
        bool discarding = false; // the rest of a message that already failed
    };
    struct Frame;

    static qint64 deadlineOf(qint64 last)
    {
        const qint64 max = std::numeric_limits<qint64>::max();
        return last > max - ConsecutiveTimeout ? max : last + ConsecutiveTimeout;
    }

    void single(const Frame &f, std::vector<DiagMessage> &out);
    void first(const Frame &f, std::vector<DiagMessage> &out);
    void consecutive(const Frame &f, std::vector<DiagMessage> &out);
    void interrupt(uint64_t key, const Frame &f, std::vector<DiagMessage> &out);
    DiagMessage start(const Frame &f) const;
    static uint32_t leastFirstFrame(const Frame &f);
    void makeRoom(std::vector<DiagMessage> &out);
    void timeOut(Session &session, std::vector<DiagMessage> &out);
    void expireSlow(qint64 now, std::vector<DiagMessage> &out);

    const DiagIdTable *ids;
    std::unordered_map<uint64_t, Session> sessions;
    qint64 nextDeadline = std::numeric_limits<qint64>::max();
};
