// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// What an OBD-II (SAE J1979) message says, in English: services 01-0A, the PIDs of services 01
// and 02 with their values and units, DTCs as P/C/B/U codes, vehicle information as text.
namespace ObdMeaning {

// True for a request (0x01-0x0A) or a positive response (0x41-0x4A).
bool isObd(uint8_t sid);
// "Show current data"; empty when not a service.
QString serviceName(uint8_t service);
// "Vehicle speed"; empty when unknown.
QString pidName(uint8_t pid);
// "Vehicle speed: 50 km/h" for PID 0x0D with data {0x32}; empty when the data is too short.
QString pidValue(uint8_t pid, const uint8_t *data, int size);
// "P0301" from two bytes.
QString dtcCode(uint8_t high, uint8_t low);
QString describe(const QByteArray &payload);

} // namespace ObdMeaning
