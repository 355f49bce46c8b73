// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// What a J1939 message says, in English: the parameter group's name, DM1/DM2 lamps and DTCs,
// the Address Claimed NAME, the requested PGN, identification texts.
namespace J1939Meaning {

// "Electronic Engine Controller 1 (EEC1)"; empty when unknown.
QString pgnName(uint32_t pgn);
// Whether the group has a name here.
bool isKnown(uint32_t pgn);
QString describe(uint32_t pgn, const QByteArray &payload);

} // namespace J1939Meaning
