// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QSet>

// Which frames reach the log: the direction filter, the identifier filter (with its mask and
// code), whether transmitted frames are shown, and the identifiers the user hid. Live and loaded
// captures share these rules.
//
// Hidden identifiers are per (id, format): an 11-bit 0x100 and a 29-bit 0x100 are different
// messages. "Hide all" and "only this one" also apply to identifiers not seen yet, so a new
// identifier does not slip into a log the user narrowed down.
class FrameFilter final
{
public:
    // Codes of the direction selector.
    enum Direction : int {
        AllDirections = 240,
        ReceivedOnly = 64, // received frames that carry no route bit
        Can0ToCan1Only = 16,
        Can1ToCan0Only = 32,
    };
    // Codes of the identifier selector.
    enum IdMode : int {
        AllIds = 0,
        StandardIds = 1,
        StandardMask = 2,
        ExtendedIds = 3,
        ExtendedMask = 4,
    };

    void setDirection(int code) { direction = code; }
    void setIdMode(int code) { idMode = code; }
    void setMask(uint32_t mask, uint32_t code);
    void setShowTx(bool show) { showTx = show; }

    int directionCode() const { return direction; }
    int idModeCode() const { return idMode; }
    uint32_t mask() const { return idMask; }
    uint32_t code() const { return idCode; }
    bool showsTx() const { return showTx; }
    static bool usesMask(int idMode) { return idMode == StandardMask || idMode == ExtendedMask; }

    bool matchDirection(const CanPacket &packet) const;
    bool matchId(const CanPacket &packet) const;
    bool matches(const CanPacket &packet) const
    {
        return matchId(packet) && matchDirection(packet) && matchShown(packet);
    }

    void setHidden(uint32_t id, bool extended, bool hidden);
    bool isHidden(uint32_t id, bool extended) const;
    void showAllIds();
    void hideAllIds();
    void showOnly(uint32_t id, bool extended);
    bool matchShown(const CanPacket &packet) const
    {
        if (exceptions.isEmpty()) // the common case: no per-identifier choice made
            return !hideByDefault;
        return !isHidden(packet.id, packet.isExtended());
    }

private:
    int direction = AllDirections;
    int idMode = AllIds;
    uint32_t idMask = 0;
    uint32_t idCode = 0;
    bool showTx = true;
    bool hideByDefault = false;
    QSet<quint64> exceptions; // identifiers not following hideByDefault
};
