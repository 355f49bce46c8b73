// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/canpacket.h"

#include <QString>
#include <cstdint>

// What makes a trigger fire, and how much around the moment it keeps. Written as words
// "key=value" separated by spaces:
//   id=0x7E8/0x7FF data=037F/FFFF   a frame: identifier and mask, data bytes and mask (up to 64
//                                    bytes, from the first)
//   data@20=AA55/FFFF                data bytes from byte 20 on (several data words combine)
//   fd                               a CAN FD frame only
//   signal=ENGINE_RPM>3000           a DBC signal crossing a value (> < >= <= =)
//   lost                             frames were lost
//   manual                           the user's mark
// with pre=SECONDS post=SECONDS (default 10 and 30) and name=NAME (default "trigger").
struct TriggerRule
{
    enum class Kind { Frame, Signal, Lost, Manual };
    enum class Compare { Above, Below, AtLeast, AtMost, Equal };

    static constexpr double DefaultPre = 10;
    static constexpr double DefaultPost = 30;
    static constexpr double MaxWindow = 3600; // seconds, each side

    Kind kind = Kind::Frame;
    QString name = QStringLiteral("trigger");
    qint64 preUs = qint64(DefaultPre * 1e6);
    qint64 postUs = qint64(DefaultPost * 1e6);

    uint32_t id = 0;
    uint32_t idMask = 0; // 0: any identifier
    int dataLength = 0;  // bytes of `data` that count; bytes no data word gave have mask 0
    uint8_t data[CanPacket::MaxFdBytes] = {};
    uint8_t dataMask[CanPacket::MaxFdBytes] = {};
    bool fdOnly = false;

    QString signalName; // "SIGNAL" or "MESSAGE.SIGNAL"
    Compare compare = Compare::Above;
    double threshold = 0;

    // False with `error` set when the text is not a rule.
    static bool parse(const QString &text, TriggerRule &rule, QString &error);

    bool matchFrame(const CanPacket &packet) const;
    bool holds(double value) const;
};
