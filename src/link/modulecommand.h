// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/tarvixprotocol.h"

#include <QByteArray>
#include <QVector>

// What the Tarvix module understands, as the user picks it: thirteen commands and nine CAN bit
// rates, each sent as a three-byte message: marker, code, marker.
namespace ModuleCommand {
using TarvixProtocol::CommandMarker;
using TarvixProtocol::SpeedMarker;

struct Entry
{
    int code;
    const char *caption; // UTF-8, translated in the context "ModuleCommand"
};

const QVector<Entry> &commands();

// marker, the low 8 bits of `code`, marker.
QByteArray message(uint8_t marker, int code);
// The command that sets the CAN bit rate of speed `code`.
inline QByteArray speedMessage(int code)
{
    return message(SpeedMarker, code);
}
} // namespace ModuleCommand
