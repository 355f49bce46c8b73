// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdint>

// One diagnostic message joined from its frames, or the fault that stopped it (then with the
// bytes received so far).
struct DiagMessage
{
    // J1939: a parameter group in one frame; J1939Tp: one joined by the transport protocol.
    enum class Protocol : uint8_t { IsoTp, J1939Tp, J1939 };
    enum class Status : uint8_t { Ok, Sequence, Unexpected, Interrupted, Timeout, Aborted };
    static constexpr qint64 NoTime = -1;
    static constexpr int NoAddress = -1;

    qint64 time = 0;   // µs since the epoch: the frame that completed it, or when it failed
    uint8_t route = 0; // CanPacket route bits of its frames
    bool transmitted = false;
    uint32_t id = 0; // identifier of the frames that carried the payload
    bool extended = false;
    Protocol protocol = Protocol::IsoTp;
    Status status = Status::Ok;
    int source = NoAddress;
    int target = NoAddress;
    uint32_t pgn = 0; // J1939 only
    QByteArray payload;
    quint64 firstFrame = 0; // numbers of its first and last frame in the stream, from 0
    quint64 lastFrame = 0;
    qint64 responseTime = NoTime; // µs from its request, on responses
    bool functional = false;      // sent to every ECU (0x7DF, 0x18DB, J1939 broadcast)

    bool ok() const { return status == Status::Ok; }
    bool isJ1939() const { return protocol != Protocol::IsoTp; }
    // Whether `pgn` is known: a data packet with no announcement does not say its group.
    bool hasPgn() const
    {
        return protocol == Protocol::J1939 ||
               (protocol == Protocol::J1939Tp && status != Status::Unexpected);
    }
};

namespace DiagWords {
// "ok", "sequence", "unexpected", "interrupted", "timeout", "aborted".
const char *status(DiagMessage::Status status);
// "ISO-TP", "J1939-TP", "J1939".
const char *protocol(DiagMessage::Protocol protocol);
} // namespace DiagWords
