#pragma once

#include <QByteArray>
#include <QVector>

class QComboBox;
class QListWidget;

// What the Tarvix module understands: thirteen commands and nine CAN bit rates, each sent as a
// three-byte message: marker, code, marker.
namespace ModuleCommand {
constexpr uint8_t CommandMarker = 0xE1;
constexpr uint8_t SpeedMarker = 0xF1;

struct Entry
{
    int code;
    const char *caption; // UTF-8
};

const QVector<Entry> &commands();
const QVector<Entry> &canSpeeds();

// marker, the low 8 bits of `code`, marker.
QByteArray message(uint8_t marker, int code);

// Appends the commands to a list: caption as text, code as integer data under Qt::UserRole.
void fillCommands(QListWidget *list);
} // namespace ModuleCommand

// Appends the CAN bit rates to a combo box, caption and integer code; selects nothing.
void fillCanSpeeds(QComboBox *box);
