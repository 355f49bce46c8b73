// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/diagidtable.h"

namespace {

constexpr uint32_t FunctionalId = 0x7DF;
constexpr uint32_t FirstPhysicalId = 0x7E0;
constexpr uint32_t LastResponseId = 0x7EF;
constexpr uint32_t ResponseOffset = 8;

uint8_t targetOf(uint32_t id)
{
    return uint8_t(id >> 8);
}
uint8_t sourceOf(uint32_t id)
{
    return uint8_t(id);
}
uint32_t formatOf(uint32_t id)
{
    return (id >> 16) & 0x3FF;
}

} // namespace

DiagIdTable::DiagIdTable()
{
    setPairs({});
}

void DiagIdTable::setPairs(const QVector<DiagPair> &pairs)
{
    standard.fill(uint8_t(IsoTpAddressing::None));
    for (uint32_t id = FirstPhysicalId; id <= LastResponseId; ++id)
        standard[id] = uint8_t(IsoTpAddressing::Normal);
    standard[FunctionalId] = uint8_t(IsoTpAddressing::Normal);
    userPairs = pairs;
    extendedPairs = false;
    for (const DiagPair &pair : pairs) {
        if (pair.extended) {
            extendedPairs = true;
            continue;
        }
        standard[pair.requestId & 0x7FF] = uint8_t(pair.addressing);
        standard[pair.responseId & 0x7FF] = uint8_t(pair.addressing);
    }
}

IsoTpAddressing DiagIdTable::lookupExtended(uint32_t id) const
{
    for (const DiagPair &pair : userPairs) {
        if (pair.extended && (pair.requestId == id || pair.responseId == id))
            return pair.addressing;
    }
    return IsoTpAddressing::None;
}

bool DiagIdTable::answers(uint32_t requestId, uint32_t responseId, bool extended) const
{
    for (const DiagPair &pair : userPairs) {
        if (pair.extended == extended && pair.requestId == requestId &&
            pair.responseId == responseId)
            return true;
    }
    if (!extended) {
        if (responseId < FirstPhysicalId + ResponseOffset || responseId > LastResponseId)
            return false;
        return requestId == FunctionalId || requestId == responseId - ResponseOffset;
    }
    if (formatOf(responseId) != 0xDA || !isNormalFixed(requestId))
        return false;
    // The answer goes back to the tester that asked: its source is the answer's target.
    const bool fromTester = sourceOf(requestId) == targetOf(responseId);
    return fromTester &&
           (formatOf(requestId) == 0xDB || targetOf(requestId) == sourceOf(responseId));
}

bool DiagIdTable::isFunctional(uint32_t id, bool extended)
{
    return extended ? formatOf(id) == 0xDB : id == FunctionalId;
}
