// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/diagmessage.h"

#include <vector>

struct TimedPacket;

// J1939 parameter groups that fit one frame (EEC1, a request, DM1 with one fault), each a
// message of its own. Only the groups J1939Meaning knows by name are taken, TSC1 (PGN 0) left
// out: 29-bit traffic need not be J1939 at all, and an unknown group would only fill the table
// with noise.
class J1939SingleFrame final
{
public:
    // True when the frame is such a group; its message is appended to `out`.
    static bool feed(const TimedPacket &frame, quint64 number, std::vector<DiagMessage> &out);
};
