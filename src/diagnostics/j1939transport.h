// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagmessage.h"

#include <limits>
#include <unordered_map>
#include <vector>

struct TimedPacket;

// Joins the J1939 transport protocol (TP.CM announcements RTS/BAM, CTS, EndOfMsgAck, Abort; data
// in TP.DT) into messages of up to 1,785 bytes, broadcast and peer to peer, one per source and
// destination at a time. Faults come out as messages with the bytes received so far.
class J1939Transport final
{
public:
    static constexpr qint64 PacketTimeout = 1000000; // µs with no next frame
    static constexpr int MaxInProgress = 256;
    static constexpr int MaxSize = 1785;
    static constexpr uint32_t ConnectionPgn = 0xEC00; // TP.CM, 60416
    static constexpr uint32_t DataPgn = 0xEB00;       // TP.DT, 60160

    // True when the frame belongs to the transport protocol.
    static bool isTransport(uint32_t id, bool extended)
    {
        const uint32_t format = (id >> 16) & 0x3FF;
        return extended && (format == 0xEC || format == 0xEB);
    }

    bool feed(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out);
    void expire(qint64 now, std::vector<DiagMessage> &out)
    {
        if (now > nextDeadline)
            expireSlow(now, out);
    }
    void finish(std::vector<DiagMessage> &out);
    int inProgress() const { return int(sessions.size()); }
    void clear();

private:
    struct Session
    {
        DiagMessage message;
        int size = 0;
        int packets = 0;
        int received = 0;
        qint64 lastTime = 0;
        uint8_t nextSequence = 1;
        bool discarding = false;
    };

    static qint64 deadlineOf(qint64 last)
    {
        const qint64 max = std::numeric_limits<qint64>::max();
        return last > max - PacketTimeout ? max : last + PacketTimeout;
    }
    static uint64_t keyOf(uint8_t route, uint8_t source, uint8_t destination)
    {
        return uint64_t(route) << 16 | uint64_t(source) << 8 | destination;
    }
    using Sessions = std::unordered_map<uint64_t, Session>;
    // The session between two addresses, on the frame's line first: a receiver's answers (CTS,
    // Abort) may cross the module from the other line.
    Sessions::iterator findAcross(uint8_t route, uint8_t source, uint8_t destination);
    void control(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out);
    void announce(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out);
    void clearToSend(const TimedPacket &frame);
    void abort(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out);
    void data(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out);
    void fail(std::unordered_map<uint64_t, Session>::iterator it, DiagMessage::Status status,
              qint64 time, std::vector<DiagMessage> &out);
    void makeRoom(std::vector<DiagMessage> &out);
    void expireSlow(qint64 now, std::vector<DiagMessage> &out);

    std::unordered_map<uint64_t, Session> sessions;
    qint64 nextDeadline = std::numeric_limits<qint64>::max();
};
