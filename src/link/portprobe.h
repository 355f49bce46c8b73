// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Why a serial port cannot be opened, in the words a user acts on: "нет такого файла", "не
// терминал", "нет прав". Asked once opening has failed, so the probe never competes with a
// program that has the port.
namespace PortProbe {

// The device file of a port name: "ttyUSB0" is /dev/ttyUSB0; a path stays as it is.
QString systemLocation(const QString &portName);
// The reason, or an empty text when the file is a terminal that may be opened.
QString problem(const QString &portName);

} // namespace PortProbe
