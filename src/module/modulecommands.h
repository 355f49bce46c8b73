// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/tarvixprotocol.h"

#include <QByteArray>
#include <QVector>

class QComboBox;
class QListWidget;

// What the Tarvix module understands, as the user picks it: thirteen commands and nine CAN bit
// rates, each sent as a three-byte message: marker, code, marker.
namespace ModuleCommand {
using TarvixProtocol::CommandMarker;
using TarvixProtocol::SpeedMarker;

struct Entry
{
    int code;
    const char *caption; // UTF-8
};

const QVector<Entry> &commands();

// marker, the low 8 bits of `code`, marker.
QByteArray message(uint8_t marker, int code);

// Appends the commands to a list: caption as text, code as integer data under Qt::UserRole.
void fillCommands(QListWidget *list);
} // namespace ModuleCommand

// Appends the CAN bit rates to a combo box, caption and integer code; selects nothing.
void fillCanSpeeds(QComboBox *box);
