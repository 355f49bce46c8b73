// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/recordcutter.h"

#include "link/linerecord.h"

void RecordCutter::append(const char *data, int size)
{
    if (size <= 0)
        return;
    if (pos > 0) { // keep only the unread tail, so the buffer never grows past one read
        rxBuffer.remove(0, pos);
        pos = 0;
    }
    rxBuffer.append(data, size);
}

RecordCutter::Kind RecordCutter::next(CanPacket &packet, QByteArray &reply)
{
    if (pendingSize() < LineRecord::Size)
        return Kind::None;
    const char *record = rxBuffer.constData() + pos;
    if (LineRecord::isReplyStart(uint8_t(record[0]))) {
        reply = rxBuffer.mid(pos);
        rxBuffer.clear();
        pos = 0;
        return Kind::Reply;
    }
    packet = LineRecord::decode(record);
    pos += LineRecord::Size;
    if (pos == rxBuffer.size()) {
        rxBuffer.resize(0);
        pos = 0;
    }
    return Kind::Frame;
}

bool RecordCutter::holdsFrameTail() const
{
    return pendingSize() > 0 && !LineRecord::isReplyStart(uint8_t(rxBuffer.at(pos)));
}

int RecordCutter::dropPending()
{
    const int dropped = pendingSize();
    rxBuffer.resize(0);
    pos = 0;
    return dropped;
}

QByteArray RecordCutter::takePending()
{
    const QByteArray pending = rxBuffer.mid(pos);
    dropPending();
    return pending;
}
