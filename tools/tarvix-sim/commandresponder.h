// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/tarvixprotocol.h"

#include <QByteArray>
#include <QList>
#include <functional>

// The module's side of the command protocol, on bytes alone. The host sends three-byte commands
// "E1 code E1" and speed settings "F1 code F1" between its own 14-byte frame records; every
// command is answered with a reply of at least 14 bytes that starts with E1's answer marker 0xEF
// (0xF1 for a speed setting) and reads as text after the code byte.
class CommandResponder final
{
public:
    // Takes bytes from the host; returns the replies they call for, in order.
    QList<QByteArray> feed(const QByteArray &bytes);

    bool monitoring() const { return monitoringOn; }
    void setMonitoring(bool on) { monitoringOn = on; }
    int speedCode() const { return speed; }
    qint64 commandsAnswered() const { return answered; }
    qint64 hostFrames() const { return frames; }
    // Called with each 14-byte frame record the host transmits.
    void setRecordSink(std::function<void(const QByteArray &record)> sink)
    {
        recordSink = std::move(sink);
    }

private:
    bool takeOne(int &pos, QList<QByteArray> &replies);
    QByteArray answerCommand(uint8_t code);
    QByteArray answerSpeed(uint8_t code);
    QByteArray resistorReply(int line, uint8_t code);
    static QByteArray reply(uint8_t marker, uint8_t code, const QByteArray &text);
    static QByteArray speedText(int code);

    QByteArray pending; // host bytes not yet making a whole command or record
    bool monitoringOn = true;
    bool resistorOn[2] = {false, false};
    int speed = TarvixProtocol::DefaultSpeedCode;
    qint64 answered = 0;
    qint64 frames = 0;
    std::function<void(const QByteArray &)> recordSink;
};
