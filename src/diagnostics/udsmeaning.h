// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// What a UDS (ISO 14229-1) message says, in English: service, sub-function, data identifiers,
// DTCs, negative response codes.
namespace UdsMeaning {

// The service's name in the standard ("ReadDataByIdentifier"); empty when unknown. Takes the
// request identifier (a response's minus 0x40).
QString serviceName(uint8_t sid);
// "requestOutOfRange"; "NRC 0x.." text for codes the standard reserves.
QString responseCodeName(uint8_t code);
// "VIN" for 0xF190; empty when the identifier is not a standard one.
QString dataIdentifierName(uint16_t did);
// True for a request identifier of the standard (0x10-0x3E, 0x83-0x87).
bool isService(uint8_t sid);
// A one-line meaning of a whole message (request, positive or negative response).
QString describe(const QByteArray &payload);

} // namespace UdsMeaning
