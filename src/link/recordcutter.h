// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QByteArray>

// Cuts the module's byte stream into 14-byte frame records and module replies. Works on bytes
// alone, so it is tested and fuzzed without a port.
//
// Every complete record in the buffer is taken, in order. A record whose first byte is 0xEF or
// 0xF1 starts a module reply, which runs from there to the end of the bytes received so far.
// Nothing is taken before 14 bytes are present at the current position, replies included: a short
// tail waits for the next bytes.
class RecordCutter final
{
public:
    enum class Kind { None, Frame, Reply };

    void append(const char *data, int size);
    void append(const QByteArray &bytes) { append(bytes.constData(), bytes.size()); }

    // Takes the next piece: a frame into `packet`, or a reply into `reply`. None when the bytes
    // left do not make a whole record yet.
    Kind next(CanPacket &packet, QByteArray &reply);

    int pendingSize() const { return rxBuffer.size() - pos; }
    // True when the bytes waiting are the beginning of a frame record (not of a reply).
    bool holdsFrameTail() const;
    // Forgets the bytes waiting; returns how many there were.
    int dropPending();
    // Takes the bytes waiting as they are.
    QByteArray takePending();

private:
    QByteArray rxBuffer;
    int pos = 0; // first byte not yet taken
};
