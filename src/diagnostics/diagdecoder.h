// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagidtable.h"
#include "diagnostics/diagmessage.h"
#include "diagnostics/isotpreassembler.h"
#include "diagnostics/j1939singleframe.h"
#include "diagnostics/j1939transport.h"
#include "link/timedpacket.h"

#include <deque>
#include <vector>

// The diagnostic messages of a frame stream: ISO-TP and J1939 transport joined, J1939 groups
// of one frame taken as they come, responses
// paired with their requests (a pending response followed to the final answer) and timed;
// J1939 groups asked for by a Request (PGN 59904) are timed from it as well.
// Frames are numbered from 0 in the order they are fed.
class DiagDecoder final
{
public:
    DiagDecoder();

    void setPairs(const QVector<DiagPair> &pairs) { ids.setPairs(pairs); }
    const DiagIdTable &idTable() const { return ids; }

    // Appends the messages and faults this frame finished (and those it timed out) to `out`.
    void feed(const TimedPacket &frame, std::vector<DiagMessage> &out)
    {
        const size_t before = out.size();
        isoTp.expire(frame.time, out);
        j1939.expire(frame.time, out);
        // J1939 over CAN FD packs groups differently (several to a frame): not read here.
        if (!isoTp.feed(frame, number, out) && !frame.packet.isFd() &&
            !j1939.feed(frame, number, out))
            J1939SingleFrame::feed(frame, number, out);
        ++number;
        if (out.size() != before)
            settle(out, before);
    }
    // The end of the stream: messages still open are timeouts.
    void finish(std::vector<DiagMessage> &out);
    void clear();
    int inProgress() const { return isoTp.inProgress() + j1939.inProgress(); }
    quint64 framesSeen() const { return number; }

    // The message's meaning, one line of English.
    static QString describe(const DiagMessage &message);
    // Its service (UDS, OBD-II) or parameter group name.
    static QString serviceName(const DiagMessage &message);
    // The service identifier a response answers or a request asks (-1 for J1939 and empty ones).
    static int serviceOf(const DiagMessage &message);
    static bool isResponse(const DiagMessage &message);
    // A J1939 Request (PGN 59904).
    static bool isGroupRequest(const DiagMessage &message);
    // The negative response code, -1 when the message is none.
    static int negativeCode(const DiagMessage &message);

private:
    struct Request
    {
        uint32_t id;
        bool extended;
        uint8_t sid;
        bool functional;
        qint64 time;
    };

    struct GroupRequest
    {
        uint32_t pgn; // the group asked for
        uint8_t to;   // whom it was asked of; 0xFF for everyone
        qint64 time;
    };

    void settle(std::vector<DiagMessage> &out, size_t from);
    void pair(DiagMessage &message);
    void pairGroup(DiagMessage &message);

    DiagIdTable ids;
    IsoTpReassembler isoTp;
    J1939Transport j1939;
    std::deque<Request> requests; // newest last
    std::deque<GroupRequest> groupRequests;
    quint64 number = 0;
};
